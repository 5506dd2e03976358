// SPDX-License-Identifier: MIT
#include <QtTest>

#include <algorithm>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished();
    return process.readAllStandardOutput().trimmed();
}

} // namespace

// Many real zmb at once in the test's X server, on both sound servers. It
// keeps both cores busy for seconds: ctest runs it alone.
class TestBurst : public QObject
{
    Q_OBJECT

private slots:
    // A burst of notifications, as a script that reports many events sends
    // them: more than the server takes clients at once (64 on both). Every
    // one shows its window and plays its sound, and once the sounds have
    // ended the open windows hold no connection.
    void burst_data()
    {
        QTest::addColumn<QByteArray>("server");
        QTest::newRow("PulseAudio") << "PULSEAUDIO"_ba;
        QTest::newRow("PipeWire") << "PIPEWIRE"_ba;
    }
    void burst()
    {
        QFETCH(QByteArray, server);
        constexpr int kCount = 100;
        auto environment = QProcessEnvironment::systemEnvironment();
        environment.insert("PULSE_SERVER", qEnvironmentVariable("ZIMBREL_TEST_" + server + "_SERVER"));
        const auto pactl = [&](const QStringList &arguments) {
            auto process = std::make_unique<QProcess>();
            process->setProcessEnvironment(environment);
            process->start("pactl", arguments);
            return process;
        };
        int listings = 0;
        const auto clients = [&] {
            ++listings;
            const auto listing = pactl({"list", "short", "clients"});
            listing->waitForFinished();
            return listing->readAll().count('\n');
        };
        // The server's own clients and this listing; then the server tells of
        // each client as it connects.
        const qsizetype others = clients() + 1;
        const auto events = pactl({"subscribe"});
        QTRY_COMPARE(clients(), others);
        // pactl prints each event as it comes: these are the listings'.
        QTest::qWait(300);
        events->readAll();
        listings = 0;
        // Each zmb tells why it could not play.
        environment.insert("QT_LOGGING_RULES", "zimbrel.*=true");
        std::vector<std::unique_ptr<QProcess>> notifications;
        for (int i = 0; i < kCount; ++i) {
            notifications.push_back(std::make_unique<QProcess>());
            notifications.back()->setProcessEnvironment(environment);
            notifications.back()->setProcessChannelMode(QProcess::MergedChannels);
            notifications.back()->start(ZMB_PATH, {u"1/Notification %1"_s.arg(i)});
        }
        const auto shown = [] {
            return run("xdotool", {"search", "--onlyvisible", "--name", "^Zimbrel$"}).split('\n', Qt::SkipEmptyParts).size();
        };
        QTRY_COMPARE_WITH_TIMEOUT(shown(), kCount, 60000);
        QTRY_COMPARE_WITH_TIMEOUT(clients(), others, 30000);
        for (auto &zmb : notifications) {
            QCOMPARE(zmb->state(), QProcess::Running);
            QCOMPARE(zmb->readAll(), QByteArray());
        }
        // Each zmb connected once: none was turned away.
        events->terminate();
        QVERIFY(events->waitForFinished());
        QCOMPARE(events->readAll().count("Event 'new' on client") - listings, kCount);
    }
};

QTEST_GUILESS_MAIN(TestBurst)
#include "tst_burst.moc"
