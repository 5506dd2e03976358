#include "MediaGraph.h"

#include "HostileFiles.h"
#include "NullSinkRecorder.h"
#include "ProcessUsage.h"
#include "SoundSegments.h"
#include "TestFiles.h"
#include "WaveFile.h"

#include <QElapsedTimer>
#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <QtTest>

using namespace ZimbrelTest;
using Zimbrel::Media::MediaGraph;

namespace {

// Counts the mouse moves a graph posts, and on which thread they arrive.
class NotificationCounter : public QWidget
{
public:
    NotificationCounter() { setMouseTracking(true); }

    int moves = 0;
    int offThread = 0;

protected:
    void mouseMoveEvent(QMouseEvent *) override
    {
        ++moves;
        if (QThread::currentThread() != thread())
            ++offThread;
    }
};

// Whether every playback stream of this process on the sound server is
// corked (paused); nothing when it has none.
std::optional<bool> ownStreamCorked()
{
    QProcess pactl;
    pactl.start(QStringLiteral("pactl"), {QStringLiteral("list"), QStringLiteral("sink-inputs")});
    if (!pactl.waitForFinished(5000))
        return std::nullopt;
    const QString ownPid = QStringLiteral("application.process.id = \"%1\"")
                               .arg(QCoreApplication::applicationPid());
    const QStringList inputs = QString::fromUtf8(pactl.readAllStandardOutput())
                                   .split(QStringLiteral("Sink Input #"), Qt::SkipEmptyParts);
    std::optional<bool> allCorked;
    for (const QString &input : inputs) {
        if (input.contains(ownPid))
            allCorked = allCorked.value_or(true) && input.contains(QStringLiteral("Corked: yes"));
    }
    return allCorked;
}

} // namespace

class TestMediaGraph : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void renderFile_fails_data();
    void renderFile_fails();
    void renderFile_playsAudio_data();
    void renderFile_playsAudio();
    void positionEqualsStopTime_atEnd_data();
    void positionEqualsStopTime_atEnd();
    void rewindAfterEnd_playsAgain();
    void stop_keepsLastValues();
    void notifications_arriveOnUiThread_andStopWithRelease();
    void releasingLastReference_silences();
    void releasedGraphs_leaveNothingOpen();
    void atEnd_restsWithItsOutputCorked();
    void preparedAhead_startsWhenRun();
    void preparedAhead_servesOnlyTheSameFileVersion_data();
    void preparedAhead_servesOnlyTheSameFileVersion();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    std::unique_ptr<HostileFiles> m_hostile;
};

void TestMediaGraph::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(!writeToneWave(path("tone.wav"), 0.25, 660).isEmpty());
    QVERIFY(!writeToneWave(path("long.wav"), 1.5, 440).isEmpty());
    QVERIFY(!encodeMp3(path("tone.wav"), path("tone.mp3")).isEmpty());
    // Files that a host may pass; their URL-like names are relative to their
    // folder. Port 9 (discard): nothing listens there.
    QVERIFY(QDir(m_dir.path()).mkdir("hostile"));
    m_hostile = std::make_unique<HostileFiles>(path("hostile"), 9);
    QVERIFY2(m_hostile->make(), qPrintable(m_hostile->error()));
    QVERIFY(QDir::setCurrent(path("hostile")));
}

void TestMediaGraph::renderFile_fails_data()
{
    QTest::addColumn<QString>("file");
    for (const HostileFile &file : m_hostile->files()) {
        if (!file.plays)
            QTest::newRow(qPrintable(file.label)) << file.name;
    }
}

void TestMediaGraph::renderFile_fails()
{
    QFETCH(QString, file);
    auto graph = MediaGraph::create();
    QVERIFY(graph);
    QElapsedTimer elapsed;
    elapsed.start();
    QVERIFY(!graph->RenderFile(file));
    // Bounded by the preroll time-out, never by a kernel or network wait.
    QVERIFY2(elapsed.elapsed() < 3500, qPrintable(QString::number(elapsed.elapsed())));
    QVERIFY(!graph->Run());
}

void TestMediaGraph::renderFile_playsAudio_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("wav") << path("tone.wav");
    QTest::newRow("mp3") << path("tone.mp3");
    for (const HostileFile &file : m_hostile->files()) {
        if (file.plays && file.audible)
            QTest::newRow(qPrintable(file.label)) << file.name;
    }
}

