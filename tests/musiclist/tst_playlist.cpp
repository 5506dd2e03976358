#include "MusicList.h"
#include "MusicListProbe.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QElapsedTimer>
#include <QMap>
#include <QTemporaryDir>
#include <QtTest>

using namespace Zimbrel;
using namespace ZimbrelTest;

namespace {

// Short enough to keep the tests quick, long enough for the end test to
// catch the items while they play.
constexpr int kTestPeriodMs = 5;
// Silence between items is a few milliseconds at this period: bridge less.
constexpr double kBridgeSeconds = 0.002;
constexpr double kLengthTolerance = 0.012;

// Waits until the list has ended by itself, then for the sink to play out.
bool waitForListEnd(const MusicListProbe &probe, int timeoutMs = 5000)
{
    QElapsedTimer waited;
    waited.start();
    while (probe.timerOn() && waited.elapsed() < timeoutMs)
        QTest::qWait(5);
    QTest::qWait(150);
    return !probe.timerOn();
}

QVector<double> lengthsOf(const QVector<Segment> &sounds)
{
    QVector<double> lengths;
    for (const Segment &sound : sounds)
        lengths.append(sound.length);
    return lengths;
}

QString describe(const QVector<double> &lengths)
{
    QStringList texts;
    for (double length : lengths)
        texts.append(QString::number(length, 'f', 3));
    return texts.join(u", ");
}

} // namespace

class tst_Playlist : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void refusedBeforeFirstReset();
    void resetMakesListUsable_data();
    void resetMakesListUsable();
    void refusedPeriodChangesNothing();
    void queuedName_data();
    void queuedName();
    void firstEntryStartsOthersWait();
    void fullListRefuses1025thEntry();
    void mutedAddFileQueuesNothing();
    void failedItemPassedAtNextTick_data();
    void failedItemPassedAtNextTick();

    void playsItemsInOrderThenResets();
    void clearSilencesCurrentItem();
    void initLetsCurrentItemEnd_data();
    void initLetsCurrentItemEnd();
    void mutingDoesNotStopQueuedList();
    void folderChangeKeepsQueuedNames();

private:
    // A tone of the given length in the temporary folder, named tNNN.wav by
    // its length in milliseconds.
    QString toneFile(int milliseconds, double frequency = 660);
    QString missingFile() const { return m_dir.filePath(QStringLiteral("missing.wav")); }

    QTemporaryDir m_dir;
};

void tst_Playlist::initTestCase()
{
    QVERIFY2(m_dir.isValid(), qPrintable(m_dir.errorString()));
}

QString tst_Playlist::toneFile(int milliseconds, double frequency)
{
    const QString path = m_dir.filePath(QStringLiteral("t%1.wav").arg(milliseconds, 4, 10, QChar(u'0')));
    if (!QFile::exists(path))
        writeToneWave(path, milliseconds / 1000.0, frequency);
    return path;
}

void tst_Playlist::refusedBeforeFirstReset()
{
    MusicList list;
    MusicListProbe probe(list);
    QCOMPARE(list.Count(), -1);
    QCOMPARE(list.Position(), 0.0f);
    QVERIFY(!list.AddFile(toneFile(200)));
    QCOMPARE(list.Count(), -1);
    QVERIFY(probe.slot(1).isEmpty());
    QVERIFY(!probe.hasListGraph());
    QVERIFY(!probe.timerOn());
}

void tst_Playlist::resetMakesListUsable_data()
{
    QTest::addColumn<QString>("reset");
    QTest::addColumn<int>("period");
    QTest::newRow("Clear keeps the design period") << "Clear" << 200;
    QTest::newRow("Init with the period omitted") << "Init()" << 200;
    QTest::newRow("Init with a period") << "Init(35)" << 35;
}

