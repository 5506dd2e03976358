#include "ZMBMain.h"

#include "AppIcon.h"
#include "MusicList.h"
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
    setWindowIcon(Zimbrel::applicationIcon());
    Zimbrel::setFixedSizeInTwips(this, 3150, 1200);

    ZMBEdit = new QPlainTextEdit(this);
    ZMBEdit->setObjectName(QStringLiteral("ZMBEdit"));
    ZMBEdit->setReadOnly(true);
    ZMBEdit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
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

    // The window sees every key release before whichever child has the focus.
    qApp->installEventFilter(this);
}

ZMBMain::~ZMBMain()
{
    qApp->removeEventFilter(this);
}

void ZMBMain::ShowMess(const QString &smNum, const QString &smText)
{
    ML->Init(20);
    // Emptied first: a new wrap mode lays out the text already there again,
    // and a huge earlier message would take minutes in the wrong mode.
    ZMBEdit->clear();
    ZMBEdit->setWordWrapMode(wrapModeFor(smText));
    ZMBEdit->setPlainText(smText);
    show();
    raise();
    activateWindow();
    // Marks the window as wanting attention when it could not take the focus.
    QApplication::alert(this);
    ML->PlaySound(SubMain::AppDir + QStringLiteral("sounds/") + smNum + QStringLiteral(".wav"));
}

bool ZMBMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyRelease) {
        // A key event that a child ignores travels on to its parents, passing
        // this filter again: take it only at its first receiver.
        QObject *firstReceiver = focusWidget() ? focusWidget() : this;
        auto *key = static_cast<QKeyEvent *>(event);
        // Windows-style key-up: auto-repeat produces presses only.
        if (watched == firstReceiver && !key->isAutoRepeat())
            Form_KeyUp(virtualKeyCode(*key), shiftState(key->modifiers()));
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
