#include "MusicList.h"
#include "MusicListProbe.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

using namespace Zimbrel;
using namespace ZimbrelTest;

namespace {
const QString kFolder = QStringLiteral("/nowhere/numbers/");
const QString kExtension = QStringLiteral(".mp3");

QStringList completed(const QStringList &clips)
{
    QStringList names;
    for (const QString &clip : clips)
        names.append(kFolder + clip + kExtension);
    return names;
}
} // namespace

class tst_Number : public QObject
{
    Q_OBJECT

private slots:
    void queuesClipsAndReturns_data();
    void queuesClipsAndReturns();
    void mutedOrWithoutFolderQueuesNothing_data();
    void mutedOrWithoutFolderQueuesNothing();
    void queuesBehindEarlierEntries();
    void beforeFirstResetStillAnswers();
    void spokenInOrder();
};

void tst_Number::queuesClipsAndReturns_data()
{
    QTest::addColumn<int>("number");
    QTest::addColumn<QStringList>("clips");
    // Whether the result is the completed name of the number or empty.
    QTest::addColumn<bool>("namesNumber");

    const auto row = [](int number, const QStringList &clips, bool namesNumber) {
        QTest::addRow("%d", number) << number << clips << namesNumber;
    };
    row(0, {"0"}, true);
    row(7, {"7"}, true);
    row(10, {"10"}, true);
    row(15, {"15"}, true);
    row(19, {"19"}, true);
    row(20, {"20"}, false);
    row(21, {"20", "1"}, true);
    row(99, {"90", "9"}, true);
    row(100, {"21"}, false);
    row(105, {"21", "5"}, true);
    row(110, {"21", "10"}, true);
    row(121, {"21", "20", "1"}, true);
    row(999, {"29", "90", "9"}, true);
    row(1000, {"51", "31"}, false);
    row(1005, {"51", "31", "5"}, true);
    row(1010, {"51", "31", "10"}, true);
    row(1015, {"51", "31", "15"}, true);
    row(1100, {"51", "31", "21"}, false);
    row(1234, {"51", "31", "22", "30", "4"}, true);
    row(2002, {"52", "32", "2"}, true);
    row(2021, {"52", "32", "20", "1"}, true);
    row(3400, {"3", "32", "24"}, false);
    row(4004, {"4", "32", "4"}, true);
    row(5017, {"5", "33", "17"}, true);
    row(7890, {"7", "33", "28", "90"}, false);
    row(9999, {"9", "33", "29", "90", "9"}, true);
    row(10000, {}, true);
    row(12345, {}, true);
    row(std::numeric_limits<qint32>::max(), {}, true);
    // The sign is worth nothing and is never spoken.
    row(-1, {"-1"}, true);
    row(-9, {"-9"}, true);
    row(-10, {"10"}, true);
    row(-20, {"20"}, false);
    row(-100, {"21"}, false);
    row(-123, {"21", "20", "3"}, true);
    row(-999, {"29", "90", "9"}, true);
    row(-1000, {}, true);
    row(std::numeric_limits<qint32>::min(), {}, true);
}

void tst_Number::queuesClipsAndReturns()
{
    QFETCH(int, number);
    QFETCH(QStringList, clips);
    QFETCH(bool, namesNumber);
    MusicList list;
    MusicListProbe probe(list);
    list.FoldMus(kFolder, kExtension);
    QVERIFY(list.Init(20));

    const QString result = list.Number(number);
    QCOMPARE(probe.entries(), completed(clips));
    QCOMPARE(result, namesNumber ? kFolder + QString::number(number) + kExtension : QString());
    list.Clear();
}

void tst_Number::mutedOrWithoutFolderQueuesNothing_data()
{
    QTest::addColumn<qint16>("notPlay");
    QTest::addColumn<bool>("folderSet");
    QTest::newRow("muted, folder set") << qint16(-1) << true;
    QTest::newRow("muted by any non-zero flag") << qint16(4) << true;
    QTest::newRow("no folder") << qint16(0) << false;
}

void tst_Number::mutedOrWithoutFolderQueuesNothing()
{
    QFETCH(qint16, notPlay);
    QFETCH(bool, folderSet);
    MusicList list;
    MusicListProbe probe(list);
    if (folderSet)
        list.FoldMus(kFolder, kExtension);
    list.NotPlay(notPlay);
    QVERIFY(list.Init(20));

    for (int number : {7, 1234, 12345})
        QCOMPARE(list.Number(number), QString());
    QCOMPARE(list.Count(), 0);
    QVERIFY(!probe.timerOn());
}

void tst_Number::queuesBehindEarlierEntries()
{
    MusicList list;
    MusicListProbe probe(list);
    list.FoldMus(kFolder, kExtension);
    QVERIFY(list.Init(20));
    QVERIFY(list.AddFile(QStringLiteral("chime")));
    list.Number(21);
    list.Number(3);
    QCOMPARE(probe.entries(), completed({"chime", "20", "1", "3"}));
    list.Clear();
}

void tst_Number::beforeFirstResetStillAnswers()
{
    MusicList list;
    list.FoldMus(kFolder, kExtension);
    // Every clip is refused; the result is the same as ever.
    QCOMPARE(list.Number(21), kFolder + QStringLiteral("21") + kExtension);
    QCOMPARE(list.Number(20), QString());
    QCOMPARE(list.Count(), -1);
}

void tst_Number::spokenInOrder()
{
    // Clips of distinct lengths, so the recording shows which played when.
    const QList<std::pair<QString, int>> clips{
        {"51", 60}, {"31", 170}, {"22", 100}, {"30", 210}, {"4", 140}};
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    for (const auto &[name, milliseconds] : clips)
        QVERIFY(!writeToneWave(folder.filePath(name + QStringLiteral(".wav")),
                               milliseconds / 1000.0, 440 + milliseconds)
                     .isEmpty());

    MusicList list;
    MusicListProbe probe(list);
    list.FoldMus(folder.path(), QStringLiteral("wav"));
    QVERIFY(list.Init(20));
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));

    QCOMPARE(list.Number(1234), folder.filePath(QStringLiteral("1234.wav")));
    QElapsedTimer waited;
    waited.start();
    while (probe.timerOn() && waited.elapsed() < 5000)
        QTest::qWait(5);
    QTest::qWait(150);
    QVERIFY(!probe.timerOn());
    const QVector<Segment> sounds = findSounds(recorder.stop(), 0.02, 0.002);

    QStringList heard;
    for (const Segment &sound : sounds)
        heard.append(QString::number(sound.length, 'f', 3));
    QVERIFY2(sounds.size() == clips.size(), qPrintable(heard.join(u", ")));
    for (qsizetype i = 0; i < clips.size(); ++i)
        QVERIFY2(qAbs(sounds[i].length - clips[i].second / 1000.0) < 0.012,
                 qPrintable(heard.join(u", ")));
}

QTEST_MAIN(tst_Number)
#include "tst_number.moc"
