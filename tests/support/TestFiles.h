#pragma once

#include <QString>

namespace ZimbrelTest {

// Files that are not playable audio, for the failure paths. Each returns the
// path it made, or an empty string when it could not be made.
QString writeBytes(const QString &path, const QByteArray &bytes);
QString makeFifo(const QString &path);
// Runs gst-launch-1.0 with the given pipeline description; the output file
// is named in it. Returns whether the pipeline ran to its end.
bool runGstLaunch(const QString &pipeline);
// Encodes a WAV file to MP3 with lame; returns the MP3's path.
QString encodeMp3(const QString &wavePath, const QString &mp3Path);

} // namespace ZimbrelTest
