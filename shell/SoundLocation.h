// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace SoundLocation {

// The folders a sound is looked for in, in order: sounds/ in appFolder (the
// program's own), then zimbrel/sounds in $XDG_DATA_HOME and in each
// $XDG_DATA_DIRS entry, where a user or an administrator can add sounds.
QStringList folders(const QString &appFolder);

// The file to play for the sound named name: NAME.wav from the first of
// those folders that has it, else the desktop's sound of that name
// (SoundTheme::soundFile), else the path in the program's own folder, which
// leaves the window silent as a missing sound does.
QString soundFile(const QString &appFolder, const QString &name);

} // namespace SoundLocation
