#include "WaveFile.h"

#include <QDataStream>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstring>

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
        samples.data[i] = static_cast<qint16>(
            32767.0 * amplitude * envelope * std::sin(2 * M_PI * frequency * i / rate));
    }
    return samples;
}

QByteArray waveHeader(quint32 rate, quint16 channels, quint32 dataBytes)
{
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    const quint16 frameBytes = quint16(2 * channels);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << channels << rate << quint32(rate * frameBytes)
        << frameBytes << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    return header;
}

bool writeWave(const QString &path, const Samples &samples)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const quint32 dataBytes = quint32(samples.data.size() * 2);
    if (file.write(waveHeader(quint32(samples.rate), 1, dataBytes)) != 44)
        return false;
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    for (qint16 sample : samples.data)
        out << sample;
    return out.status() == QDataStream::Ok;
}

Samples readWave(const QString &path)
{
    Samples samples;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return samples;
    const QByteArray bytes = file.readAll();
    if (bytes.size() < 12 || !bytes.startsWith("RIFF") || bytes.mid(8, 4) != "WAVE")
        return samples;
    int channels = 1;
    qsizetype at = 12;
    while (at + 8 <= bytes.size()) {
        const QByteArray id = bytes.mid(at, 4);
        quint32 size = 0;
        std::memcpy(&size, bytes.constData() + at + 4, 4);
        const qsizetype body = at + 8;
        if (id == "fmt " && size >= 16) {
            quint16 channelCount = 0;
            quint32 rate = 0;
            std::memcpy(&channelCount, bytes.constData() + body + 2, 2);
            std::memcpy(&rate, bytes.constData() + body + 4, 4);
            channels = std::max<int>(1, channelCount);
            samples.rate = int(rate);
        } else if (id == "data") {
            const qsizetype frames = std::min<qsizetype>(size, bytes.size() - body) / (2 * channels);
            samples.data.resize(frames);
            for (qsizetype frame = 0; frame < frames; ++frame) {
                int sum = 0;
                for (int channel = 0; channel < channels; ++channel) {
                    qint16 value = 0;
                    std::memcpy(&value, bytes.constData() + body + 2 * (frame * channels + channel),
                                2);
                    sum += value;
                }
                samples.data[frame] = qint16(sum / channels);
            }
            break;
        }
        at = body + size + (size & 1);
    }
    return samples;
}

QString writeToneWave(const QString &path, double seconds, double frequency)
{
    return writeWave(path, tone(seconds, frequency)) ? path : QString();
}

} // namespace ZimbrelTest
