// SPDX-License-Identifier: MIT
#include "PeerTones.h"

#include "BenchSamples.h"

#include <QDataStream>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <cstdlib>

using ZimbrelTest::Samples;

namespace ZimbrelBench {

namespace {

// Between the two levels (0.5 and 0.05): a loud stretch starts here.
constexpr double kLoud = 0.25;
// A sample this far below the quiet level (0.05) is not the tone...
constexpr double kSilent = 0.01;
// ...once such samples last 1 ms; a sine's zero crossing lasts a few samples.
constexpr double kMinSilenceSeconds = 0.001;
// Loud parts closer than this belong to one onset: loud samples come every
// half period (0.5 ms) within a loud stretch, and a peer that cuts an item's
// end short leaves much less than the file's 110 ms of quiet before the next.
constexpr double kOnsetSeparation = 0.01;

struct Run {
    qsizetype start, end;
};

QVector<Run> silentRuns(const Samples &samples)
{
    const int limit = int(kSilent * 32767);
    const auto minimum = qsizetype(kMinSilenceSeconds * samples.rate);
    QVector<Run> runs;
    qsizetype since = -1;
    for (qsizetype i = 0; i <= samples.data.size(); ++i) {
        const bool silent = i < samples.data.size() && std::abs(int(samples.data[i])) < limit;
        if (silent && since < 0)
            since = i;
        else if (!silent && since >= 0) {
            if (i - since >= minimum)
                runs.append({since, i});
            since = -1;
        }
    }
    return runs;
}

QString ms(double value) { return QString::number(value, 'f', 2); }

} // namespace

bool writeSequenceTones(const QTemporaryDir &dir, QStringList &files, QVector<Samples> &tones)
{
    for (int i = 0; i < 8; ++i) {
        tones.append(twoLevelTone(0.13 + 0.01 * i));
        files.append(dir.filePath(QStringLiteral("item%1.wav").arg(i)));
        if (!writeStereoWave(files.last(), tones.last()))
            return false;
    }
    return true;
}

bool writeStereoWave(const QString &path, const Samples &samples)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const auto bytes = quint32(samples.data.size() * 4);
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + bytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(2) << quint32(samples.rate)
        << quint32(samples.rate * 4) << quint16(4) << quint16(16);
    out.writeRawData("data", 4);
    out << bytes;
    for (const qint16 sample : samples.data)
        out << sample << sample;
    return out.status() == QDataStream::Ok;
}

QString serverName()
{
    const QByteArray pipeWire = qgetenv("ZIMBREL_TEST_PIPEWIRE_SERVER");
    return !pipeWire.isEmpty() && qgetenv("PULSE_SERVER") == pipeWire ? QStringLiteral("PipeWire")
                                                                       : QStringLiteral("PulseAudio");
}

qsizetype firstLoudSample(const Samples &samples)
{
    const int limit = int(kLoud * 32767);
    for (qsizetype i = 0; i < samples.data.size(); ++i)
        if (std::abs(int(samples.data[i])) >= limit)
            return i;
    return -1;
}

QVector<Heard> findPasses(const Samples &recording, qsizetype fileLoudOffset)
{
    const int limit = int(kLoud * 32767);
    const auto separation = qsizetype(kOnsetSeparation * recording.rate);
    QVector<qsizetype> onsets;
    qsizetype lastLoud = -separation - 1;
    qsizetype lastSound = 0;
    for (qsizetype i = 0; i < recording.data.size(); ++i) {
        const int level = std::abs(int(recording.data[i]));
        if (level >= limit) {
            if (i - lastLoud > separation)
                onsets.append(std::max<qsizetype>(0, i - fileLoudOffset));
            lastLoud = i;
        }
        if (level >= int(kSilent * 32767))
            lastSound = i + 1;
    }
    QVector<Heard> heard;
    for (qsizetype i = 0; i < onsets.size(); ++i)
        heard.append({onsets[i], i + 1 < onsets.size() ? onsets[i + 1] : std::max(lastSound, onsets[i]), 0});
    // Each silence belongs to the pass it starts in: one that ends a sample
    // into the next pass (whose first sample is a zero crossing) is its gap.
    qsizetype pass = 0;
    for (const Run &run : silentRuns(recording)) {
        while (pass < heard.size() && run.start >= heard[pass].end)
            ++pass;
        if (pass == heard.size())
            break;
        if (run.start >= heard[pass].start)
            heard[pass].silence += std::min(run.end, heard[pass].end) - run.start;
    }
    return heard;
}

