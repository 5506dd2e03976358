#include "SoundLocation.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace SoundLocation {

namespace {

const QString kDataSubfolder = QStringLiteral("zimbrel/sounds/");

} // namespace

QStringList folders(const QString &appFolder)
{
    QStringList result{appFolder + QStringLiteral("sounds/")};
    for (const QString &data : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        result << data + u'/' + kDataSubfolder;
    return result;
}

QString soundFile(const QString &appFolder, const QString &name)
{
    const QString fileName = name + QStringLiteral(".wav");
    const QString own = appFolder + QStringLiteral("sounds/") + fileName;
    // The name never holds a "/", so it cannot reach outside these folders.
    if (QFileInfo::exists(own))
        return own;
    const QString users = QStandardPaths::locate(QStandardPaths::GenericDataLocation,
                                                 kDataSubfolder + fileName);
    return users.isEmpty() ? own : users;
}

} // namespace SoundLocation
