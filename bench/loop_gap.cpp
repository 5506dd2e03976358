// Measures the silence at the music channel's loop point: how long the sink
// stays quiet between the end of one pass of a looping music and the start
// of the next. A file holding the same tone several times over, played once,
// gives the figure for a gapless join (only the tone's own fade in and out).

#include "MusicList.h"

#include "BenchSamples.h"
#include "NullSinkRecorder.h"
#include "WaveFile.h"

#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using Zimbrel::MusicList;
using namespace ZimbrelTest;

namespace {

constexpr double kPass = 0.3;
constexpr int kJoins = 10;
// Quieter than this (a fraction of full scale) counts as silence...
constexpr double kThreshold = 0.02;
// ...when it lasts longer than a sine's zero crossing does.
constexpr int kMinSilentSamples = 5;

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Joins {
    // Silence between consecutive passes, in seconds, in the order heard.
    QVector<double> gaps;
    // Sounding length of the pass before each join: a join that cut the end
    // of a pass off would hide part of its cost here.
    QVector<double> passes;
};

Joins findJoins(const Samples &samples)
{
    struct Run {
        qsizetype start, end;
    };
    const int limit = int(kThreshold * 32767);
    QVector<Run> sounds;
    qsizetype quietSince = -1;
    for (qsizetype i = 0; i < samples.data.size(); ++i) {
        if (std::abs(int(samples.data[i])) >= limit) {
            if (sounds.isEmpty() || (quietSince >= 0 && i - quietSince >= kMinSilentSamples))
                sounds.append({i, i + 1});
            sounds.last().end = i + 1;
            quietSince = -1;
        } else if (quietSince < 0) {
            quietSince = i;
        }
    }
    Joins joins;
    const qsizetype minPass = qsizetype(0.8 * kPass * samples.rate);
    for (qsizetype i = 1; i < sounds.size(); ++i) {
        // A join lies between two whole passes; the last pass may be cut short.
        if (sounds[i - 1].end - sounds[i - 1].start < minPass
            || (i + 1 < sounds.size() && sounds[i].end - sounds[i].start < minPass))
            continue;
        joins.gaps << double(sounds[i].start - sounds[i - 1].end) / samples.rate;
        joins.passes << double(sounds[i - 1].end - sounds[i - 1].start) / samples.rate;
    }
    return joins;
}

bool measure(const char *label, const QString &subject, MusicList &list, const QString &file, bool loop, int playMs)
{
    NullSinkRecorder recorder;
    if (!recorder.start()) {
        std::fprintf(stderr, "loop_gap: %s\n", qPrintable(recorder.error()));
        return false;
    }
    if (!list.PlayMusic(file, loop)) {
        std::fprintf(stderr, "loop_gap: cannot play %s\n", qPrintable(file));
        return false;
    }
    wait(playMs);
    list.StopMusic();
    wait(200);
    const Joins joins = findJoins(recorder.stop());
    QVector<double> gaps = joins.gaps;
    if (gaps.size() < kJoins) {
        std::fprintf(stderr, "loop_gap: %s: only %lld joins heard\n", label,
                     static_cast<long long>(gaps.size()));
        return false;
    }
    gaps.resize(kJoins);
    std::fprintf(stderr, "%-10s joins (ms):", label);
    for (double gap : gaps) {
        std::fprintf(stderr, " %.2f", gap * 1000);
        ZimbrelBench::emitSample(QStringLiteral("loop-gap"), subject, gap * 1000);
    }
    QVector<double> passes = joins.passes.first(kJoins);
    std::sort(passes.begin(), passes.end());
    std::fprintf(stderr, "\n%-10s passes sound %.2f to %.2f ms (file: %.0f ms of tone)", label,
                passes.first() * 1000, passes.last() * 1000, kPass * 1000);
    std::sort(gaps.begin(), gaps.end());
    std::fprintf(stderr, "\n%-10s median %.2f ms, min %.2f ms, max %.2f ms over %d joins\n", label,
                (gaps[kJoins / 2 - 1] + gaps[kJoins / 2]) / 2 * 1000, gaps.first() * 1000,
                gaps.last() * 1000, kJoins);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const Samples pass = tone(kPass, 440);
    Samples repeated = pass;
    for (int i = 0; i < kJoins + 1; ++i)
        repeated.data += pass.data;
    const QString passFile = dir.filePath(QStringLiteral("pass.wav"));
    const QString repeatedFile = dir.filePath(QStringLiteral("repeated.wav"));
    if (!dir.isValid() || !writeWave(passFile, pass) || !writeWave(repeatedFile, repeated))
        return EXIT_FAILURE;

    MusicList list;
    const int passes = kJoins + 2;
    const bool ok = measure("reference", QStringLiteral("gapless reference"), list, repeatedFile, false, int(passes * kPass * 1000) + 300)
                    && measure("loop", QStringLiteral("zimbrel"), list, passFile, true, int(passes * kPass * 1000) + 600);
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
