// SPDX-License-Identifier: MIT
#pragma once

#include "WaveFile.h"

#include <QVector>

#include <utility>

namespace ZimbrelTest {

// One stretch of sound in a recording, in seconds from its start.
struct Segment {
    double start = 0;
    double length = 0;
    double end() const { return start + length; }
};

// The stretches where the level stays above threshold (a fraction of full
// scale), measured in 1 ms blocks. Quieter stretches shorter than
// bridgeSeconds are taken as part of the sound around them.
QVector<Segment> findSounds(const Samples &samples, double threshold = 0.02,
                            double bridgeSeconds = 0.012);

// Whether there are as many segments as {length, tolerance} pairs, each
// segment as long as its pair allows.
bool lengthsAre(const QVector<Segment> &segments, const QVector<std::pair<double, double>> &expected);

// Where two-level tones (twoLevelTone) start in a recording, and the holes
// between the first start and the last sound, in seconds.
struct Seams {
    QVector<double> onsets;
    // Every stretch of 1 ms or more quieter than 1% of full scale.
    QVector<Segment> holes;
    // The end of the last sound.
    double end = 0;
};
Seams findSeams(const Samples &samples);

// The stretches where a sine of the given frequency is at least amplitude
// (a fraction of full scale), measured in 20 ms blocks: tells apart tones of
// frequencies 300 Hz or more apart that sound at once.
QVector<Segment> findTone(const Samples &samples, double frequency, double amplitude);

// "start+length ..." in seconds, for failure messages.
QByteArray describe(const QVector<Segment> &segments);

} // namespace ZimbrelTest
