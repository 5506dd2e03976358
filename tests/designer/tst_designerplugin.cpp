#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <MusicList.h>

#include <QUiLoader>
#include <QtTest>
#include <QDesignerCustomWidgetInterface>

using namespace ZimbrelTest;

// The built plugin, as Designer sees it, and forms made from its template for
// the widget, loaded through that plugin alone (which needs its name right,
// and its widget).
class TestDesignerPlugin : public QObject
{
    Q_OBJECT

    QDesignerCustomWidgetInterface *m_plugin = qobject_cast<QDesignerCustomWidgetInterface *>(QPluginLoader(PLUGIN_FILE).instance());

private slots:
    void plugin()
    {
        QVERIFY(m_plugin && !m_plugin->icon().isNull() && !m_plugin->toolTip().isEmpty());
        QCOMPARE(m_plugin->includeFile(), "<Zimbrel/MusicList.h>");
        QCOMPARE(m_plugin->group(), "Zimbrel");
    }

    void form_data()
    {
        QTest::addColumn<QString>("properties");
        // Folder, extension and NotPlay.
        QTest::addColumn<QString>("state");
        // FoldMus's own extension while none is set.
        QTest::newRow("muted") << R"(<property name="muted"><bool>true</bool></property><property name="folder"><string>/a</string></property>)"
                               << "/a/ .mp3 -1";
        // Setting the period runs Init, so the playlist is usable at once: it
        // plays the current folder's tone.wav, its short name completed from
        // the folder and extension the form set.
        QTest::newRow("plays") << R"(<property name="timerPeriod"><number>20</number></property>)"
                                  R"(<property name="extension"><string>wav</string></property>)"
                                  R"(<property name="folder"><string>.</string></property>)"
                               << "./ .wav 0";
    }

    void form()
    {
        QFETCH(QString, properties);
        QBuffer ui;
        ui.setData(m_plugin->domXml().replace("</widget>", properties + "</widget>").toUtf8());
        QUiLoader loader;
        // Only the build's plugin: never one installed on the system.
        loader.clearPluginPaths();
        loader.addPluginPath(QFileInfo(PLUGIN_FILE).absolutePath());
        std::unique_ptr<QWidget> widget(loader.load(&ui));
        auto *player = qobject_cast<Zimbrel::MusicList *>(widget.get());
        QVERIFY(player);
        QTEST(QString("%1 %2 %3").arg(player->Folder(), player->Dilation()).arg(player->NotPlay()), "state");
        if (player->NotPlay())
            return;
        NullSinkRecorder recorder;
        QVERIFY(recorder.start());
        writeToneWave("tone.wav", 1, 660);
        QVERIFY(player->AddFile("tone"));
        QTest::qWait(800);
        QVERIFY(!findSounds(recorder.stop()).isEmpty());
    }
};

QTEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"
