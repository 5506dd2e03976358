#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <QImage>
#include <QLocalServer>
#include <QLocalSocket>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace ZimbrelTest;
using namespace Qt::StringLiterals;

namespace {

#ifdef __SANITIZE_ADDRESS__
constexpr int kExitSlowdown = 3; // a sanitized zmb checks for leaks on its way out
#else
constexpr int kExitSlowdown = 1;
#endif

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

QString xdotool(const QStringList &arguments) { return run("xdotool", arguments); }

// From the start of the first sound to the end of the last: an underrun
// under load splits a sound but does not shorten it.
double soundLength(const Samples &recording)
{
    const auto sounds = findSounds(recording);
    return sounds.isEmpty() ? 0 : sounds.last().end() - sounds.first().start;
}

QString deb(const char *package) { return DEB_DIR "/"_L1 + package + "_1.0.0.1_amd64.deb"; }

// The test services' sound server, stopped (SIGSTOP) while this lives.
struct StoppedServer {
    const pid_t pid = qEnvironmentVariableIntValue("ZIMBREL_TEST_PULSE_PID");
    StoppedServer() { ::kill(pid, SIGSTOP); }
    ~StoppedServer() { ::kill(pid, SIGCONT); }
};

} // namespace

// The real zmb where users meet it, heard through the null sink: in the test's
// X server driven with xdotool, on a private headless Weston, without a display,
// with a sound server that is missing, silent or stopped, and unpacked from its
// Debian packages.
class TestZmb : public QObject
{
    Q_OBJECT

    const QString m_folder = QFileInfo(ZMB_PATH).absolutePath();
    QTemporaryDir m_dir;
    QLocalServer m_silentServer;
    QProcess m_zmb;
    QProcess m_weston;

    QString program(const QString &which) const
    {
        return which == "copied" ? m_dir.filePath("copy/zmb") : which == "packaged" ? m_dir.filePath("root/usr/bin/zmb") : ZMB_PATH;
    }

    QProcessEnvironment environment(const QString &setup)
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_dir.filePath("home"));
        environment.insert("XDG_DATA_DIRS", m_dir.filePath("none") + ':' + m_dir.filePath("dirs"));
        if (setup == "no server")
            environment.insert("PULSE_SERVER", "unix:/none");
        if (setup == "silent server")
            environment.insert("PULSE_SERVER", "unix:" + m_silentServer.fullServerName());
        if (setup == "no display" || setup == "wayland") {
            for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
                environment.remove(name);
        }
        if (setup == "wayland") {
            environment.insert("XDG_RUNTIME_DIR", m_dir.filePath("runtime"));
            m_weston.setProcessEnvironment(environment);
            m_weston.start("weston", {"--backend=headless-backend.so", "--use-pixman", "--debug",
                                      "--socket=wayland-zmb", "--width=800", "--height=600"});
            environment.insert("WAYLAND_DISPLAY", "wayland-zmb");
            environment.insert("XDG_SESSION_TYPE", "wayland");
        }
        return environment;
    }

    // The window's rectangle: from the compositor's own list of what it shows
    // on Wayland, from xdotool on X (then its id is set).
    QRect waitForWindow(const QProcessEnvironment &environment, QString *id)
    {
        if (environment.contains("WAYLAND_DISPLAY")) {
            const QRegularExpression view(u"top-level window 'Zimbrel'.*\\n\\s*position: \\((\\d+), (\\d+)\\) "
                                          "-> \\((\\d+), (\\d+)\\)"_s);
            QRegularExpressionMatch shown;
            if (!QTest::qWaitFor([&] { return (shown = view.match(run("weston-debug", {"scene-graph"}, environment))).hasMatch(); }, 10000))
                return {};
            return QRect(QPoint(shown.captured(1).toInt(), shown.captured(2).toInt()),
                         QPoint(shown.captured(3).toInt() - 1, shown.captured(4).toInt() - 1));
        }
        // --sync waits until a window of that name is mapped.
        *id = xdotool({"search", "--sync", "--onlyvisible", "--name", "^Zimbrel$"}).section('\n', 0, 0);
        QMap<QString, int> values;
        for (const QString &value : xdotool({"getwindowgeometry", "--shell", *id}).split('\n'))
            values[value.section('=', 0, 0)] = value.section('=', 1).toInt();
        return id->isEmpty() ? QRect() : QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
    }

    // Dark pixels across the upper middle of the window: its text is drawn.
    static int darkPixels(const QProcessEnvironment &environment, const QString &runtime, const QRect &window)
    {
        run("weston-screenshooter", {}, environment, runtime);
        const auto pictures = QDir(runtime).entryInfoList({"*.png"});
        const QImage picture(pictures.value(0).filePath());
        int dark = 0;
        for (int y = window.center().y() - window.height() / 4; y < window.center().y(); ++y)
            for (int x = window.left(); x <= window.right(); ++x)
                dark += qGray(picture.pixel(x, y)) < 96;
        return dark;
    }

    // Ends zmb as the row says; for the button the pointer is already on it.
    void end(const QString &ending)
    {
        if (ending.startsWith("signal"))
            ::kill(pid_t(m_zmb.processId()), ending.section(' ', 1).toInt());
        else
            xdotool({ending == "Escape" ? "key" : "click", ending == "Escape" ? "Escape" : "1"});
    }