void tst_Playlist::resetMakesListUsable()
{
    QFETCH(QString, reset);
    QFETCH(int, period);
    MusicList list;
    MusicListProbe probe(list);
    if (reset == u"Clear")
        list.Clear();
    else if (reset == u"Init()")
        QVERIFY(list.Init());
    else
        QVERIFY(list.Init(35));

    QCOMPARE(list.Count(), 0);
    QCOMPARE(probe.listCur(), 1);
    QCOMPARE(probe.timerPeriod(), period);
    QVERIFY(!probe.timerOn());

    QVERIFY(list.AddFile(toneFile(200)));
    QCOMPARE(list.Count(), 1);
    QVERIFY(probe.hasListGraph());
    QVERIFY(probe.timerOn());
    QCOMPARE(probe.timerPeriod(), period);
    list.Clear();
}

void tst_Playlist::refusedPeriodChangesNothing()
{
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(!list.Init(-1));
    QCOMPARE(list.Count(), -1);
    QCOMPARE(probe.listCur(), 0);

    QVERIFY(list.Init(40));
    QVERIFY(list.AddFile(toneFile(200)));
    QVERIFY(list.AddFile(toneFile(200)));
    QVERIFY(!list.Init(-5));
    QCOMPARE(list.Count(), 2);
    QCOMPARE(probe.timerPeriod(), 40);
    QVERIFY(probe.timerOn());
    list.Clear();
}

void tst_Playlist::queuedName_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("queued");
    QTest::newRow("no folder: unchanged, no extension")
        << QString() << QString() << "/tmp/none/a" << "/tmp/none/a";
    QTest::newRow("folder and extension")
        << "/tmp/none" << "wav" << "a" << "/tmp/none/a.wav";
    QTest::newRow("folder, extension omitted") << "/tmp/none/" << QString() << "12" << "/tmp/none/12.mp3";
}

void tst_Playlist::queuedName()
{
    QFETCH(QString, folder);
    QFETCH(QString, extension);
    QFETCH(QString, name);
    QFETCH(QString, queued);
    MusicList list;
    MusicListProbe probe(list);
    if (!folder.isNull())
        extension.isNull() ? list.FoldMus(folder) : list.FoldMus(folder, extension);
    list.Clear();
    const QString callersName = name;
    QVERIFY(list.AddFile(name));
    QCOMPARE(name, callersName);
    QCOMPARE(probe.entries(), QStringList{queued});
    list.Clear();
}

void tst_Playlist::firstEntryStartsOthersWait()
{
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(kTestPeriodMs));
    QVERIFY(list.AddFile(toneFile(400)));
    QVERIFY(probe.hasListGraph());
    QVERIFY(probe.hasListPos());
    const void *first = probe.listPosGraph();

    QVERIFY(list.AddFile(toneFile(100)));
    QCOMPARE(probe.listPosGraph(), first);
    QCOMPARE(probe.listCur(), 1);
    QCOMPARE(list.Count(), 2);
    list.Clear();
}

void tst_Playlist::fullListRefuses1025thEntry()
{
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(kTestPeriodMs));
    for (int entry = 1; entry <= 1024; ++entry)
        QVERIFY2(list.AddFile(QStringLiteral("/nowhere/%1.wav").arg(entry)),
                 qPrintable(QStringLiteral("entry %1").arg(entry)));
    QVERIFY(!list.AddFile(QStringLiteral("/nowhere/1025.wav")));
    QCOMPARE(list.Count(), 1024);
    QCOMPARE(probe.slot(1024), QStringLiteral("/nowhere/1024.wav"));
    QCOMPARE(probe.listCur(), 1);
    list.Clear();
}

void tst_Playlist::mutedAddFileQueuesNothing()
{
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(kTestPeriodMs));
    list.NotPlay(1);
    QVERIFY(!list.AddFile(toneFile(100)));
    QCOMPARE(list.Count(), 0);
    QVERIFY(!probe.hasListGraph());
    QVERIFY(!probe.timerOn());
}

void tst_Playlist::failedItemPassedAtNextTick_data()
{
    QTest::addColumn<bool>("earlierItemStoppedPartWay");
    QTest::addColumn<bool>("followed");
    QTest::newRow("first item since creation, followed") << false << true;
    QTest::newRow("first item since creation, alone") << false << false;
    // The graph of the earlier item stays behind ListPos, stopped short of
    // its end: its position never reaches its stop time.
    QTest::newRow("after an item cleared part-way, followed") << true << true;
    QTest::newRow("after an item cleared part-way, alone") << true << false;
}

