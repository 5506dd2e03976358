#include "NullSinkRecorder.h"
#include "SoundSegments.h"

#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace ZimbrelTest;

// The Debian package, made with CPack from this build (the package_deb test),
// unpacked into a temporary folder (never installed) and its zmb run from there.
class TestPackage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_work;
    QString m_root = m_work.filePath("root");

    static QString deb(const QString &package) { return DEB_DIR "/" + package + "_1.0.0.1_amd64.deb"; }

    // The program's standard output; empty, with a warning, when it failed.
    static QString run(const QString &program, const QStringList &arguments)
    {
        QProcess process;
        process.start(program, arguments);
        if (process.waitForFinished(15000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
        qWarning().noquote() << program << arguments.join(' ') << "failed:" << process.readAllStandardError();
        return {};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_work.isValid());
        // The three packages together, as apt would install them.
        for (const char *package : {"zimbrel", "libzimbrel-musiclist1", "libzimbrel-musiclist-dev"})
            run("dpkg-deb", {"-x", deb(package), m_root});
        QVERIFY(QFileInfo::exists(m_root + "/usr"));
    }

    void control_nameVersionComputedDependsAndContents()
    {
        const QString depends = run("dpkg-deb", {"-f", deb("zimbrel"), "Depends"});
        QCOMPARE(run("dpkg-deb", {"-f", deb("zimbrel"), "Version"}), QString("1.0.0.1"));
        // Read from the binaries by dpkg-shlibdeps, with versions.
        QVERIFY2(depends.contains(QRegularExpression(R"(libqt6widgets6 \(>= [^)]+\))")), qPrintable(depends));
        const QString library = run("dpkg-deb", {"-f", deb("libzimbrel-musiclist1"), "Depends"});
        QVERIFY2(library.contains(QRegularExpression(R"(libgstreamer1.0-0 \(>= [^)]+\))")), qPrintable(library));
        // The program and the -dev package need the library of their very version.
        for (const QString &needs : {depends, run("dpkg-deb", {"-f", deb("libzimbrel-musiclist-dev"), "Depends"})})
            QVERIFY2(needs.contains("libzimbrel-musiclist1 (= 1.0.0.1)"), qPrintable(needs));
        for (const char *path : {"lib/zimbrel/sounds/1.wav", "lib/zimbrel/sounds/error.wav", "lib/zimbrel/numbers/51.mp3",
                                 "share/applications/zimbrel.desktop", "share/icons/hicolor/16x16/apps/zimbrel.png",
                                 "share/icons/hicolor/32x32/apps/zimbrel.png",
                                 "share/icons/hicolor/scalable/apps/zimbrel.svg", "share/man/man1/zmb.1.gz",
                                 "include/Zimbrel/MusicList.h", "include/Zimbrel/PositionUnavailable.h",
                                 LIBDIR "/cmake/Zimbrel/ZimbrelConfig.cmake", LIBDIR "/libzimbrel-musiclist.so",
                                 LIBDIR "/cmake/Zimbrel/ZimbrelConfigVersion.cmake", LIBDIR "/libzimbrel-musiclist.so.1",
                                 LIBDIR "/qt6/plugins/designer/libzimbrel-musiclist-designer.so"})
            QVERIFY2(QFileInfo::exists(m_root + "/usr/" + path), path);
    }

    void unpackedProgram_showsWindowWithIcon_playsSound_escapeExits()
    {
        // A relative link, so the unpacked tree works wherever it lies.
        QCOMPARE(run("readlink", {m_root + "/usr/bin/zmb"}), QString("../lib/zimbrel/zmb"));
        NullSinkRecorder recorder;
        QVERIFY2(recorder.start(), qPrintable(recorder.error()));
        QProcess zmb;
        zmb.start(m_root + "/usr/bin/zmb", {"1/Unpacked"});
        const QString window = run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Zimbrel$"}).section('\n', 0, 0);
        QVERIFY(!window.isEmpty());
        // The library comes from the unpacked tree, found relative to the executable.
        QFile maps(QStringLiteral("/proc/%1/maps").arg(zmb.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        QVERIFY(maps.readAll().contains(QFile::encodeName(m_root + "/usr/" LIBDIR "/libzimbrel-musiclist.so.1")));
        // The window carries the icon at both of its sizes.
        const QString icon = run("xprop", {"-id", window, "_NET_WM_ICON"});
        QVERIFY2(icon.contains("Icon (16 x 16)") && icon.contains("Icon (32 x 32)"), qPrintable(icon.left(200)));

        QTest::qWait(500);
        run("xdotool", {"windowfocus", "--sync", window});
        run("xdotool", {"key", "--clearmodifiers", "Escape"});
        QVERIFY(zmb.waitForFinished(5000));
        QCOMPARE(zmb.exitStatus(), QProcess::NormalExit);
        QCOMPARE(zmb.exitCode(), 0);
        // The chime found beside the real executable, heard whole.
        const auto packaged = findSounds(readWave(m_root + "/usr/lib/zimbrel/sounds/1.wav"));
        const auto heard = findSounds(recorder.stop());
        QVERIFY2(packaged.size() == 1 && lengthsAre(heard, {{packaged.first().length, 0.03}}), describe(heard));
    }
};

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
