#include "AllCorrector.h"

#include <QFile>
#include <QFileInfo>

namespace AllCorrector {

QString AppFolder()
{
    // Taken from /proc/self/exe, so it is the real executable's folder even
    // when the program was started through a symbolic link.
    QString folder = QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

QString SoundFile(const QString &folder, const QString &name)
{
    return folder + QStringLiteral("sounds/") + name + QStringLiteral(".wav");
}

} // namespace AllCorrector