void tst_Playlist::failedItemPassedAtNextTick()
{
    QFETCH(bool, earlierItemStoppedPartWay);
    QFETCH(bool, followed);
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(kTestPeriodMs));

    float earlierPosition = 0;
    if (earlierItemStoppedPartWay) {
        QVERIFY(list.AddFile(toneFile(1000)));
        QTest::qWait(100);
        list.Clear();
        earlierPosition = list.Position();
        QVERIFY2(earlierPosition > 0.02f && earlierPosition < 0.8f,
                 qPrintable(QString::number(earlierPosition)));
    }
    const void *earlierGraph = probe.listPosGraph();

    QVERIFY(list.AddFile(missingFile()));
    QVERIFY(!probe.hasListGraph());
    QCOMPARE(probe.listPosGraph(), earlierGraph);
    QVERIFY(probe.timerOn());
    if (earlierItemStoppedPartWay)
        QCOMPARE(list.Position(), earlierPosition);
    else
        QVERIFY_THROWS_EXCEPTION(PositionUnavailable, list.Position());
    if (followed)
        QVERIFY(list.AddFile(toneFile(300)));

    probe.tick();
    if (followed) {
        QCOMPARE(probe.listCur(), 2);
        QCOMPARE(list.Count(), 2);
        QVERIFY(probe.hasListGraph());
        QVERIFY(probe.listPosGraph() != earlierGraph);
        QVERIFY(probe.timerOn());
    } else {
        QCOMPARE(list.Count(), 0);
        QCOMPARE(probe.listCur(), 1);
        QVERIFY(!probe.timerOn());
    }
    list.Clear();
}

void tst_Playlist::playsItemsInOrderThenResets()
{
    const QVector<int> lengthsMs{50, 90, 130, 170, 210};
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(kTestPeriodMs));
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));

    for (int length : lengthsMs)
        QVERIFY(list.AddFile(toneFile(length)));
    // Count by the item playing, sampled until the list has ended.
    QMap<int, QSet<int>> countWhilePlaying;
    QElapsedTimer waited;
    waited.start();
    while (probe.timerOn() && waited.elapsed() < 5000) {
        countWhilePlaying[probe.listCur()].insert(list.Count());
        QTest::qWait(2);
    }
    QTest::qWait(150);
    const QVector<Segment> sounds = findSounds(recorder.stop(), 0.02, kBridgeSeconds);

    QVERIFY(!probe.timerOn());
    QCOMPARE(countWhilePlaying.value(3), QSet<int>{5});
    for (auto it = countWhilePlaying.cbegin(); it != countWhilePlaying.cend(); ++it)
        QCOMPARE(it.value(), QSet<int>{5});

    const QVector<double> heard = lengthsOf(sounds);
    QVERIFY2(heard.size() == lengthsMs.size(), qPrintable(describe(heard)));
    for (int i = 0; i < heard.size(); ++i)
        QVERIFY2(qAbs(heard[i] - lengthsMs[i] / 1000.0) < kLengthTolerance,
                 qPrintable(describe(heard)));

    // The ended list is empty; the next entry starts again from slot 1.
    QCOMPARE(list.Count(), 0);
    QCOMPARE(probe.listCur(), 1);
    QVERIFY(list.AddFile(toneFile(300)));
    QCOMPARE(probe.entries(), QStringList{toneFile(300)});
    QCOMPARE(probe.listCur(), 1);
    QVERIFY(probe.hasListGraph());
    QVERIFY(probe.timerOn());
    list.Clear();
}

