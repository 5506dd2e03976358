#include "MusicListDemo.h"

#include "WaveFile.h"

#include <QCheckBox>
#include <QLabel>
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
        m_demo = std::make_unique<MusicListDemo>(m_data.path());
        m_demo->show();
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
    }
};

QTEST_MAIN(TestMusicListDemo)
#include "tst_musiclistdemo.moc"
