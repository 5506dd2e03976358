// SPDX-License-Identifier: MIT
#include "CommandLineOptions.h"

#include "AllCorrector.h"
#include "SoundLocation.h"
#include "SoundTheme.h"

#include <QCoreApplication>

#include <cstdio>

namespace CommandLineOptions {

namespace {

void printUsage()
{
    std::printf("usage: zmb SOUND/TEXT\n"
                "       zmb --help | --version\n\n"
                "Shows TEXT in a small window titled \"Zimbrel\" and plays SOUND.wav until the\n"
                "window is closed with its button or Escape. Anything after a second \"/\" is\n"
                "ignored; a line without both pieces shows \"Error command Line!\" and plays\n"
                "error.wav. Several arguments are joined with single spaces.\n\n"
                "SOUND.wav is taken from the first of these folders that has it:\n");
    for (const QString &folder : SoundLocation::folders(AllCorrector::AppFolder()))
        std::printf("  %s\n", qPrintable(folder));
    std::printf("($XDG_DATA_HOME/zimbrel/sounds, then DIR/zimbrel/sounds for each DIR in\n"
                "$XDG_DATA_DIRS.)\n"
                "When none has it, zmb asks the desktop's sound theme, now \"%s\":\n"
                "SOUND.oga, .ogg or .wav in its stereo folders of sounds/THEME below\n"
                "$XDG_DATA_HOME and each $XDG_DATA_DIRS entry, then in the themes it inherits\n"
                "and \"freedesktop\"; a dashed name falls back to its shorter forms (a-b-c,\n"
                "a-b, a). A theme's SOUND.disabled keeps the window silent.\n\n",
                qPrintable(SoundTheme::chosenTheme()));
    std::printf("Exit status: 0 the window was closed; 1 no display could be opened;\n"
                "128+N ended by signal N (SIGTERM, SIGINT, SIGHUP).\n");
}

} // namespace

std::optional<int> answer(const QStringList &arguments)
{
    const QString line = arguments.join(u' ');
    if (line == QStringLiteral("--version")) {
        std::printf("zmb %s\n", ZIMBREL_VERSION);
        return 0;
    }
    if (line != QStringLiteral("--help"))
        return std::nullopt;
    // Only for the program's own folder; no display is opened.
    int argc = 1;
    char name[] = "zmb";
    char *argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    printUsage();
    return 0;
}

} // namespace CommandLineOptions
