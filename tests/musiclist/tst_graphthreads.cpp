#include "MediaGraph.h"
#include "MusicList.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QMouseEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace ZimbrelTest;
using Zimbrel::MusicList;
using Zimbrel::Media::MediaGraph;

namespace {

qsizetype threadCount()
{
    return QDir(u"/proc/self/task"_qs).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

#ifdef __SANITIZE_ADDRESS__
constexpr int kExitSlowdown = 3; // a sanitized zmb checks for leaks on its way out
#else
constexpr int kExitSlowdown = 1;
#endif

// The test services' sound server, stopped (SIGSTOP) while this lives.
struct StoppedServer {
    const pid_t pid = qEnvironmentVariableIntValue("ZIMBREL_TEST_PULSE_PID");
    StoppedServer() { ::kill(pid, SIGSTOP); }
    ~StoppedServer() { ::kill(pid, SIGCONT); }
};

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(15000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void sendMove(MusicList &list)
{
    QMouseEvent move(QEvent::MouseMove, {}, {}, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(list.findChild<QWidget *>("ListPict"), &move);
}

} // namespace

class TestGraphThreads : public QObject
{
    Q_OBJECT

    QString path(const QVariant &name) const { return m_dir.filePath(name.toString() + ".wav"); }
    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QVERIFY(qEnvironmentVariableIntValue("ZIMBREL_TEST_PULSE_PID") > 0);
        for (int i = 0; i < 103; ++i)
            QVERIFY(!writeToneWave(path(i), 0.05, 440).isEmpty());
        QVERIFY(!writeToneWave(path("long"), 3, 440).isEmpty());
        QVERIFY(!writeToneWave(path("end"), 0.03, 660).isEmpty());
    }

    void stalledServer_neverHolds_data()
    {
        QTest::addColumn<int>("limitMs");
        // RenderFile: the preroll time-out, 3 s, and a margin for a loaded machine.
        for (const char *action : {"zmb SIGTERM", "zmb Escape", "zmb button", "StopSound", "StopMusic",
                                   "Clear", "widget destroyed", "RenderFile", "RenderFile prepared"})
            QTest::newRow(action) << (action[0] == 'z' ? 500 : action[0] == 'R' ? 3150 : 50);
    }

    void stalledServer_neverHolds()
    {
        QFETCH(int, limitMs);
        const QString action = QTest::currentDataTag();
        limitMs *= action.startsWith("zmb") ? kExitSlowdown : 1;
        QElapsedTimer elapsed;
        if (action.startsWith("zmb")) {
            QProcess zmb;
            qunsetenv("QT_QPA_PLATFORM"); // zmb on the X server, for xdotool
            zmb.start(ZMB_PATH, {"5/stalled"});
            const QString window = run("xdotool", {"search", "--sync", "--onlyvisible", "--name",
                                                   "^Zimbrel$"}).section('\n', 0, 0);
            QVERIFY(!window.isEmpty());
            // X, Y, WIDTH, HEIGHT; the button's centre, in proportion to the window.
            const QStringList box = run("xdotool", {"getwindowgeometry", "--shell", window}).split('\n');
            const auto at = [&](int line, int twips, int of) {
                return QString::number(box.value(line).section('=', 1).toInt()
                                       + box.value(line + 2).section('=', 1).toInt() * twips / of);
            };
            run("xdotool", {"mousemove", "--sync", at(1, 1575, 3150), at(2, 937, 1200)});
            run("xdotool", {"windowfocus", "--sync", window});
            // Stopped once the sound has its stream: past the wait for its preroll.
            const QString own = QStringLiteral("process.id = \"%1\"").arg(zmb.processId());
            QTRY_VERIFY_WITH_TIMEOUT(run("pactl", {"list", "sink-inputs"}).contains(own), 5000);
            StoppedServer stopped;
            elapsed.start();
            if (action == "zmb SIGTERM")
                ::kill(pid_t(zmb.processId()), SIGTERM);
            else
                run("xdotool", QStringList{action == "zmb Escape" ? "key" : "click",
                                           action == "zmb Escape" ? "Escape" : "1"});
            QVERIFY(zmb.waitForFinished(10000));
        } else if (action.startsWith("RenderFile")) {
            if (action.endsWith("prepared"))
                MediaGraph::PrepareAhead(path(102));
            StoppedServer stopped;
            elapsed.start();
            QVERIFY(!MediaGraph::create()->RenderFile(path(102)));
        } else {
            auto list = std::make_unique<MusicList>();
            list->Init(20);
            QVERIFY(list->PlaySound(path("long"), false) && list->PlayMusic(path("long"))
                    && list->AddFile(path("long")));
            QTest::qWait(200);
            StoppedServer stopped;
            elapsed.start();
            if (action == "widget destroyed")
                list.reset();
            else
                action == "Clear" ? list->Clear() : action == "StopSound" ? list->StopSound() : list->StopMusic();
        }
        qInfo("%lld ms", elapsed.elapsed());
        QVERIFY2(elapsed.elapsed() <= limitMs, qPrintable(QString::number(elapsed.elapsed())));
    }

    void stopsAroundEnd_leaveNothingAboveNull()
    {
        for (int i = 0; i < 1000; ++i) {
            auto graph = MediaGraph::create();
            QVERIFY(graph->RenderFile(path("end")) && graph->Run());
            // From before the end of the 30 ms tone to after its rest.
            QTest::qWait(10 + i % 50);
            if (i % 2)
                graph->Stop();
        }
        // A pipeline above NULL keeps its connection to the sound server.
        const QString own = QStringLiteral("process.id = \"%1\"").arg(QCoreApplication::applicationPid());
        QTRY_VERIFY_WITH_TIMEOUT(!run("pactl", {"list", "clients"}).contains(own), 10000);
    }

    void preparations_holdTwoAtMost()
    {
        MediaGraph::PrepareAhead(path(0));
        MediaGraph::PrepareAhead(path(1));
        QTest::qWait(2000);
        const qsizetype twoPrepared = threadCount();
        for (int i = 2; i < 102; ++i)
            MediaGraph::PrepareAhead(path(i));
        QTRY_VERIFY_WITH_TIMEOUT(threadCount() <= twoPrepared, 20000);
        qInfo("threads: %lld with two preparations, %lld after 100 more", qint64(twoPrepared), qint64(threadCount()));
    }

    void playlist_nextItemAtEnd_staleNewsChangesNothing()
    {
        MusicList unused; // a notification before any reset
        sendMove(unused);
        QCOMPARE(unused.Count(), -1);
        MusicList list;
        list.Init(200);
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        // Ends just after a tick: the poll alone would leave a gap of about 190 ms.
        QVERIFY(list.AddFile(writeToneWave(path("first"), 0.21, 550)) && list.AddFile(path(0)));
        QTRY_COMPARE_WITH_TIMEOUT(list.Count(), 0, 3000);
        QVERIFY(list.AddFile(path("long")) && list.AddFile(path(1)));
        QTest::qWait(100);
        list.Clear();
        sendMove(list);
        QTest::qWait(400);
        QCOMPARE(list.Count(), 0);
        const auto sounds = findSounds(recorder.stop(), 0.02, 0.0005); // silences of 1 ms count
        QCOMPARE(sounds.size(), 3);
        qInfo("gap %.1f ms", 1000 * (sounds[1].start - sounds[0].end()));
        QVERIFY2(sounds[1].start - sounds[0].end() < 0.06,
                 qPrintable(QString::number(sounds[1].start - sounds[0].end())));
    }
};

QTEST_MAIN(TestGraphThreads)
#include "tst_graphthreads.moc"
