#include "BusNotifier.h"

#include <QCoreApplication>
#include <QMouseEvent>

namespace Zimbrel::Media {

namespace {
QEvent::Type notificationType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}
} // namespace

BusNotifier::BusNotifier(QWidget *target)
    : m_target(target)
{
}

void BusNotifier::notify()
{
    if (!m_pending.exchange(true))
        QCoreApplication::postEvent(this, new QEvent(notificationType()));
}

void BusNotifier::detach()
{
    m_target = nullptr;
}

void BusNotifier::customEvent(QEvent *event)
{
    if (event->type() != notificationType())
        return;
    // Cleared before delivery: news that arrives from now on posts again.
    m_pending = false;
    if (!m_target)
        return;
    QMouseEvent move(QEvent::MouseMove, QPointF(0, 0), QPointF(0, 0), Qt::NoButton,
                     Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(m_target, &move);
}

} // namespace Zimbrel::Media
