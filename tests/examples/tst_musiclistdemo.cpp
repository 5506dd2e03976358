#include "MusicListDemo.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

using namespace ZimbrelTest;

// The demo window, driven only through its widgets as a user would: each
// button must reach its member, and the labels must follow the widget.
class TestMusicListDemo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void playlistAndNumbers_countAndPositionFollow();
    void mute_refusesQueueing();
    void soundAndMusicButtons_areHeard_data();
    void soundAndMusicButtons_areHeard();

private:
    template<typename T>
    T *child(const char *name) const
    {
        auto *widget = m_demo->findChild<T *>(QLatin1String(name));
        if (!widget)
            qFatal("the demo has no widget %s", name);
        return widget;
    }
    void click(const char *button) { QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton); }
    QString text(const char *label) const { return child<QLabel>(label)->text(); }

    QTemporaryDir m_data;
    std::unique_ptr<MusicListDemo> m_demo;
};

void TestMusicListDemo::initTestCase()
{
    QVERIFY(m_data.isValid());
    QVERIFY(QDir(m_data.path()).mkpath("sounds"));
    QVERIFY(QDir(m_data.path()).mkpath("numbers"));
    // The playlist's default item, long enough to read a position from.
    QVERIFY(!writeToneWave(m_data.filePath("sounds/3.wav"), 1.5, 660).isEmpty());
}

void TestMusicListDemo::init()
{
    m_demo = std::make_unique<MusicListDemo>(m_data.path());
    m_demo->show();
}

void TestMusicListDemo::cleanup()
{
    m_demo.reset();
}

void TestMusicListDemo::playlistAndNumbers_countAndPositionFollow()
{
    QCOMPARE(text("count"), QString("0"));
    QCOMPARE(text("position"), QString("unavailable"));

    click("addFile");
    QCOMPARE(text("result"), QString("AddFile: true"));
    QTRY_COMPARE(text("count"), QString("1"));
    // The item plays: its position moves on.
    QTRY_VERIFY_WITH_TIMEOUT(text("position").endsWith(" s")
                                 && text("position").chopped(2).toDouble() > 0.2,
                             5000);

    // 1234 is spoken as five clips; the clips need not exist to be queued.
    child<QSpinBox>("number")->setValue(1234);
    click("speakNumber");
    QCOMPARE(text("result"),
             "Number: queued up to " + m_data.filePath("numbers/1234.mp3"));
    QTRY_COMPARE(text("count"), QString("6"));

    click("clear");
    QTRY_COMPARE(text("count"), QString("0"));
}

void TestMusicListDemo::mute_refusesQueueing()
{
    child<QCheckBox>("mute")->setChecked(true);
    click("addFile");
    QCOMPARE(text("result"), QString("AddFile: false"));
    click("speakNumber");
    QCOMPARE(text("result"), QString("Number: nothing queued"));
    QTest::qWait(300);
    QCOMPARE(text("count"), QString("0"));
}

void TestMusicListDemo::soundAndMusicButtons_areHeard_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("play");
    QTest::addColumn<bool>("loop");
    QTest::addColumn<double>("toneSeconds");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<double>("heardMin");
    QTest::addColumn<double>("heardMax");

    // The stop button, if any, is pressed one second after the play button.
    QTest::newRow("sound once") << "soundFile" << "playSound" << false << 0.3 << "" << 0.27 << 0.33;
    QTest::newRow("sound stopped") << "soundFile" << "playSound" << false << 3.0 << "stopSound"
                                   << 0.8 << 1.25;
    QTest::newRow("music once") << "musicFile" << "playMusic" << false << 0.3 << "" << 0.27 << 0.33;
    QTest::newRow("music looped, stopped") << "musicFile" << "playMusic" << true << 0.3
                                           << "stopMusic" << 0.8 << 1.25;
}

void TestMusicListDemo::soundAndMusicButtons_areHeard()
{
    QFETCH(QString, field);
    QFETCH(QString, play);
    QFETCH(bool, loop);
    QFETCH(double, toneSeconds);
    QFETCH(QString, stop);
    QFETCH(double, heardMin);
    QFETCH(double, heardMax);

    const QString tone = writeToneWave(m_data.filePath(field + ".wav"), toneSeconds, 520);
    QVERIFY(!tone.isEmpty());
    child<QLineEdit>(qPrintable(field))->setText(tone);
    child<QCheckBox>("loop")->setChecked(loop);

    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    click(qPrintable(play));
    QVERIFY2(text("result").endsWith(": true"), qPrintable(text("result")));
    QTest::qWait(1000);
    double stoppedAt = recorder.secondsSinceStart() + 60;
    if (!stop.isEmpty()) {
        stoppedAt = recorder.secondsSinceStart();
        click(qPrintable(stop));
    }
    QTest::qWait(600);
    const QVector<Segment> sounds = findSounds(recorder.stop());

    QVERIFY(!sounds.isEmpty());
    double heard = 0;
    for (const Segment &sound : sounds)
        heard += sound.length;
    QVERIFY2(heard >= heardMin && heard <= heardMax, qPrintable(QString::number(heard)));
    QVERIFY2(sounds.last().end() < stoppedAt + 0.2, qPrintable(QString::number(sounds.last().end())));
}

QTEST_MAIN(TestMusicListDemo)
#include "tst_musiclistdemo.moc"
