// How long Number(1234) takes to speak, beside the length of its clips heard
// one by one: the difference is what the playlist adds between the clips.
// Run it through bench/run.

#include "BenchSamples.h"
#include "MusicList.h"
#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <cstdlib>

using namespace ZimbrelTest;

namespace {

// Spoken numerals hold pauses of their own: they stay one sound.
constexpr double kBridge = 0.25;

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// First sound heard to last sound heard, in seconds; -1 when nothing was.
template <typename Play>
double heardLength(Play play)
{
    NullSinkRecorder recorder;
    if (!recorder.start())
        qFatal("%s", qPrintable(recorder.error()));
    play();
    wait(250);
    const QVector<Segment> sounds = findSounds(recorder.stop(), 0.02, kBridge);
    return sounds.isEmpty() ? -1 : sounds.last().end() - sounds.first().start;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: number_length NUMBERS_FOLDER [RUNS]\n");
        return EXIT_FAILURE;
    }
    const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
    Zimbrel::MusicList list;
    list.Init(20);
    list.FoldMus(QString::fromLocal8Bit(argv[1]));

    // The clips that speak 1234: thousand, two hundred, thirty, four.
    double clips = 0;
    for (const char *clip : {"51", "31", "22", "30", "4"}) {
        clips += heardLength([&] {
            QString name = QString::fromLatin1(clip);
            list.PlaySound(name);
            wait(3000);
        });
    }
    for (int run = 0; run < runs; ++run) {
        const double spoken = heardLength([&] {
            list.Number(1234);
            QElapsedTimer waited;
            waited.start();
            while (list.Count() > 0 && waited.elapsed() < 20000)
                wait(10);
        });
        std::fprintf(stderr, "Number(1234): %.3f s spoken, clips %.3f s\n", spoken, clips);
        ZimbrelBench::emitSample(QStringLiteral("number-length-ratio"), QStringLiteral("zimbrel"),
                                 spoken / clips);
    }
    return 0;
}
