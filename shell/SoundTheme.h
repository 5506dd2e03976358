// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace SoundTheme {

// The sound theme the desktop chose (GNOME's org.gnome.desktop.sound
// theme-name, where that schema is installed), else "freedesktop".
QString chosenTheme();

// The desktop's own event sound named name, found as freedesktop.org's sound
// themes lay them out: in the chosen theme, then in the themes it inherits,
// then in "freedesktop"; in each, the stereo folders of sounds/THEME/ below
// $XDG_DATA_HOME and each $XDG_DATA_DIRS entry; NAME.disabled, .oga, .ogg,
// .wav in that order; then the name without its last "-" part, and so on.
// Empty when no theme has the sound, when the theme switches it off
// (.disabled), and for a name that could lead outside the themes' folders
// (holding ".." or "/", or starting with ".").
QString soundFile(const QString &name);

} // namespace SoundTheme
