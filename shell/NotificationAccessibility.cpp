// SPDX-License-Identifier: MIT
#include "NotificationAccessibility.h"

#include <QAccessibleWidget>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

QPointer<QWidget> theNotification;

// Qt 6.4 widgets have no setter for the role; this interface gives it, and
// leaves out hidden children (the player, which shows nothing).
class NotificationInterface : public QAccessibleWidget
{
public:
    explicit NotificationInterface(QWidget *window)
        : QAccessibleWidget(window, QAccessible::Notification)
    {
    }

    int childCount() const override { return int(shownChildren().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QList<QWidget *> children = shownChildren();
        return index >= 0 && index < children.size()
                   ? QAccessible::queryAccessibleInterface(children.at(index))
                   : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(shownChildren().indexOf(qobject_cast<QWidget *>(child->object())))
                     : -1;
    }

private:
    QList<QWidget *> shownChildren() const
    {
        QList<QWidget *> shown;
        for (QWidget *child : widget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            if (!child->isWindow() && child->isVisibleTo(widget()))
                shown << child;
        return shown;
    }
};

QAccessibleInterface *notificationFactory(const QString &, QObject *object)
{
    return object && object == theNotification ? new NotificationInterface(theNotification)
                                               : nullptr;
}

// Qt joins the accessibility bus only after the window is shown, and a screen
// reader learns of a window from its showing: send it again once there is
// someone to hear it. Sent at once it is lost; on the next turn it arrives.
class ShowAgainWhenActive : public QAccessible::ActivationObserver
{
public:
    void accessibilityActiveChanged(bool active) override
    {
        if (!active || !theNotification)
            return;
        QTimer::singleShot(0, theNotification, [] {
            if (theNotification && theNotification->isVisible()) {
                QAccessibleEvent shown(theNotification.data(), QAccessible::ObjectShow);
                QAccessible::updateAccessibility(&shown);
            }
        });
    }
};

ShowAgainWhenActive showAgain;

} // namespace

void presentAsNotification(QWidget *window)
{
    static const bool installed = [] {
        QAccessible::installFactory(notificationFactory);
        return true;
    }();
    Q_UNUSED(installed);
    theNotification = window;
    QAccessible::installActivationObserver(&showAgain);
}

void stopPresentingAsNotification(QWidget *window)
{
    if (theNotification == window) {
        QAccessible::removeActivationObserver(&showAgain);
        theNotification = nullptr;
    }
}
