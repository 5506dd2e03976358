#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <MusicList.h>

#include <QBuffer>
#include <QPluginLoader>
#include <QUiLoader>
#include <QtTest>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

using namespace ZimbrelTest;
using namespace Qt::StringLiterals;

// The built plugin, as Designer sees it, and forms holding the widget loaded
// through that plugin alone (which needs its name right, and its widget).
class TestDesignerPlugin : public QObject
{
    Q_OBJECT

private slots:
    void plugin()
    {
        auto *plugin = qobject_cast<QDesignerCustomWidgetInterface *>(QPluginLoader(PLUGIN_FILE).instance());
        QVERIFY(plugin && !plugin->icon().isNull() && !plugin->toolTip().isEmpty());
        QCOMPARE(plugin->includeFile(), "<Zimbrel/MusicList.h>");
        QCOMPARE(plugin->group(), "Zimbrel");
        QVERIFY(plugin->domXml().contains(R"(class="Zimbrel::MusicList")"));
    }

    void form_data()
    {
        QTest::addColumn<QString>("properties");
        QTest::addColumn<QString>("state");
        QTest::newRow("muted, folder with FoldMus's extension")
            << R"(<property name="muted"><bool>true</bool></property><property name="folder"><string>/a</string></property>)"
            << "period 200, count -1, folder /a/, extension .mp3, not play -1";
        // Setting the period runs Init, so the playlist is usable at once. The
        // current folder's tone.wav: its short name is completed from the
        // folder and extension the form set.
        QTest::newRow("plays") << R"(<property name="timerPeriod"><number>20</number></property>)"
                                  R"(<property name="extension"><string>wav</string></property>)"
                                  R"(<property name="folder"><string>.</string></property>)"
                               << "period 20, count 0, folder ./, extension .wav, not play 0";
    }

    void form()
    {
        QFETCH(QString, properties);
        QByteArray form = uR"(<ui version="4.0"><widget class="Zimbrel::MusicList" name="player">%1</widget></ui>)"_s.arg(properties).toUtf8();
        QBuffer buffer(&form);
        QUiLoader loader;
        // Only the build's plugin: never one installed on the system.
        loader.clearPluginPaths();
        loader.addPluginPath(QFileInfo(PLUGIN_FILE).absolutePath());
        const std::unique_ptr<QWidget> widget(loader.load(&buffer));
        auto *player = qobject_cast<Zimbrel::MusicList *>(widget.get());
        QVERIFY(player);
        QTEST(u"period %1, count %2, folder %3, extension %4, not play %5"_s.arg(player->timerPeriod()).arg(player->Count())
                  .arg(player->Folder(), player->Dilation()).arg(player->NotPlay()), "state");
        if (player->NotPlay())
            return;
        NullSinkRecorder recorder;
        QVERIFY(recorder.start() && !writeToneWave("tone.wav", 0.4, 660).isEmpty() && player->PlaySound("tone"));
        QTest::qWait(800);
        QVERIFY(!findSounds(recorder.stop()).isEmpty());
    }
};

QTEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"
