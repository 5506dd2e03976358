// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

namespace AllCorrector {

// The folder of the running executable, links resolved, ending in "/".
QString AppFolder();

} // namespace AllCorrector
