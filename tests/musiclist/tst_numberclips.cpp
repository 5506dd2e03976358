#include "MusicList.h"

#include <QDir>
#include <QtTest>

using namespace Zimbrel;

class tst_NumberClips : public QObject
{
    Q_OBJECT

private slots:
    void clipPlays_data();
    void clipPlays();
    void noOtherClips();
};

namespace {
const QStringList kClipNames{
    "0",  "1",  "2",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "13",
    "14", "15", "16", "17", "18", "19", "20", "30", "40", "50", "60", "70", "80", "90",
    "21", "22", "23", "24", "25", "26", "27", "28", "29", "31", "32", "33", "51", "52"};
}

void tst_NumberClips::clipPlays_data()
{
    QTest::addColumn<QString>("name");
    for (const QString &name : kClipNames)
        QTest::newRow(qPrintable(name)) << name;
}

// Each clip renders as audio through the folder and extension that Number uses.
void tst_NumberClips::clipPlays()
{
    QFETCH(QString, name);
    MusicList list;
    list.FoldMus(QStringLiteral(ZIMBREL_NUMBERS_DIR), QStringLiteral("mp3"));
    QString file = name;
    QVERIFY(list.PlaySound(file));
    QCOMPARE(file, QStringLiteral(ZIMBREL_NUMBERS_DIR "/") + name + QStringLiteral(".mp3"));
    list.StopSound();
}

void tst_NumberClips::noOtherClips()
{
    QStringList expected;
    for (const QString &name : kClipNames)
        expected.append(name + QStringLiteral(".mp3"));
    expected.sort();
    QStringList found = QDir(QStringLiteral(ZIMBREL_NUMBERS_DIR)).entryList(QDir::Files);
    found.sort();
    QCOMPARE(found, expected);
}

QTEST_MAIN(tst_NumberClips)
#include "tst_numberclips.moc"
