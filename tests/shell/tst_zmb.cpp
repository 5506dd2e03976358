#include "NullSinkRecorder.h"
#include "SilentAudioServer.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace ZimbrelTest;

// The real zmb in the test's X server, driven with xdotool, heard through the
// null sink.
class TestZmb : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void showsWindow_playsNamedSound_escapeExits();
    void malformedLine_playsError_modifiedEscapeIgnored_buttonExits();
    void terminationSignal_endsCleanlyAndSilently_data();
    void terminationSignal_endsCleanlyAndSilently();
    void audioServerFault_windowShowsPromptly_escapeExits_data();
    void audioServerFault_windowShowsPromptly_escapeExits();
    void soundsFolderMissing_silentWindow_escapeExits();
    void noDisplay_oneLineAndStatusOne();

private:
    void startZmb(const QStringList &arguments,
                  const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment());
    QString waitForWindow();
    // Escape to the window; the program must end with status 0.
    void escapeEndsProgram(const QString &window);
    static QString xdotool(const QStringList &arguments);
    static double expectedLength(const QString &sound);

    QString m_folder;
    QProcess m_zmb;
};

void TestZmb::initTestCase()
{
    QVERIFY(QFileInfo::exists(ZMB_PATH));
    m_folder = QFileInfo(ZMB_PATH).absolutePath();
    QVERIFY(QFileInfo::exists(m_folder + "/sounds/1.wav"));
    QVERIFY(QFileInfo::exists(m_folder + "/sounds/error.wav"));
}

void TestZmb::cleanup()
{
    if (m_zmb.state() != QProcess::NotRunning) {
        m_zmb.kill();
        m_zmb.waitForFinished(3000);
    }
}

void TestZmb::startZmb(const QStringList &arguments, const QProcessEnvironment &environment)
{
    m_zmb.setProcessEnvironment(environment);
    m_zmb.start(ZMB_PATH, arguments);
    QVERIFY(m_zmb.waitForStarted(5000));
}

QString TestZmb::xdotool(const QStringList &arguments)
{
    QProcess process;
    process.start("xdotool", arguments);
    process.waitForFinished(15000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

QString TestZmb::waitForWindow()
{
    // --sync waits until a window of that name is mapped.
    return xdotool({"search", "--sync", "--onlyvisible", "--name", "^Zimbrel$"}).section('\n', 0, 0);
}

double TestZmb::expectedLength(const QString &sound)
{
    // Measured the way the recording is measured, so fades count alike.
    const auto sounds = findSounds(readWave(QFileInfo(ZMB_PATH).absolutePath() + "/sounds/" + sound
                                            + ".wav"));
    return sounds.size() == 1 ? sounds.first().length : -1;
}

void TestZmb::showsWindow_playsNamedSound_escapeExits()
{
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    startZmb({"1/Download finished"});
    const QString window = waitForWindow();
    QVERIFY(!window.isEmpty());
    QCOMPARE(xdotool({"getwindowname", window}), QString("Zimbrel"));
    QTest::qWait(800);
    QCOMPARE(m_zmb.state(), QProcess::Running);

    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "--clearmodifiers", "Escape"});
    QVERIFY(m_zmb.waitForFinished(5000));
    QCOMPARE(m_zmb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_zmb.exitCode(), 0);

    const auto sounds = findSounds(recorder.stop());
    QCOMPARE(sounds.size(), 1);
    QVERIFY2(std::abs(sounds.first().length - expectedLength("1")) < 0.03,
             qPrintable(QString::number(sounds.first().length)));
}

void TestZmb::malformedLine_playsError_modifiedEscapeIgnored_buttonExits()
{
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    startZmb({"nonsense"});
    const QString window = waitForWindow();
    QVERIFY(!window.isEmpty());
    QTest::qWait(800);
    const auto sounds = findSounds(recorder.stop());
    QCOMPARE(sounds.size(), 1);
    QVERIFY2(std::abs(sounds.first().length - expectedLength("error")) < 0.03,
             qPrintable(QString::number(sounds.first().length)));

    xdotool({"windowfocus", "--sync", window});
    // Escape is let go while the modifier is still held, as a person does.
    for (const char *modifier : {"shift", "ctrl", "alt"}) {
        xdotool({"keydown", modifier, "keydown", "Escape", "keyup", "Escape", "keyup", modifier});
        QTest::qWait(300);
        QVERIFY2(m_zmb.state() == QProcess::Running, modifier);
    }

    // The button's centre, from the window's size: it keeps its proportions at any DPI.
    const QString geometry = xdotool({"getwindowgeometry", "--shell", window});
    QMap<QString, int> values;
    for (const QString &line : geometry.split('\n'))
        values[line.section('=', 0, 0)] = line.section('=', 1).toInt();
    const int x = values["X"] + values["WIDTH"] * (450 + 2250 / 2) / 3150;
    const int y = values["Y"] + values["HEIGHT"] * (750 + 375 / 2) / 1200;
    xdotool({"mousemove", "--sync", QString::number(x), QString::number(y)});
    xdotool({"click", "1"});
    QVERIFY(m_zmb.waitForFinished(5000));
    QCOMPARE(m_zmb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_zmb.exitCode(), 0);
}

