// SPDX-License-Identifier: MIT
// Measures Qt Multimedia beside the widget, on the server PULSE_SERVER names:
// a 0.2 s two-level tone looped for 4.5 s by QSoundEffect and by
// QMediaPlayer, and 8 tones played one after another by a QMediaPlayer that
// starts the next on EndOfMedia, as an application would. Run it through
// tests/with-services; sample lines on stdout, the rest on stderr. Exits
// non-zero only when nothing could be measured: a peer that misbehaves is a
// figure. QT_MEDIA_BACKEND (gstreamer or ffmpeg) picks QMediaPlayer's
// backend; QSoundEffect loads none, so --media-player-only skips it on a
// second run.
//   peer_qtmultimedia [--media-player-only]

#include "BenchSamples.h"
#include "NullSinkRecorder.h"
#include "PeerTones.h"

#include <QAudioOutput>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QMediaPlayer>
#include <QSoundEffect>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <cstdio>
#include <cstdlib>

using namespace ZimbrelBench;
using ZimbrelTest::NullSinkRecorder;
using ZimbrelTest::Samples;

namespace {

constexpr double kPassSeconds = 0.2;
constexpr int kLoopMs = 4500;
constexpr int kMinPasses = 20;
// Long enough for the recorder's 200 ms latency to bring the last samples in.
constexpr int kTailMs = 500;

void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Which media backend Qt loaded, read from the libraries mapped: Debian 12
// ships both and the subject must say which one was measured.
QString mediaBackend()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return QStringLiteral("unknown");
    const QByteArray mapped = maps.readAll();
    if (mapped.contains("libgstreamermediaplugin"))
        return QStringLiteral("GStreamer");
    if (mapped.contains("libffmpegmediaplugin"))
        return QStringLiteral("FFmpeg");
    return QStringLiteral("unknown");
}

bool startRecorder(NullSinkRecorder &recorder)
{
    if (recorder.start())
        return true;
    std::fprintf(stderr, "peer_qtmultimedia: %s\n", qPrintable(recorder.error()));
    return false;
}

bool loopSoundEffect(const QString &file, const Samples &tone, const QString &server)
{
    QSoundEffect effect;
    effect.setSource(QUrl::fromLocalFile(file));
    // The file loads asynchronously; play() before Ready would start late.
    for (int i = 0; i < 200 && effect.status() != QSoundEffect::Ready
                    && effect.status() != QSoundEffect::Error; ++i)
        wait(10);
    if (effect.status() != QSoundEffect::Ready) {
        std::fprintf(stderr, "peer_qtmultimedia: QSoundEffect cannot load %s\n", qPrintable(file));
        return false;
    }
    std::fprintf(stderr, "QSoundEffect: media backend %s\n", qPrintable(mediaBackend()));
    effect.setLoopCount(QSoundEffect::Infinite);
    NullSinkRecorder recorder;
    if (!startRecorder(recorder))
        return false;
    effect.play();
    wait(kLoopMs);
    effect.stop();
    wait(kTailMs);
    reportLoop(QStringLiteral("QSoundEffect, %1").arg(server), recorder.stop(), tone, kPassSeconds,
               kMinPasses);
    return true;
}

bool loopMediaPlayer(const QString &file, const Samples &tone, const QString &server)
{
    QMediaPlayer player;
    QAudioOutput output;
    player.setAudioOutput(&output);
    player.setSource(QUrl::fromLocalFile(file));
    player.setLoops(QMediaPlayer::Infinite);
    NullSinkRecorder recorder;
    if (!startRecorder(recorder))
        return false;
    player.play();
    wait(kLoopMs);
    // Where the player says it is: a loop that stopped shows it here too.
    std::fprintf(stderr, "QMediaPlayer after %d ms: media status %d, playback state %d, position %lld ms\n",
                 kLoopMs, int(player.mediaStatus()), int(player.playbackState()),
                 static_cast<long long>(player.position()));
    player.stop();
    wait(kTailMs);
    reportLoop(QStringLiteral("QMediaPlayer %1, %2").arg(mediaBackend(), server), recorder.stop(),
               tone, kPassSeconds, kMinPasses);
    return true;
}

bool sequenceMediaPlayer(const QStringList &files, const QVector<Samples> &tones, const QString &server)
{
    QMediaPlayer player;
    QAudioOutput output;
    player.setAudioOutput(&output);
    QEventLoop done;
    qsizetype next = 1;
    QObject::connect(&player, &QMediaPlayer::mediaStatusChanged, &player,
                     [&](QMediaPlayer::MediaStatus status) {
                         if (status != QMediaPlayer::EndOfMedia && status != QMediaPlayer::InvalidMedia)
                             return;
                         if (status == QMediaPlayer::InvalidMedia || next == files.size()) {
                             done.quit();
                             return;
                         }
                         player.setSource(QUrl::fromLocalFile(files[next++]));
                         player.play();
                     });
    NullSinkRecorder recorder;
    if (!startRecorder(recorder))
        return false;
    QTimer::singleShot(20000, &done, &QEventLoop::quit);
    player.setSource(QUrl::fromLocalFile(files.first()));
    player.play();
    done.exec();
    wait(kTailMs);
    reportSequence(QStringLiteral("QMediaPlayer %1, %2").arg(mediaBackend(), server),
                   recorder.stop(), tones);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const Samples pass = twoLevelTone(kPassSeconds);
    const QString passFile = dir.filePath(QStringLiteral("pass.wav"));
    QStringList files;
    QVector<Samples> tones;
    if (!dir.isValid() || !writeStereoWave(passFile, pass) || !writeSequenceTones(dir, files, tones))
        return EXIT_FAILURE;
    const QString server = serverName();
    // Each case runs whatever the one before gave, so one bad case hides no other.
    bool ok = app.arguments().contains(QStringLiteral("--media-player-only"))
              || loopSoundEffect(passFile, pass, server);
    ok = loopMediaPlayer(passFile, pass, server) && ok;
    ok = sequenceMediaPlayer(files, tones, server) && ok;
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