void TestMediaGraph::renderFile_playsAudio()
{
    QFETCH(QString, file);
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    auto graph = MediaGraph::create();
    QVERIFY(graph->RenderFile(file));
    QCOMPARE(graph->GetState(100), std::optional<int>(MediaGraph::Paused));
    QVERIFY(graph->Run());
    QTRY_COMPARE_WITH_TIMEOUT(graph->GetState(100), std::optional<int>(MediaGraph::Running), 2000);
    QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPosition() == graph->StopTime(), 5000);
    QTest::qWait(100);
    QVERIFY(!findSounds(recorder.stop()).isEmpty());
}

void TestMediaGraph::positionEqualsStopTime_atEnd_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<double>("seconds");
    QTest::newRow("wav") << path("tone.wav") << 0.25;
    QTest::newRow("mp3") << path("tone.mp3") << 0.25;
}

void TestMediaGraph::positionEqualsStopTime_atEnd()
{
    QFETCH(QString, file);
    QFETCH(double, seconds);
    auto graph = MediaGraph::create();
    QVERIFY(graph->RenderFile(file));
    QVERIFY(graph->Run());
    QVERIFY(graph->CurrentPosition().value() < graph->StopTime().value());
    QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPosition() == graph->StopTime(), 5000);
    // Exactly equal, and stays so: callers compare with ==.
    const double end = graph->StopTime().value();
    QCOMPARE(graph->CurrentPosition().value(), end);
    QTest::qWait(50);
    QCOMPARE(graph->CurrentPosition().value(), end);
    // MP3 adds encoder padding: about a frame.
    QVERIFY2(std::abs(end - seconds) < 0.06, qPrintable(QString::number(end)));
    QCOMPARE(graph->GetState(100), std::optional<int>(MediaGraph::Running));
}

void TestMediaGraph::rewindAfterEnd_playsAgain()
{
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    auto graph = MediaGraph::create();
    QVERIFY(graph->RenderFile(path("tone.wav")));
    QVERIFY(graph->Run());
    QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPosition() == graph->StopTime(), 5000);
    QTest::qWait(150);
    QVERIFY(graph->PutCurrentPosition(0));
    QVERIFY(graph->CurrentPosition().value() < graph->StopTime().value());
    QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPosition() == graph->StopTime(), 5000);
    QTest::qWait(100);
    const auto sounds = findSounds(recorder.stop());
    QCOMPARE(sounds.size(), 2);
    for (const Segment &sound : sounds)
        QVERIFY2(std::abs(sound.length - 0.25) < 0.03, qPrintable(QString::number(sound.length)));
}

void TestMediaGraph::stop_keepsLastValues()
{
    auto graph = MediaGraph::create();
    QVERIFY(graph->RenderFile(path("long.wav")));
    QVERIFY(graph->Run());
    QTest::qWait(300);
    graph->Stop();
    QCOMPARE(graph->GetState(100), std::optional<int>(MediaGraph::Stopped));
    const auto position = graph->CurrentPosition();
    const auto stopTime = graph->StopTime();
    QVERIFY(position && stopTime);
    QVERIFY(*position > 0.1 && *position < 1.0);
    QCOMPARE(*stopTime, 1.5);
    QTest::qWait(50);
    QCOMPARE(graph->CurrentPosition(), position);
    graph->Stop(); // stopping twice is harmless
    QVERIFY(!graph->PutCurrentPosition(0));
}

void TestMediaGraph::notifications_arriveOnUiThread_andStopWithRelease()
{
    NotificationCounter counter;
    auto graph = MediaGraph::create();
    QVERIFY(graph->RenderFile(path("tone.wav")));
    graph->SetNotifyWindow(&counter);
    QVERIFY(graph->Run());
    QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPosition() == graph->StopTime(), 5000);
    // The end of the stream itself is announced.
    QTRY_VERIFY(counter.moves > 0);
    const int atEnd = counter.moves;
    QVERIFY(graph->PutCurrentPosition(0));
    QTRY_VERIFY(counter.moves > atEnd);
    QCOMPARE(counter.offThread, 0);

    graph.reset();
    QCoreApplication::processEvents();
    const int afterRelease = counter.moves;
    QTest::qWait(300);
    QCOMPARE(counter.moves, afterRelease);
}

void TestMediaGraph::releasingLastReference_silences()
{
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    auto graph = MediaGraph::create();
    QVERIFY(graph->RenderFile(path("long.wav")));
    QVERIFY(graph->Run());
    auto sharer = graph;
    QTest::qWait(300);
    graph.reset(); // the other holder keeps it playing
    QTest::qWait(300);
    sharer.reset();
    QTest::qWait(400);
    const auto sounds = findSounds(recorder.stop());
    QCOMPARE(sounds.size(), 1);
    QVERIFY2(sounds.first().length > 0.45 && sounds.first().length < 0.9,
             qPrintable(QString::number(sounds.first().length)));
}


