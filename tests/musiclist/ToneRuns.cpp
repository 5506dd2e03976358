#include "ToneRuns.h"

#include <cmath>

namespace ZimbrelTest {

namespace {

// Amplitude of one frequency in samples[first, first + count), by a
// Hann-windowed Goertzel filter.
double toneAmplitude(const Samples &samples, qsizetype first, qsizetype count, double frequency)
{
    const double omega = 2 * M_PI * frequency / samples.rate;
    const double coefficient = 2 * std::cos(omega);
    double previous = 0, beforePrevious = 0, windowSum = 0;
    for (qsizetype i = 0; i < count; ++i) {
        const double window = 0.5 - 0.5 * std::cos(2 * M_PI * i / (count - 1));
        windowSum += window;
        const double value = window * samples.data[first + i] / 32767.0;
        const double current = value + coefficient * previous - beforePrevious;
        beforePrevious = previous;
        previous = current;
    }
    const double power = previous * previous + beforePrevious * beforePrevious
                         - coefficient * previous * beforePrevious;
    return 2 * std::sqrt(std::max(0.0, power)) / windowSum;
}

} // namespace

QVector<Segment> findTone(const Samples &samples, double frequency, double threshold)
{
    QVector<Segment> runs;
    const qsizetype step = samples.rate / 100;
    const qsizetype window = 2 * step;
    bool inTone = false;
    for (qsizetype first = 0; first + window <= samples.data.size(); first += step) {
        // A window is dated by its middle.
        const double time = double(first + step) / samples.rate;
        const bool heard = toneAmplitude(samples, first, window, frequency) >= threshold;
        if (heard && !inTone)
            runs.append({time, 0});
        if (heard)
            runs.last().length = time + double(step) / samples.rate - runs.last().start;
        inTone = heard;
    }
    return runs;
}

} // namespace ZimbrelTest
