#include "MediaGraph.h"
#include "MusicListProbe.h"
#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "ToneRuns.h"
#include "WaveFile.h"

#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using Zimbrel::MusicList;
using Zimbrel::MusicListProbe;
using Zimbrel::Media::MediaGraph;
using namespace ZimbrelTest;

namespace {

constexpr double kPassTone = 0.25;    // each pass of the loop file: this much tone...
constexpr double kPassSilence = 0.05; // ...then this much silence, so passes can be counted
constexpr double kPass = kPassTone + kPassSilence;

// Sound reaches the recording a little after the call that starts or stops
// it; this bounds that delay.
constexpr double kLatency = 0.15;

Samples operator+(Samples first, const Samples &second)
{
    first.data += second.data;
    return first;
}

Samples silence(double seconds)
{
    Samples samples;
    samples.data.fill(0, qsizetype(seconds * samples.rate));
    return samples;
}

// Counts the mouse moves that reach a widget.
class MoveCounter : public QObject
{
public:
    int moves = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::MouseMove)
            ++moves;
        return false;
    }
};

// A recording whose clock starts when recording does.
QString describe(const QVector<Segment> &segments)
{
    QStringList parts;
    for (const Segment &segment : segments)
        parts << QStringLiteral("%1+%2").arg(segment.start, 0, 'f', 3).arg(segment.length, 0, 'f', 3);
    return parts.join(u' ');
}

} // namespace

class TestMusicChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void loopsByEar_data();
    void loopsByEar();
    void withoutLoopPlaysOnceAndStaysFinished();
    void secondPlayMusicStopsFirst_data();
    void secondPlayMusicStopsFirst();
    void pointerMovementMidLoopChangesNothing();
    void nameUsedUnchangedAndMuteIgnored_data();
    void nameUsedUnchangedAndMuteIgnored();
    void stopMusicKeepsLoopFlagAndSilentChannelIgnoresMoves();
    void channelsPlayTogether();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    QWidget *musicPict() const { return m_list->findChild<QWidget *>(QStringLiteral("MusicPict")); }
    void moveOverMusicPict();

    QTemporaryDir m_dir;
    std::unique_ptr<MusicList> m_list;
};

void TestMusicChannel::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(writeWave(path("pass.wav"), tone(kPassTone, 440) + silence(kPassSilence)));
    QVERIFY(writeWave(path("long.wav"), tone(1.0, 440) + silence(0.1)));
    QVERIFY(writeWave(path("steady.wav"), tone(3.0, 660)));
    QVERIFY(writeWave(path("other.wav"), tone(0.3, 880)));
    QVERIFY(writeWave(path("chime.wav"), tone(0.8, 1320, 48000, 0.3)));
    QVERIFY(writeWave(path("item.wav"), tone(0.6, 880, 48000, 0.3)));
    QFile(path("empty.wav")).open(QIODevice::WriteOnly);
    QFile text(path("text.wav"));
    QVERIFY(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("This is a note, not a sound.\n").repeated(200));
    text.close();
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder.wav")));
}

void TestMusicChannel::init()
{
    m_list = std::make_unique<MusicList>();
    m_list->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_list.get()));
    QVERIFY(musicPict());
}

void TestMusicChannel::cleanup()
{
    m_list.reset();
}

// Pointer movement as the window system delivers it, and a move event sent
// straight to the widget, as the graph's notifications arrive.
void TestMusicChannel::moveOverMusicPict()
{
    QWidget *pict = musicPict();
    for (int step = 0; step < 4; ++step) {
        QTest::mouseMove(pict, QPoint(2 + 3 * step, 2 + step));
        QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), pict->mapToGlobal(QPointF(5, 5)),
                         Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pict, &move);
        QTest::qWait(20);
    }
}

void TestMusicChannel::loopsByEar_data()
{
    QTest::addColumn<bool>("flagGiven");
    QTest::newRow("looping asked for") << true;
    QTest::newRow("looping by default") << false;
}

void TestMusicChannel::loopsByEar()
{
    QFETCH(bool, flagGiven);
    NullSinkRecorder recording;
    QVERIFY2(recording.start(), qPrintable(recording.error()));

    const double startedAt = recording.secondsSinceStart();
    QVERIFY(flagGiven ? m_list->PlayMusic(path("pass.wav"), true)
                      : m_list->PlayMusic(path("pass.wav")));
    QTest::qWait(1600);
    const double stoppedAt = recording.secondsSinceStart();
    m_list->StopMusic();
    QTest::qWait(600);
    const QVector<Segment> sounds = findSounds(recording.stop());
    const QByteArray heard = describe(sounds).toUtf8();

    // Whole passes, each the file's tone, one right after the other.
    QVector<Segment> passes;
    for (const Segment &sound : sounds)
        if (sound.start > startedAt && sound.end() < stoppedAt - 0.1)
            passes << sound;
    QVERIFY2(passes.size() >= 3, heard.constData());
    for (qsizetype i = 0; i < passes.size(); ++i) {
        QVERIFY2(qAbs(passes[i].length - kPassTone) < 0.03, heard.constData());
        if (i > 0) {
            const double spacing = passes[i].start - passes[i - 1].start;
            QVERIFY2(spacing > kPass - 0.01 && spacing < kPass + 0.1, heard.constData());
        }
    }
    // Still looping when stopped, and silent at once after.
    QVERIFY2(sounds.last().end() > stoppedAt - kPass, heard.constData());
    QVERIFY2(sounds.last().end() < stoppedAt + kLatency, heard.constData());
    QVERIFY(!MusicListProbe(*m_list).musicGraph());
}

