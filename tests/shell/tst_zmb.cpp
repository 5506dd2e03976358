#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace ZimbrelTest;

// The real zmb in the test's X server, driven with xdotool, heard through the
// null sink (tst_package runs the packaged zmb with a well-formed line).
class TestZmb : public QObject
{
    Q_OBJECT

    QProcess m_zmb;

    static QString xdotool(const QStringList &arguments)
    {
        QProcess process;
        process.start("xdotool", arguments);
        process.waitForFinished(15000);
        return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    }
    // Measured the way the recording is measured, so fades count alike.
    static double lengthOf(const QString &sound)
    {
        const auto sounds = findSounds(readWave(QFileInfo(ZMB_PATH).absolutePath() + "/sounds/" + sound + ".wav"));
        return sounds.size() == 1 ? sounds.first().length : -1;
    }

private slots:
    void cleanup()
    {
        m_zmb.kill();
        m_zmb.waitForFinished(3000);
    }

    void endings_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("audioServer"); // "" for the test's own
        QTest::addColumn<QString>("ending");
        QTest::addColumn<int>("status");
        QTest::newRow("malformed line: error heard, modified Escapes ignored, button")
            << "nonsense" << "" << "button" << 0;
        QTest::newRow("no audio server: Escape") << "1/quiet" << "none" << "Escape" << 0;
        // Takes the connection and never answers it: libpulse waits 30 s.
        QTest::newRow("audio server that never answers: Escape") << "1/quiet" << "silent" << "Escape" << 0;
        for (const int signalNumber : {SIGTERM, SIGINT, SIGHUP})
            QTest::addRow("signal %d: the chime cut", signalNumber) << "5/signalled" << "" << "signal" << 128 + signalNumber;
    }

    // The window shows promptly whatever the audio server does, and the
    // program ends cleanly each way it can be ended.
    void endings()
    {
        QFETCH(QString, line);
        QFETCH(QString, audioServer);
        QFETCH(QString, ending);
        QFETCH(int, status);
        QTemporaryDir dir;
        QLocalServer server;
        QVERIFY(dir.isValid() && server.listen(dir.filePath("pulse")));
        connect(&server, &QLocalServer::newConnection, &server, [&] {
            while (QLocalSocket *client = server.nextPendingConnection())
                client->setParent(&server);
        });
        auto environment = QProcessEnvironment::systemEnvironment();
        if (!audioServer.isEmpty())
            environment.insert("PULSE_SERVER", audioServer == "silent" ? "unix:" + server.fullServerName() : "unix:/none");
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        QElapsedTimer elapsed;
        elapsed.start();
        m_zmb.setProcessEnvironment(environment);
        m_zmb.start(ZMB_PATH, {line});
        // --sync waits until a window of that name is mapped.
        const QString window = xdotool({"search", "--sync", "--onlyvisible", "--name", "^Zimbrel$"}).section('\n', 0, 0);
        QVERIFY(!window.isEmpty());
        QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
        if (ending == "signal") {
            ::kill(pid_t(m_zmb.processId()), status - 128);
        } else {
            QTest::qWait(300);
            xdotool({"windowfocus", "--sync", window});
        }
        if (ending == "button") {
            // Escape is let go while the modifier is still held, as a person does.
            for (const char *modifier : {"shift", "ctrl", "alt"}) {
                xdotool({"keydown", modifier, "keydown", "Escape", "keyup", "Escape", "keyup", modifier});
                QTest::qWait(200);
                QVERIFY2(m_zmb.state() == QProcess::Running, modifier);
            }
            // The button's centre, from the window's size: it keeps its proportions at any DPI.
            QMap<QString, int> values;
            for (const QString &value : xdotool({"getwindowgeometry", "--shell", window}).split('\n'))
                values[value.section('=', 0, 0)] = value.section('=', 1).toInt();
            xdotool({"mousemove", "--sync", QString::number(values["X"] + values["WIDTH"] * (450 + 2250 / 2) / 3150),
                     QString::number(values["Y"] + values["HEIGHT"] * (750 + 375 / 2) / 1200)});
            xdotool({"click", "1"});
        } else if (ending == "Escape") {
            xdotool({"key", "Escape"});
        }
        QVERIFY(m_zmb.waitForFinished(5000));
        QCOMPARE(m_zmb.exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_zmb.exitCode(), status);
        QTest::qWait(200);
        const QVector<Segment> sounds = findSounds(recorder.stop());
        if (ending == "button")
            QVERIFY2(lengthsAre(sounds, {{lengthOf("error"), 0.03}}), describe(sounds));
        else if (ending == "signal")
            QVERIFY2(sounds.isEmpty() || (sounds.size() == 1 && sounds.first().length < lengthOf("5") - 0.05), describe(sounds));
        else
            QVERIFY2(sounds.isEmpty(), describe(sounds));
    }

    void noDisplay_oneLineAndStatusOne()
    {
        auto environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(name);
        m_zmb.setProcessEnvironment(environment);
        m_zmb.start(ZMB_PATH, {"1/nowhere"});
        QVERIFY(m_zmb.waitForFinished(10000));
        QCOMPARE(m_zmb.exitCode(), 1);
        const QString error = QString::fromLocal8Bit(m_zmb.readAllStandardError()).trimmed();
        QVERIFY2(!error.contains('\n') && error.contains("display"), qPrintable(error));
    }
};

QTEST_MAIN(TestZmb)
#include "tst_zmb.moc"
