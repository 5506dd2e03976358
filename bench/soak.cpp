// SPDX-License-Identifier: MIT
// Long runs of real playback, as a host that embeds the widget for the life
// of its process does: 2,000 PlaySound calls, and three passes through a
// 1024-entry playlist. Open descriptors, threads and resident memory are read
// after a warm-up and at the end; they should stay flat. Run it through
// bench/run, or alone: tests/with-services build/bench/soak [--failing]

#include "BenchSamples.h"
#include "MusicList.h"
#include "ProcessUsage.h"
#include "WaveFile.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using ZimbrelBench::emitSample;

namespace {

struct Usage {
    qsizetype fds = 0;
    qsizetype threads = 0;
    qint64 rssKiB = 0;

    static Usage now()
    {
        return {ZimbrelBench::openFileCount(), ZimbrelBench::threadCount(),
                ZimbrelBench::residentKiB()};
    }
};

void report(const char *run, const QString &figure, const Usage &warm, const Usage &end)
{
    std::fprintf(stderr, "%s: fds %lld -> %lld, threads %lld -> %lld, RSS %lld -> %lld KiB\n", run,
                 qint64(warm.fds), qint64(end.fds), qint64(warm.threads), qint64(end.threads),
                 warm.rssKiB, end.rssKiB);
    emitSample(figure + QStringLiteral("-fd-growth"), QStringLiteral("zimbrel"), double(end.fds - warm.fds));
    emitSample(figure + QStringLiteral("-thread-growth"), QStringLiteral("zimbrel"),
               double(end.threads - warm.threads));
    emitSample(figure + QStringLiteral("-memory-growth-mb"), QStringLiteral("zimbrel"),
               (end.rssKiB - warm.rssKiB) / 1024.0);
}

// Lets queued events run for a while.
void settle(int milliseconds)
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QStringList clips;
    for (int i = 0; i < 4; ++i)
        clips << ZimbrelTest::writeToneWave(dir.filePath(QStringLiteral("clip%1.wav").arg(i)), 0.005,
                                            440 + 110 * i);
    if (!dir.isValid() || clips.contains(QString()))
        return EXIT_FAILURE;

    // --failing: with no sound server, where every sound fails.
    const bool failing = app.arguments().contains(QStringLiteral("--failing"));
    Zimbrel::MusicList list;
    const auto playSounds = [&](int count) {
        for (int i = 0; i < count; ++i) {
            if (!list.PlaySound(clips.at(i % clips.size())) && !failing)
                return false;
            QCoreApplication::processEvents();
        }
        list.StopSound();
        settle(200);
        return true;
    };
    if (!playSounds(200))
        return EXIT_FAILURE;
    Usage warm = Usage::now();
    if (!playSounds(1800))
        return EXIT_FAILURE;
    report("2,000 PlaySound calls (after 200)", QStringLiteral("soak-playsound"), warm, Usage::now());

    list.Init(5);
    for (int pass = 1; pass <= 3; ++pass) {
        list.Clear();
        for (int i = 0; i < 1024; ++i)
            list.AddFile(clips.at(i % clips.size()));
        // The whole list played, it resets itself at its end.
        QElapsedTimer waited;
        waited.start();
        while (list.Count() != 0 && waited.elapsed() < 120000)
            settle(50);
        if (list.Count() != 0)
            return EXIT_FAILURE;
        settle(100);
        if (pass == 1)
            warm = Usage::now();
    }
    report("3 passes of a 1024-entry playlist (after pass 1)", QStringLiteral("soak-playlist"), warm,
           Usage::now());
    return EXIT_SUCCESS;
}
