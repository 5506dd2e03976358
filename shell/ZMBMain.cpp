// SPDX-License-Identifier: MIT
#include "ZMBMain.h"

#include "AppIcon.h"
#include "MusicList.h"
#include "NotificationAccessibility.h"
#include "SoundLocation.h"
#include "SubMain.h"
#include "Twips.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

ZMBMain *theWindow = nullptr;

constexpr int kEscapeKeyCode = 27;
constexpr int kShiftMask = 1;
constexpr int kCtrlMask = 2;
constexpr int kAltMask = 4;

int virtualKeyCode(const QKeyEvent &event)
{
    return event.key() == Qt::Key_Escape ? kEscapeKeyCode : event.key();
}

// Breaking a line at word boundaries costs time that grows with the square of
// the longest unbroken run; a megabyte without a blank would freeze the window.
QTextOption::WrapMode wrapModeFor(const QString &text)
{
    constexpr qsizetype kLongestWordToWrapAtBoundaries = 4096;
    qsizetype run = 0;
    for (QChar c : text) {
        run = c.isSpace() ? 0 : run + 1;
        if (run > kLongestWordToWrapAtBoundaries)
            return QTextOption::WrapAnywhere;
    }
    return QTextOption::WrapAtWordBoundaryOrAnywhere;
}

int shiftState(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? kShiftMask : 0)
           | (modifiers & Qt::ControlModifier ? kCtrlMask : 0)
           | (modifiers & Qt::AltModifier ? kAltMask : 0);
}

} // namespace

ZMBMain *ZMBMain::instance()
{
    if (!theWindow)
        theWindow = new ZMBMain;
    return theWindow;
}

void ZMBMain::unload()
{
    delete std::exchange(theWindow, nullptr);
}

ZMBMain::ZMBMain()
{
    setWindowTitle(QStringLiteral("Zimbrel"));
    // A fixed size: no maximize button, whoever draws the frame.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setWindowIcon(Zimbrel::applicationIcon());
    Zimbrel::setFixedSizeInTwips(this, 3150, 1200);

    ZMBEdit = new QPlainTextEdit(this);
    ZMBEdit->setObjectName(QStringLiteral("ZMBEdit"));
    ZMBEdit->setReadOnly(true);
    ZMBEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    ZMBEdit->setAccessibleName(QStringLiteral("Message"));
    Zimbrel::setGeometryInTwips(ZMBEdit, 75, 0, 3000, 675);

    ZMBButt = new QPushButton(QStringLiteral("закрыть"), this);
    ZMBButt->setObjectName(QStringLiteral("ZMBButt"));
    Zimbrel::setGeometryInTwips(ZMBButt, 450, 750, 2250, 375);
    connect(ZMBButt, &QPushButton::clicked, this, &ZMBMain::ZMBButt_Click);

    // The player has nothing to show, and its place overlaps the button.
    ML = new Zimbrel::MusicList(this);
    ML->setObjectName(QStringLiteral("ML"));
    Zimbrel::setGeometryInTwips(ML, 0, 750, 1500, 375);
    ML->hide();

    setTabOrder(ZMBEdit, ZMBButt);
    setTabOrder(ZMBButt, ML);

    presentAsNotification(this);

    // The window sees every key event before whichever child has the focus.
    qApp->installEventFilter(this);
}

ZMBMain::~ZMBMain()
{
    qApp->removeEventFilter(this);
    stopPresentingAsNotification(this);
}

void ZMBMain::ShowMess(const QString &smNum, const QString &smText)
{
    ML->Init(20);
    // Emptied first: a new wrap mode lays out the text already there again,
    // and a huge earlier message would take minutes in the wrong mode.
    ZMBEdit->clear();
    ZMBEdit->setWordWrapMode(wrapModeFor(smText));
    ZMBEdit->setPlainText(smText);
    // Where a screen reader reads a notification's message whole.
    setAccessibleDescription(smText);
    show();
    raise();
    activateWindow();
    // Marks the window as wanting attention when it could not take the focus.
    QApplication::alert(this);
    ML->PlaySound(SoundLocation::soundFile(SubMain::AppDir, smNum));
}

bool ZMBMain::eventFilter(QObject *watched, QEvent *event)
{
    const bool press = event->type() == QEvent::KeyPress;
    if (press || event->type() == QEvent::KeyRelease) {
        // A key event that a child ignores travels on to its parents, passing
        // this filter again: take it only at its first receiver.
        QObject *firstReceiver = focusWidget() ? focusWidget() : this;
        auto *key = static_cast<QKeyEvent *>(event);
        if (watched != firstReceiver)
            return QWidget::eventFilter(watched, event);
        // A release whose press went to another program (Escape held as the
        // window appeared and took the focus) must not dismiss the message
        // unseen. The X server repeats a held key as a release and a press of
        // one time stamp, which Qt does not always mark as auto-repeat: such a
        // press does not count as reaching the window either.
        const std::pair<int, quint64> stamp{key->key(), key->timestamp()};
        if (press) {
            if (!key->isAutoRepeat() && stamp != m_lastRelease)
                m_keysPressedHere.insert(key->key());
        } else {
            m_lastRelease = stamp;
            // Windows-style key-up: auto-repeat produces presses only.
            if (!key->isAutoRepeat() && m_keysPressedHere.remove(key->key()))
                Form_KeyUp(virtualKeyCode(*key), shiftState(key->modifiers()));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void ZMBMain::ZMBButt_Click()
{
    SubMain::ExitProgram();
}

void ZMBMain::Form_KeyUp(int KeyCode, int Shift)
{
    if (KeyCode == kEscapeKeyCode && Shift == 0)
        SubMain::ExitProgram();
}
