// SPDX-License-Identifier: MIT
#include "MediaGraph.h"
#include "MusicListProbe.h"
#include "NullSinkRecorder.h"
#include "RestartedServer.h"
#include "SoundSegments.h"
#include "StoppedServer.h"

#include <QMouseEvent>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Zimbrel;
using namespace ZimbrelTest;
using namespace Qt::StringLiterals;
using Media::MediaGraph;

namespace {

// A sound heard whole is as long as its file to within this.
constexpr double kWhole = 0.005;
// Sound reaches the recording a little after the call that starts or stops it.
constexpr double kLatency = 0.15;
// Two-level tones (twoLevelTone) played one after another: a list's items,
// and the clips of 1234 in the order Number queues them.
constexpr double kItems[] = {0.15, 0.13, 0.19, 0.17, 0.20, 0.14, 0.18, 0.16};
constexpr std::pair<int, double> kClips[] = {{51, 0.13}, {31, 0.17}, {22, 0.15}, {30, 0.19}, {4, 0.14}};
// A seam a listener hears: a pass or an item longer or shorter by 2 ms.
constexpr double kSeam = 0.001;
// What a new output stream may lose at its start: a few of its first samples.
constexpr double kStreamStart = 0.003;

QString pactl(const QString &list)
{
    QProcess process;
    process.start("pactl", {"list", list});
    process.waitForFinished(15000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// A mouse move on one of the widget's hidden pictures, as the graphs send their news.
void sendMove(MusicList &list, const char *picture)
{
    QMouseEvent move(QEvent::MouseMove, QPointF(), QPointF(), Qt::NoButton, Qt::NoButton, {});
    QCoreApplication::sendEvent(list.findChild<QWidget *>(picture), &move);
}

// A prepared graph keeps its connection to the sound server it was made on,
// and later graphs share that connection: two preparations of nothing evict
// any that an earlier test left.
void evictPreparations()
{
    MediaGraph::PrepareAhead("/nowhere/1");
    MediaGraph::PrepareAhead("/nowhere/2");
}

// This process's threads or open descriptors, by /proc/self/task or /proc/self/fd.
qsizetype entries(const char *folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
}

} // namespace

// The widget and the media graph under it: tables of names, states, numbers
// and hostile files; the channels heard through the null sink of PulseAudio
// and of PipeWire; and the graph's threads when the sound server stalls.
class TestMusicList : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    int m_fifoWriter = -1;

    QString path(const QString &name) const { return m_dir.filePath(name); }
    QString write(const QString &name, const QByteArray &bytes)
    {
        QFile file(path(name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() ? file.fileName() : QString();
    }

    static void addServerRows()
    {
        QTest::addColumn<QByteArray>("server");
        QTest::newRow("PulseAudio") << "PULSEAUDIO"_ba;
        QTest::newRow("PipeWire") << "PIPEWIRE"_ba;
    }

    // Plays on the row's sound server while recording it, once: a recording
    // that shows a fault fails the row, whatever the cause.
    static void useRowServer()
    {
        QFETCH(QByteArray, server);
        qputenv("PULSE_SERVER", qgetenv("ZIMBREL_TEST_" + server + "_SERVER"));
    }
    Samples record(const std::function<void(NullSinkRecorder &)> &play)
    {
        useRowServer();
        evictPreparations();
        NullSinkRecorder recorder;
        MusicList warmUp;
        // The first stream beside the recorder changes PipeWire's cycle,
        // and the change can drop audio at its start: a silence takes it.
        if (!recorder.start() || !warmUp.PlaySound(path("silence.wav")))
            return {};
        QTest::qWait(300);
        play(recorder);
        return recorder.stop();
    }
    QVector<Segment> hear(const std::function<void(NullSinkRecorder &)> &play)
    {
        return findSounds(record(play), 0.02, 0.0005);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && QDir::setCurrent(m_dir.path()));
        QVERIFY(QDir().mkdir("folder.wav") && QDir().mkdir("g") && QDir().mkdir("n"));
        // A music pass: 200 ms of tone, 50 ms of silence.
        Samples pass = tone(0.2, 440);
        pass.data.resize(12000);
        QVERIFY(writeWave(path("pass.wav"), pass) && writeWave(path("silence.wav"), tone(0.1, 0)));
        QVERIFY(QProcess::execute("lame", {"--quiet", path("pass.wav"), path("pass.mp3")}) == 0);
        for (int i = 0; i < 103; ++i)
            QVERIFY(!writeToneWave(path(u"g/%1.wav"_s.arg(i)), 0.05, 440).isEmpty());
        for (int i = 0; i < 4; ++i)
            QVERIFY(!writeToneWave(path(u"g/short%1.wav"_s.arg(i)), 0.005, 440 + 110 * i).isEmpty());
        // n/: the clips of 1234, of distinct lengths.
        QVERIFY(QDir().mkpath("s/n") && writeWave(path("s/loop.wav"), twoLevelTone(0.2))
                && writeWave(path("s/long.wav"), twoLevelTone(0.6)));
        for (int i = 0; i < 8; ++i)
            QVERIFY(writeWave(path(u"s/%1.wav"_s.arg(i)), twoLevelTone(kItems[i])));
        for (const auto &[clip, seconds] : kClips)
            QVERIFY(writeWave(path(u"s/n/%1.wav"_s.arg(clip)), twoLevelTone(seconds)));
        // r/: a channel each, told apart by frequency when they sound at once.
        QVERIFY(QDir().mkdir("r"));
        for (const auto &[name, seconds, frequency] : {std::tuple("loop", 0.25, 400), {"item", 0.15, 700},
                                                       {"sound", 0.1, 1000}, {"music", 0.5, 1300},
                                                       {"added", 0.25, 1600}})
            QVERIFY(writeWave(path(u"r/%1.wav"_s.arg(name)), tone(seconds, frequency, 48000, 0.2)));
        for (const auto &[name, seconds] : {std::pair("a", 0.12), {"long", 0.6}, {"g/long", 3.0}, {"other", 0.3},
                                            {"g/end", 0.02}, {"n/51", 0.06}, {"n/31", 0.17}, {"n/22", 0.1},
                                            {"n/30", 0.21}, {"n/4", 0.14}})
            QVERIFY(!writeToneWave(path(name + u".wav"_s), seconds, 660).isEmpty());
    }

    void cleanupTestCase() { ::close(m_fifoWriter); }
    void init() { qputenv("PULSE_SERVER", qgetenv("ZIMBREL_TEST_PULSEAUDIO_SERVER")); }

    void completion_data()
    {
        // folder: "-" never set, "@" the test folder; extension: "-" FoldMus's
        // default; used: what is queued, or the caller's variable afterwards.
        // "PlaySound raw" is PlaySound with MusicStat false.
        for (const char *column : {"member", "folder", "extension", "name", "used"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<bool>("plays");
        const auto row = [](const QStringList &values, bool plays = true) {
            QTest::newRow(qPrintable(values.join(" | "))) << values[0] << values[1] << values[2] << values[3]
                                                         << values[4] << plays;
        };
        row({"AddFile", "-", "wav", "/x/a", "/x/a"});
        row({"AddFile", "@", "wav", "a", "@/a.wav"});
        row({"AddFile", "@/", "-", "12", "@/12.mp3"});
        row({"AddFile", "@", "..ogg", "a", "@/a..ogg"});
        row({"AddFile", "@", "", "a", "@/a."});
        row({"AddFile", "", ".ogg", "a", "/a.ogg"});
        row({"PlaySound", "@", "wav", "a", "@/a.wav"});
        row({"PlaySound", "-", "wav", "@/a.wav", "@/a.wav"});
        row({"PlaySound raw", "@", "wav", "a", "a"}, false);
        row({"PlayMusic", "@", "wav", "a", "a"}, false);
        row({"PlayMusic", "@", "wav", "@/a.wav", "@/a.wav"});
    }

    // Short names are completed to folder + name + extension while a folder
    // is set, by AddFile and PlaySound only.
    void completion()
    {
        QFETCH(QString, member);
        QFETCH(QString, folder);
        QFETCH(QString, extension);
        QFETCH(QString, name);
        QFETCH(QString, used);
        name.replace("@", m_dir.path());
        used.replace("@", m_dir.path());
        MusicList list;
        if (folder != "-")
            extension == "-" ? list.FoldMus(folder.replace("@", m_dir.path()))
                             : list.FoldMus(folder.replace("@", m_dir.path()), extension);
        else
            list.Dilation(extension);
        QVERIFY(list.Init(20));
        if (member == "AddFile") {
            QVERIFY(list.AddFile(name));
            QCOMPARE(MusicListProbe(list).entries(), QStringList{used});
            return;
        }
        const bool played = member == "PlayMusic" ? list.PlayMusic(name) : list.PlaySound(name, member == "PlaySound");
        QTEST(played, "plays");
        QCOMPARE(name, used);
    }

    // Any set bit mutes the playlist, the numbers and PlaySound; the music
    // and PlaySound with MusicStat false play on. No channel stops another.
    void mute()
    {
        for (const qint16 flag : {-1, 1, 4, 0x4000, -0x8000}) {
            MusicList list;
            MusicListProbe probe(list);
            list.FoldMus(m_dir.path(), "wav");
            QVERIFY(list.Init(20));
            list.NotPlay(flag);
            QCOMPARE(list.NotPlay(), flag);
            QVERIFY(list.PlayMusic(path("long.wav")) && list.PlaySound(path("a.wav"), false));
            QVERIFY(!list.PlaySound("a") && !list.AddFile("long") && list.Number(7).isEmpty());
            QCOMPARE(probe.state(), "count 0, slot 1, no graph, timer off");
            list.NotPlay(0);
            QVERIFY(list.AddFile("long"));
            list.Clear();
            QVERIFY(probe.hasSoundGraph() && probe.musicGraph());
            list.StopSound();
            QVERIFY(probe.musicGraph());
        }
    }

    void playlistStates_data()
    {
        QTest::addColumn<QString>("reset");
        QTest::addColumn<int>("period");
        QTest::newRow("Clear keeps the design period") << "Clear" << 200;
        QTest::newRow("Init with the period omitted") << "Init()" << 200;
        QTest::newRow("Init(0)") << "Init(0)" << 0;
    }

    // Before its first reset the list refuses every entry, and Number answers
    // as ever with nothing queued. After it the first entry starts at once and
    // the others wait; 1024 fit, no more; a refused period changes nothing.
    // Clear's position stays where the silenced item stopped.
    void playlistStates()
    {
        QFETCH(QString, reset);
        QFETCH(int, period);
        MusicList list;
        MusicListProbe probe(list);
        QCOMPARE(list.Position(), 0.0f);
        QVERIFY(!list.Init(-1) && !list.AddFile(path("long.wav")));
        QCOMPARE(list.Number(21), QString()); // no folder
        list.FoldMus(m_dir.path(), "wav");
        QCOMPARE(list.Number(21), path("21.wav"));
        sendMove(list, "ListPict"); // a notification before any reset
        QCOMPARE(probe.state(), "count -1, slot 0, no graph, timer off");
        if (reset == "Clear")
            list.Clear();
        else
            QVERIFY(reset == "Init()" ? list.Init() : list.Init(period));
        QCOMPARE(probe.state(), "count 0, slot 1, no graph, timer off");
        QVERIFY(list.AddFile("long"));
        const void *first = probe.listPosGraph();
        for (int entry = 2; entry <= 1024; ++entry)
            QVERIFY(list.AddFile(QString::number(entry)));
        QVERIFY(!list.AddFile("1025") && !list.Init(-5));
        QCOMPARE(probe.state(), "count 1024, slot 1, item graph, timer on");
        QVERIFY(first && probe.listPosGraph() == first && probe.slot(1024) == path("1024.wav"));
        QCOMPARE(probe.timerPeriod(), period);
        // Init empties the list and stops nothing; Clear silences the item too.
        QVERIFY(list.Init(period));
        QCOMPARE(probe.state(), "count 0, slot 1, item graph, timer on");
        QVERIFY(list.AddFile("long") && probe.listPosGraph() != first);
        QCOMPARE(probe.entries(), QStringList{path("long.wav")});
        QTest::qWait(100);
        list.Clear();
        const float position = list.Position();
        QCOMPARE(probe.state(), "count 0, slot 1, no graph, timer off");
        QTest::qWait(100);
        QVERIFY(position > 0.02f && position < 0.3f && list.Position() == position);
    }

    void failedItemMend_data()
    {
        QTest::addColumn<bool>("afterClearedItem");
        QTest::newRow("first item since creation") << false;
        // The graph of the earlier item stays behind ListPos, stopped short of
        // its end: its position never reaches its stop time.
        QTest::newRow("after an item cleared part-way") << true;
    }

    // An item that fails to start is passed at the next tick: the list ends,
    // or its next item starts.
    void failedItemMend()
    {
        QFETCH(bool, afterClearedItem);
        MusicList list;
        MusicListProbe probe(list);
        QVERIFY(list.Init(5));
        if (afterClearedItem) {
            QVERIFY(list.AddFile(path("long.wav")));
            QTest::qWait(100);
            list.Clear();
        }
        const void *earlierGraph = probe.listPosGraph();
        const float earlierPosition = afterClearedItem ? list.Position() : -1;
        for (const bool followed : {false, true}) {
            QVERIFY(list.AddFile(path("missing.wav")) && probe.listPosGraph() == earlierGraph);
            QCOMPARE(probe.state(), "count 1, slot 1, no graph, timer on");
            if (afterClearedItem)
                QCOMPARE(list.Position(), earlierPosition);
            else
                QVERIFY_THROWS_EXCEPTION(PositionUnavailable, list.Position());
            if (followed)
                QVERIFY(list.AddFile(path("other.wav")));
            probe.tick();
            QCOMPARE(probe.state(), followed ? "count 2, slot 2, item graph, timer on" : "count 0, slot 1, no graph, timer off");
            QCOMPARE(probe.listPosGraph() != earlierGraph, followed);
        }
    }

    void numberComposer_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("clips");
        // number: the clips queued, and "." where the result is empty. The sign
        // is worth nothing and is never spoken.
        for (const char *row : {"0: 0", "7: 7", "10: 10", "15: 15", "19: 19", "20: 20 .", "21: 20 1", "99: 90 9",
                                "100: 21 .", "105: 21 5", "110: 21 10", "121: 21 20 1", "999: 29 90 9",
                                "1000: 51 31 .", "1005: 51 31 5", "1015: 51 31 15", "1100: 51 31 21 .",
                                "1234: 51 31 22 30 4", "2002: 52 32 2", "2021: 52 32 20 1", "3400: 3 32 24 .",
                                "4004: 4 32 4", "5017: 5 33 17", "7890: 7 33 28 90 .", "9999: 9 33 29 90 9",
                                "10000:", "2147483647:", "-1: -1", "-9: -9", "-10: 10", "-20: 20 .", "-100: 21 .",
                                "-123: 21 20 3", "-1000:", "-2147483648:"})
            QTest::newRow(row) << QString(row).section(':', 0, 0).toInt() << QString(row).section(':', 1);
    }

    // The clips queue behind an earlier entry.
    void numberComposer()
    {
        QFETCH(int, number);
        QFETCH(QString, clips);
        MusicList list;
        list.FoldMus("/n/");
        QVERIFY(list.Init(20) && list.AddFile("earlier"));
        const QString result = list.Number(number);
        QStringList expected;
        for (const QString &clip : QString("earlier " + clips).remove('.').split(' ', Qt::SkipEmptyParts))
            expected << "/n/" + clip + ".mp3";
        QCOMPARE(MusicListProbe(list).entries(), expected);
        QCOMPARE(result, clips.endsWith('.') ? QString() : u"/n/%1.mp3"_s.arg(number));
    }

    // Each clip the build speaks plays through the folder and extension
    // Number uses, and there are no others.
    void numberClipsShipped()
    {
        MusicList list;
        list.FoldMus(ZIMBREL_NUMBERS_DIR, "mp3");
        QStringList files;
        for (int clip = 0; clip <= 90; ++clip) {
            if (clip <= 33 || clip % 10 == 0 || clip == 51 || clip == 52) {
                QVERIFY2(list.PlaySound(QString::number(clip)), qPrintable(QString::number(clip)));
                files << u"%1.mp3"_s.arg(clip);
            }
        }
        files.sort();
        QCOMPARE(QDir(ZIMBREL_NUMBERS_DIR).entryList(QDir::Files, QDir::Name), files);
    }

    void hostileFiles_data()
    {
        QFile tone(path("a.wav"));
        const QByteArray wave = tone.open(QIODevice::ReadOnly) ? tone.readAll() : QByteArray();
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("plays");
        const auto row = [](const char *label, const QString &name, bool plays = false) {
            QTest::newRow(label) << name << plays;
        };
        row("missing", path("missing.wav"));
        row("empty", write("empty.wav", {}));
        row("text", write("text.wav", QByteArray("not a sound, only words\n").repeated(100)));
        // Special files are refused before anything opens them: an open() of
        // a FIFO without a writer blocks, and one with a sound waiting plays.
        row("directory", path("folder.wav"));
        row("FIFO without a writer", ::mkfifo("fifo.wav", 0600) ? "" : path("fifo.wav"));
        if (::mkfifo("full.wav", 0600) == 0)
            m_fifoWriter = ::open("full.wav", O_RDWR | O_NONBLOCK);
        const bool full = ::write(m_fifoWriter, wave.constData(), wave.size()) == wave.size();
        row("FIFO with a sound waiting", full ? path("full.wav") : "");
        row("device /dev/zero", "/dev/zero");
        row("link loop", QFile::link("b", "a") && QFile::link("a", "b") ? "a" : "");
        // No video window ever opens; the audio of a film plays.
        QProcess::execute("gst-launch-1.0", QProcess::splitCommand(u""
            "-q avimux name=v ! filesink location=video.avi videotestsrc num-buffers=5 ! jpegenc ! v. "
            "avimux name=f ! filesink location=film.avi videotestsrc num-buffers=5 ! jpegenc ! f. "
            "audiotestsrc num-buffers=5 ! audioconvert ! f."));
        row("video only", path("video.avi"));
        row("audio and video", path("film.avi"), true);
        // Names are paths, never URLs: nothing in them is decoded or fetched.
        row("name with blank, #, ? and %20", write("a #1?b%20c.wav", wave), true);
        const bool local = QDir().mkpath("http:/x") && !write("http:/x/a.wav", wave).isEmpty();
        row("URL-like name of a local file", local ? "http://x/a.wav" : "", true);
    }

    // The promised result, and promptly: only the preroll time-out (3 s) may
    // hold a call up, and no file here needs it: one that did would show a
    // guard letting it through.
    void hostileFiles()
    {
        QFETCH(QString, name);
        QVERIFY(!name.isEmpty());
        MusicList list;
        QElapsedTimer elapsed;
        elapsed.start();
        QTEST(list.PlaySound(name), "plays");
        QVERIFY2(elapsed.elapsed() < 1500, qPrintable(QString::number(elapsed.elapsed())));
    }

    // One sound at a time: a new one replaces the old, even when it fails; a
    // refused one leaves it alone; StopSound and the widget's end silence it.
    // What plays to its end is heard whole.
    void soundChannel()
    {
        auto list = std::make_unique<MusicList>();
        list->StopSound();
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        for (const auto &[name, plays, waitMs] : {std::tuple("long", true, 250), {"a", true, 300}, {"long", true, 250},
                                                   {"absent", false, 200}, {"long", true, 200}}) {
            QCOMPARE(list->PlaySound(path(name + u".wav"_s)), plays);
            QTest::qWait(waitMs);
        }
        list->NotPlay(1);
        QVERIFY(!list->PlaySound(path("a.wav")));
        QTest::qWait(600);
        QVERIFY(list->PlaySound(path("long.wav"), false));
        QTest::qWait(250);
        list->StopSound();
        list->StopSound();
        QTest::qWait(200);
        QVERIFY(list->PlaySound(path("long.wav"), false));
        QTest::qWait(250);
        list.reset();
        QTest::qWait(300);
        const QVector<Segment> sounds = findSounds(recorder.stop(), 0.02, 0.0005);
        const std::pair<double, double> cut{0.25, 0.1};
        QVERIFY2(lengthsAre(sounds, {cut, {0.12, kWhole}, cut, {0.6, kWhole}, cut, cut}), describe(sounds));
    }

    // Number(1234)'s queue keeps its names while the folder changes and the
    // mute flag is set, and plays out (heard in the seamless rows); the ended
    // list starts again from slot 1. A notification that comes after Clear
    // starts nothing.
    void number()
    {
        MusicList list;
        MusicListProbe probe(list);
        list.FoldMus(path("n"), "wav");
        QVERIFY(list.Init(200));
        QCOMPARE(list.Number(1234), path("n/1234.wav"));
        const QStringList queued = probe.entries();
        list.FoldMus("/nowhere", ".mp3");
        list.NotPlay(-1);
        QVERIFY(!list.AddFile("t") && probe.entries() == queued);
        QSet<int> counts;
        while (probe.timerOn()) {
            counts << list.Count();
            QTest::qWait(2);
        }
        QCOMPARE(counts, QSet<int>{5});
        QCOMPARE(probe.state(), "count 0, slot 1, no graph, timer off");
        list.NotPlay(0);
        list.FoldMus(m_dir.path(), "wav");
        QVERIFY(list.AddFile("long") && list.AddFile("a"));
        QTest::qWait(100);
        list.Clear();
        sendMove(list, "ListPict");
        QTest::qWait(400);
        QCOMPARE(list.Count(), 0);
    }

    void musicOnce_data()
    {
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QString>("file");
        QTest::newRow("PipeWire") << "PIPEWIRE"_ba << "pass.wav";
        // MP3 pads its end: position and stop time must still meet there.
        QTest::newRow("PulseAudio, MP3") << "PULSEAUDIO"_ba << "pass.mp3";
    }

    // Played once, a music is heard whole and rests at its end: still
    // running, its position its stop time, its output let go, so that the
    // process holds no connection to the server. The graph's news and pointer moves over MusicPict
    // do not rewind it.
    void musicOnce()
    {
        QFETCH(QString, file);
        const QVector<Segment> sounds = hear([&](NullSinkRecorder &) {
            MusicList list;
            MusicListProbe probe(list);
            QVERIFY(list.PlayMusic(path(file), false));
            QVERIFY(!probe.loopStat());
            for (int step = 0; step < 40; ++step) {
                sendMove(list, "MusicPict");
                QTest::qWait(20);
            }
            const auto graph = probe.musicGraph();
            QVERIFY(graph && graph->GetState(100) == MediaGraph::Running);
            QCOMPARE(graph->CurrentPosition(), graph->StopTime());
            QVERIFY(qAbs(*graph->StopTime() - 0.25) < (file.endsWith("mp3") ? 0.06 : 0.01));
            QTRY_VERIFY(!pactl("clients").contains(u"process.id = \"%1\""_s.arg(QCoreApplication::applicationPid())));
            list.StopMusic();
            QVERIFY(!probe.musicGraph() && !probe.loopStat());
        });
        QVERIFY2(lengthsAre(sounds, {{0.2, file.endsWith("mp3") ? 0.03 : kWhole}}), describe(sounds));
    }

    void seamless_data()
    {
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QString>("sequence");
        for (const char *server : {"PULSEAUDIO", "PIPEWIRE"}) {
            for (const char *sequence : {"loop", "Init(20)", "Init(200)", "Number(1234)", "Init mid-item",
                                         "every channel stopped", "Init(20) after short clips"})
                QTest::newRow(qPrintable(u"%1, %2"_s.arg(server, sequence))) << QByteArray(server) << sequence;
        }
    }

    // A looping music's passes, a list's items and a number's clips follow
    // one another in one stream: each as long as its file to the sample
    // block, no silence of 1 ms between them, and nothing after the stop.
    void seamless()
    {
        QFETCH(QString, sequence);
        QVector<double> lengths;
        double stoppedAt = 1e9;
        MusicList list;
        MusicListProbe probe(list);
        if (sequence.endsWith("short clips")) {
            // Each shorter than the output's lead, played with nothing else
            // on the server: the list must not wait for the server between
            // them, and the stream that ran them must serve the next list.
            useRowServer();
            QVERIFY(list.Init(5));
            for (int i = 0; i < 40; ++i)
                QVERIFY(list.AddFile(path(u"g/short%1.wav"_s.arg(i % 4))));
            QTRY_VERIFY_WITH_TIMEOUT(!probe.timerOn(), 5000);
            QTest::qWait(300);
        }
        const Samples recording = record([&](NullSinkRecorder &recorder) {
            if (sequence == "loop") {
                QVERIFY(list.PlayMusic(path("s/loop.wav")) && probe.loopStat());
                for (int step = 0; step < 225; ++step) {
                    sendMove(list, "MusicPict"); // news of the graph's, or the pointer's
                    QTest::qWait(20);
                }
                stoppedAt = recorder.secondsSinceStart();
                list.StopMusic();
                QTest::qWait(400);
                return;
            }
            list.FoldMus(path(sequence == "Number(1234)" ? "s/n" : "s"), "wav");
            if (sequence.startsWith("Init ") || sequence.startsWith("every")) {
                // The item after the long one is queued behind it at once,
                // and withdrawn by Init, or by Clear with everything else.
                const bool stops = sequence.startsWith("every");
                QVERIFY(list.Init(20) && list.AddFile("long") && list.AddFile("0"));
                if (stops)
                    QVERIFY(list.PlaySound(path("s/long.wav"), false) && list.PlayMusic(path("s/loop.wav")));
                QTest::qWait(250);
                stoppedAt = recorder.secondsSinceStart();
                if (stops) {
                    list.Clear();
                    list.StopSound();
                    list.StopMusic();
                } else {
                    QVERIFY(list.Init(20));
                    lengths = {0.6};
                }
                QTest::qWait(800);
                QCOMPARE(list.Count(), 0);
                return;
            }
            if (sequence == "Number(1234)") {
                QVERIFY(list.Init(20));
                list.Number(1234);
                for (const auto &clip : kClips)
                    lengths << clip.second;
            } else {
                QVERIFY(list.Init(sequence.startsWith("Init(20)") ? 20 : 200));
                for (int i = 0; i < 8; ++i)
                    QVERIFY(list.AddFile(QString::number(i)));
                lengths = QVector<double>(std::begin(kItems), std::end(kItems));
            }
            QTRY_VERIFY_WITH_TIMEOUT(!probe.timerOn(), 5000);
            QCOMPARE(probe.state(), "count 0, slot 1, no graph, timer off");
            QTest::qWait(300);
        });
        const Seams seams = findSeams(recording);
        QString heard;
        for (qsizetype i = 1; i < seams.onsets.size(); ++i)
            heard += u" %1"_s.arg((seams.onsets[i] - seams.onsets[i - 1]) * 1000, 0, 'f', 1);
        heard += u" | end %1 | holes "_s.arg((seams.end - seams.onsets.value(0)) * 1000);
        const QByteArray why = heard.toUtf8() + describe(seams.holes);
        if (sequence.startsWith("every")) {
            QVERIFY2(seams.end < stoppedAt + kLatency, why.constData());
            return;
        }
        QVERIFY2(seams.holes.isEmpty(), why.constData());
        if (sequence == "loop") {
            QVERIFY2(seams.onsets.size() >= 20, why.constData());
            for (qsizetype i = 1; i < seams.onsets.size(); ++i)
                QVERIFY2(qAbs(seams.onsets[i] - seams.onsets[i - 1] - 0.2) < (i == 1 ? kStreamStart : kSeam),
                         why.constData());
            QVERIFY2(seams.end < stoppedAt + kLatency, why.constData());
            return;
        }
        QVERIFY2(seams.onsets.size() == lengths.size(), why.constData());
        for (qsizetype i = 0; i < lengths.size(); ++i) {
            // The last one ends where its tone last rises above silence; a
            // new stream's first sound may lose a block at its start.
            const bool last = i + 1 == lengths.size();
            const double heardFor = (last ? seams.end : seams.onsets[i + 1]) - seams.onsets[i];
            QVERIFY2(qAbs(heardFor - lengths[i]) < (last || i == 0 ? kStreamStart : kSeam), why.constData());
        }
    }

    void secondMusic_data()
    {
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("loop");
        QTest::addColumn<bool>("plays");
        QTest::newRow("playable file, once") << "other.wav" << false << true;
        QTest::newRow("missing file, looping") << "missing.wav" << true << false;
        QTest::newRow("directory, once") << "folder.wav" << false << false;
    }

    // A second PlayMusic stops the first, whether or not it starts itself;
    // its loop flag is set all the same and outlives StopMusic.
    void secondMusic()
    {
        QFETCH(QString, second);
        QFETCH(bool, loop);
        MusicList list;
        MusicListProbe probe(list);
        QVERIFY(list.PlayMusic(path("g/long.wav"), true));
        const auto first = probe.musicGraph();
        QTEST(list.PlayMusic(path(second), loop), "plays");
        QTEST(bool(probe.musicGraph()), "plays");
        QCOMPARE(first->GetState(100), MediaGraph::Stopped);
        list.StopMusic();
        QCOMPARE(probe.loopStat(), loop);
    }

    void stalledServer_neverHolds_data()
    {
        QTest::addColumn<int>("limitMs");
        // RenderFile waits 30 ms for a server that does not answer.
        for (const char *action : {"StopSound", "StopMusic", "Clear", "widget destroyed", "RenderFile", "RenderFile prepared"})
            QTest::newRow(action) << (action[0] == 'R' ? 150 : 50);
    }

    void stalledServer_neverHolds()
    {
        QFETCH(int, limitMs);
        const QString action = QTest::currentDataTag();
        auto list = std::make_unique<MusicList>();
        list->Init(20);
        if (action.endsWith("prepared"))
            MediaGraph::PrepareAhead(path("g/102.wav"));
        else if (!action.startsWith("RenderFile"))
            QVERIFY(list->PlaySound(path("g/long.wav"), false) && list->PlayMusic(path("g/long.wav"))
                    && list->AddFile(path("g/long.wav")));
        QTest::qWait(200);
        StoppedServer stopped;
        QElapsedTimer elapsed;
        elapsed.start();
        // A prepared graph opened its output before the stall; another, whose
        // file decodes, plays once the server answers.
        if (action.startsWith("RenderFile"))
            QVERIFY(MediaGraph::create()->RenderFile(path("g/102.wav")));
        else if (action == "widget destroyed")
            list.reset();
        else
            action == "Clear" ? list->Clear() : action == "StopSound" ? list->StopSound() : list->StopMusic();
        QVERIFY2(elapsed.elapsed() <= limitMs, qPrintable(QString::number(elapsed.elapsed())));
    }

    // Ten graphs at a time, stopped or released from before the end of their
    // 20 ms tone to after their rest, faster than a busy server opens their
    // streams. A pipeline left behind keeps the descriptors of its bus; one
    // still waiting for its stream holds threads.
    void stopsAroundEnd_leaveNothingAboveNull_data() { addServerRows(); }
    void stopsAroundEnd_leaveNothingAboveNull()
    {
        useRowServer();
        evictPreparations();
        const qsizetype descriptors = entries("/proc/self/fd"), threads = entries("/proc/self/task");
        qsizetype mostThreads = threads;
        for (int round = 0; round < 100; ++round) {
            mostThreads = std::max(mostThreads, entries("/proc/self/task"));
            std::vector<std::shared_ptr<MediaGraph>> graphs(10);
            for (auto &graph : graphs) {
                graph = MediaGraph::create();
                QVERIFY(graph->RenderFile(path("g/end.wav")) && graph->Run());
            }
            for (qsizetype i = 0; i < 10; ++i) {
                QTest::qWait(1 + round % 5);
                if ((round + i) % 2)
                    graphs[i]->Stop();
                graphs[i].reset();
            }
        }
        // A pipeline above NULL keeps its connection to the sound server.
        const QString own = u"process.id = \"%1\""_s.arg(QCoreApplication::applicationPid());
        QTRY_VERIFY_WITH_TIMEOUT(!pactl("clients").contains(own), 10000);
        QVERIFY(entries("/proc/self/fd") < descriptors + 20);
        QVERIFY2(mostThreads < threads + 60, qPrintable(u"%1 -> %2"_s.arg(threads).arg(mostThreads)));
    }

    void preparations_holdTwoAtMost()
    {
        MediaGraph::PrepareAhead(path("g/0.wav"));
        MediaGraph::PrepareAhead(path("g/1.wav"));
        QTest::qWait(2000);
        const qsizetype twoPrepared = entries("/proc/self/task");
        for (int i = 2; i < 102; ++i)
            MediaGraph::PrepareAhead(path(u"g/%1.wav"_s.arg(i)));
        QTRY_VERIFY_WITH_TIMEOUT(entries("/proc/self/task") <= twoPrepared, 20000);
    }

    // Last: the row's server is ended with it. It is ended and started again
    // while a looping music, a playlist and a sound every 0.4 s play: the
    // widget's thread answers throughout, and once the server plays again
    // the loop resumes within a second, the list and the sounds go on, and a
    // new list and a new music sound. Each channel has a frequency of its own.
    void serverRestart_data() { addServerRows(); }
    void serverRestart()
    {
        QFETCH(QByteArray, server);
        qputenv("PULSE_SERVER", qgetenv("ZIMBREL_TEST_" + server + "_SERVER"));
        evictPreparations();
        MusicList list;
        QVERIFY(list.Init(20) && list.PlayMusic(path("r/loop.wav"), true));
        // Long enough to outlast the items passed while no server is there.
        for (int i = 0; i < 100; ++i)
            QVERIFY(list.AddFile(path("r/item.wav")));
        QElapsedTimer clock;
        clock.start();
        QVector<double> soundCalls;
        QTimer sounds;
        connect(&sounds, &QTimer::timeout, [&] {
            list.PlaySound(path("r/sound.wav"));
            soundCalls << clock.elapsed() / 1000.0;
        });
        sounds.start(400);
        QTest::qWait(700);

        const bool pulseAudio = server == "PULSEAUDIO";
        RestartedServer restarted(qgetenv("ZIMBREL_TEST_" + server + "_SERVER"),
                                  qEnvironmentVariableIntValue(pulseAudio ? "ZIMBREL_TEST_PULSE_PID" : "ZIMBREL_TEST_PIPEWIRE_PID"),
                                  pulseAudio);
        std::atomic<int> stage{0};
        std::thread restart([&] { stage = !restarted.stop() ? -1 : !restarted.start() ? -2 : 1; });
        qint64 worstTick = 0;
        for (qint64 last = clock.elapsed(); stage == 0; last = clock.elapsed()) {
            QTest::qWait(5);
            worstTick = std::max(worstTick, clock.elapsed() - last);
        }
        restart.join();
        QCOMPARE(stage.load(), 1);
        // Heard from when the server plays again: a restarted PulseAudio
        // sink sounds only once its first idle block is over.
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        const double recorded = clock.elapsed() / 1000.0;
        // The recording's first sample can trail this clock by tens of ms on
        // a busy machine: the next sound counted is called well inside it.
        sounds.start(400);
        // The list goes on, then a new one starts.
        QTest::qWait(600);
        QVERIFY(list.Init(20) && list.AddFile(path("r/added.wav")));
        QTRY_COMPARE_WITH_TIMEOUT(list.Count(), 0, 2000);
        sounds.stop();
        QVERIFY(list.PlayMusic(path("r/music.wav"), false));
        QTest::qWait(800);
        const Samples heard = recorder.stop();
        const QVector<Segment> loop = findTone(heard, 400, 0.08), items = findTone(heard, 700, 0.08),
                               shots = findTone(heard, 1000, 0.08), music = findTone(heard, 1300, 0.08),
                               added = findTone(heard, 1600, 0.08);
        QVERIFY2(worstTick < 100, qPrintable(QString::number(worstTick)));
        QVERIFY2(!loop.isEmpty() && loop.first().start <= 1.0, qPrintable(describe(loop)));
        QVERIFY2(!items.isEmpty() && items.first().start < 0.5 && !added.isEmpty() && !music.isEmpty(), qPrintable(describe(items) + " | " + describe(added) + " | " + describe(music)));
        // Every sound started once the recording ran is heard.
        QVERIFY2(shots.size() >= std::count_if(soundCalls.begin(), soundCalls.end(), [&](double call) { return call > recorded; }),
                 describe(shots));
    }
};

QTEST_MAIN(TestMusicList)
#include "tst_musiclist.moc"
