// SPDX-License-Identifier: MIT
#include <MusicList.h>

#include <QDesignerCustomWidgetInterface>
#include <QUiLoader>
#include <QtTest>

// The built plugin, loaded as Designer loads it, builds a form of its own
// template through QUiLoader: the widget is created, and the properties the
// form sets reach it. Setting the period runs Init, so the playlist takes an
// entry at once.
class TestDesignerPlugin : public QObject
{
    Q_OBJECT

private slots:
    void form()
    {
        auto *plugin = qobject_cast<QDesignerCustomWidgetInterface *>(QPluginLoader(PLUGIN_FILE).instance());
        QVERIFY(plugin);
        QBuffer ui;
        ui.setData(plugin->domXml().replace("</widget>", R"(<property name="timerPeriod"><number>20</number></property>)"
                                                                     R"(<property name="folder"><string>/a</string></property></widget>)").toUtf8());
        QUiLoader loader;
        // Only the build's plugin: never one installed on the system.
        loader.clearPluginPaths();
        loader.addPluginPath(QFileInfo(PLUGIN_FILE).absolutePath());
        std::unique_ptr<QWidget> widget(loader.load(&ui));
        auto *player = qobject_cast<Zimbrel::MusicList *>(widget.get());
        QVERIFY(player && player->AddFile("x"));
        QCOMPARE(player->Folder() + QString::number(player->timerPeriod()), "/a/20");
    }
};

QTEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"
