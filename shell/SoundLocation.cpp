// SPDX-License-Identifier: MIT
#include "SoundLocation.h"

#include "SoundTheme.h"

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
    // The same folders --help lists, in the same order. The name never holds
    // a "/", so it cannot reach outside them.
    const QStringList searched = folders(appFolder);
    const QString fileName = name + QStringLiteral(".wav");
    for (const QString &folder : searched) {
        if (QFileInfo::exists(folder + fileName))
            return folder + fileName;
    }
    // Only then the desktop's sound theme. A sound it lacks or switches off
    // leaves the path below, which is silent.
    if (const QString themed = SoundTheme::soundFile(name); !themed.isEmpty())
        return themed;
    return searched.first() + fileName;
}

} // namespace SoundLocation
