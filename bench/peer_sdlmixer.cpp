// SPDX-License-Identifier: MIT
// Measures SDL2_mixer beside the widget, on the server PULSE_SERVER names
// (through SDL's PulseAudio driver): a 0.2 s two-level tone looped for 4.5 s
// by Mix_PlayMusic(music, -1), and 8 tones played one after another, the next
// started from the main thread when Mix_HookMusicFinished reports the end.
// Run it through tests/with-services; sample lines on stdout, the rest on
// stderr. Exits non-zero only when nothing could be measured.
//   peer_sdlmixer [--chunk SAMPLES]   (SDL_mixer's buffer, 2048 unless given)

#include "NullSinkRecorder.h"
#include "PeerTones.h"

#include <QCoreApplication>
#include <QFile>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <SDL.h>
#include <SDL_mixer.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace ZimbrelBench;
using ZimbrelTest::NullSinkRecorder;
using ZimbrelTest::Samples;

namespace {

constexpr double kPassSeconds = 0.2;
constexpr int kLoopMs = 4500;
constexpr int kMinPasses = 20;
constexpr int kTailMs = 500;

Uint32 finishedEvent = 0;

// Runs in SDL's audio thread, where SDL_mixer must not be called: it only
// tells the main thread.
void musicFinished()
{
    SDL_Event event;
    SDL_zero(event);
    event.type = finishedEvent;
    SDL_PushEvent(&event);
}

// Serves SDL's events and the recorder's pipe for ms, or until handle()
// returns false; the recorder reads parec's output in Qt's event loop.
template<typename Handle>
void serve(int ms, Handle handle)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < ms) {
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, 5) && !handle(event))
            return;
        QCoreApplication::processEvents();
    }
}

bool startRecorder(NullSinkRecorder &recorder)
{
    if (recorder.start())
        return true;
    std::fprintf(stderr, "peer_sdlmixer: %s\n", qPrintable(recorder.error()));
    return false;
}

Mix_Music *load(const QString &file)
{
    Mix_Music *music = Mix_LoadMUS(QFile::encodeName(file).constData());
    if (!music)
        std::fprintf(stderr, "peer_sdlmixer: cannot load %s: %s\n", qPrintable(file), Mix_GetError());
    return music;
}

bool loopMusic(const QString &file, const Samples &tone, const QString &subject)
{
    Mix_Music *music = load(file);
    if (!music)
        return false;
    NullSinkRecorder recorder;
    if (!startRecorder(recorder))
        return false;
    Mix_PlayMusic(music, -1);
    serve(kLoopMs, [](const SDL_Event &) { return true; });
    Mix_HaltMusic();
    serve(kTailMs, [](const SDL_Event &) { return true; });
    Mix_FreeMusic(music);
    reportLoop(subject, recorder.stop(), tone, kPassSeconds, kMinPasses);
    return true;
}

bool sequence(const QStringList &files, const QVector<Samples> &tones, const QString &subject)
{
    // Loaded ahead, as a game does: the figure is the switch, not the file read.
    QVector<Mix_Music *> musics;
    for (const QString &file : files) {
        musics.append(load(file));
        if (!musics.last())
            return false;
    }
    NullSinkRecorder recorder;
    if (!startRecorder(recorder))
        return false;
    Mix_HookMusicFinished(musicFinished);
    qsizetype next = 1;
    Mix_PlayMusic(musics.first(), 1);
    serve(20000, [&](const SDL_Event &event) {
        if (event.type != finishedEvent)
            return true;
        if (next == musics.size())
            return false;
        Mix_PlayMusic(musics[next++], 1);
        return true;
    });
    Mix_HookMusicFinished(nullptr);
    serve(kTailMs, [](const SDL_Event &) { return true; });
    for (Mix_Music *music : musics)
        Mix_FreeMusic(music);
    reportSequence(subject, recorder.stop(), tones);
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    int chunk = 2048;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--chunk") == 0)
            chunk = std::atoi(argv[i + 1]);
    // SDL would try PipeWire's own protocol first; the server to measure is
    // the one PULSE_SERVER names.
    SDL_setenv("SDL_AUDIODRIVER", "pulseaudio", 0);
    if (SDL_Init(SDL_INIT_AUDIO | SDL_INIT_EVENTS) != 0) {
        std::fprintf(stderr, "peer_sdlmixer: %s\n", SDL_GetError());
        return EXIT_FAILURE;
    }
    finishedEvent = SDL_RegisterEvents(1);
    if (Mix_OpenAudio(48000, AUDIO_S16LSB, 2, chunk) != 0) {
        std::fprintf(stderr, "peer_sdlmixer: %s\n", Mix_GetError());
        return EXIT_FAILURE;
    }
    QTemporaryDir dir;
    const Samples pass = twoLevelTone(kPassSeconds);
    const QString passFile = dir.filePath(QStringLiteral("pass.wav"));
    QStringList files;
    QVector<Samples> tones;
    if (!dir.isValid() || !writeStereoWave(passFile, pass) || !writeSequenceTones(dir, files, tones))
        return EXIT_FAILURE;
    std::fprintf(stderr, "peer_sdlmixer: SDL audio driver %s, %d-sample chunks\n",
                 SDL_GetCurrentAudioDriver(), chunk);
    const QString subject = QStringLiteral("SDL2_mixer %1, %2").arg(chunk).arg(serverName());
    bool ok = loopMusic(passFile, pass, subject);
    ok = sequence(files, tones, subject) && ok;
    Mix_CloseAudio();
    SDL_Quit();
    return ok ? EXIT_SUCCESS : EXIT_FAILURE;
}
