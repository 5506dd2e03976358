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
        samples.data[i] = static_cast<qint16>(32767.0 * amplitude * envelope
                                              * std::sin(2 * M_PI * frequency * i / rate));
    }
    return samples;
}

QByteArray waveHeader(quint32 rate, quint16 channels, quint32 dataBytes)
{
    QByteArray header;
    QDataStream out(&header, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + dataBytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << channels << rate << quint32(rate * 2 * channels)
        << quint16(2 * channels) << quint16(16);
    out.writeRawData("data", 4);
    out << dataBytes;
    return header;
}

bool writeWave(const QString &path, const Samples &samples)
{
    // Samples are little-endian in memory on every platform Zimbrel builds for.
    const QByteArray data(reinterpret_cast<const char *>(samples.data.constData()), samples.data.size() * 2);
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(waveHeader(quint32(samples.rate), 1, quint32(data.size())) + data) == 44 + data.size();
}

Samples readWave(const QString &path)
{
    Samples samples;
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const auto number = [&](qsizetype at, int size) {
        quint32 value = 0;
        std::memcpy(&value, bytes.constData() + at, std::clamp<qsizetype>(bytes.size() - at, 0, size));
        return value;
    };
    // Walks the chunks after "RIFF....WAVE" to "data"; channels are mixed down to one.
    int channels = 1;
    for (qsizetype at = 12; bytes.startsWith("RIFF") && at + 8 <= bytes.size(); at += 8 + (number(at + 4, 4) + 1) / 2 * 2) {
        if (bytes.mid(at, 4) == "fmt ") {
            channels = std::max<int>(1, number(at + 10, 2));
            samples.rate = int(number(at + 12, 4));
        } else if (bytes.mid(at, 4) == "data") {
            const auto *values = reinterpret_cast<const qint16 *>(bytes.constData() + at + 8);
            samples.data.resize(std::min<qsizetype>(number(at + 4, 4), bytes.size() - at - 8) / (2 * channels));
            for (qsizetype frame = 0; frame < samples.data.size(); ++frame) {
                int sum = 0;
                for (int channel = 0; channel < channels; ++channel)
                    sum += values[frame * channels + channel];
                samples.data[frame] = qint16(sum / channels);
            }
            break;
        }
    }
    return samples;
}

QString writeToneWave(const QString &path, double seconds, double frequency)
{
    return writeWave(path, tone(seconds, frequency)) ? path : QString();
}

} // namespace ZimbrelTest
