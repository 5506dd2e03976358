// SPDX-License-Identifier: MIT
#include "DisplayCheck.h"

#include <QByteArray>
#include <QStringList>

#include <cstdio>
#include <unistd.h>

namespace {

bool openingDisplay = false;
QStringList heldMessages;

void reportMessage(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (openingDisplay) {
        if (type == QtFatalMsg) {
            const QByteArray display = qgetenv("DISPLAY");
            const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
            std::fprintf(stderr, "zmb: cannot open a display (DISPLAY=%s, WAYLAND_DISPLAY=%s)\n",
                         display.isEmpty() ? "unset" : display.constData(),
                         wayland.isEmpty() ? "unset" : wayland.constData());
            std::fflush(stderr);
            // Leave before Qt aborts: a failed start is an error, not a crash.
            ::_exit(1);
        }
        // Kept back: when the display does not open, the one line above says it all.
        heldMessages << message;
        return;
    }
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) {
        std::fflush(stderr);
        ::_exit(1);
    }
}

} // namespace

std::unique_ptr<QApplication> openDisplay(int &argc, char **argv)
{
    qInstallMessageHandler(reportMessage);
    openingDisplay = true;
    auto app = std::make_unique<QApplication>(argc, argv);
    openingDisplay = false;
    for (const QString &message : std::as_const(heldMessages))
        std::fprintf(stderr, "%s\n", qPrintable(message));
    heldMessages.clear();
    return app;
}
