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

    const QMap<QString, double> m_lengths = {{"1", 0.06}, {"error", 0.12}, {"", 0.18}, {"\"2", 0.24}, {"..", 0.3}};

    static QString shown() { return ZMBMain::instance()->findChild<QPlainTextEdit *>()->toPlainText(); }

private slots:
    void initTestCase()
    {
        const QString sounds = QCoreApplication::applicationDirPath() + "/sounds/";
        QDir().mkpath(sounds);
        for (const auto &[name, seconds] : m_lengths.asKeyValueRange())
            writeToneWave(sounds + name + ".wav", seconds, 660);
    }

    void cleanup() { ZMBMain::unload(); }

    void line_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sound");
        const auto row = [](const char *name, const QStringList &arguments, const QString &text, const char *sound) {
            QTest::newRow(name) << arguments << text << sound;
        };
        const char *error = "Error command Line!";
        // Joined by one space.
        row("joined", {"1/a", "b"}, "a b", "1");
        // Nothing trimmed, no quote dropped, nothing read as markup, the
        // third piece ignored.
        row("kept", {"\"2/ <b>\"x<i> &amp; /c"}, " <b>\"x<i> &amp; ", "\"2");
        row("empty text", {"1/"}, "", "1");
        row("empty sound", {"/x"}, "x", "");
        row("no slash", {"nonsense"}, error, "error");
        row("no argument", {}, error, "error");
        row("empty", {""}, error, "error");
        // The name stays in the sounds folder; a missing sound: the text alone.
        row("dot-dot", {"../x"}, "x", "..");
        row("missing sound", {"none/x"}, "x", "none");
        // A megabyte in one word, or in lines, must not stall the line
        // breaker, nor the next message, on its way out, lay it out again.
        const QString word(1024 * 1024, u'x');
        const QString words = (QString(80, u'y') + u' ').repeated(1024 * 1024 / 81);
        row("huge word", {"1/" + word}, word, "1");
        row("huge lines", {"1/" + words}, words, "1");
    }

    // Then the next message replaces it at once.
    void line()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, sound);
        NullSinkRecorder recorder;
        QVERIFY(recorder.start());
        SubMain::Main(arguments);
        QTEST(shown(), "text");
        QTest::qWait(450);
        const auto sounds = findSounds(recorder.stop(), 0.02, 0.0);
        QVERIFY2(m_lengths.contains(sound) ? lengthsAre(sounds, {{m_lengths[sound], 0.025}}) : sounds.isEmpty(), describe(sounds));
        QElapsedTimer elapsed;
        elapsed.start();
        SubMain::Main({"nonsense"});
        QCoreApplication::processEvents();
        QCOMPARE(shown(), "Error command Line!");
        QVERIFY(elapsed.elapsed() < 5000);
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
