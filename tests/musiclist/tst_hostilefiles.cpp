#include "MusicList.h"
#include "MusicListProbe.h"

#include "HostileFiles.h"
#include "SilentAudioServer.h"
#include "StallWatch.h"
#include "WaveFile.h"

#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace ZimbrelTest;
using Zimbrel::MusicList;
using Zimbrel::MusicListProbe;

// Every kind of file a host may pass, through each member that takes a file:
// the promised result, in bounded time, with the UI thread kept free. A timer
// on the UI thread measures the longest stall of each case.
class TestHostileFiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void eachEntry_givesPromisedResult_withoutStalling_data();
    void eachEntry_givesPromisedResult_withoutStalling();
    void unreadableFile_isRefused_asUnprivilegedUser();
    void unansweringAudioServer_failsWithinPrerollTimeOut();

private:
    // Runs one member on name and checks the result it promises.
    void runEntry(const QString &entry, const QString &name, bool plays);
    // The same, with the UI thread's longest stall measured, reported and
    // bounded.
    void runEntryWatched(const QString &entry, const QString &name, bool plays,
                         const QString &label);

    QTemporaryDir m_dir;
    QTcpServer m_server;
    int m_connections = 0;
    std::unique_ptr<HostileFiles> m_files;
    QList<QPair<QString, qint64>> m_stalls;
};

namespace {
// Only a guard against hangs: the graph's preroll time-out (3 s) bounds every
// wait, and a network or audio-server time-out (30 s) would exceed it. The
// figures themselves are reported.
constexpr qint64 kHangGuardMs = 4000;
const QStringList kEntries = {"PlaySound", "AddFile", "PlayMusic"};
} // namespace

void TestHostileFiles::initTestCase()
{
    QVERIFY(m_dir.isValid());
    // A listening port: a name that reads as a URL must never connect to it.
    QVERIFY(m_server.listen(QHostAddress::LocalHost));
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        ++m_connections;
        delete m_server.nextPendingConnection();
    });
    m_files = std::make_unique<HostileFiles>(m_dir.path(), m_server.serverPort());
    QVERIFY2(m_files->make(), qPrintable(m_files->error()));
    QVERIFY(QDir::setCurrent(m_dir.path()));
}

void TestHostileFiles::cleanupTestCase()
{
    std::sort(m_stalls.begin(), m_stalls.end(),
              [](const auto &a, const auto &b) { return a.second > b.second; });
    for (const auto &[label, ms] : std::as_const(m_stalls))
        qInfo("stall %5lld ms  %s", ms, qPrintable(label));
    m_files.reset();
}

void TestHostileFiles::runEntryWatched(const QString &entry, const QString &name, bool plays,
                                       const QString &label)
{
    StallWatch watch;
    watch.start();
    runEntry(entry, name, plays);
    const qint64 stall = watch.longestMs();
    m_stalls.append({label, stall});
    QVERIFY2(stall < kHangGuardMs, qPrintable(QString::number(stall)));
}

void TestHostileFiles::eachEntry_givesPromisedResult_withoutStalling_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plays");
    for (const QString &entry : kEntries) {
        for (const HostileFile &file : m_files->files())
            QTest::addRow("%s: %s", qPrintable(entry), qPrintable(file.label))
                << entry << file.name << file.plays;
    }
}

void TestHostileFiles::runEntry(const QString &entry, const QString &name, bool plays)
{
    MusicList list;
    MusicListProbe probe(list);
    if (entry == "PlaySound") {
        QCOMPARE(list.PlaySound(name), plays);
    } else if (entry == "PlayMusic") {
        QCOMPARE(list.PlayMusic(name, true), plays);
        QCOMPARE(probe.musicGraph() != nullptr, plays);
    } else {
        QVERIFY(list.Init(20));
        // Queued whatever it holds; only playing it can fail.
        QVERIFY(list.AddFile(name));
        QCOMPARE(probe.hasListGraph(), plays);
        if (!plays) {
            // The next tick passes it, and the list, now played, resets.
            QTRY_VERIFY_WITH_TIMEOUT(!probe.timerOn(), int(kHangGuardMs));
            QCOMPARE(list.Count(), 0);
        }
    }
    // Ticks once more, so a stall that ended with the call is measured.
    QTest::qWait(30);
}

void TestHostileFiles::eachEntry_givesPromisedResult_withoutStalling()
{
    QFETCH(QString, entry);
    QFETCH(QString, name);
    QFETCH(bool, plays);
    runEntryWatched(entry, name, plays, QTest::currentDataTag());
    QCoreApplication::processEvents();
    QCOMPARE(m_connections, 0);
}

void TestHostileFiles::unreadableFile_isRefused_asUnprivilegedUser()
{
    if (::geteuid() == 0) {
        // Root reads every file: the case runs again in a child as nobody.
        QStringList command;
        if (!QStandardPaths::findExecutable("setpriv").isEmpty())
            command = {"setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"};
        else if (!QStandardPaths::findExecutable("runuser").isEmpty())
            command = {"runuser", "-u", "nobody", "--"};
        else
            QSKIP("running as root, and neither setpriv nor runuser can drop the privilege");
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(command.takeFirst(),
                    command + QStringList{QCoreApplication::applicationFilePath(),
                                          "unreadableFile_isRefused_asUnprivilegedUser"});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        if (output.contains("Permission denied") && !output.contains("PASS"))
            QSKIP(qPrintable("nobody may not run this test's executable here: " + output));
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(output));
        QVERIFY2(output.contains("PASS   : TestHostileFiles::unreadableFile"), qPrintable(output));
        for (const QString &line : output.split('\n')) {
            if (line.contains("stall"))
                qInfo("%s", qPrintable(line.section("() ", 1).trimmed()));
        }
        return;
    }

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString name = dir.filePath("unreadable.wav");
    QVERIFY(!writeToneWave(name, 0.1, 660).isEmpty());
    QVERIFY(QFile::setPermissions(name, {}));
    if (QFile(name).open(QIODevice::ReadOnly))
        QSKIP("this user reads files without read permission");
    for (const QString &entry : kEntries)
        runEntryWatched(entry, name, false,
                        entry + ": unreadable file, uid " + QString::number(::geteuid()));
}

void TestHostileFiles::unansweringAudioServer_failsWithinPrerollTimeOut()
{
    SilentAudioServer server(m_dir.filePath("pulse"));
    QVERIFY(server.isListening());
    const QByteArray realServer = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", server.address().toLocal8Bit());
    const QString tone = writeToneWave(m_dir.filePath("answerless.wav"), 0.1, 660);
    for (const QString &entry : kEntries)
        runEntryWatched(entry, tone, false, entry + ": audio server that never answers");
    qputenv("PULSE_SERVER", realServer);
    QVERIFY(server.connections() > 0);
}

QTEST_MAIN(TestHostileFiles)
#include "tst_hostilefiles.moc"
