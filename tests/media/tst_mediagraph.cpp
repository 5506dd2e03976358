#include "MediaGraph.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <QtTest>

using namespace ZimbrelTest;
using Zimbrel::Media::MediaGraph;

namespace {

// Counts the mouse moves a graph posts, and those run off the UI thread.
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
        offThread += QThread::currentThread() != thread();
    }
};

// Whether every playback stream of this process on the sound server is
// corked (paused); nothing when it has none.
std::optional<bool> ownStreamCorked()
{
    QProcess pactl;
    pactl.start("pactl", {"list", "sink-inputs"});
    if (!pactl.waitForFinished(5000))
        return std::nullopt;
    const QString ownPid = QStringLiteral("application.process.id = \"%1\"").arg(QCoreApplication::applicationPid());
    std::optional<bool> allCorked;
    for (const QString &input : QString::fromUtf8(pactl.readAllStandardOutput()).split("Sink Input #")) {
        if (input.contains(ownPid))
            allCorked = allCorked.value_or(true) && input.contains("Corked: yes");
    }
    return allCorked;
}

bool atEnd(MediaGraph &graph)
{
    return graph.CurrentPosition() == graph.StopTime();
}

} // namespace

class TestMediaGraph : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const QString &name) const { return m_dir.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(!writeToneWave(path("tone.wav"), 0.25, 660).isEmpty());
        QProcess lame;
        lame.start("lame", {"--quiet", "-b", "128", path("tone.wav"), path("tone.mp3")});
        QVERIFY(lame.waitForFinished(30000) && lame.exitCode() == 0);
    }

    void endIsLatched_data()
    {
        QTest::addColumn<QString>("file");
        QTest::newRow("wav") << path("tone.wav");
        QTest::newRow("mp3") << path("tone.mp3");
    }

    // At its end a stream stays running, its position equal to its stop time
    // (callers compare with ==), its output corked so it feeds the server no
    // silence; rewound, it plays again. Its news reaches the UI thread as mouse
    // moves, and stops with its release.
    void endIsLatched()
    {
        QFETCH(QString, file);
        NotificationCounter counter;
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        auto graph = MediaGraph::create();
        QVERIFY(graph->RenderFile(file));
        QCOMPARE(graph->GetState(100), std::optional<int>(MediaGraph::Paused));
        graph->SetNotifyWindow(&counter);
        QVERIFY(graph->Run());
        QVERIFY(graph->CurrentPosition().value() < graph->StopTime().value());

        for (int pass = 0; pass < 2; ++pass) {
            QTRY_VERIFY_WITH_TIMEOUT(atEnd(*graph), 5000);
            const double end = graph->StopTime().value();
            // MP3 adds encoder padding: about a frame.
            QVERIFY2(std::abs(end - 0.25) < 0.06, qPrintable(QString::number(end)));
            QTRY_COMPARE_WITH_TIMEOUT(ownStreamCorked(), std::optional<bool>(true), 2000);
            QCOMPARE(graph->CurrentPosition().value(), end);
            QCOMPARE(graph->GetState(100), std::optional<int>(MediaGraph::Running));
            QTRY_VERIFY(counter.moves > 0);
            if (pass == 0) {
                counter.moves = 0;
                QVERIFY(graph->PutCurrentPosition(0));
                QVERIFY(!atEnd(*graph));
            }
        }
        QCOMPARE(counter.offThread, 0);
        graph.reset();
        QCoreApplication::processEvents();
        const int afterRelease = counter.moves;
        QTest::qWait(100);
        QCOMPARE(counter.moves, afterRelease);
        const QVector<Segment> sounds = findSounds(recorder.stop());
        QVERIFY2(lengthsAre(sounds, {{0.25, 0.05}, {0.25, 0.05}}), describe(sounds));
    }

    void releasedGraphs_leaveNothingOpen()
    {
        const auto openFiles = [] { return QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(); };
        // The first graphs open what every later one shares.
        for (int i = 0; i < 3; ++i)
            QVERIFY(MediaGraph::create()->RenderFile(path("tone.wav")));
        const qsizetype before = openFiles();
        for (int i = 0; i < 30; ++i) {
            auto graph = MediaGraph::create();
            QVERIFY(graph->RenderFile(path("tone.wav")));
            QVERIFY(graph->Run());
        }
        QCoreApplication::processEvents();
        QVERIFY2(openFiles() - before <= 2, qPrintable(QString::number(openFiles() - before)));
    }

    void preparedAhead_data()
    {
        // Tone lengths in seconds; 0 stands for bytes that are not a sound.
        QTest::addColumn<double>("prepared");
        QTest::addColumn<double>("rendered");
        QTest::newRow("unchanged") << 0.3 << 0.3;
        QTest::newRow("replaced by a longer sound") << 0.2 << 0.6;
        QTest::newRow("undecodable, then made a sound") << 0.0 << 0.4;
        QTest::newRow("a sound, then made undecodable") << 0.4 << 0.0;
    }

    // A graph prepared ahead serves only the same version of its file, and
    // starts when run, not as much later as it waited prepared.
    void preparedAhead()
    {
        QFETCH(double, prepared);
        QFETCH(double, rendered);
        const QString file = path("versioned.wav");
        const auto write = [&](double seconds) {
            QFile::remove(file);
            if (seconds > 0)
                return !writeToneWave(file, seconds, 550).isEmpty();
            QFile bytes(file);
            return bytes.open(QIODevice::WriteOnly) && bytes.write(QByteArray(5000, 'Z')) == 5000;
        };
        QVERIFY(write(prepared));
        MediaGraph::PrepareAhead(file);
        QTest::qWait(700);
        if (rendered != prepared)
            QVERIFY(write(rendered));

        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        auto graph = MediaGraph::create();
        QCOMPARE(graph->RenderFile(file), rendered > 0);
        if (rendered == 0)
            return;
        const double runAt = recorder.secondsSinceStart();
        QVERIFY(graph->Run());
        QTRY_VERIFY_WITH_TIMEOUT(atEnd(*graph), 5000);
        QTest::qWait(100);
        const QVector<Segment> sounds = findSounds(recorder.stop());
        QVERIFY2(lengthsAre(sounds, {{rendered, 0.03}}) && sounds.first().start - runAt < 0.15,
                 describe(sounds) + " run at " + QByteArray::number(runAt));
    }
};

QTEST_MAIN(TestMediaGraph)
#include "tst_mediagraph.moc"
