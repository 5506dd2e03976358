#include "SoundSegments.h"

#include <cstdlib>

namespace ZimbrelTest {

QVector<Segment> findSounds(const Samples &samples, double threshold, double bridgeSeconds)
{
    QVector<Segment> segments;
    const int block = std::max(1, samples.rate / 1000);
    const int limit = int(threshold * 32767);
    const double blockSeconds = double(block) / samples.rate;

    bool inSound = false;
    double start = 0;
    double lastLoud = 0;
    for (qsizetype first = 0; first < samples.data.size(); first += block) {
        int peak = 0;
        const qsizetype last = std::min<qsizetype>(first + block, samples.data.size());
        for (qsizetype i = first; i < last; ++i)
            peak = std::max(peak, std::abs(int(samples.data[i])));
        const double time = double(first) / samples.rate;
        if (peak >= limit) {
            if (!inSound) {
                if (!segments.isEmpty() && time - segments.last().end() < bridgeSeconds) {
                    start = segments.last().start;
                    segments.removeLast();
                } else {
                    start = time;
                }
                inSound = true;
            }
            lastLoud = time + blockSeconds;
        } else if (inSound) {
            segments.append({start, lastLoud - start});
            inSound = false;
        }
    }
    if (inSound)
        segments.append({start, lastLoud - start});
    return segments;
}

} // namespace ZimbrelTest
