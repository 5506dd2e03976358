// SPDX-License-Identifier: MIT
#include "CommandLineOptions.h"
#include "DisplayCheck.h"
#include "SubMain.h"
#include "TerminationSignals.h"
#include "ZMBMain.h"

#include <QGuiApplication>
#include <QStringList>

int main(int argc, char **argv)
{
    // The argument text goes to SubMain as received; Qt gets only the
    // program's name, so no argument is ever taken as a Qt option.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (const auto status = CommandLineOptions::answer(arguments))
        return *status;
    int qtArgc = 1;
    char *qtArgv[] = {argv[0], nullptr};

    // Lets desktops match the window to zimbrel.desktop and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("zimbrel"));
    auto app = openDisplay(qtArgc, qtArgv);
    handleTerminationSignals([](int signalNumber) { SubMain::EndProgram(128 + signalNumber); });

    SubMain::Main(arguments);
    const int status = app->exec();
    ZMBMain::unload();
    return status;
}
