#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <MusicList.h>

#include <QBuffer>
#include <QPluginLoader>
#include <QTemporaryDir>
#include <QUiLoader>
#include <QtTest>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>

using namespace ZimbrelTest;
using namespace Qt::StringLiterals;

// The built plugin, as Designer sees it, and forms holding the widget loaded
// through that plugin alone.
class TestDesignerPlugin : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void plugin_describesTheWidget()
    {
        QPluginLoader loader(PLUGIN_FILE);
        auto *plugin = qobject_cast<QDesignerCustomWidgetInterface *>(loader.instance());
        QVERIFY2(plugin, qPrintable(loader.errorString()));
        QCOMPARE(plugin->name(), "Zimbrel::MusicList");
        QCOMPARE(plugin->includeFile(), "<Zimbrel/MusicList.h>");
        QCOMPARE(plugin->group(), "Zimbrel");
        QVERIFY(!plugin->icon().isNull() && !plugin->toolTip().isEmpty());
        QVERIFY(plugin->domXml().contains(R"(class="Zimbrel::MusicList")"));
        std::unique_ptr<QWidget> widget(plugin->createWidget(nullptr));
        QVERIFY(qobject_cast<Zimbrel::MusicList *>(widget.get()));
    }

    void form_data()
    {
        QTest::addColumn<QString>("properties"); // name=type:value ...
        QTest::addColumn<int>("period");
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<int>("notPlay");
        QTest::newRow("none") << "" << 200 << -1 << "" << "" << 0;
        // Setting the period runs Init, so the playlist is usable at once.
        QTest::newRow("Init") << "timerPeriod=number:20" << 20 << 0 << "" << "" << 0;
        QTest::newRow("folder keeps FoldMus's default extension") << "folder=string:/clips" << 200 << -1
                                                                  << "/clips/" << ".mp3" << 0;
        QTest::newRow("extension, then folder") << "extension=string:wav folder=string:/c/" << 200 << -1
                                                << "/c/" << ".wav" << 0;
        QTest::newRow("muted") << "muted=bool:true" << 200 << -1 << "" << "" << -1;
        // The short name is completed from the folder and extension the form set.
        QTest::newRow("plays") << "extension=string:.wav folder=string:@" << 200 << -1 << "@/" << ".wav" << 0;
    }

    void form()
    {
        QFETCH(QString, properties);
        QString elements;
        for (const QString &property : properties.replace("@", m_dir.path()).split(' ', Qt::SkipEmptyParts))
            elements += u"<property name=\"%1\"><%2>%3</%2></property>"_s.arg(
                property.section('=', 0, 0), property.section('=', 1).section(':', 0, 0), property.section(':', 1));
        QByteArray form = uR"(<ui version="4.0"><widget class="QWidget" name="form">
            <widget class="Zimbrel::MusicList" name="player">%1</widget></widget></ui>)"_s.arg(elements).toUtf8();
        QBuffer buffer(&form);
        QUiLoader loader;
        // Only the build's plugin: never one installed on the system.
        loader.clearPluginPaths();
        loader.addPluginPath(QFileInfo(PLUGIN_FILE).absolutePath());
        const std::unique_ptr<QWidget> widget(loader.load(&buffer));
        auto *player = widget ? widget->findChild<Zimbrel::MusicList *>("player") : nullptr;
        QVERIFY(player);
        QTEST(player->timerPeriod(), "period");
        QTEST(player->Count(), "count");
        QFETCH(QString, folder);
        QCOMPARE(player->Folder(), folder.replace("@", m_dir.path()));
        QTEST(player->Dilation(), "extension");
        QTEST(int(player->NotPlay()), "notPlay");
        if (QTest::currentDataTag() != "plays"_L1)
            return;
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        QVERIFY(!writeToneWave(m_dir.filePath("tone.wav"), 0.4, 660).isEmpty() && player->PlaySound(u"tone"_s));
        QTest::qWait(800);
        const auto heard = findSounds(recorder.stop());
        // From the first sound to the end of the last: an underrun under load splits it.
        QVERIFY2(!heard.isEmpty() && qAbs(heard.last().end() - heard.first().start - 0.4) < 0.03, describe(heard));
    }
};

QTEST_MAIN(TestDesignerPlugin)
#include "tst_designerplugin.moc"
