#include "MusicListDemo.h"

#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <QCheckBox>
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

    QTemporaryDir m_data;
    std::unique_ptr<MusicListDemo> m_demo;

    template<typename T>
    T *child(const char *name) { return m_demo->findChild<T *>(name); }
    QString click(const char *button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
        return child<QLabel>("result")->text();
    }
    QString label(const char *name) { return child<QLabel>(name)->text(); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_data.isValid() && QDir(m_data.path()).mkpath("sounds"));
        // The playlist's default item, long enough to read a position from.
        QVERIFY(!writeToneWave(m_data.filePath("sounds/3.wav"), 1.0, 660).isEmpty());
        QVERIFY(!writeToneWave(m_data.filePath("sound.wav"), 3.0, 520).isEmpty());
        QVERIFY(!writeToneWave(m_data.filePath("music.wav"), 0.2, 520).isEmpty());
        m_demo = std::make_unique<MusicListDemo>(m_data.path());
        m_demo->show();
    }

    // A long sound stopped after 0.3 s, then a short music looped for 0.6 s.
    void soundAndMusicButtons_areHeard()
    {
        child<QLineEdit>("soundFile")->setText(m_data.filePath("sound.wav"));
        child<QLineEdit>("musicFile")->setText(m_data.filePath("music.wav"));
        child<QCheckBox>("loop")->setChecked(true);
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        QCOMPARE(click("playSound"), QString("PlaySound: true"));
        QTest::qWait(300);
        click("stopSound");
        QTest::qWait(100);
        QCOMPARE(click("playMusic"), QString("PlayMusic: true"));
        QTest::qWait(600);
        click("stopMusic");
        QTest::qWait(300);
        const QVector<Segment> sounds = findSounds(recorder.stop(), 0.02, 0.05);
        QVERIFY2(lengthsAre(sounds, {{0.3, 0.1}, {0.6, 0.1}}), describe(sounds));
    }

    void playlistNumbersAndMute()
    {
        QCOMPARE(label("count") + label("position"), QString("0unavailable"));
        QCOMPARE(click("addFile"), QString("AddFile: true"));
        QTRY_COMPARE(label("count"), QString("1"));
        QTRY_VERIFY_WITH_TIMEOUT(label("position").chopped(2).toDouble() > 0.2, 5000);
        // 1234 is spoken as five clips; the clips need not exist to be queued.
        child<QSpinBox>("number")->setValue(1234);
        QCOMPARE(click("speakNumber"), "Number: queued up to " + m_data.filePath("numbers/1234.mp3"));
        QTRY_COMPARE(label("count"), QString("6"));
        click("clear");
        QTRY_COMPARE(label("count"), QString("0"));
        child<QCheckBox>("mute")->setChecked(true);
        QCOMPARE(click("addFile"), QString("AddFile: false"));
        QCOMPARE(click("speakNumber"), QString("Number: nothing queued"));
        child<QCheckBox>("mute")->setChecked(false);
    }
};

QTEST_MAIN(TestMusicListDemo)
#include "tst_musiclistdemo.moc"
