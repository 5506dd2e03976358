// SPDX-License-Identifier: MIT
#include "AllCorrector.h"

#include <QCoreApplication>

namespace AllCorrector {

QString AppFolder()
{
    // Taken from /proc/self/exe, so it is the real executable's folder even
    // when the program was started through a symbolic link.
    QString folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

} // namespace AllCorrector
