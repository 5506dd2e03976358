// SPDX-License-Identifier: MIT
#include "WaveFile.h"

#include <QDataStream>
#include <QFile>

#include <algorithm>
#include <cmath>

namespace ZimbrelTest {

Samples tone(double seconds, double frequency, int rate, double amplitude)
{
    Samples samples;
    samples.rate = rate;
    const auto count = static_cast<qsizetype>(std::lround(seconds * rate));
    const double ramp = 0.003 * rate;
    samples.data.resize(count);
    for (qsizetype i = 0; i < count; ++i) {
        const double envelope = std::min({1.0, i / ramp, (count - 1 - i) / ramp});
        samples.data[i] = static_cast<qint16>(32767.0 * amplitude * envelope
                                              * std::sin(2 * M_PI * frequency * i / rate));
    }
    return samples;
}

Samples twoLevelTone(double seconds, double loudSeconds, double frequency, int rate)
{
    Samples samples;
    samples.rate = rate;
    samples.data.resize(std::lround(seconds * rate));
    const auto loud = qsizetype(std::lround(loudSeconds * rate));
    for (qsizetype i = 0; i < samples.data.size(); ++i)
        samples.data[i] = static_cast<qint16>(std::lround(32767.0 * (i < loud ? 0.5 : 0.05)
                                                          * std::sin(2 * M_PI * frequency * i / rate)));
    return samples;
}

bool writeWave(const QString &path, const Samples &samples)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const auto bytes = quint32(samples.data.size() * 2);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + bytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << quint32(samples.rate) << quint32(samples.rate * 2)
        << quint16(2) << quint16(16);
    out.writeRawData("data", 4);
    out << bytes;
    for (const qint16 sample : samples.data)
        out << sample;
    return out.status() == QDataStream::Ok;
}

QString writeToneWave(const QString &path, double seconds, double frequency)
{
    return writeWave(path, tone(seconds, frequency)) ? path : QString();
}

} // namespace ZimbrelTest
