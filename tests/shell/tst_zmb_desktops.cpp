#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace ZimbrelTest;

namespace {

QString run(const QString &program, const QStringList &arguments,
            const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment(),
            const QString &folder = {})
{
    QProcess process;
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder);
    process.start(program, arguments);
    process.waitForFinished(15000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// From the start of the first sound to the end of the last: an underrun
// under load splits a sound but does not shorten it.
double soundLength(const Samples &recording)
{
    const auto sounds = findSounds(recording);
    return sounds.isEmpty() ? 0 : sounds.last().end() - sounds.first().start;
}

QProcessEnvironment withoutDisplay()
{
    auto environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(name);
    return environment;
}

} // namespace

// The real zmb where users meet it: its options without a display, sounds from
// the user's data folders, Escape held elsewhere (in the test's X server), and
// a Wayland session on a private headless Weston.
class TestZmbDesktops : public QObject
{
    Q_OBJECT

    const QString m_folder = QFileInfo(ZMB_PATH).absolutePath();
    QProcess m_zmb;

    QString startForWindow(const QString &line, const QProcessEnvironment &environment,
                           const QString &program = ZMB_PATH)
    {
        m_zmb.setProcessEnvironment(environment);
        m_zmb.start(program, {line});
        return run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Zimbrel$"});
    }

private slots:
    void initTestCase()
    {
        // A fresh HOME has no GStreamer registry: built by the first zmb, it
        // can cut that one's sound short.
        run("gst-inspect-1.0", {"coreelements"});
    }

    void cleanup()
    {
        m_zmb.kill();
        m_zmb.waitForFinished(3000);
    }

    void options_answerWithoutDisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output"); // a pattern for the whole standard output
        const QString folders = QRegularExpression::escape(
            QString("\n  %1/sounds/\n  /d/home/zimbrel/sounds/\n  /d/a/zimbrel/sounds/\n").arg(m_folder));
        QTest::newRow("--help") << QStringList{"--help"} << 0
                                << "usage: zmb SOUND/TEXT\n.*" + folders + ".*Exit status: .*";
        QTest::newRow("--version") << QStringList{"--version"} << 0 << "zmb 1\\.0\\.0\\.1\n";
        QTest::newRow("more than --help is a message") << QStringList{"--help", "me"} << 1 << "";
    }

