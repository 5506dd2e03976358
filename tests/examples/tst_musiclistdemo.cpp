// SPDX-License-Identifier: MIT
#include "MusicListDemo.h"

#include <QtTest>

// The demo window starts on a data folder, shows and closes; its controls
// only call the widget's members, which the widget's suite checks.
class TestMusicListDemo : public QObject
{
    Q_OBJECT

private slots:
    void showsAndCloses()
    {
        MusicListDemo demo(QDir::currentPath());
        demo.show();
        QVERIFY(QTest::qWaitForWindowExposed(&demo));
        QCOMPARE(demo.windowTitle(), "MusicList demo");
        QVERIFY(demo.close() && !demo.isVisible());
    }
};

QTEST_MAIN(TestMusicListDemo)
#include "tst_musiclistdemo.moc"