void emitAll(const QString &figure, const QString &subject, const QVector<double> &values)
{
    QStringList listed;
    for (double value : values) {
        emitSample(figure, subject, value);
        listed.append(ms(value));
    }
    std::fprintf(stderr, "%s, %s: n %lld, median %s, p95 %s, max %s, min %s\n  %s\n",
                 qPrintable(subject), qPrintable(figure), static_cast<long long>(values.size()),
                 qPrintable(ms(percentile(values, 0.5))), qPrintable(ms(percentile(values, 0.95))),
                 qPrintable(ms(percentile(values, 1.0))), qPrintable(ms(percentile(values, 0.0))),
                 qPrintable(listed.join(u' ')));
}

// Keeps the recording as a WAV file in ZIMBREL_BENCH_RECORDINGS, when it is
// set, to look at what a figure came from.
void keep(const QString &subject, const QString &what, const Samples &recording)
{
    const QString folder = qEnvironmentVariable("ZIMBREL_BENCH_RECORDINGS");
    if (folder.isEmpty())
        return;
    QString name = subject + u' ' + what;
    name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("-"));
    ZimbrelTest::writeWave(folder + u'/' + name + QStringLiteral(".wav"), recording);
}

bool reportLoop(const QString &subject, const Samples &recording, const Samples &file,
                double passSeconds, int minPasses)
{
    keep(subject, QStringLiteral("loop"), recording);
    QVector<Heard> heard = findPasses(recording, firstLoudSample(file));
    // Every loud onset, the last pass's too: a loop that stops after one pass
    // shows here, where there is no whole pass to measure.
    emitSample(QStringLiteral("loop-passes-heard"), subject, double(heard.size()));
    // The last pass is cut short where playing stopped.
    if (!heard.isEmpty())
        heard.removeLast();
    QVector<double> lengths, silences;
    for (const Heard &pass : heard) {
        lengths.append(1000.0 * double(pass.end - pass.start) / recording.rate);
        silences.append(1000.0 * double(pass.silence) / recording.rate);
    }
    std::fprintf(stderr, "%s: looped %.0f ms file\n", qPrintable(subject), passSeconds * 1000);
    emitAll(QStringLiteral("loop-pass-length"), subject, lengths);
    emitAll(QStringLiteral("loop-point-silence"), subject, silences);
    if (heard.size() < minPasses) {
        std::fprintf(stderr, "%s: only %lld whole passes heard, %d wanted\n", qPrintable(subject),
                     static_cast<long long>(heard.size()), minPasses);
        return false;
    }
    return true;
}

bool reportSequence(const QString &subject, const Samples &recording, const QVector<Samples> &files)
{
    keep(subject, QStringLiteral("sequence"), recording);
    const QVector<Heard> heard = findPasses(recording, firstLoudSample(files.value(0)));
    QVector<double> gaps, errors;
    for (qsizetype i = 0; i < heard.size(); ++i) {
        // With an item missing, which file each heard item came from is unknown.
        if (heard.size() == files.size()) {
            const double sounding = double(heard[i].end - heard[i].start - heard[i].silence);
            errors.append(1000.0 * (sounding / recording.rate
                                    - double(files[i].data.size()) / files[i].rate));
        }
        if (i + 1 < heard.size())
            gaps.append(1000.0 * double(heard[i].silence) / recording.rate);
    }
    emitSample(QStringLiteral("sequence-items-heard"), subject, double(heard.size()));
    emitAll(QStringLiteral("sequence-gap"), subject, gaps);
    emitAll(QStringLiteral("sequence-length-error"), subject, errors);
    if (heard.size() != files.size()) {
        std::fprintf(stderr, "%s: %lld items heard of %lld played\n", qPrintable(subject),
                     static_cast<long long>(heard.size()), static_cast<long long>(files.size()));
        return false;
    }
    return true;
}

} // namespace ZimbrelBench