    void options_answerWithoutDisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        auto environment = withoutDisplay();
        environment.insert("XDG_DATA_HOME", "/d/home");
        environment.insert("XDG_DATA_DIRS", "/d/a");
        m_zmb.setProcessEnvironment(environment);
        m_zmb.start(ZMB_PATH, arguments);
        QVERIFY(m_zmb.waitForFinished(10000));
        QCOMPARE(m_zmb.exitCode(), status);
        const QString printed = QString::fromUtf8(m_zmb.readAllStandardOutput());
        const QRegularExpression whole("\\A" + output + "\\z", QRegularExpression::DotMatchesEverythingOption);
        QVERIFY2(whole.match(printed).hasMatch(), qPrintable(printed));
    }

    void soundFolders_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<double>("inDataHome"); // length of the sound put there; 0 for none
        QTest::addColumn<double>("inDataDirs"); // in the second $XDG_DATA_DIRS entry
        QTest::addColumn<bool>("ownFolderEmpty"); // zmb copied to a folder without sounds/
        QTest::addColumn<double>("heard"); // 0: the program's own sounds/1.wav
        QTest::newRow("$XDG_DATA_HOME") << "zmbtest/x" << 0.6 << 1.0 << false << 0.6;
        QTest::newRow("$XDG_DATA_DIRS") << "zmbtest/x" << 0.0 << 1.0 << false << 1.0;
        QTest::newRow("own folder first") << "1/x" << 0.6 << 1.0 << false << 0.0;
        QTest::newRow("error.wav") << "no slash" << 0.6 << 0.0 << true << 0.6;
    }

    void soundFolders()
    {
        QFETCH(QString, line);
        QFETCH(double, inDataHome);
        QFETCH(double, inDataDirs);
        QFETCH(bool, ownFolderEmpty);
        QFETCH(double, heard);
        QTemporaryDir dir;
        const QString name = line.contains('/') ? line.section('/', 0, 0) : "error";
        for (const auto &[folder, length] : {std::pair{"home", inDataHome}, {"dirs", inDataDirs}}) {
            QVERIFY(QDir().mkpath(dir.filePath(folder) + "/zimbrel/sounds"));
            if (length > 0)
                writeToneWave(dir.filePath(folder) + "/zimbrel/sounds/" + name + ".wav", length, 600);
        }
        heard = heard > 0 ? heard : soundLength(readWave(m_folder + "/sounds/1.wav"));
        const QString program = ownFolderEmpty ? dir.filePath("zmb") : ZMB_PATH;
        QVERIFY(!ownFolderEmpty || QFile::copy(ZMB_PATH, program));
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", dir.filePath("home"));
        environment.insert("XDG_DATA_DIRS", dir.filePath("none") + ':' + dir.filePath("dirs"));

        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        QVERIFY(!startForWindow(line, environment, program).isEmpty());
        // Generous: under load a sound can start a second or more late.
        QTest::qWait(int(heard * 1000) + 2500);
        const double length = soundLength(recorder.stop());
        // Which file played, told by its length; under load a sound's start
        // can be lost, never more than the gaps between these lengths.
        QVERIFY2(length > heard - 0.2 && length < heard + 0.03, qPrintable(QString::number(length)));
    }

    void escapeRelease_closesOnlyAfterItsPress_noMaximize()
    {
        // Escape is held elsewhere (here: no window at all) while the window
        // appears and takes the focus; its release, and the X server's
        // repeats meanwhile, must not close it.
        run("xdotool", {"keydown", "Escape"});
        const QString window = startForWindow("1/Escape held", QProcessEnvironment::systemEnvironment());
        QVERIFY(!window.isEmpty());
        run("xdotool", {"windowfocus", "--sync", window});
        run("xdotool", {"keyup", "Escape"});
        QTest::qWait(500);
        QVERIFY2(m_zmb.state() == QProcess::Running, qPrintable(QString::number(m_zmb.exitCode())));

        // Motif hints: neither the maximize function (16) nor its button (64).
        const QStringList hints = run("xprop", {"-id", window, "_MOTIF_WM_HINTS"}).section('=', 1).split(',');
        QVERIFY2(hints.size() == 5, qPrintable(hints.join(',')));
        QCOMPARE((hints[1].toUInt(nullptr, 0) & 16) | (hints[2].toUInt(nullptr, 0) & 64), 0u);

        run("xdotool", {"key", "Escape"});
        QVERIFY(m_zmb.waitForFinished(5000));
        QCOMPARE(m_zmb.exitCode(), 0);
    }

    void wayland_windowSoundAndSignal_data()
    {
        QTest::addColumn<QString>("sound");
        QTest::addColumn<bool>("wholeSound"); // else cut by SIGTERM as the window shows
        QTest::newRow("whole sound") << "1" << true;
        QTest::newRow("cut by SIGTERM") << "5" << false;
    }

    void wayland_windowSoundAndSignal()
    {
        QFETCH(QString, sound);
        QFETCH(bool, wholeSound);
        QTemporaryDir runtime; // private to its owner, as XDG_RUNTIME_DIR must be
        auto environment = withoutDisplay();
        environment.insert("XDG_RUNTIME_DIR", runtime.path());
        QProcess weston;
        weston.setProcessEnvironment(environment);
        weston.start("weston", {"--backend=headless-backend.so", "--use-pixman", "--debug",
                                "--socket=wayland-zmb", "--width=800", "--height=600"});
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(runtime.filePath("wayland-zmb")), 10000);
        environment.insert("WAYLAND_DISPLAY", "wayland-zmb");
        environment.insert("XDG_SESSION_TYPE", "wayland");

        const double full = soundLength(readWave(m_folder + "/sounds/" + sound + ".wav"));
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        m_zmb.setProcessEnvironment(environment);
        m_zmb.start(ZMB_PATH, {sound + "/Seen on Wayland"});
        // The compositor's own list of what it shows names the window by its title.
        const QRegularExpression view("top-level window 'Zimbrel'.*\\n\\s*position: \\((\\d+), (\\d+)\\) "
                                      "-> \\((\\d+), (\\d+)\\)");
        QRegularExpressionMatch shown;
        QTRY_VERIFY_WITH_TIMEOUT(
            (shown = view.match(run("weston-debug", {"scene-graph"}, environment))).hasMatch(), 10000);
        if (wholeSound) {
            QTest::qWait(int(full * 1000) + 2500);
            // The text is drawn: dark pixels across the upper middle of the window.
            run("weston-screenshooter", {}, environment, runtime.path());
            const auto pictures = QDir(runtime.path()).entryInfoList({"*.png"});
            QCOMPARE(pictures.size(), 1);
            const QImage picture(pictures.first().filePath());
            const QRect window(QPoint(shown.captured(1).toInt(), shown.captured(2).toInt()),
                               QPoint(shown.captured(3).toInt() - 1, shown.captured(4).toInt() - 1));
            int dark = 0;
            for (int y = window.center().y() - window.height() / 4; y < window.center().y(); ++y)
                for (int x = window.left(); x <= window.right(); ++x)
                    dark += qGray(picture.pixel(x, y)) < 96;
            QVERIFY2(dark > 50, qPrintable(QString::number(dark)));
        }
        ::kill(pid_t(m_zmb.processId()), SIGTERM);
        QVERIFY(m_zmb.waitForFinished(5000));
        QCOMPARE(m_zmb.exitCode(), 128 + SIGTERM);
        QTest::qWait(300);
        const double length = soundLength(recorder.stop());
        QVERIFY2(wholeSound ? std::abs(length - full) < 0.03 : length < full - 0.1,
                 qPrintable(QString::number(length)));
        weston.terminate();
        weston.waitForFinished(5000);
    }
};

QTEST_GUILESS_MAIN(TestZmbDesktops)
#include "tst_zmb_desktops.moc"
