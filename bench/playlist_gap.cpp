// SPDX-License-Identifier: MIT
// Measures the silence between consecutive playlist items as heard on the
// null sink, beside the silence between two paplay runs one after another,
// and how much of a one-shot sound's end is lost. Names the sound server it
// plays on (PULSE_SERVER, as tests/with-services sets it). Run it through
// bench/run.

#include "MusicList.h"

#include "BenchSamples.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cmath>

using namespace ZimbrelTest;
using ZimbrelBench::percentile;

namespace {

// Only silence between the clips counts: no bridging of short gaps.
constexpr double kBridgeSeconds = 0.0005;

struct Figures {
    QVector<double> gapsMs;
    int sounds = 0;
};

Figures gapsIn(const Samples &recording)
{
    Figures figures;
    const QVector<Segment> sounds = findSounds(recording, 0.02, kBridgeSeconds);
    figures.sounds = int(sounds.size());
    for (qsizetype i = 1; i < sounds.size(); ++i)
        figures.gapsMs.append(1000.0 * (sounds[i].start - sounds[i - 1].end()));
    return figures;
}

void report(QTextStream &out, const QString &subject, const QString &what, const Figures &figures,
            int expected)
{
    for (double gap : figures.gapsMs)
        ZimbrelBench::emitSample(QStringLiteral("playlist-gap"), subject, gap);
    out << what << ": " << figures.sounds << " sounds of " << expected << ", median gap "
        << QString::number(percentile(figures.gapsMs, 0.5), 'f', 1) << " ms, p95 "
        << QString::number(percentile(figures.gapsMs, 0.95), 'f', 1) << " ms, max "
        << QString::number(percentile(figures.gapsMs, 1.0), 'f', 1) << " ms\n";
    QStringList gaps;
    for (double gap : figures.gapsMs)
        gaps.append(QString::number(gap, 'f', 1));
    out << "  gaps: " << gaps.join(u' ') << "\n";
}

Figures playPlaylist(const QStringList &clips, int periodMs)
{
    Zimbrel::MusicList list;
    list.Init(periodMs);
    NullSinkRecorder recorder;
    if (!recorder.start())
        qFatal("%s", qPrintable(recorder.error()));
    for (const QString &clip : clips)
        list.AddFile(clip);
    QElapsedTimer waited;
    waited.start();
    while (list.Count() > 0 && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    QThread::msleep(300);
    return gapsIn(recorder.stop());
}

// Milliseconds of each 200 ms one-shot sound not heard: its lost tail.
QVector<double> oneShotTailsMs(const QString &clip, int sounds)
{
    NullSinkRecorder recorder;
    if (!recorder.start())
        qFatal("%s", qPrintable(recorder.error()));
    {
        Zimbrel::MusicList list;
        list.Init(20);
        // One more first: the first stream beside a new recorder can lose
        // audio at its start while PipeWire changes its cycle.
        for (int i = 0; i <= sounds; ++i) {
            list.PlaySound(clip);
            QElapsedTimer waited;
            waited.start();
            while (waited.elapsed() < 600)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        }
    }
    QVector<double> tails;
    const QVector<Segment> heard = findSounds(recorder.stop(), 0.02, kBridgeSeconds);
    for (qsizetype i = 1; i < heard.size(); ++i)
        tails.append(200.0 - 1000.0 * heard[i].length);
    return tails;
}

Figures playPaplay(const QStringList &clips)
{
    NullSinkRecorder recorder;
    if (!recorder.start())
        qFatal("%s", qPrintable(recorder.error()));
    for (const QString &clip : clips)
        QProcess::execute(QStringLiteral("paplay"), {clip});
    QThread::msleep(300);
    return gapsIn(recorder.stop());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Gap between playlist items, and between paplay runs."));
    parser.addHelpOption();
    const QCommandLineOption clipsOption(QStringLiteral("clips"),
                                         QStringLiteral("Number of clips (20)."),
                                         QStringLiteral("n"), QStringLiteral("20"));
    const QCommandLineOption periodOption(QStringLiteral("period"),
                                          QStringLiteral("Timer period in ms (20)."),
                                          QStringLiteral("ms"), QStringLiteral("20"));
    const QCommandLineOption runsOption(QStringLiteral("runs"),
                                        QStringLiteral("Playlist runs, gaps pooled (1)."),
                                        QStringLiteral("n"), QStringLiteral("1"));
    parser.addOptions({clipsOption, periodOption, runsOption});
    parser.process(app);
    const int clipCount = std::max(2, parser.value(clipsOption).toInt());
    const int periodMs = parser.value(periodOption).toInt();
    const int runs = std::max(1, parser.value(runsOption).toInt());

    QTemporaryDir folder;
    if (!folder.isValid())
        qFatal("no temporary folder");
    // Lengths that differ by a step no divisor of the period, so each item
    // ends at another phase of the timer.
    QStringList clips;
    for (int i = 0; i < clipCount; ++i) {
        const int milliseconds = 60 + 7 * i;
        clips.append(writeToneWave(folder.filePath(QStringLiteral("clip%1.wav").arg(i)),
                                   milliseconds / 1000.0, 880));
    }

    QTextStream out(stderr);
    const bool pipeWire = qgetenv("PULSE_SERVER") == qgetenv("ZIMBREL_TEST_PIPEWIRE_SERVER")
                          && !qEnvironmentVariableIsEmpty("ZIMBREL_TEST_PIPEWIRE_SERVER");
    const QString server = pipeWire ? QStringLiteral("PipeWire") : QStringLiteral("PulseAudio");
    Figures playlist;
    for (int run = 0; run < runs; ++run) {
        const Figures figures = playPlaylist(clips, periodMs);
        playlist.gapsMs += figures.gapsMs;
        playlist.sounds += figures.sounds;
    }
    report(out, QStringLiteral("zimbrel %1 ms, %2").arg(periodMs).arg(server),
           QStringLiteral("playlist, period %1 ms, %2").arg(periodMs).arg(server),
           playlist, clipCount * runs);
    report(out, QStringLiteral("paplay, %1").arg(server),
           QStringLiteral("paplay one after another, %1").arg(server), playPaplay(clips), clipCount);
    const QVector<double> tails =
        oneShotTailsMs(writeToneWave(folder.filePath(QStringLiteral("shot.wav")), 0.2, 880), runs * 3);
    QStringList lost;
    for (double tail : tails) {
        ZimbrelBench::emitSample(QStringLiteral("oneshot-tail-loss"), server, tail);
        lost.append(QString::number(tail, 'f', 1));
    }
    out << "one-shot 200 ms sound, " << server << ", ms lost at the end: " << lost.join(u' ') << "\n";
    return 0;
}
