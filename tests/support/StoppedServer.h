// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

#include <csignal>

namespace ZimbrelTest {

// The test services' PulseAudio server, stopped (SIGSTOP) while this lives:
// it answers nothing, as a stalled server does.
struct StoppedServer {
    const pid_t pid = qEnvironmentVariableIntValue("ZIMBREL_TEST_PULSE_PID");
    StoppedServer() { ::kill(pid, SIGSTOP); }
    ~StoppedServer() { ::kill(pid, SIGCONT); }
};

} // namespace ZimbrelTest
