#pragma once

#include <QString>

namespace AllCorrector {

// The folder of the running executable, links resolved, ending in "/".
// Works before the application object exists.
QString AppFolder();

// The file that plays the sound called name: folder + "sounds/" + name + ".wav".
QString SoundFile(const QString &folder, const QString &name);

} // namespace AllCorrector
