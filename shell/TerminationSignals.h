// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

// Turns SIGTERM, SIGINT and SIGHUP into a call of onSignal(signalNumber) on
// the UI thread, so the program can close its window and silence its sounds
// instead of dying mid-playback. A second signal of a kind takes its default
// action: it ends a process whose ending is stuck.
void handleTerminationSignals(std::function<void(int)> onSignal);
