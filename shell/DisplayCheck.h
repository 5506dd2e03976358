// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>

#include <memory>

// Creates the QApplication. When no display can be opened it prints one line
// on standard error and ends the process with status 1, where Qt itself
// would abort.
std::unique_ptr<QApplication> openDisplay(int &argc, char **argv);
