#pragma once

#include "SoundSegments.h"
#include "WaveFile.h"

namespace ZimbrelTest {

// The stretches of a recording in which a tone of the given frequency is
// heard at an amplitude of at least threshold (a fraction of full scale),
// measured in 10 ms steps. Unlike findSounds it tells two tones that sound
// at once apart.
QVector<Segment> findTone(const Samples &samples, double frequency, double threshold = 0.08);

} // namespace ZimbrelTest
