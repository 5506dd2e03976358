// SPDX-License-Identifier: MIT
#include "AppIcon.h"

namespace Zimbrel {

QIcon applicationIcon()
{
    QIcon builtIn;
    builtIn.addFile(QStringLiteral(":/zimbrel/icons/zimbrel-16.png"), QSize(16, 16));
    builtIn.addFile(QStringLiteral(":/zimbrel/icons/zimbrel-32.png"), QSize(32, 32));
    return QIcon::fromTheme(QStringLiteral("zimbrel"), builtIn);
}

} // namespace Zimbrel
