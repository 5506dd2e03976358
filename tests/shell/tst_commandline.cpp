#include "SubMain.h"
#include "ZMBMain.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QtTest>

using namespace ZimbrelTest;

// The notification window driven through the program's own start-up code:
// which text it shows and which sound it plays for each command line. The
// sounds are tones of distinct lengths, so the recording tells them apart.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void cleanup();

    void appFolder_isExecutablesFolderWithSlash();
    void showsTextAndPlaysSound_data();
    void showsTextAndPlaysSound();
    void hugeText_isShownWhole_data();
    void hugeText_isShownWhole();

private:
    QString m_sounds;
};

namespace {
const QMap<QString, double> kSoundLengths = {
    {"1", 0.10}, {"error", 0.16}, {"", 0.22}, {"\"2", 0.28}, {"..", 0.34}};
}

void TestCommandLine::initTestCase()
{
    m_sounds = QCoreApplication::applicationDirPath() + "/sounds";
    QDir().mkpath(m_sounds);
    double frequency = 400;
    for (auto it = kSoundLengths.cbegin(); it != kSoundLengths.cend(); ++it, frequency += 150)
        QVERIFY(!writeToneWave(m_sounds + "/" + it.key() + ".wav", it.value(), frequency).isEmpty());
}

void TestCommandLine::cleanupTestCase()
{
    QDir(m_sounds).removeRecursively();
}

void TestCommandLine::cleanup()
{
    ZMBMain::unload();
}

void TestCommandLine::appFolder_isExecutablesFolderWithSlash()
{
    SubMain::Main({"1/x"});
    QCOMPARE(SubMain::AppDir, QCoreApplication::applicationDirPath() + "/");
}

void TestCommandLine::showsTextAndPlaysSound_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("sound");

    QTest::newRow("sound and text") << QStringList{"1/Download finished"} << "Download finished"
                                    << "1";
    QTest::newRow("split by the shell, joined by one space")
        << QStringList{"1/Download", "finished"} << "Download finished" << "1";
    QTest::newRow("third piece ignored") << QStringList{"1/a/b"} << "a" << "1";
    QTest::newRow("empty text") << QStringList{"1/"} << "" << "1";
    QTest::newRow("empty sound name") << QStringList{"/text"} << "text" << "";
    QTest::newRow("no slash") << QStringList{"nonsense"} << "Error command Line!" << "error";
    QTest::newRow("no argument") << QStringList{} << "Error command Line!" << "error";
    QTest::newRow("empty argument") << QStringList{""} << "Error command Line!" << "error";
    QTest::newRow("quotes kept") << QStringList{"\"2/quoted text\""} << "quoted text\""
                                 << "\"2";
    QTest::newRow("blanks kept") << QStringList{"1/  spaced  "} << "  spaced  " << "1";
    QTest::newRow("markup shown literally") << QStringList{"1/<b>bold<i> &amp;"}
                                            << "<b>bold<i> &amp;" << "1";
    QTest::newRow("dot-dot stays in the sounds folder") << QStringList{"../x"} << "x" << "..";
    QTest::newRow("missing sound: text only") << QStringList{"nosuch/quiet"} << "quiet"
                                              << "nosuch";
}

void TestCommandLine::showsTextAndPlaysSound()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, text);
    QFETCH(QString, sound);

    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    SubMain::Main(arguments);
    ZMBMain *window = ZMBMain::instance();
    QVERIFY(window->isVisible());
    QCOMPARE(window->windowTitle(), QString("Zimbrel"));
    auto *edit = window->findChild<QPlainTextEdit *>("ZMBEdit");
    QVERIFY(edit);
    QCOMPARE(edit->toPlainText(), text);
    QTest::qWait(600);

    const auto sounds = findSounds(recorder.stop(), 0.02, 0.0);
    if (!kSoundLengths.contains(sound)) {
        QVERIFY(sounds.isEmpty());
        return;
    }
    QCOMPARE(sounds.size(), 1);
    QVERIFY2(std::abs(sounds.first().length - kSoundLengths.value(sound)) < 0.025,
             qPrintable(QString::number(sounds.first().length)));
}

void TestCommandLine::hugeText_isShownWhole_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("one megabyte, one word") << QString(1024 * 1024, QChar('x'));
    QString words(1024 * 1024, QChar('y'));
    for (qsizetype i = 80; i < words.size(); i += 81)
        words[i] = ' ';
    QTest::newRow("one megabyte of words") << words;
}

void TestCommandLine::hugeText_isShownWhole()
{
    QFETCH(QString, text);
    SubMain::Main({"1/" + text});
    auto *edit = ZMBMain::instance()->findChild<QPlainTextEdit *>("ZMBEdit");
    QCOMPARE(edit->toPlainText().size(), text.size());
    // Laid out and painted; a quadratic line breaker would stall here for minutes
    // and run into the test's time-out.
    QVERIFY(QTest::qWaitForWindowExposed(ZMBMain::instance()));
    QTest::qWait(50);
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
