#include "SubMain.h"
#include "ZMBMain.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QtTest>

using namespace ZimbrelTest;

namespace {
const QMap<QString, double> kSoundLengths = {{"1", 0.06}, {"error", 0.12}, {"", 0.18}, {"\"2", 0.24}, {"..", 0.3}};
}

// The notification window driven through the program's own start-up code:
// which text it shows and which sound it plays for each command line. The
// sounds are tones of distinct lengths, so the recording tells them apart.
class TestCommandLine : public QObject
{
    Q_OBJECT

    QString m_sounds = QCoreApplication::applicationDirPath() + "/sounds";

private slots:
    void cleanup() { ZMBMain::unload(); }

    void initTestCase()
    {
        QDir().mkpath(m_sounds);
        for (auto it = kSoundLengths.cbegin(); it != kSoundLengths.cend(); ++it)
            QVERIFY(!writeToneWave(m_sounds + "/" + it.key() + ".wav", it.value(), 660).isEmpty());
    }

    void cleanupTestCase() { QDir(m_sounds).removeRecursively(); }

    void showsTextAndPlaysSound_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sound");

        const auto row = [](const char *name, const QStringList &arguments, const char *text, const char *sound) {
            QTest::newRow(name) << arguments << text << sound;
        };
        row("sound and text", {"1/Download finished"}, "Download finished", "1");
        row("split by the shell, joined by one space", {"1/Download", "finished"}, "Download finished", "1");
        row("third piece ignored", {"1/a/b"}, "a", "1");
        row("empty text", {"1/"}, "", "1");
        row("empty sound name", {"/text"}, "text", "");
        row("no slash", {"nonsense"}, "Error command Line!", "error");
        row("no argument", {}, "Error command Line!", "error");
        row("empty argument", {""}, "Error command Line!", "error");
        row("quotes kept", {"\"2/quoted text\""}, "quoted text\"", "\"2");
        row("blanks kept", {"1/  spaced  "}, "  spaced  ", "1");
        row("markup shown literally", {"1/<b>bold<i> &amp;"}, "<b>bold<i> &amp;", "1");
        row("dot-dot stays in the sounds folder", {"../x"}, "x", "..");
        row("missing sound: text only", {"nosuch/quiet"}, "quiet", "nosuch");
    }

    void showsTextAndPlaysSound()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, text);
        QFETCH(QString, sound);

        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        SubMain::Main(arguments);
        QCOMPARE(SubMain::AppDir, QCoreApplication::applicationDirPath() + "/");
        ZMBMain *window = ZMBMain::instance();
        QVERIFY(window->isVisible());
        QCOMPARE(window->windowTitle(), "Zimbrel");
        QCOMPARE(window->findChild<QPlainTextEdit *>("ZMBEdit")->toPlainText(), text);
        QTest::qWait(450);

        const QVector<Segment> sounds = findSounds(recorder.stop(), 0.02, 0.0);
        QVERIFY2(kSoundLengths.contains(sound) ? lengthsAre(sounds, {{kSoundLengths.value(sound), 0.025}})
                                               : sounds.isEmpty(),
                 describe(sounds));
    }

    // A megabyte in one word must not stall the line breaker, nor the next
    // message, on its way out, lay it out again.
    void hugeText_isShownWhole_andSoonReplaced()
    {
        QString words(1024 * 1024, u'y');
        for (qsizetype i = 80; i < words.size(); i += 81)
            words[i] = u' ';
        for (const QString &text : {QString(1024 * 1024, u'x'), words}) {
            SubMain::Main({"1/" + text});
            auto *edit = ZMBMain::instance()->findChild<QPlainTextEdit *>("ZMBEdit");
            QCOMPARE(edit->toPlainText().size(), text.size());
            QVERIFY(QTest::qWaitForWindowExposed(ZMBMain::instance()));
            QElapsedTimer elapsed;
            elapsed.start();
            SubMain::Main({"nonsense"});
            QCoreApplication::processEvents();
            QCOMPARE(edit->toPlainText(), "Error command Line!");
            QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
        }
    }
};

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
