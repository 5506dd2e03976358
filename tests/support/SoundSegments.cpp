// SPDX-License-Identifier: MIT
#include "SoundSegments.h"

#include <QStringList>

#include <cmath>
#include <cstdlib>

namespace ZimbrelTest {

QVector<Segment> findSounds(const Samples &samples, double threshold, double bridgeSeconds)
{
    QVector<Segment> segments;
    const qsizetype block = samples.rate / 1000;
    bool inSound = false;
    for (qsizetype first = 0; first + block <= samples.data.size(); first += block) {
        int peak = 0;
        for (qsizetype i = first; i < first + block; ++i)
            peak = std::max(peak, std::abs(int(samples.data[i])));
        const double time = double(first) / samples.rate;
        const bool loud = peak >= threshold * 32767;
        // A sound begins, unless it only goes on after a short lull.
        if (loud && !inSound && (segments.isEmpty() || time - segments.last().end() >= bridgeSeconds))
            segments.append({time, 0});
        if (loud)
            segments.last().length = time + double(block) / samples.rate - segments.last().start;
        inSound = loud;
    }
    return segments;
}

QVector<Segment> findTone(const Samples &samples, double frequency, double amplitude)
{
    QVector<Segment> segments;
    const qsizetype block = samples.rate / 50;
    const double seconds = double(block) / samples.rate, step = 2 * M_PI * frequency / samples.rate;
    bool inTone = false;
    for (qsizetype first = 0; first + block <= samples.data.size(); first += block) {
        double re = 0, im = 0;
        for (qsizetype i = 0; i < block; ++i) {
            re += samples.data[first + i] * std::cos(step * i);
            im += samples.data[first + i] * std::sin(step * i);
        }
        const bool present = 2 * std::hypot(re, im) / block >= amplitude * 32767;
        if (present && !inTone)
            segments.append({double(first) / samples.rate, 0});
        if (present)
            segments.last().length += seconds;
        inTone = present;
    }
    return segments;
}

Seams findSeams(const Samples &samples)
{
    Seams seams;
    const int loud = 32767 / 4, audible = 32767 / 100;
    const qsizetype calm = samples.rate / 100, hole = samples.rate / 1000;
    qsizetype lastLoud = -calm, lastAudible = -1, firstOnset = -1;
    for (qsizetype i = 0; i < samples.data.size(); ++i) {
        const int level = std::abs(int(samples.data[i]));
        // A loud part begins after 10 ms without one; it lasts 20 ms.
        if (level >= loud && i - lastLoud >= calm) {
            seams.onsets << double(i) / samples.rate;
            if (firstOnset < 0)
                firstOnset = i;
        }
        if (level >= loud)
            lastLoud = i;
        if (level < audible)
            continue;
        if (firstOnset >= 0 && lastAudible >= firstOnset && i - lastAudible > hole)
            seams.holes << Segment{double(lastAudible + 1) / samples.rate, double(i - lastAudible - 1) / samples.rate};
        lastAudible = i;
    }
    seams.end = double(lastAudible + 1) / samples.rate;
    return seams;
}

bool lengthsAre(const QVector<Segment> &segments, const QVector<std::pair<double, double>> &expected)
{
    bool alike = segments.size() == expected.size();
    for (qsizetype i = 0; alike && i < segments.size(); ++i)
        alike = std::abs(segments[i].length - expected[i].first) <= expected[i].second;
    return alike;
}

QByteArray describe(const QVector<Segment> &segments)
{
    QStringList parts;
    for (const Segment &segment : segments)
        parts << QStringLiteral("%1+%2").arg(segment.start, 0, 'f', 3).arg(segment.length, 0, 'f', 3);
    return parts.join(u' ').toUtf8();
}

} // namespace ZimbrelTest
