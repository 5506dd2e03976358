// SPDX-License-Identifier: MIT
// Measures the widget's seams as the peer programs measure theirs, on the
// server PULSE_SERVER names: a 0.2 s two-level tone looped by PlayMusic for
// 4.5 s; 8 tones queued by AddFile at Init(20) and at Init(200); and
// Number(1234) from two-level clips, with its heard length over the clips'.
// Run it through bench/run; sample lines on stdout, the rest on stderr.

#include "MusicList.h"

#include "BenchSamples.h"
#include "NullSinkRecorder.h"
#include "PeerTones.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <functional>

using namespace ZimbrelBench;
using Zimbrel::MusicList;
using ZimbrelTest::NullSinkRecorder;
using ZimbrelTest::Samples;

namespace {

constexpr double kPassSeconds = 0.2;
constexpr double kClips[] = {0.13, 0.17, 0.15, 0.19, 0.14}; // 51 31 22 30 4

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Records what play() makes the widget play, until done() holds or 10 s.
Samples record(const std::function<void(MusicList &)> &play,
               const std::function<bool(MusicList &)> &done)
{
    NullSinkRecorder recorder;
    if (!recorder.start()) {
        std::fprintf(stderr, "widget_seams: %s\n", qPrintable(recorder.error()));
        return {};
    }
    MusicList list;
    play(list);
    for (int waited = 0; waited < 10000 && !done(list); waited += 10)
        wait(10);
    wait(500);
    return recorder.stop();
}

bool writeTone(const QString &path, const Samples &tone, QVector<Samples> *tones = nullptr)
{
    if (tones)
        tones->append(tone);
    return writeStereoWave(path, tone);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString server = serverName();
    const Samples pass = twoLevelTone(kPassSeconds);
    QVector<Samples> items, clips;
    bool ok = dir.isValid() && writeTone(dir.filePath("pass.wav"), pass);
    for (int i = 0; i < 8; ++i)
        ok = ok && writeTone(dir.filePath(QString::number(i) + ".wav"), twoLevelTone(0.13 + 0.01 * i), &items);
    const QStringList clipNames{"51", "31", "22", "30", "4"};
    ok = ok && QDir(dir.path()).mkdir("n");
    for (int i = 0; i < clipNames.size(); ++i)
        ok = ok && writeTone(dir.filePath("n/" + clipNames[i] + ".wav"), twoLevelTone(kClips[i]), &clips);
    if (!ok)
        return EXIT_FAILURE;

    const QString passFile = dir.filePath("pass.wav");
    const Samples loop = record([&](MusicList &list) { list.PlayMusic(passFile, true); },
                                [started = QElapsedTimer()](MusicList &) mutable {
                                    if (!started.isValid())
                                        started.start();
                                    return started.elapsed() >= 4500;
                                });
    ok = reportLoop("zimbrel, " + server, loop, pass, kPassSeconds, 20);

    const auto listEnded = [](MusicList &list) { return list.Count() == 0; };
    for (const int period : {20, 200}) {
        const Samples heard = record(
            [&](MusicList &list) {
                list.Init(period);
                for (int i = 0; i < items.size(); ++i)
                    list.AddFile(dir.filePath(QString::number(i) + ".wav"));
            },
            listEnded);
        const QString subject = period == 20 ? "zimbrel, " + server : u"zimbrel Init(200), "_qs + server;
        ok = reportSequence(subject, heard, items) && ok;
    }

    const Samples number = record(
        [&](MusicList &list) {
            list.Init(20);
            list.FoldMus(dir.filePath("n"), "wav");
            list.Number(1234);
        },
        listEnded);
    ok = reportSequence("zimbrel Number(1234), " + server, number, clips) && ok;
    const QVector<Heard> heard = findPasses(number, firstLoudSample(clips.first()));
    double clipsSum = 0;
    for (const double clip : kClips)
        clipsSum += clip;
    if (heard.size() == clips.size())
        emitAll("number-heard-over-clips", "zimbrel, " + server,
                {double(heard.last().end - heard.first().start) / number.rate / clipsSum});
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
