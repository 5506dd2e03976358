// SPDX-License-Identifier: MIT
#pragma once

#include <QApplication>

// One QApplication for the fuzzer's whole run, drawing offscreen so that no
// display is needed. Called from LLVMFuzzerInitialize. Never destroyed: the
// fuzzer ends through exit(), after Qt's own globals may already be gone.
inline void startOffscreenApplication(const char *programName)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char *argv[] = {const_cast<char *>(programName), nullptr};
    static auto *application = new QApplication(argc, argv);
    Q_UNUSED(application);
}