void TestMusicChannel::withoutLoopPlaysOnceAndStaysFinished()
{
    NullSinkRecorder recording;
    QVERIFY2(recording.start(), qPrintable(recording.error()));
    QVERIFY(m_list->PlayMusic(path("pass.wav"), false));
    QTest::qWait(700);

    MoveCounter counter;
    musicPict()->installEventFilter(&counter);
    moveOverMusicPict();
    QTest::qWait(500);
    const QVector<Segment> sounds = findSounds(recording.stop());
    const QByteArray heard = describe(sounds).toUtf8();

    QVERIFY(counter.moves >= 8);
    QCOMPARE(sounds.size(), 1);
    QVERIFY2(qAbs(sounds.first().length - kPassTone) < 0.03, heard.constData());

    // Finished: the graph is kept, still running, standing at its end.
    const auto graph = MusicListProbe(*m_list).musicGraph();
    QVERIFY(graph);
    QCOMPARE(graph->GetState(100), std::optional<int>(MediaGraph::Running));
    const auto position = graph->CurrentPosition();
    QVERIFY(position);
    QCOMPARE(position, graph->StopTime());
    QVERIFY(qAbs(*position - kPass) < 0.01);
}

void TestMusicChannel::secondPlayMusicStopsFirst_data()
{
    QTest::addColumn<QString>("second");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<bool>("plays");

    QTest::newRow("playable file") << "other.wav" << false << true;
    QTest::newRow("missing file, looping") << "missing.wav" << true << false;
    QTest::newRow("missing file, once") << "missing.wav" << false << false;
    QTest::newRow("empty file") << "empty.wav" << true << false;
    QTest::newRow("text file") << "text.wav" << true << false;
    QTest::newRow("directory") << "folder.wav" << false << false;
}

void TestMusicChannel::secondPlayMusicStopsFirst()
{
    QFETCH(QString, second);
    QFETCH(bool, loop);
    QFETCH(bool, plays);

    NullSinkRecorder recording;
    QVERIFY2(recording.start(), qPrintable(recording.error()));
    // Three seconds of tone, looping: without a stop it would sound to the end.
    QVERIFY(m_list->PlayMusic(path("steady.wav"), true));
    QTest::qWait(500);
    const double secondAt = recording.secondsSinceStart();
    QCOMPARE(m_list->PlayMusic(path(second), loop), plays);
    QCOMPARE(MusicListProbe(*m_list).loopStat(), loop);
    QCOMPARE(bool(MusicListProbe(*m_list).musicGraph()), plays);
    QTest::qWait(1000);
    const Samples samples = recording.stop();
    // The two musics may follow each other too closely to be told apart by
    // level alone: tell them apart by their pitch.
    const QVector<Segment> first = findTone(samples, 660);
    const QVector<Segment> next = findTone(samples, 880);
    const QVector<Segment> sounds = findSounds(samples);
    const QByteArray heard = ("first " + describe(first) + " second " + describe(next)
                              + " all " + describe(sounds))
                                 .toUtf8();

    QCOMPARE(first.size(), 1);
    QVERIFY2(first.first().start < secondAt - 0.1, heard.constData());
    QVERIFY2(first.first().end() < secondAt + kLatency, heard.constData());
    const double quietFrom = plays ? secondAt + 0.3 + kLatency : secondAt + kLatency;
    for (const Segment &sound : sounds)
        QVERIFY2(sound.end() < quietFrom, heard.constData());
    QCOMPARE(next.size(), plays ? 1 : 0);
    if (plays) {
        QVERIFY2(next.first().start > secondAt, heard.constData());
        QVERIFY2(qAbs(next.first().length - 0.3) < 0.04, heard.constData());
    }
}

void TestMusicChannel::pointerMovementMidLoopChangesNothing()
{
    NullSinkRecorder recording;
    QVERIFY2(recording.start(), qPrintable(recording.error()));
    // One second of tone and a tenth of silence per pass.
    QVERIFY(m_list->PlayMusic(path("long.wav")));
    QTest::qWait(450);

    MoveCounter counter;
    musicPict()->installEventFilter(&counter);
    const auto before = MusicListProbe(*m_list).musicGraph()->CurrentPosition();
    moveOverMusicPict();
    const auto after = MusicListProbe(*m_list).musicGraph()->CurrentPosition();
    QVERIFY(counter.moves >= 8);
    QVERIFY(before && after);
    QVERIFY2(*before > 0.2 && *after > *before, qPrintable(QStringLiteral("%1 then %2")
                                                              .arg(*before)
                                                              .arg(*after)));

    QTest::qWait(2000);
    m_list->StopMusic();
    const QVector<Segment> sounds = findSounds(recording.stop());
    const QByteArray heard = describe(sounds).toUtf8();

    // The first pass is whole, and the loop goes on after it.
    QVERIFY2(sounds.size() >= 2, heard.constData());
    QVERIFY2(qAbs(sounds[0].length - 1.0) < 0.03, heard.constData());
    const double spacing = sounds[1].start - sounds[0].start;
    QVERIFY2(spacing > 1.09 && spacing < 1.2, heard.constData());
}

