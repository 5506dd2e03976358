#include "BusWatcher.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QSocketNotifier>

namespace Zimbrel::Media {

namespace {
QEvent::Type relayType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}
} // namespace

BusWatcher::BusWatcher(GstBus *bus, std::function<void()> onReadable)
    : m_onReadable(std::move(onReadable))
{
    GPollFD descriptor{};
    gst_bus_get_pollfd(bus, &descriptor);
    auto *notifier = new QSocketNotifier(descriptor.fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { m_onReadable(); });
}

void BusWatcher::relay()
{
    if (!m_target || std::exchange(m_pending, true))
        return;
    QCoreApplication::postEvent(this, new QEvent(relayType()));
}

void BusWatcher::customEvent(QEvent *event)
{
    if (event->type() != relayType())
        return;
    m_pending = false;
    if (!m_target)
        return;
    QMouseEvent move(QEvent::MouseMove, QPointF(0, 0), QPointF(0, 0), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_target, &move);
}

} // namespace Zimbrel::Media
