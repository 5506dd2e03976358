#include "ExpectedNotification.h"
#include "MusicList.h"
#include "SubMain.h"
#include "ZMBMain.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QPlainTextEdit>
#include <QRandomGenerator>
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
    void generatedLines_showTheirTextAndNameTheirSound();

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

    // The next message must not lay the huge one out again on its way out.
    QElapsedTimer elapsed;
    elapsed.start();
    SubMain::Main({"nonsense"});
    QCOMPARE(edit->toPlainText(), QString("Error command Line!"));
    QVERIFY2(elapsed.elapsed() < 5000, qPrintable(QString::number(elapsed.elapsed())));
}

namespace {

// Arguments as main() reads them from the kernel's bytes (never NUL).
QStringList fromBytes(const QList<QByteArray> &arguments)
{
    QStringList strings;
    for (const QByteArray &argument : arguments)
        strings << QString::fromLocal8Bit(argument);
    return strings;
}

QByteArray bytesFrom(QRandomGenerator &random, const QByteArray &alphabet, int maxLength)
{
    QByteArray bytes(random.bounded(maxLength + 1), Qt::Uninitialized);
    for (char &byte : bytes)
        byte = alphabet.at(random.bounded(alphabet.size()));
    return bytes;
}

// One command line of the kind index % 8: none, no "/", many "/", quotes,
// control characters, bytes that are not UTF-8, several arguments, any bytes.
QStringList generatedLine(QRandomGenerator &random, int index)
{
    QByteArray any;
    for (int byte = 1; byte < 256; ++byte)
        any += char(byte);
    QByteArray controls = "/ab";
    for (int byte = 1; byte < 32; ++byte)
        controls += char(byte);
    controls += '\x7f';
    QByteArray high = "/1";
    for (int byte = 0x80; byte < 256; ++byte)
        high += char(byte);

    switch (index % 8) {
    case 0:
        return index % 16 ? QStringList{QString()} : QStringList{};
    case 1:
        return fromBytes({bytesFrom(random, "abc 123.-_", 40)});
    case 2:
        return fromBytes({bytesFrom(random, "//////ab ", 80)});
    case 3:
        return fromBytes({bytesFrom(random, "\"'`/1 x", 30)});
    case 4:
        return fromBytes({bytesFrom(random, controls, 60)});
    case 5:
        return fromBytes({bytesFrom(random, high, 60)});
    case 6: {
        QList<QByteArray> arguments;
        for (int n = random.bounded(1, 6); n > 0; --n)
            arguments << bytesFrom(random, "ab/ \"", 12);
        return fromBytes(arguments);
    }
    default:
        return fromBytes({bytesFrom(random, any, 120)});
    }
}

} // namespace

void TestCommandLine::generatedLines_showTheirTextAndNameTheirSound()
{
    // Muted, the window's player refuses each sound at once: this is about
    // the line, the split and the window, 10,000 times over.
    SubMain::Main({"1/x"});
    ZMBMain *window = ZMBMain::instance();
    window->findChild<Zimbrel::MusicList *>("ML")->NotPlay(-1);
    QVERIFY(QTest::qWaitForWindowExposed(window));
    auto *edit = window->findChild<QPlainTextEdit *>("ZMBEdit");

    QRandomGenerator random(20261206);
    QList<QStringList> lines;
    for (int index = 0; index < 10000 - 3; ++index)
        lines << generatedLine(random, index);
    const QString megabyte(1024 * 1024, QChar(u'\u00e9'));
    lines << QStringList{"1/" + megabyte} << QStringList{megabyte}
          << QStringList{QString(1024 * 1024, u'/')};

    for (qsizetype index = 0; index < lines.size(); ++index) {
        SubMain::Main(lines.at(index));
        QCoreApplication::processEvents();
        const auto expected = expectedNotification(lines.at(index).join(u' '));
        const QString sound = SubMain::CmdParts.size() >= 2 ? SubMain::CmdParts.at(0)
                                                            : QStringLiteral("error");
        QVERIFY2(window->isVisible(), qPrintable(QString::number(index)));
        QVERIFY2(edit->toPlainText() == asShownInTextBox(expected.text),
                 qPrintable(QString::number(index)));
        QVERIFY2(sound == expected.sound, qPrintable(QString::number(index)));
    }
}

QTEST_MAIN(TestCommandLine)
#include "tst_commandline.moc"
