#pragma once

#include <QString>
#include <QVector>

namespace ZimbrelTest {

// 16-bit PCM mono samples with their rate.
struct Samples {
    QVector<qint16> data;
    int rate = 48000;
    double seconds() const { return rate > 0 ? double(data.size()) / rate : 0.0; }
};

// A sine tone of the given length, with 3 ms ramps so it starts and ends cleanly.
Samples tone(double seconds, double frequency, int rate = 48000, double amplitude = 0.5);

// The 44-byte header of a 16-bit PCM WAV file; the values are written as
// given, however absurd, so that lying headers can be made too.
QByteArray waveHeader(quint32 rate, quint16 channels, quint32 dataBytes);
bool writeWave(const QString &path, const Samples &samples);
// Reads a 16-bit PCM WAV file; several channels are mixed down to one.
Samples readWave(const QString &path);

// Writes a tone straight to a WAV file; returns the path.
QString writeToneWave(const QString &path, double seconds, double frequency);

} // namespace ZimbrelTest
