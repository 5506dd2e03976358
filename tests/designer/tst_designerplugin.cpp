#include <MusicList.h>

#include <QDesignerCustomWidgetInterface>
#include <QUiLoader>
#include <QtTest>

// The built plugin, loaded as Designer loads it, builds a form of its own
// template through QUiLoader: the widget is created, and a property the form
// sets reaches it.
class TestDesignerPlugin : public QObject
{
    Q_OBJECT

private slots:
    void form()
    {
        auto *plugin = qobject_cast<QDesignerCustomWidgetInterface *>(QPluginLoader(PLUGIN_FILE).instance());
        QVERIFY(plugin);
        QBuffer ui;
        ui.setData(plugin->domXml().replace("</widget>", "<property name=\"folder\"><string>/a</string></property></widget>").toUtf8());
        QUiLoader loader;
        // Only the build's plugin: never one installed on the system.
        loader.clearPluginPaths();
        loader.addPluginPath(QFileInfo(PLUGIN_FILE).absolutePath());
        std::unique_ptr<QWidget> widget(loader.load(&ui));
        auto *player = qobject_cast<Zimbrel::MusicList *>(widget.get());
        QVERIFY(player);
        QCOMPARE(player->Folder(), "/a/");
    }
};

QTEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"
