#include "MusicListDemo.h"

#include "WaveFile.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

// The demo window, driven only through its widgets as a user would: each
// button must reach its member, and the labels must follow the widget.
class TestMusicListDemo : public QObject
{
    Q_OBJECT

private slots:
    // The playlist, numbers and mute.
    void buttons()
    {
        // The playlist's default item, long enough to read a position from,
        // and to outlast the test unless cleared.
        QTemporaryDir data;
        QDir(data.path()).mkdir("sounds");
        ZimbrelTest::writeToneWave(data.filePath("sounds/3.wav"), 10.0, 660);
        MusicListDemo demo(data.path());
        demo.show();
        const auto label = [&](const char *name) { return demo.findChild<QLabel *>(name)->text(); };
        const auto click = [&](const char *button) {
            QTest::mouseClick(demo.findChild<QPushButton *>(button), Qt::LeftButton);
            return label("result");
        };
        QCOMPARE(label("count") + label("position"), "0unavailable");
        QCOMPARE(click("addFile"), "AddFile: true");
        QTRY_COMPARE(label("count"), "1");
        QTRY_VERIFY(label("position").chopped(2).toDouble() > 0.2);
        // 1234 is spoken as five clips; the clips need not exist to be queued.
        demo.findChild<QSpinBox *>("number")->setValue(1234);
        QCOMPARE(click("speakNumber"), "Number: queued up to " + data.filePath("numbers/1234.mp3"));
        QTRY_COMPARE(label("count"), "6");
        click("clear");
        QTRY_COMPARE(label("count"), "0");
        demo.findChild<QCheckBox *>("mute")->setChecked(true);
        QCOMPARE(click("addFile"), "AddFile: false");
        QCOMPARE(click("speakNumber"), "Number: nothing queued");
    }
};

QTEST_MAIN(TestMusicListDemo)
#include "tst_musiclistdemo.moc"
