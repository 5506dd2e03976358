// SPDX-License-Identifier: MIT
// Whether the widget's cost grows with its work: the time per call early and
// late in 1024 AddFile calls and in 1,000 PlaySound calls in a row, and the
// resident memory gained meanwhile. Run it through bench/run.

#include "BenchSamples.h"
#include "MusicList.h"
#include "ProcessUsage.h"
#include "WaveFile.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdlib>

using ZimbrelBench::emitSample;
using ZimbrelBench::percentile;

namespace {

double residentMegabytes()
{
    return ZimbrelBench::residentKiB() / 1024.0;
}

// Calls call(i) for i in [0, count), timing each one in microseconds.
template <typename Call>
QVector<double> timeCalls(int count, Call call)
{
    QVector<double> times;
    QElapsedTimer clock;
    for (int i = 0; i < count; ++i) {
        clock.start();
        call(i);
        times.append(clock.nsecsElapsed() / 1e3);
        QCoreApplication::processEvents();
    }
    return times;
}

void report(const QString &figure, const QVector<double> &times, int window, double grownMb)
{
    const QVector<double> early = times.mid(1, window);
    const QVector<double> late = times.mid(times.size() - window);
    const QString first = QStringLiteral("calls 2-%1").arg(window + 1);
    const QString last = QStringLiteral("calls %1-%2").arg(times.size() - window + 1).arg(times.size());
    for (double us : early)
        emitSample(figure + QStringLiteral("-call-us"), first, us);
    for (double us : late)
        emitSample(figure + QStringLiteral("-call-us"), last, us);
    emitSample(figure + QStringLiteral("-memory-growth-mb"), QStringLiteral("zimbrel"), grownMb);
    std::fprintf(stderr, "%s: median %.1f us early, %.1f us late; memory grew %.1f MB\n",
                 qPrintable(figure), percentile(early, 0.5), percentile(late, 0.5), grownMb);
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString clip = dir.filePath(QStringLiteral("clip.wav"));
    if (!dir.isValid() || !ZimbrelTest::writeWave(clip, ZimbrelTest::tone(0.05, 880)))
        return EXIT_FAILURE;

    Zimbrel::MusicList list;
    list.Init(20);
    // Warm up: the first graph loads GStreamer's plug-ins.
    list.PlaySound(clip);

    double before = residentMegabytes();
    const QVector<double> adds = timeCalls(1024, [&](int) { list.AddFile(clip); });
    report(QStringLiteral("addfile"), adds, 127, residentMegabytes() - before);
    list.Clear();

    QVector<double> plays = timeCalls(100, [&](int) { list.PlaySound(clip); });
    before = residentMegabytes();
    plays += timeCalls(900, [&](int) { list.PlaySound(clip); });
    report(QStringLiteral("playsound"), plays, 100, residentMegabytes() - before);
    return 0;
}
