#include "MusicList.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace ZimbrelTest;
using Zimbrel::MusicList;

class TestSoundChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void newControl_startsEmpty();
    void init_setsTimerPeriod_data();
    void init_setsTimerPeriod();
    void dilation_storesLeadingDot_data();
    void dilation_storesLeadingDot();
    void foldMus_setsFolderAndExtension_data();
    void foldMus_setsFolderAndExtension();

    void playSound_namesTheFile_data();
    void playSound_namesTheFile();
    void playSound_whileMuted_leavesPlayingSoundAlone_data();
    void playSound_whileMuted_leavesPlayingSoundAlone();
    void playSound_replacesEarlierSound_evenWhenNewOneFails();
    void stopSound_silences_andIsHarmlessWhenIdle();
    void destroyingControl_silencesSound();

private:
    QString path(const QString &name) const { return m_dir.filePath(name); }
    static double lengthOfOnlySound(const Samples &recording);

    QTemporaryDir m_dir;
};

void TestSoundChannel::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(QDir(m_dir.path()).mkdir("clips"));
    QVERIFY(!writeToneWave(path("short.wav"), 0.12, 880).isEmpty());
    QVERIFY(!writeToneWave(path("clips/short.wav"), 0.24, 660).isEmpty());
    QVERIFY(!writeToneWave(path("long.wav"), 1.2, 440).isEmpty());
}

double TestSoundChannel::lengthOfOnlySound(const Samples &recording)
{
    const auto sounds = findSounds(recording);
    return sounds.size() == 1 ? sounds.first().length : -sounds.size();
}

void TestSoundChannel::newControl_startsEmpty()
{
    MusicList list;
    QCOMPARE(list.Folder(), QString());
    QCOMPARE(list.Dilation(), QString());
    QCOMPARE(list.NotPlay(), qint16(0));
    auto *timer = list.findChild<QTimer *>("MusTim");
    QVERIFY(timer);
    QVERIFY(!timer->isActive());
    QCOMPARE(timer->interval(), 200);
    auto *picture = list.findChild<QWidget *>("MusicPict");
    QVERIFY(picture);
    QVERIFY(picture->hasMouseTracking());
}

void TestSoundChannel::init_setsTimerPeriod_data()
{
    QTest::addColumn<int>("period");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("interval");
    QTest::newRow("notifier's period") << 20 << true << 20;
    QTest::newRow("zero") << 0 << true << 0;
    QTest::newRow("negative is refused") << -1 << false << 200;
}

void TestSoundChannel::init_setsTimerPeriod()
{
    QFETCH(int, period);
    QFETCH(bool, accepted);
    QFETCH(int, interval);
    MusicList list;
    QCOMPARE(list.Init(period), accepted);
    auto *timer = list.findChild<QTimer *>("MusTim");
    QCOMPARE(timer->interval(), interval);
    QVERIFY(!timer->isActive());
    QVERIFY(list.Init());
    QCOMPARE(timer->interval(), 200);
}

void TestSoundChannel::dilation_storesLeadingDot_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("stored");
    QTest::newRow("bare") << "mp3" << ".mp3";
    QTest::newRow("dotted") << ".wav" << ".wav";
    QTest::newRow("empty") << "" << ".";
    QTest::newRow("double dot kept") << "..ogg" << "..ogg";
}

void TestSoundChannel::dilation_storesLeadingDot()
{
    QFETCH(QString, written);
    QFETCH(QString, stored);
    MusicList list;
    list.Dilation(written);
    QCOMPARE(list.Dilation(), stored);
    QCOMPARE(list.Folder(), QString());
}

void TestSoundChannel::foldMus_setsFolderAndExtension_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("extension"); // null: left to the default
    QTest::addColumn<QString>("storedFolder");
    QTest::addColumn<QString>("storedExtension");
    QTest::newRow("default extension") << "/srv/clips" << QString() << "/srv/clips/" << ".mp3";
    QTest::newRow("folder with slash") << "/srv/clips/" << "wav" << "/srv/clips/" << ".wav";
    QTest::newRow("empty folder is the root") << "" << ".ogg" << "/" << ".ogg";
}

void TestSoundChannel::foldMus_setsFolderAndExtension()
{
    QFETCH(QString, folder);
    QFETCH(QString, extension);
    QFETCH(QString, storedFolder);
    QFETCH(QString, storedExtension);
    MusicList list;
    if (extension.isNull()) {
        list.FoldMus(folder);
    } else {
        const QString callers = extension;
        list.FoldMus(folder, extension);
        QCOMPARE(extension, callers);
    }
    QCOMPARE(list.Folder(), storedFolder);
    QCOMPARE(list.Dilation(), storedExtension);
}