void TestMediaGraph::releasedGraphs_leaveNothingOpen()
{
    // The first graphs open what every later one shares.
    for (int i = 0; i < 3; ++i)
        QVERIFY(MediaGraph::create()->RenderFile(path("tone.wav")));
    const qsizetype before = openFileCount();
    for (int i = 0; i < 40; ++i) {
        auto graph = MediaGraph::create();
        QVERIFY(graph->RenderFile(path("tone.wav")));
        QVERIFY(graph->Run());
        QTest::qWait(5);
    }
    QCoreApplication::processEvents();
    QVERIFY2(openFileCount() - before <= 2, qPrintable(QString::number(openFileCount() - before)));
}

void TestMediaGraph::atEnd_restsWithItsOutputCorked()
{
    auto graph = MediaGraph::create();
    QVERIFY(graph->RenderFile(path("long.wav")));
    QVERIFY(graph->Run());
    QTRY_COMPARE_WITH_TIMEOUT(ownStreamCorked(), std::optional<bool>(false), 1000);
    QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPosition() == graph->StopTime(), 5000);
    // Kept at its end, the graph no longer feeds silence to the server...
    QTRY_COMPARE_WITH_TIMEOUT(ownStreamCorked(), std::optional<bool>(true), 2000);
    // ...and still reports what a finished, running graph reports.
    QCOMPARE(graph->GetState(100), std::optional<int>(MediaGraph::Running));
    QCOMPARE(graph->CurrentPosition(), graph->StopTime());
    QVERIFY(graph->PutCurrentPosition(0));
    QTRY_COMPARE_WITH_TIMEOUT(ownStreamCorked(), std::optional<bool>(false), 2000);
}

void TestMediaGraph::preparedAhead_startsWhenRun()
{
    const QString file = writeToneWave(path("prepared.wav"), 0.2, 660);
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    MediaGraph::PrepareAhead(file);
    // Long enough for the preparation to finish and then wait.
    QTest::qWait(1000);
    auto graph = MediaGraph::create();
    QVERIFY(graph->RenderFile(file));
    const double runAt = recorder.secondsSinceStart();
    QVERIFY(graph->Run());
    QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPosition() == graph->StopTime(), 5000);
    QTest::qWait(100);
    const auto sounds = findSounds(recorder.stop());
    QCOMPARE(sounds.size(), 1);
    // Heard when run, not as much later as it waited prepared.
    QVERIFY2(sounds.first().start - runAt < 0.15,
             qPrintable(QString::number(sounds.first().start - runAt)));
}

void TestMediaGraph::preparedAhead_servesOnlyTheSameFileVersion_data()
{
    // Tone lengths in seconds; 0 stands for random bytes.
    QTest::addColumn<double>("prepared");
    QTest::addColumn<double>("rendered");
    QTest::newRow("unchanged") << 0.3 << 0.3;
    QTest::newRow("replaced by a longer sound") << 0.2 << 0.6;
    QTest::newRow("undecodable, then made a sound") << 0.0 << 0.4;
    QTest::newRow("a sound, then made undecodable") << 0.4 << 0.0;
}

void TestMediaGraph::preparedAhead_servesOnlyTheSameFileVersion()
{
    QFETCH(double, prepared);
    QFETCH(double, rendered);
    const QString file = path("versioned.wav");
    const auto write = [&](double seconds) {
        QFile::remove(file);
        return seconds > 0 ? !writeToneWave(file, seconds, 550).isEmpty()
                           : !writeBytes(file, QByteArray(5000, '\x5a')).isEmpty();
    };
    QVERIFY(write(prepared));
    MediaGraph::PrepareAhead(file);
    QTest::qWait(500);
    if (rendered != prepared)
        QVERIFY(write(rendered));

    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    auto graph = MediaGraph::create();
    QCOMPARE(graph->RenderFile(file), rendered > 0);
    if (rendered == 0)
        return;
    QVERIFY(graph->Run());
    QTRY_VERIFY_WITH_TIMEOUT(graph->CurrentPosition() == graph->StopTime(), 5000);
    QTest::qWait(100);
    const auto sounds = findSounds(recorder.stop());
    QCOMPARE(sounds.size(), 1);
    QVERIFY2(std::abs(sounds.first().length - rendered) < 0.03,
             qPrintable(QString::number(sounds.first().length)));
}

QTEST_MAIN(TestMediaGraph)
#include "tst_mediagraph.moc"
