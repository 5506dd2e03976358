#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <atomic>

namespace Zimbrel::Media {

// Carries "the graph has news" from GStreamer's threads to a widget on the UI
// thread, as a QEvent::MouseMove delivered through Qt's event queue.
//
// notify() may be called from any thread. While one notification is still
// waiting in the queue, further ones fold into it: the receiver only uses it
// as a cue to look at the graph, and reads the graph's state when it runs.
class BusNotifier : public QObject
{
public:
    explicit BusNotifier(QWidget *target);

    // Any thread.
    void notify();

    // UI thread: no more events reach the target, even ones already queued.
    void detach();

protected:
    void customEvent(QEvent *event) override;

private:
    QPointer<QWidget> m_target;
    std::atomic<bool> m_pending{false};
};

} // namespace Zimbrel::Media
