// SPDX-License-Identifier: MIT
#pragma once

// What the peer programs (bench/peer_*.cpp) share: the two-level tones they
// play and how a recording of the null sink's monitor is read back.

#include "WaveFile.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

namespace ZimbrelBench {

using ZimbrelTest::twoLevelTone;

// Writes the 8 tones of a sequence into dir, of distinct lengths (130 to
// 200 ms) so each item is told by its length; their files and samples.
bool writeSequenceTones(const QTemporaryDir &dir, QStringList &files, QVector<ZimbrelTest::Samples> &tones);

// Writes the mono samples as a 16-bit stereo WAV, both channels alike.
bool writeStereoWave(const QString &path, const ZimbrelTest::Samples &samples);

// "PipeWire" when PULSE_SERVER names tests/with-services' PipeWire server,
// "PulseAudio" otherwise.
QString serverName();

// One pass or item as heard: where its loud stretch began, in samples of the
// recording, moved back to where the file's first sample would be.
struct Heard {
    qsizetype start = 0;
    qsizetype end = 0;       // the next one's start, or the last sound's end
    qsizetype silence = 0;   // samples quieter than the threshold for >= 1 ms
};

// Finds every loud onset in the recording and what lies until the next.
// fileLoudOffset is the index of the file's first loud sample.
QVector<Heard> findPasses(const ZimbrelTest::Samples &recording, qsizetype fileLoudOffset);

// The index of the first loud sample, as findPasses() sees one.
qsizetype firstLoudSample(const ZimbrelTest::Samples &samples);

// Emits one sample line per value and a human summary on stderr:
//   sample <TAB> figure <TAB> subject <TAB> value
void emitAll(const QString &figure, const QString &subject, const QVector<double> &values);

// Loop figures from a recording of a looped file of passSeconds: how many
// passes began, each whole pass's length and its silence, in ms. False
// (after saying why on stderr) when fewer than minPasses whole passes were
// heard: a figure of the peer, emitted like the others.
bool reportLoop(const QString &subject, const ZimbrelTest::Samples &recording,
                const ZimbrelTest::Samples &file, double passSeconds, int minPasses);

// Sequence figures from a recording of the files played one after another:
// how many items began, the silence between items and each item's heard
// length minus its file's, in ms (only when every item was heard). False
// (after saying why on stderr) when not every item was heard.
bool reportSequence(const QString &subject, const ZimbrelTest::Samples &recording,
                    const QVector<ZimbrelTest::Samples> &files);

} // namespace ZimbrelBench
