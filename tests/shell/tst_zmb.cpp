// SPDX-License-Identifier: MIT
#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "StoppedServer.h"

#include <QImage>
#include <QtTest>

using namespace ZimbrelTest;
using namespace Qt::StringLiterals;

namespace {

#ifdef __SANITIZE_ADDRESS__
// A sanitized zmb checks for leaks on its way out.
constexpr int kExitSlowdown = 3;
#else
constexpr int kExitSlowdown = 1;
#endif

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return process.readAllStandardOutput().trimmed();
}

QString deb(const char *package) { return DEB_DIR "/"_L1 + package + "_1.0.0.1_amd64.deb"; }

} // namespace

// The real zmb where users meet it, heard through the null sink: in the test's
// X server driven with xdotool, on a private headless Weston, without a display,
// with a sound server that is missing, silent or stopped, and unpacked from its
// Debian packages. All the test makes is in its own folder, the current one,
// which is also the runtime folder where Weston opens the socket clients
// look for by default.
class TestZmb : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QProcess m_zmb;
    QProcess m_weston;

private slots:
    void initTestCase()
    {
        // A fresh HOME has no GStreamer registry: built by the first zmb, it
        // can cut that one's sound short.
        run("gst-inspect-1.0", {"coreelements"});
        QDir::setCurrent(m_dir.path());
        qputenv("XDG_RUNTIME_DIR", m_dir.path().toUtf8());
        // Lengths tell which file played. zmb copied alone has no sounds/ beside it.
        for (const QString file : {"home/a", "home/1", "home/error", "dirs/a", "dirs/b"}) {
            const QString folder = file.section('/', 0, 0) + "/zimbrel/sounds/";
            QDir().mkpath(folder);
            writeToneWave(folder + file.section('/', 1) + ".wav", file.startsWith("home") ? 0.6 : 1.0, 600);
        }
        // Sound themes: "chosen", GNOME's choice in the "theme" rows, inherits
        // "parent", which inherits it back; "freedesktop" comes last; 5.1 is
        // no stereo folder. sox writes Ogg Vorbis whatever the name's ending.
        const auto write = [](const QString &path, const QByteArray &text) {
            QFile file(path);
            return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) && file.write(text) == text.size();
        };
        QVERIFY(write("config/glib-2.0/settings/keyfile", "[org/gnome/desktop/sound]\ntheme-name='chosen'\n"));
        for (const auto &[theme, index] : {std::pair{"chosen", "5.1,stereo\nInherits=parent\n[5.1]\nOutputProfile=5.1"},
                                           {"parent", "stereo\nInherits=chosen"}, {"freedesktop", "stereo"}})
            QVERIFY(write(u"dirs/sounds/%1/index.theme"_s.arg(theme), "[Sound Theme]\nDirectories="_ba + index + "\n[stereo]\nOutputProfile=stereo\n"));
        for (const QString file : {"chosen/5.1/dialog.oga 1.4", "chosen/stereo/dialog.oga 0.8", "chosen/stereo/dialog.wav 1.4", "chosen/stereo/a.oga 0.8",
                                   "chosen/stereo/off.disabled 1", "parent/stereo/off.ogg 1.2", "parent/stereo/p.ogg 1.2", "freedesktop/stereo/f.oga 1.4"}) {
            QDir().mkpath("dirs/sounds/" + file.section('/', 0, 1));
            QCOMPARE(QProcess::execute("sox", {"-n", "-t", "ogg", "dirs/sounds/" + file.section(' ', 0, 0), "synth", file.section(' ', 1), "sine", "600", "vol", "0.5"}), 0);
        }
        QFile::copy(ZMB_PATH, "zmb");
        // The three packages together, as apt would install them.
        for (const char *package : {"zimbrel", "libzimbrel-musiclist1", "libzimbrel-musiclist-dev"})
            QProcess::execute("dpkg-deb", {"-x", deb(package), "root"});
        m_zmb.setProcessChannelMode(QProcess::MergedChannels);
    }

    void cleanup()
    {
        m_zmb.kill();
        m_zmb.waitForFinished();
        m_weston.terminate();
        m_weston.waitForFinished();
    }

    void zmb_data()
    {
        // setup: also which zmb runs: the build's, a lone copy "./zmb", or the
        // packaged "root/usr/bin/zmb". "stopped server": a server that never answers
        // (libpulse waits 30 s). "stalled": the sound server stops once zmb
        // has its stream. "held Escape": Escape is held elsewhere as zmb starts.
        // "theme": GNOME's settings, the test's own, choose the theme "chosen".
        // line: the command line, split at blanks as a shell would.
        // ending: an xdotool command, a signal (the status is then 128 + its
        // number), or without a display "exit" and the status zmb ends with
        // by itself.
        // output: the seconds heard whole, waited for before the ending; "cut"
        // (below sounds/5.wav's 0.6 s) or "any". The build's sounds/1.wav lasts
        // 0.3 s, its error.wav 0.5 s. Without a display: a pattern for all it
        // prints.
        for (const char *column : {"setup", "line", "ending", "output"})
            QTest::addColumn<QString>(column);
        const auto row = [](const char *setup, const char *line, const char *ending, const QString &output) {
            QTest::addRow("%s %s: %s", setup, line, ending) << setup << line << ending << output;
        };
        row("held Escape", "nonsense", "click 1", "0.5");
        row("no server", "1/x", "key Escape", "0");
        row("stopped server", "1/x", "key Escape", "0");
        // SIGTERM, SIGINT, SIGHUP.
        for (const char *signal : {"signal 15", "signal 2", "signal 1"})
            row("", "5/x", signal, "cut");
        // The sound search: the own folder, $XDG_DATA_HOME, $XDG_DATA_DIRS.
        row("", "1/x", "signal 15", "0.3");
        row("", "a/x", "signal 15", "0.6");
        row("", "b/x", "signal 15", "1.0");
        // Then the theme: a shorter name (stereo, .oga before .wav), the
        // inherited theme, "freedesktop" (also unchosen), a sound switched
        // off; zmb's own a.wav first.
        for (const auto &[line, output] : {std::pair{"dialog-warning-big/x", "0.8"}, {"p/x", "1.2"}, {"f/x", "1.4"}, {"off/x", "0"}, {"a/x", "0.6"}})
            row("theme", line, "signal 15", output);
        row("", "f/x", "signal 15", "1.4");
        row("./zmb", "no slash", "signal 15", "0.6");
        row("root/usr/bin/zmb", "1/x", "key Escape", "0.3");
        // Enough text to see it drawn.
        row("wayland", "1/Seen on Wayland", "signal 15", "0.3");
        row("wayland", "5/x", "signal 15", "cut");
        for (const char *ending : {"signal 15", "key Escape", "click 1"})
            row("stalled", "5/x", ending, "any");
        const QString message = "[^\n]*display[^\n]*\n";
        const QString folders = QRegularExpression::escape(u"\n  %1/sounds/\n  %2/home/zimbrel/sounds/\n  %2/none/zimbrel/sounds/\n"_s.arg(
            QFileInfo(ZMB_PATH).absolutePath(), m_dir.path()));
        row("no display", "1/x", "exit 1", message);
        row("no display", "--help", "exit 0", "usage: zmb SOUND/TEXT\n.*" + folders + ".*Exit status: .*");
        row("no display", "--version", "exit 0", "zmb 1\\.0\\.0\\.1\n");
        row("no display", "--help me", "exit 1", message);
    }

    // The window shows promptly whatever the audio server does, and the
    // program ends cleanly each way it can be ended.
    void zmb()
    {
        QFETCH(QString, setup);
        QFETCH(QString, line);
        QFETCH(QString, ending);
        QFETCH(QString, output);
        const bool wayland = setup == "wayland";
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_DATA_HOME", m_dir.filePath("home"));
        environment.insert("XDG_DATA_DIRS", m_dir.filePath("none") + ':' + m_dir.filePath("dirs"));
        // No theme of a real desktop: no schema, or the test's own settings.
        environment.insert("GSETTINGS_BACKEND", setup == "theme" ? "keyfile" : "memory");
        if (setup == "theme") {
            environment.insert("GSETTINGS_SCHEMA_DIR", "/usr/share/glib-2.0/schemas");
            environment.insert("XDG_CONFIG_HOME", m_dir.filePath("config"));
        }
        if (setup == "no server")
            environment.insert("PULSE_SERVER", "unix:/none");
        if (setup == "no display")
            environment.remove("DISPLAY");
        if (wayland) {
            // As a Wayland session sets it: DISPLAY is then Xwayland's.
            environment.insert("XDG_SESSION_TYPE", "wayland");
#ifdef __SANITIZE_ADDRESS__
            // Mesa's EGL leaks from a driver it unloads: only a full unwind
            // reaches the frame that the suppressions name.
            environment.insert("ASAN_OPTIONS", environment.value("ASAN_OPTIONS") + ":fast_unwind_on_malloc=0");
#endif
            m_weston.start("weston", {"--backend=headless-backend.so", "--use-pixman", "--debug", "--socket=wayland-0"});
            QTRY_VERIFY(QFileInfo::exists("wayland-0"));
        }
        m_zmb.setProcessEnvironment(environment);
        NullSinkRecorder recorder;
        QVERIFY(recorder.start());
        std::optional<StoppedServer> stopped;
        if (setup == "stopped server")
            stopped.emplace();
        if (setup == "held Escape")
            run("xdotool", {"keydown", "Escape"});
        const QString program = setup.endsWith("zmb") ? setup : ZMB_PATH;
        QElapsedTimer elapsed;
        elapsed.start();
        m_zmb.start(program, line.split(' '));
        if (setup == "no display") {
            QVERIFY(m_zmb.waitForFinished());
            QCOMPARE(u"exit %1"_s.arg(m_zmb.exitCode()), ending);
            const QString printed = m_zmb.readAll();
            QVERIFY2(QRegularExpression("(?s)\\A" + output + "\\z").match(printed).hasMatch(), qPrintable(printed));
            return;
        }
        QRect box;
        if (wayland) {
            // From the compositor's own list of what it shows.
            const QString view = u"window 'Zimbrel'.*\\n.*\\((\\d+), (\\d+)\\) -> \\((\\d+), (\\d+)"_s;
            QRegularExpressionMatch shown;
            QTRY_VERIFY((shown = QRegularExpression(view).match(run("weston-debug", {"scene-graph"}))).hasMatch());
            const auto at = [&](int index) { return shown.captured(index).toInt(); };
            box = QRect(at(1), at(2), at(3) - at(1), at(4) - at(2));
        } else {
            // --sync waits until a window of that name is mapped.
            QMap<QString, int> values;
            for (const QString &value : run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Zimbrel$", "getwindowgeometry", "--shell"}).split('\n'))
                values[value.section('=', 0, 0)] = value.section('=', 1).toInt();
            box = QRect(values["X"], values["Y"], values["WIDTH"], values["HEIGHT"]);
            if (setup == "stalled") {
                // Stopped while the sound plays, past the wait for its preroll.
                QTRY_VERIFY(run("pactl", {"list", "sink-inputs"}).contains(u"process.id = \"%1\""_s.arg(m_zmb.processId())));
                stopped.emplace();
            }
            // The icon at both of its sizes, and no maximize (Motif: neither
            // the function 16 nor its button 64).
            const QString window = QString::number(values["WINDOW"]);
            const QString properties = run("xprop", {"-id", window, "_NET_WM_ICON", "_MOTIF_WM_HINTS"});
            QVERIFY(properties.contains("Icon (16 x 16)") && properties.contains("Icon (32 x 32)"));
            const QStringList hints = properties.section(") = ", -1).split(", ");
            QVERIFY(hints.size() == 5 && !(hints[1].toUInt(nullptr, 0) & 16) && !(hints[2].toUInt(nullptr, 0) & 64));
            if (!ending.startsWith("signal")) {
                QTest::qWait(300);
                // Then on the button, in proportion to the window: it keeps its proportions at any DPI.
                run("xdotool", {"windowfocus", "--sync", window, "mousemove", QString::number(box.center().x()),
                                QString::number(box.y() + box.height() * 78 / 100)});
            }
        }
        QVERIFY(box.isValid() && elapsed.elapsed() < 5000);
        if (setup.startsWith("root")) {
            // A relative link, and the library from the unpacked tree.
            QCOMPARE(run("readlink", {program}), "../lib/zimbrel/zmb");
            QVERIFY(run("cat", {u"/proc/%1/maps"_s.arg(m_zmb.processId())})
                        .contains(m_dir.filePath("root/usr/" LIBDIR "/libzimbrel-musiclist.so.1")));
        }
        if (setup == "held Escape") {
            // Escape was held elsewhere while the window appeared and took
            // the focus: its release, and the server's repeats, must not
            // close it; nor Escapes let go while a modifier is still held, as
            // a person does.
            run("xdotool", {"keyup", "Escape"});
            for (const char *modifier : {"shift", "ctrl", "alt"})
                run("xdotool", {"keydown", modifier, "keydown", "Escape", "keyup", "Escape", "keyup", modifier});
        }
        // Generous: under load a sound can start a second or more late.
        const double seconds = output.toDouble();
        if (seconds > 0 || output == "0")
            QTest::qWait(int(seconds * 1000) + 2000);
        QVERIFY(m_zmb.state() != QProcess::NotRunning);
        if (wayland && seconds > 0) {
            // Its text is drawn: dark pixels across the upper middle of the window.
            run("weston-screenshooter", {});
            const QImage shot(QDir().entryList({"*.png"}).value(0));
            int dark = 0;
            for (int y = box.top() + box.height() / 4; y < box.center().y(); ++y)
                for (int x = box.left(); x < box.right(); ++x)
                    dark += qGray(shot.pixel(x, y)) < 96;
            QVERIFY(dark > 50);
        }
        elapsed.restart();
        const int signal = ending.startsWith("signal") ? ending.section(' ', 1).toInt() : 0;
        if (signal)
            ::kill(m_zmb.processId(), signal);
        else
            run("xdotool", ending.split(' '));
        QVERIFY(m_zmb.waitForFinished(5000));
        QVERIFY(setup != "stalled" || elapsed.elapsed() <= 500 * kExitSlowdown);
        stopped.reset();
        QCOMPARE(m_zmb.exitCode(), signal ? 128 + signal : 0);
        // From the start of the first sound to the end of the last: an underrun
        // under load splits a sound but does not shorten it. Under load a sound's
        // start can be lost, never more than the gaps between these lengths.
        const auto sounds = findSounds(recorder.stop());
        const double heard = sounds.isEmpty() ? 0 : sounds.last().end() - sounds.first().start;
        QVERIFY2(output == "any" || (output == "cut" ? heard < 0.55 : heard > seconds - 0.15 && heard < seconds + 0.03),
                 QByteArray::number(heard));
    }

    void package()
    {
        // The program and the -dev package need the library of their very
        // version (listed first); then the Depends read from the binaries by
        // dpkg-shlibdeps, with versions.
        for (const auto &[package, text] : {std::pair{"zimbrel", "Version: 1.0.0.1\nDepends: libzimbrel-musiclist1 (= 1.0.0.1), "},
                                            {"zimbrel", "libqt6widgets6 (>= "},
                                            {"libzimbrel-musiclist1", "libgstreamer1.0-0 (>= "},
                                            {"libzimbrel-musiclist-dev", "libzimbrel-musiclist1 (= 1.0.0.1)"}})
            QVERIFY2(run("dpkg-deb", {"-f", deb(package), "Version", "Depends"}).contains(text), text);
        // The library and sounds are found by the packaged zmb's row.
        for (const char *path : {"lib/zimbrel/numbers/51.mp3", "share/applications/zimbrel.desktop", "share/icons/hicolor/scalable/apps/zimbrel.svg",
                                 "share/man/man1/zmb.1.gz", LIBDIR "/qt6/plugins/designer/libzimbrel-musiclist-designer.so"})
            QVERIFY2(QFileInfo::exists("root/usr/"_L1 + path), path);
    }
};

QTEST_GUILESS_MAIN(TestZmb)
#include "tst_zmb.moc"