void TestSoundChannel::playSound_namesTheFile_data()
{
    QTest::addColumn<bool>("folderSet");
    QTest::addColumn<qint16>("muted");
    QTest::addColumn<bool>("musicStat");
    QTest::addColumn<QString>("name");        // relative to the test folder unless completed
    QTest::addColumn<QString>("expectedName"); // the caller's variable afterwards
    QTest::addColumn<double>("heard");         // length of the sound heard, 0 for none

    QTest::newRow("no folder: name as given") << false << qint16(0) << true << "short.wav"
                                              << "short.wav" << 0.12;
    QTest::newRow("folder: completed, caller sees it")
        << true << qint16(0) << true << "short" << "clips/short.wav" << 0.24;
    QTest::newRow("MusicStat false: name as given despite folder")
        << true << qint16(0) << false << "short.wav" << "short.wav" << 0.12;
    QTest::newRow("muted, MusicStat false: still plays")
        << true << qint16(-1) << false << "short.wav" << "short.wav" << 0.12;
    QTest::newRow("muted: refused") << false << qint16(-1) << true << "short.wav" << "short.wav"
                                    << 0.0;
    QTest::newRow("muted by any bit: refused")
        << false << qint16(4) << true << "short.wav" << "short.wav" << 0.0;
    QTest::newRow("missing file") << false << qint16(0) << true << "absent.wav" << "absent.wav"
                                  << 0.0;
}

void TestSoundChannel::playSound_namesTheFile()
{
    QFETCH(bool, folderSet);
    QFETCH(qint16, muted);
    QFETCH(bool, musicStat);
    QFETCH(QString, name);
    QFETCH(QString, expectedName);
    QFETCH(double, heard);

    MusicList list;
    if (folderSet)
        list.FoldMus(path("clips"), "wav");
    list.NotPlay(muted);
    QString file = name.endsWith(".wav") ? path(name) : name;
    const QString expected = path(expectedName);

    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    QCOMPARE(list.PlaySound(file, musicStat), heard > 0);
    QCOMPARE(file, expected);
    QTest::qWait(int(heard * 1000) + 300);
    const Samples recording = recorder.stop();
    if (heard > 0)
        QVERIFY2(std::abs(lengthOfOnlySound(recording) - heard) < 0.03,
                 qPrintable(QString::number(lengthOfOnlySound(recording))));
    else
        QVERIFY(findSounds(recording).isEmpty());
}

void TestSoundChannel::playSound_whileMuted_leavesPlayingSoundAlone_data()
{
    QTest::addColumn<qint16>("muteValue");
    QTest::newRow("True") << qint16(-1);
    QTest::newRow("1") << qint16(1);
}

void TestSoundChannel::playSound_whileMuted_leavesPlayingSoundAlone()
{
    QFETCH(qint16, muteValue);
    MusicList list;
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    QVERIFY(list.PlaySound(path("long.wav")));
    QTest::qWait(200);
    list.NotPlay(muteValue);
    QVERIFY(!list.PlaySound(path("short.wav")));
    QTest::qWait(1300);
    QVERIFY2(std::abs(lengthOfOnlySound(recorder.stop()) - 1.2) < 0.03, "long sound cut");
}

void TestSoundChannel::playSound_replacesEarlierSound_evenWhenNewOneFails()
{
    MusicList list;
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    QVERIFY(list.PlaySound(path("long.wav")));
    QTest::qWait(300);
    QVERIFY(list.PlaySound(path("short.wav")));
    QTest::qWait(400);
    QVERIFY(list.PlaySound(path("long.wav")));
    QTest::qWait(300);
    QVERIFY(!list.PlaySound(path("absent.wav")));
    QTest::qWait(500);
    // A replaced sound is followed within milliseconds by the next: no bridging.
    const auto sounds = findSounds(recorder.stop(), 0.02, 0.0);
    QCOMPARE(sounds.size(), 3);
    QVERIFY(sounds[0].length > 0.2 && sounds[0].length < 0.5); // cut by the second
    QVERIFY(std::abs(sounds[1].length - 0.12) < 0.03);        // played whole
    QVERIFY(sounds[2].length > 0.2 && sounds[2].length < 0.5); // cut by the failed one
}

void TestSoundChannel::stopSound_silences_andIsHarmlessWhenIdle()
{
    MusicList list;
    list.StopSound();
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    QVERIFY(list.PlaySound(path("long.wav")));
    QTest::qWait(300);
    list.StopSound();
    list.StopSound();
    QTest::qWait(400);
    const double heard = lengthOfOnlySound(recorder.stop());
    QVERIFY2(heard > 0.2 && heard < 0.5, qPrintable(QString::number(heard)));
}

void TestSoundChannel::destroyingControl_silencesSound()
{
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    {
        MusicList list;
        QVERIFY(list.PlaySound(path("long.wav")));
        QTest::qWait(300);
    }
    QTest::qWait(400);
    const double heard = lengthOfOnlySound(recorder.stop());
    QVERIFY2(heard > 0.2 && heard < 0.5, qPrintable(QString::number(heard)));
}

QTEST_MAIN(TestSoundChannel)
#include "tst_soundchannel.moc"
