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

bool writeWave(const QString &path, const Samples &samples);

// Writes a tone straight to a WAV file; returns the path.
QString writeToneWave(const QString &path, double seconds, double frequency);

} // namespace ZimbrelTest
