// SPDX-License-Identifier: MIT
#pragma once

#include <QIcon>

namespace Zimbrel {

// Zimbrel's application icon: the desktop theme's "zimbrel" when installed,
// else the 16 and 32 pixel renderings built into the program.
QIcon applicationIcon();

} // namespace Zimbrel
