// SPDX-License-Identifier: MIT
#pragma once

#include <QtGlobal>

namespace ZimbrelBench {

// What a running process holds, read from /proc; pid 0 is this process.
// Each is -1 when the process cannot be read.
qint64 residentKiB(qint64 pid = 0);
qsizetype openFileCount(qint64 pid = 0);
qsizetype threadCount(qint64 pid = 0);

} // namespace ZimbrelBench
