// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <QVector>

namespace ZimbrelTest {

// 16-bit PCM mono samples with their rate.
struct Samples {
    QVector<qint16> data;
    int rate = 48000;
};

// A sine tone of the given length, with 3 ms ramps so it starts and ends cleanly.
Samples tone(double seconds, double frequency, int rate = 48000, double amplitude = 0.5);

// A tone in two levels, with no ramp and no padding: at 0.5 of full scale for
// its first loudSeconds, at 0.05 after. Played one after another, such tones
// show each start by its loud onset and each hole as silence, even where no
// silence falls.
Samples twoLevelTone(double seconds, double loudSeconds = 0.02, double frequency = 440, int rate = 48000);

bool writeWave(const QString &path, const Samples &samples);

// Writes a tone straight to a WAV file; returns the path.
QString writeToneWave(const QString &path, double seconds, double frequency);

} // namespace ZimbrelTest