void TestMusicChannel::nameUsedUnchangedAndMuteIgnored_data()
{
    QTest::addColumn<bool>("muted");
    QTest::addColumn<bool>("folderSet");
    QTest::addColumn<bool>("fullName");
    QTest::addColumn<bool>("plays");

    QTest::newRow("muted") << true << false << true << true;
    QTest::newRow("folder set, full name") << false << true << true << true;
    QTest::newRow("folder set, muted, full name") << true << true << true << true;
    // Completed, the short name would name a playable file.
    QTest::newRow("folder set, short name") << false << true << false << false;
}

void TestMusicChannel::nameUsedUnchangedAndMuteIgnored()
{
    QFETCH(bool, muted);
    QFETCH(bool, folderSet);
    QFETCH(bool, fullName);
    QFETCH(bool, plays);

    if (muted)
        m_list->NotPlay(-1);
    if (folderSet)
        m_list->FoldMus(m_dir.path(), QStringLiteral("wav"));
    const QString given = fullName ? path("pass.wav") : QStringLiteral("pass");
    QString name = given;

    NullSinkRecorder recording;
    QVERIFY2(recording.start(), qPrintable(recording.error()));
    QCOMPARE(m_list->PlayMusic(name, false), plays);
    QTest::qWait(600);
    const QVector<Segment> sounds = findSounds(recording.stop());

    QCOMPARE(name, given);
    QCOMPARE(sounds.size(), plays ? 1 : 0);
}

void TestMusicChannel::stopMusicKeepsLoopFlagAndSilentChannelIgnoresMoves()
{
    m_list->StopMusic();
    QVERIFY(!MusicListProbe(*m_list).musicGraph());
    QCOMPARE(MusicListProbe(*m_list).loopStat(), false);

    QVERIFY(!m_list->PlayMusic(path("missing.wav")));
    QCOMPARE(MusicListProbe(*m_list).loopStat(), true);
    // Looping is on and no graph is there to test.
    moveOverMusicPict();
    QVERIFY(!MusicListProbe(*m_list).musicGraph());

    QVERIFY(m_list->PlayMusic(path("pass.wav")));
    m_list->StopMusic();
    QVERIFY(!MusicListProbe(*m_list).musicGraph());
    QCOMPARE(MusicListProbe(*m_list).loopStat(), true);
    moveOverMusicPict();
    QVERIFY(!MusicListProbe(*m_list).musicGraph());

    QVERIFY(m_list->PlayMusic(path("pass.wav"), false));
    m_list->StopMusic();
    m_list->StopMusic();
    QCOMPARE(MusicListProbe(*m_list).loopStat(), false);
}

void TestMusicChannel::channelsPlayTogether()
{
    NullSinkRecorder recording;
    QVERIFY2(recording.start(), qPrintable(recording.error()));
    QVERIFY(m_list->PlayMusic(path("pass.wav")));
    QTest::qWait(400);
    QVERIFY(m_list->PlaySound(path("chime.wav")));
    QVERIFY(m_list->Init(20));
    QVERIFY(m_list->AddFile(path("item.wav")));
    QTest::qWait(1400);
    m_list->StopSound();
    m_list->StopMusic();
    const Samples samples = recording.stop();

    const QVector<Segment> chime = findTone(samples, 1320);
    const QVector<Segment> item = findTone(samples, 880);
    const QVector<Segment> music = findTone(samples, 440);
    const QByteArray heard = ("chime " + describe(chime) + " item " + describe(item) + " music "
                              + describe(music))
                                 .toUtf8();

    // The sound and the playlist item play whole over the music, together...
    QCOMPARE(chime.size(), 1);
    QVERIFY2(qAbs(chime.first().length - 0.8) < 0.04, heard.constData());
    QCOMPARE(item.size(), 1);
    QVERIFY2(qAbs(item.first().length - 0.6) < 0.04, heard.constData());
    QVERIFY2(item.first().start < chime.first().end() && chime.first().start < item.first().end(),
             heard.constData());
    // ...and the music loops on undisturbed, during the sound and after it.
    int during = 0;
    int afterwards = 0;
    for (const Segment &pass : music) {
        if (pass.start > chime.first().start && pass.end() < chime.first().end()) {
            ++during;
            QVERIFY2(qAbs(pass.length - kPassTone) < 0.04, heard.constData());
        }
        if (pass.start > chime.first().end())
            ++afterwards;
    }
    QVERIFY2(during >= 2, heard.constData());
    QVERIFY2(afterwards >= 1, heard.constData());
}

QTEST_MAIN(TestMusicChannel)
#include "tst_musicchannel.moc"