void tst_Playlist::clearSilencesCurrentItem()
{
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(kTestPeriodMs));
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));

    QVERIFY(list.AddFile(toneFile(1000)));
    QVERIFY(list.AddFile(toneFile(100)));
    QTest::qWait(250);
    list.Clear();
    QCOMPARE(list.Count(), 0);
    QVERIFY(!probe.timerOn());
    QVERIFY(!probe.hasListGraph());
    const float position = list.Position();
    QTest::qWait(400);
    const QVector<double> heard = lengthsOf(findSounds(recorder.stop(), 0.02, kBridgeSeconds));

    // Only the cleared item, cut short; the second never plays.
    QVERIFY2(heard.size() == 1 && heard[0] > 0.15 && heard[0] < 0.4, qPrintable(describe(heard)));
    QVERIFY2(position > 0.15f && position < 0.4f, qPrintable(QString::number(position)));
    QCOMPARE(list.Position(), position);
}

void tst_Playlist::initLetsCurrentItemEnd_data()
{
    QTest::addColumn<bool>("addAfterInit");
    QTest::newRow("nothing added: the item ends, the rest is dropped") << false;
    QTest::newRow("a file added: it starts, the old item falls silent") << true;
}

void tst_Playlist::initLetsCurrentItemEnd()
{
    QFETCH(bool, addAfterInit);
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(kTestPeriodMs));
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));

    QVERIFY(list.AddFile(toneFile(400)));
    QVERIFY(list.AddFile(toneFile(90)));
    QTest::qWait(120);
    QVERIFY(list.Init(kTestPeriodMs));
    QCOMPARE(list.Count(), 0);
    QVERIFY(probe.timerOn());
    const void *oldGraph = probe.listPosGraph();
    if (addAfterInit) {
        QVERIFY(list.AddFile(toneFile(130)));
        QVERIFY(probe.listPosGraph() != oldGraph);
        QCOMPARE(list.Count(), 1);
    }
    QVERIFY(waitForListEnd(probe));
    const QVector<Segment> sounds = findSounds(recorder.stop(), 0.02, kBridgeSeconds);
    QVERIFY(!sounds.isEmpty());
    const double span = sounds.last().end() - sounds.first().start;
    QCOMPARE(list.Count(), 0);

    if (addAfterInit) {
        // About 120 ms of the old item, then the new one's 130 ms.
        QVERIFY2(span > 0.2 && span < 0.33, qPrintable(describe(lengthsOf(sounds))));
    } else {
        // The old item whole, and nothing after it.
        QVERIFY2(sounds.size() == 1 && qAbs(span - 0.4) < kLengthTolerance,
                 qPrintable(describe(lengthsOf(sounds))));
    }
}

void tst_Playlist::mutingDoesNotStopQueuedList()
{
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(kTestPeriodMs));
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));

    QVERIFY(list.AddFile(toneFile(60)));
    QVERIFY(list.AddFile(toneFile(100)));
    QVERIFY(list.AddFile(toneFile(140)));
    list.NotPlay(-1);
    QVERIFY(!list.AddFile(toneFile(180)));
    QCOMPARE(list.Count(), 3);
    QVERIFY(waitForListEnd(probe));
    const QVector<double> heard = lengthsOf(findSounds(recorder.stop(), 0.02, kBridgeSeconds));
    QVERIFY2(heard.size() == 3 && qAbs(heard[2] - 0.140) < kLengthTolerance,
             qPrintable(describe(heard)));
}

void tst_Playlist::folderChangeKeepsQueuedNames()
{
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(kTestPeriodMs));
    toneFile(70);
    toneFile(110);
    list.FoldMus(m_dir.path(), QStringLiteral("wav"));
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));

    QVERIFY(list.AddFile(QStringLiteral("t0070")));
    QVERIFY(list.AddFile(QStringLiteral("t0110")));
    list.FoldMus(QStringLiteral("/nowhere"), QStringLiteral(".mp3"));
    QCOMPARE(probe.entries(), (QStringList{m_dir.filePath(QStringLiteral("t0070.wav")),
                                           m_dir.filePath(QStringLiteral("t0110.wav"))}));
    QVERIFY(waitForListEnd(probe));
    const QVector<double> heard = lengthsOf(findSounds(recorder.stop(), 0.02, kBridgeSeconds));
    QVERIFY2(heard.size() == 2 && qAbs(heard[1] - 0.110) < kLengthTolerance,
             qPrintable(describe(heard)));
}

QTEST_MAIN(tst_Playlist)
#include "tst_playlist.moc"
