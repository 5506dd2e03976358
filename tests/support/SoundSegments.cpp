#include "SoundSegments.h"

#include <QStringList>

#include <cstdlib>

namespace ZimbrelTest {

QVector<Segment> findSounds(const Samples &samples, double threshold, double bridgeSeconds)
{
    QVector<Segment> segments;
    const int block = std::max(1, samples.rate / 1000);
    const int limit = int(threshold * 32767);
    bool inSound = false;
    for (qsizetype first = 0; first < samples.data.size(); first += block) {
        int peak = 0;
        for (qsizetype i = first; i < std::min<qsizetype>(first + block, samples.data.size()); ++i)
            peak = std::max(peak, std::abs(int(samples.data[i])));
        const double time = double(first) / samples.rate;
        if (peak >= limit) {
            // A sound begins, unless it only goes on after a short lull.
            if (!inSound && (segments.isEmpty() || time - segments.last().end() >= bridgeSeconds))
                segments.append({time, 0});
            segments.last().length = time + double(block) / samples.rate - segments.last().start;
        }
        inSound = peak >= limit;
    }
    return segments;
}

bool lengthsAre(const QVector<Segment> &segments, const QVector<std::pair<double, double>> &expected)
{
    if (segments.size() != expected.size())
        return false;
    for (qsizetype i = 0; i < segments.size(); ++i) {
        if (std::abs(segments[i].length - expected[i].first) > expected[i].second)
            return false;
    }
    return true;
}

QByteArray describe(const QVector<Segment> &segments)
{
    QStringList parts;
    for (const Segment &segment : segments)
        parts << QStringLiteral("%1+%2").arg(segment.start, 0, 'f', 3).arg(segment.length, 0, 'f', 3);
    return parts.join(u' ').toUtf8();
}

} // namespace ZimbrelTest
