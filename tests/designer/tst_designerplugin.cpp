#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <MusicList.h>

#include <QBuffer>
#include <QFileInfo>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QUiLoader>
#include <QtTest>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

using namespace ZimbrelTest;

namespace {
QString propertyXml(const char *name, const char *type, const QString &value)
{
    return QStringLiteral("<property name=\"%1\"><%2>%3</%2></property>").arg(name, type, value);
}

// A form whose MusicList carries these property elements, and that MusicList.
std::unique_ptr<QWidget> loadForm(const QString &properties, Zimbrel::MusicList **player)
{
    QUiLoader loader;
    // Only the build's plugin: never one installed on the system.
    loader.clearPluginPaths();
    loader.addPluginPath(QFileInfo(PLUGIN_FILE).absolutePath());
    QByteArray form = QStringLiteral(R"(<ui version="4.0"><widget class="QWidget" name="form">
        <widget class="Zimbrel::MusicList" name="player">%1</widget></widget></ui>)")
                          .arg(properties).toUtf8();
    QBuffer buffer(&form);
    std::unique_ptr<QWidget> widget(loader.load(&buffer));
    *player = widget ? widget->findChild<Zimbrel::MusicList *>("player") : nullptr;
    return widget;
}
} // namespace

// The built plugin, as Designer sees it, and forms holding the widget loaded
// through that plugin alone.
class TestDesignerPlugin : public QObject
{
    Q_OBJECT

private slots:
    void plugin_describesTheWidget();
    void form_setsProperties_data();
    void form_setsProperties();
    void formWidget_playsSound();
};

void TestDesignerPlugin::plugin_describesTheWidget()
{
    QPluginLoader loader(PLUGIN_FILE);
    auto *plugin = qobject_cast<QDesignerCustomWidgetInterface *>(loader.instance());
    QVERIFY2(plugin, qPrintable(loader.errorString()));
    QCOMPARE(plugin->name(), QString("Zimbrel::MusicList"));
    QCOMPARE(plugin->includeFile(), QString("<Zimbrel/MusicList.h>"));
    QCOMPARE(plugin->group(), QString("Zimbrel"));
    QVERIFY(!plugin->icon().isNull() && !plugin->toolTip().isEmpty());
    QVERIFY(plugin->domXml().contains(R"(class="Zimbrel::MusicList")"));
    std::unique_ptr<QWidget> widget(plugin->createWidget(nullptr));
    QVERIFY(qobject_cast<Zimbrel::MusicList *>(widget.get()));
}

void TestDesignerPlugin::form_setsProperties_data()
{
    QTest::addColumn<QString>("properties");
    QTest::addColumn<int>("period");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<int>("notPlay");
    QTest::newRow("none") << QString() << 200 << -1 << "" << "" << 0;
    // Setting the period runs Init, so the playlist is usable at once.
    QTest::newRow("Init") << propertyXml("timerPeriod", "number", "20") << 20 << 0 << "" << "" << 0;
    QTest::newRow("folder keeps FoldMus's default extension")
        << propertyXml("folder", "string", "/clips") << 200 << -1 << "/clips/" << ".mp3" << 0;
    QTest::newRow("extension, then folder")
        << propertyXml("extension", "string", "wav") + propertyXml("folder", "string", "/c/") << 200
        << -1 << "/c/" << ".wav" << 0;
    QTest::newRow("muted") << propertyXml("muted", "bool", "true") << 200 << -1 << "" << "" << -1;
}

void TestDesignerPlugin::form_setsProperties()
{
    QFETCH(QString, properties);
    Zimbrel::MusicList *player = nullptr;
    const auto form = loadForm(properties, &player);
    QVERIFY(player);
    QTEST(player->timerPeriod(), "period");
    QTEST(player->Count(), "count");
    QTEST(player->Folder(), "folder");
    QTEST(player->Dilation(), "extension");
    QTEST(int(player->NotPlay()), "notPlay");
}

void TestDesignerPlugin::formWidget_playsSound()
{
    QTemporaryDir folder;
    QVERIFY(!writeToneWave(folder.filePath("tone.wav"), 0.4, 660).isEmpty());
    Zimbrel::MusicList *player = nullptr;
    // The short name is completed from the folder and extension the form set.
    const auto form = loadForm(
        propertyXml("extension", "string", ".wav") + propertyXml("folder", "string", folder.path()),
        &player);
    QVERIFY(player);
    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    QVERIFY(player->PlaySound(QStringLiteral("tone")));
    QTest::qWait(800);
    const auto heard = findSounds(recorder.stop());
    QCOMPARE(heard.size(), 1);
    const double length = heard.first().length;
    QVERIFY2(std::abs(length - 0.4) < 0.03, qPrintable(QString::number(length)));
}

QTEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"
