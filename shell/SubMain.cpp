// SPDX-License-Identifier: MIT
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

const QString &piece(const QStringList &parts, qsizetype index)
{
    if (index >= parts.size())
        throw std::out_of_range("command line piece missing");
    return parts.at(index);
}

} // namespace

void Main(const QStringList &arguments)
{
    try {
        AppDir = AllCorrector::AppFolder();
        CmdLine = arguments.join(u' ');
        // Exact split, every piece kept; an empty line has no pieces at all.
        CmdParts = CmdLine.isEmpty() ? QStringList() : CmdLine.split(u'/', Qt::KeepEmptyParts);
        ZMBMain *window = ZMBMain::instance();
        const QString &text = piece(CmdParts, 1);
        const QString &sound = piece(CmdParts, 0);
        window->ShowMess(sound, text);
    } catch (const std::exception &) {
        ZMBMain::instance()->ShowMess(QStringLiteral("error"),
                                      QStringLiteral("Error command Line!"));
    }
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
