#include "SubMain.h"

#include "AllCorrector.h"
#include "ZMBMain.h"

#include <QCoreApplication>

#include <stdexcept>

namespace SubMain {

QString AppDir;
QString CmdLine;
QStringList CmdParts;

namespace {

struct Notification {
    QString sound;
    QString text;
};

// Exact split, every piece kept; an empty line has no pieces at all.
QStringList partsOf(const QString &cmdLine)
{
    return cmdLine.isEmpty() ? QStringList() : cmdLine.split(u'/', Qt::KeepEmptyParts);
}

const QString &piece(const QStringList &parts, qsizetype index)
{
    if (index >= parts.size())
        throw std::out_of_range("command line piece missing");
    return parts.at(index);
}

// "sound/text"; throws when a piece is missing.
Notification notificationFor(const QStringList &parts)
{
    const QString &text = piece(parts, 1);
    const QString &sound = piece(parts, 0);
    return {sound, text};
}

const Notification errorNotification{QStringLiteral("error"),
                                     QStringLiteral("Error command Line!")};

} // namespace

void Main(const QStringList &arguments)
{
    try {
        AppDir = AllCorrector::AppFolder();
        CmdLine = arguments.join(u' ');
        CmdParts = partsOf(CmdLine);
        ZMBMain *window = ZMBMain::instance();
        const Notification notification = notificationFor(CmdParts);
        window->ShowMess(notification.sound, notification.text);
    } catch (const std::exception &) {
        ZMBMain::instance()->ShowMess(errorNotification.sound, errorNotification.text);
    }
}

QString SoundFileFor(const QStringList &arguments)
{
    Notification notification = errorNotification;
    try {
        notification = notificationFor(partsOf(arguments.join(u' ')));
    } catch (const std::exception &) {
    }
    return AllCorrector::SoundFile(AllCorrector::AppFolder(), notification.sound);
}

void ExitProgram()
{
    EndProgram(0);
}

void EndProgram(int status)
{
    // Hidden now; destroyed, with its MusicList and every sound, as soon as
    // the event loop has returned.
    ZMBMain::instance()->hide();
    QCoreApplication::exit(status);
}

} // namespace SubMain
