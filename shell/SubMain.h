// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QStringList>

namespace SubMain {

// Set once by Main.
extern QString AppDir;
extern QString CmdLine;
extern QStringList CmdParts;

// Reads the command line "sound/text" and shows the notification; a command
// line without both pieces shows "Error command Line!" with the sound "error".
// arguments are the process arguments after the program's name.
void Main(const QStringList &arguments);

// Closes the window, silencing its sounds, and ends the event loop with 0.
void ExitProgram();

// The same, with another exit status (used on termination signals).
void EndProgram(int status);

} // namespace SubMain