private slots:
    void initTestCase()
    {
        // A fresh HOME has no GStreamer registry: built by the first zmb, it
        // can cut that one's sound short.
        run("gst-inspect-1.0", {"coreelements"});
        QVERIFY(m_dir.isValid() && m_silentServer.listen(m_dir.filePath("pulse")));
        // Takes the connection and never answers it: libpulse waits 30 s.
        connect(&m_silentServer, &QLocalServer::newConnection, this, [this] {
            while (QLocalSocket *client = m_silentServer.nextPendingConnection())
                client->setParent(&m_silentServer);
        });
        // Lengths tell which file played. zmb copied alone has no sounds/ beside it.
        for (const auto &[file, seconds] : {std::pair{"home/zimbrel/sounds/a.wav", 0.6}, {"home/zimbrel/sounds/1.wav", 0.6},
                                            {"home/zimbrel/sounds/error.wav", 0.6}, {"dirs/zimbrel/sounds/a.wav", 1.0},
                                            {"dirs/zimbrel/sounds/b.wav", 1.0}}) {
            QVERIFY(QDir().mkpath(QFileInfo(m_dir.filePath(file)).path()));
            QVERIFY(!writeToneWave(m_dir.filePath(file), seconds, 600).isEmpty());
        }
        QVERIFY(QDir().mkpath(m_dir.filePath("copy")) && QFile::copy(ZMB_PATH, program("copied")));
        QVERIFY(QDir().mkdir(m_dir.filePath("runtime"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        // The three packages together, as apt would install them.
        for (const char *package : {"zimbrel", "libzimbrel-musiclist1", "libzimbrel-musiclist-dev"})
            QCOMPARE(QProcess::execute("dpkg-deb", {"-x", deb(package), m_dir.filePath("root")}), 0);
    }

    void cleanup()
    {
        m_zmb.kill();
        m_zmb.waitForFinished(3000);
        m_weston.terminate();
        m_weston.waitForFinished(5000);
    }

    void zmb_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("which"); // the build's zmb, a lone copy or the packaged one
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("ending"); // "stalled": the sound server stops first
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("heard"); // "0.6" seconds, a sound of zmb's own, "", "cut", or "any"
        const auto row = [](const char *name, const char *setup, const char *which, const QStringList &arguments,
                            const char *ending, int status, const char *heard) {
            QTest::newRow(name) << setup << which << arguments << ending << status << heard;
        };
        row("malformed line: error heard, modified Escapes ignored, button", "", "", {"nonsense"},
            "modified Escapes, button", 0, "error");
        row("no audio server: Escape", "no server", "", {"1/quiet"}, "Escape", 0, "");
        row("audio server that never answers: Escape", "silent server", "", {"1/quiet"}, "Escape", 0, "");
        row("Escape held elsewhere: its release ignored", "", "", {"1/held"}, "held Escape, Escape", 0, "any");
        for (const int signal : {SIGTERM, SIGINT, SIGHUP})
            QTest::addRow("signal %d: the chime cut", signal) << "" << "" << QStringList{"5/signalled"}
                                                          << u"signal %1"_s.arg(signal) << 128 + signal << "cut";
        row("$XDG_DATA_HOME first", "", "", {"a/x"}, "whole sound, signal 15", 143, "0.6");
        row("$XDG_DATA_DIRS", "", "", {"b/x"}, "whole sound, signal 15", 143, "1.0");
        row("own folder first", "", "", {"1/x"}, "whole sound, signal 15", 143, "1");
        row("error.wav from the data folders", "", "copied", {"no slash"}, "whole sound, signal 15", 143, "0.6");
        row("packaged: finds its library and sounds", "", "packaged", {"1/Unpacked"}, "whole sound, Escape", 0, "1");
        row("Wayland: window, text and whole sound", "wayland", "", {"1/Seen on Wayland"}, "whole sound, signal 15", 143, "1");
        row("Wayland: SIGTERM cuts the sound", "wayland", "", {"5/Seen on Wayland"}, "signal 15", 143, "cut");
        row("stalled server: SIGTERM", "", "", {"5/stalled"}, "stalled, signal 15", 143, "any");
        row("stalled server: Escape", "", "", {"5/stalled"}, "stalled, Escape", 0, "any");
        row("stalled server: button", "", "", {"5/stalled"}, "stalled, button", 0, "any");
        row("no display: one line, status 1", "no display", "", {"1/nowhere"}, "", 1, "");
        row("--help: usage and folders", "no display", "", {"--help"}, "", 0, "");
        row("--version", "no display", "", {"--version"}, "", 0, "");
        row("more than --help is a message", "no display", "", {"--help", "me"}, "", 1, "");
    }

    // The window shows promptly whatever the audio server does, and the
    // program ends cleanly each way it can be ended.
    void zmb()
    {
        QFETCH(QString, setup);
        QFETCH(QString, which);
        QFETCH(QStringList, arguments);
        QFETCH(QString, ending);
        QFETCH(int, status);
        QFETCH(QString, heard);
        const QProcessEnvironment environment = this->environment(setup);
        if (setup == "wayland")
            QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(m_dir.filePath("runtime/wayland-zmb")), 10000);
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        if (ending.startsWith("held"))
            xdotool({"keydown", "Escape"});
        m_zmb.setProcessEnvironment(environment);
        m_zmb.setProcessChannelMode(QProcess::MergedChannels);
        QElapsedTimer elapsed;
        elapsed.start();
        m_zmb.start(program(which), arguments);
        if (setup == "no display") {
            QVERIFY(m_zmb.waitForFinished(10000));
            QCOMPARE(m_zmb.exitCode(), status);
            const QString printed = QString::fromUtf8(m_zmb.readAll());
            const QString folders = QRegularExpression::escape(u"\n  %1/sounds/\n  %2/zimbrel/sounds/\n  %3/zimbrel/sounds/\n"_s
                                                                   .arg(m_folder, m_dir.filePath("home"), m_dir.filePath("none")));
            const QString pattern = arguments == QStringList{"--help"} ? "usage: zmb SOUND/TEXT\n.*" + folders + ".*Exit status: .*"
                                    : arguments == QStringList{"--version"} ? u"zmb 1\\.0\\.0\\.1\n"_s
                                                                            : u"[^\n]*display[^\n]*\n"_s;
            QVERIFY2(QRegularExpression("\\A" + pattern + "\\z", QRegularExpression::DotMatchesEverythingOption)
                         .match(printed).hasMatch(), qPrintable(printed));
            return;
        }
        QString window;
        const QRect box = waitForWindow(environment, &window);
        QVERIFY(box.isValid());
        QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
        if (setup.isEmpty()) {
            // The window carries the icon at both of its sizes, and no maximize
            // (Motif: neither the function 16 nor its button 64).
            const QString icon = run("xprop", {"-id", window, "_NET_WM_ICON"});
            QVERIFY2(icon.contains("Icon (16 x 16)") && icon.contains("Icon (32 x 32)"), qPrintable(icon.left(200)));
            const QStringList hints = run("xprop", {"-id", window, "_MOTIF_WM_HINTS"}).section('=', 1).split(',');
            QVERIFY2(hints.size() == 5 && !(hints[1].toUInt(nullptr, 0) & 16) && !(hints[2].toUInt(nullptr, 0) & 64),
                     qPrintable(hints.join(',')));
        }
        if (which == "packaged") {
            // A relative link, and the library from the unpacked tree.
            QCOMPARE(run("readlink", {program(which)}), "../lib/zimbrel/zmb");
            QFile maps(u"/proc/%1/maps"_s.arg(m_zmb.processId()));
            QVERIFY(maps.open(QIODevice::ReadOnly));
            QVERIFY(maps.readAll().contains(QFile::encodeName(m_dir.filePath("root/usr/" LIBDIR "/libzimbrel-musiclist.so.1"))));
        }
        if (!window.isEmpty() && !ending.startsWith("signal")) {
            QTest::qWait(300);
            xdotool({"windowfocus", "--sync", window});
            // The button's centre, in proportion to the window: it keeps its proportions at any DPI.
            xdotool({"mousemove", QString::number(box.x() + box.width() * (450 + 2250 / 2) / 3150),
                     QString::number(box.y() + box.height() * (750 + 375 / 2) / 1200)});
        }
        const double length = heard.contains('.') ? heard.toDouble() : soundLength(readWave(m_folder + "/sounds/" + (heard == "cut" ? arguments[0].left(1) : heard) + ".wav"));
        if (ending.startsWith("held")) {
            // Escape was held elsewhere while the window appeared and took
            // the focus; its release, and the server's repeats, must not close it.
            xdotool({"keyup", "Escape"});
            QTest::qWait(500);
            QVERIFY(m_zmb.state() == QProcess::Running);
        } else if (ending.startsWith("modified")) {
            // Escape is let go while the modifier is still held, as a person does.
            for (const char *modifier : {"shift", "ctrl", "alt"}) {
                xdotool({"keydown", modifier, "keydown", "Escape", "keyup", "Escape", "keyup", modifier});
                QTest::qWait(200);
                QVERIFY2(m_zmb.state() == QProcess::Running, modifier);
            }
        } else if (ending.startsWith("whole sound")) {
            // Generous: under load a sound can start a second or more late.
            QTest::qWait(int(length * 1000) + 2000);
            if (setup == "wayland")
                QVERIFY(darkPixels(environment, m_dir.filePath("runtime"), box) > 50);
        }
        std::optional<StoppedServer> stopped;
        if (ending.startsWith("stalled")) {
            // Stopped once the sound has its stream: past the wait for its preroll.
            const QString own = u"process.id = \"%1\""_s.arg(m_zmb.processId());
            QTRY_VERIFY_WITH_TIMEOUT(run("pactl", {"list", "sink-inputs"}).contains(own), 5000);
            stopped.emplace();
            elapsed.restart();
        }
        end(ending.section(", ", -1));
        QVERIFY(m_zmb.waitForFinished(5000));
        if (stopped)
            QVERIFY2(elapsed.elapsed() <= 500 * kExitSlowdown, qPrintable(QString::number(elapsed.elapsed())));
        stopped.reset();
        QCOMPARE(m_zmb.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_zmb.exitCode(), status);
        QTest::qWait(300);
        const double recorded = soundLength(recorder.stop());
        // Under load a sound's start can be lost, never more than the gaps between these lengths.
        if (heard == "cut")
            QVERIFY2(recorded < length - 0.05, qPrintable(QString::number(recorded)));
        else if (heard != "any")
            QVERIFY2(recorded > length - 0.15 && recorded < length + 0.03, qPrintable(QString::number(recorded)));
    }

    void package_controlAndContents()
    {
        const auto field = [](const char *package, const char *name) { return run("dpkg-deb", {"-f", deb(package), name}); };
        QCOMPARE(field("zimbrel", "Version"), "1.0.0.1");
        // Read from the binaries by dpkg-shlibdeps, with versions.
        QVERIFY2(field("zimbrel", "Depends").contains(QRegularExpression(R"(libqt6widgets6 \(>= [^)]+\))")),
                 qPrintable(field("zimbrel", "Depends")));
        QVERIFY(field("libzimbrel-musiclist1", "Depends").contains(QRegularExpression(R"(libgstreamer1.0-0 \(>= [^)]+\))")));
        // The program and the -dev package need the library of their very version.
        for (const char *package : {"zimbrel", "libzimbrel-musiclist-dev"})
            QVERIFY2(field(package, "Depends").contains("libzimbrel-musiclist1 (= 1.0.0.1)"), package);
        // The library and sounds are found by the packaged zmb's row.
        for (const char *path : {"lib/zimbrel/numbers/51.mp3", "share/applications/zimbrel.desktop", "share/icons/hicolor/scalable/apps/zimbrel.svg",
                                 "share/man/man1/zmb.1.gz", LIBDIR "/qt6/plugins/designer/libzimbrel-musiclist-designer.so"})
            QVERIFY2(QFileInfo::exists(m_dir.filePath("root/usr/"_L1 + path)), path);
    }
};

QTEST_GUILESS_MAIN(TestZmb)
#include "tst_zmb.moc"
