#pragma once

#include <gst/gst.h>

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <functional>

class QSocketNotifier;

namespace Zimbrel::Media {

// The UI thread's side of a pipeline's bus: calls onReadable, on the thread
// that made it, whenever the bus holds a message (its poll descriptor under a
// QSocketNotifier, as Qt Multimedia does), and relays news to a widget as a
// QEvent::MouseMove delivered through Qt's event queue. While one relay waits
// in the queue, further news folds into it. Needs an event dispatcher.
class BusWatcher : public QObject
{
public:
    BusWatcher(GstBus *bus, std::function<void()> onReadable);

    // nullptr ends the relays, also those already queued.
    void setTarget(QWidget *target) { m_target = target; }
    void relay();

protected:
    void customEvent(QEvent *event) override;

private:
    std::function<void()> m_onReadable;
    QPointer<QWidget> m_target;
    bool m_pending = false;
};

} // namespace Zimbrel::Media