void TestZmb::terminationSignal_endsCleanlyAndSilently_data()
{
    QTest::addColumn<int>("signalNumber");
    QTest::newRow("SIGTERM") << SIGTERM;
    QTest::newRow("SIGINT") << SIGINT;
    QTest::newRow("SIGHUP") << SIGHUP;
}

void TestZmb::terminationSignal_endsCleanlyAndSilently()
{
    QFETCH(int, signalNumber);
    // A sound long enough to be cut: the longest chime, played through a
    // folder of our own would need a copy of zmb; the chime suffices when the
    // signal comes right after the window shows.
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    startZmb({"5/signalled"});
    QVERIFY(!waitForWindow().isEmpty());
    ::kill(pid_t(m_zmb.processId()), signalNumber);
    QVERIFY(m_zmb.waitForFinished(5000));
    QCOMPARE(m_zmb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_zmb.exitCode(), 128 + signalNumber);
    QTest::qWait(600);
    const auto sounds = findSounds(recorder.stop());
    QVERIFY(sounds.size() <= 1);
    if (!sounds.isEmpty())
        QVERIFY(sounds.first().length < expectedLength("5"));
}

void TestZmb::escapeEndsProgram(const QString &window)
{
    xdotool({"windowfocus", "--sync", window});
    xdotool({"key", "Escape"});
    QVERIFY(m_zmb.waitForFinished(5000));
    QCOMPARE(m_zmb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_zmb.exitCode(), 0);
}

void TestZmb::audioServerFault_windowShowsPromptly_escapeExits_data()
{
    QTest::addColumn<bool>("serverListens");
    QTest::newRow("no audio server") << false;
    // Takes the connection and never answers it.
    QTest::newRow("audio server that never answers") << true;
}

void TestZmb::audioServerFault_windowShowsPromptly_escapeExits()
{
    QFETCH(bool, serverListens);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    SilentAudioServer server(dir.filePath("pulse"));
    QVERIFY(server.isListening());
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("PULSE_SERVER", serverListens ? server.address()
                                                     : "unix:/nonexistent/zimbrel-no-server");
    QElapsedTimer elapsed;
    elapsed.start();
    startZmb({"1/no sound today"}, environment);
    const QString window = waitForWindow();
    QVERIFY(!window.isEmpty());
    QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
    QTest::qWait(200);
    escapeEndsProgram(window);
    if (QTest::currentTestFailed())
        return;
    qInfo("window shown and closed by Escape within %lld ms", elapsed.elapsed());
    QCOMPARE(server.connections() > 0, serverListens);
}

void TestZmb::soundsFolderMissing_silentWindow_escapeExits()
{
    // zmb looks for sounds/ beside its real executable: a copy in a folder
    // of its own has none.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString copy = dir.filePath("zmb");
    QVERIFY(QFile::copy(ZMB_PATH, copy));
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    m_zmb.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    m_zmb.start(copy, {"1/no sounds here"});
    QVERIFY(m_zmb.waitForStarted(5000));
    const QString window = waitForWindow();
    QVERIFY(!window.isEmpty());
    QTest::qWait(600);
    escapeEndsProgram(window);
    QVERIFY(findSounds(recorder.stop()).isEmpty());
}

void TestZmb::noDisplay_oneLineAndStatusOne()
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    startZmb({"1/nowhere"}, environment);
    QVERIFY(m_zmb.waitForFinished(10000));
    QCOMPARE(m_zmb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(m_zmb.exitCode(), 1);
    const QString error = QString::fromLocal8Bit(m_zmb.readAllStandardError()).trimmed();
    QVERIFY2(!error.isEmpty() && !error.contains('\n'), qPrintable(error));
    QVERIFY2(error.contains("display"), qPrintable(error));
}

QTEST_MAIN(TestZmb)
#include "tst_zmb.moc"
