// SPDX-License-Identifier: MIT
#include "SubMain.h"
#include "ZMBMain.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <QPlainTextEdit>
#include <QtTest>

using namespace ZimbrelTest;

// The notification window driven through the program's own start-up code:
// which text it shows and which sound it plays for each command line. The
// sounds are tones of distinct lengths, so the recording tells them apart.
class TestCommandLine : public QObject
{
    Q_OBJECT

    static constexpr auto kError = "Error command Line!";
    const QMap<QString, double> m_lengths = {{"1", 0.06}, {"error", 0.12}, {"", 0.18}, {"\"2", 0.24}, {"..", 0.3}};

    static QString shown() { return ZMBMain::instance()->findChild<QPlainTextEdit *>()->toPlainText(); }

private slots:
    void initTestCase()
    {
        QDir::setCurrent(qApp->applicationDirPath());
        QDir().mkdir("sounds");
        for (const auto &[name, seconds] : m_lengths.asKeyValueRange())
            writeToneWave("sounds/" + name + ".wav", seconds, 660);
    }

    void cleanup() { ZMBMain::unload(); }

    void line_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("text");
        // The sound heard, by its length: 1.wav 0.06 s, error.wav 0.12 s,
        // .wav 0.18 s, "2.wav 0.24 s, ...wav 0.3 s; 0: none.
        QTest::addColumn<double>("seconds");
        const auto row = [](const char *name, QStringList arguments, QString text, double seconds) {
            QTest::newRow(name) << arguments << text << seconds;
        };
        // Joined by one space.
        row("joined", {"1/a", "b"}, "a b", 0.06);
        // Nothing trimmed, no quote dropped, nothing read as markup, the
        // third piece ignored.
        row("kept", {"\"2/ <b>\"x<i> &amp; /c"}, " <b>\"x<i> &amp; ", 0.24);
        row("empty text", {"1/"}, "", 0.06);
        row("empty sound", {"/x"}, "x", 0.18);
        row("no argument", {}, kError, 0.12);
        row("empty", {""}, kError, 0.12);
        // The name stays in the sounds folder; a missing sound: the text alone.
        row("dot-dot", {"../x"}, "x", 0.3);
        row("missing", {"none/x"}, "x", 0);
        // A megabyte in one word, then in lines, must not stall the line
        // breaker, nor the next message, on its way out, lay it out again.
        const QString huge = QString(1 << 20, u'x') + (u' ' + QString(80, u'y')).repeated(13000);
        row("huge", {"none/" + huge}, huge, 0);
    }

    // Then the next message, one without a slash, replaces it at once.
    void line()
    {
        QFETCH(QStringList, arguments);
        QFETCH(double, seconds);
        NullSinkRecorder recorder;
        QVERIFY(recorder.start());
        SubMain::Main(arguments);
        QTEST(shown(), "text");
        QTest::qWait(450);
        const auto sounds = findSounds(recorder.stop());
        QVERIFY2(seconds ? lengthsAre(sounds, {{seconds, 0.025}}) : sounds.isEmpty(), describe(sounds));
        QDeadlineTimer deadline(5000);
        SubMain::Main({"nonsense"});
        qApp->processEvents();
        QCOMPARE(shown(), kError);
        QVERIFY(!deadline.hasExpired());
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
