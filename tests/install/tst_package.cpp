#include "NullSinkRecorder.h"
#include "SoundSegments.h"
#include "WaveFile.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace ZimbrelTest;

// The Debian package, made with CPack from this build, unpacked into a
// temporary folder (never installed) and its zmb run from there.
class TestPackage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void control_nameVersionAndComputedDepends();
    void contents_data();
    void contents();
    void unpackedProgram_showsWindowWithIcon_playsSound_escapeExits();

private:
    // The program's standard output; *succeeded tells whether it exited with 0.
    static QString run(const QString &program, const QStringList &arguments,
                       bool *succeeded = nullptr, int timeoutMs = 15000);

    QTemporaryDir m_work;
    QString m_deb;
    QString m_root;
};

QString TestPackage::run(const QString &program, const QStringList &arguments, bool *succeeded,
                         int timeoutMs)
{
    QProcess process;
    process.start(program, arguments);
    const bool ok = process.waitForFinished(timeoutMs) && process.exitStatus() == QProcess::NormalExit
                    && process.exitCode() == 0;
    if (!ok)
        qWarning().noquote() << program << arguments.join(' ') << "failed:"
                             << process.readAllStandardError();
    if (succeeded)
        *succeeded = ok;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

void TestPackage::initTestCase()
{
    QVERIFY(m_work.isValid());
    // Its own output folder: the package and CPack's staging stay out of the build.
    bool packed = false;
    run("cpack", {"-G", "DEB", "-B", m_work.path(), "--config", CPACK_CONFIG}, &packed, 100000);
    QVERIFY(packed);
    m_deb = m_work.filePath("zimbrel_1.0.0.1_amd64.deb");
    QVERIFY2(QFileInfo::exists(m_deb), qPrintable(QDir(m_work.path()).entryList().join(' ')));
    m_root = m_work.filePath("root");
    // Each package alone, and the three together as apt would install them.
    for (const QString package : {"zimbrel", "libzimbrel-musiclist1", "libzimbrel-musiclist-dev"}) {
        for (const QString &folder : {m_root, m_work.filePath(package)}) {
            bool unpacked = false;
            run("dpkg-deb", {"-x", m_work.filePath(package + "_1.0.0.1_amd64.deb"), folder},
                &unpacked);
            QVERIFY(unpacked);
        }
    }
}

void TestPackage::control_nameVersionAndComputedDepends()
{
    QCOMPARE(run("dpkg-deb", {"-f", m_deb, "Package"}), QString("zimbrel"));
    QCOMPARE(run("dpkg-deb", {"-f", m_deb, "Version"}), QString("1.0.0.1"));
    const QString depends = run("dpkg-deb", {"-f", m_deb, "Depends"});
    // Read from the binaries by dpkg-shlibdeps, with versions.
    QVERIFY2(depends.contains(QRegularExpression(R"(libqt6widgets6 \(>= [^)]+\))")),
             qPrintable(depends));
    const QString library = run(
        "dpkg-deb", {"-f", m_work.filePath("libzimbrel-musiclist1_1.0.0.1_amd64.deb"), "Depends"});
    QVERIFY2(library.contains(QRegularExpression(R"(libgstreamer1.0-0 \(>= [^)]+\))")),
             qPrintable(library));
    // The program and the -dev package need the library of their own version.
    const QString dev = m_work.filePath("libzimbrel-musiclist-dev_1.0.0.1_amd64.deb");
    for (const QString &deb : {m_deb, dev}) {
        const QString needs = run("dpkg-deb", {"-f", deb, "Depends"});
        QVERIFY2(needs.contains("libzimbrel-musiclist1 (= 1.0.0.1)"), qPrintable(needs));
    }
}

void TestPackage::contents_data()
{
    QTest::addColumn<QString>("package");
    QTest::addColumn<QString>("path");
    const QString lib = "usr/lib/x86_64-linux-gnu/";
    for (const char *path : {"usr/lib/zimbrel/sounds/1.wav", "usr/lib/zimbrel/sounds/error.wav",
                             "usr/lib/zimbrel/numbers/51.mp3",
                             "usr/share/applications/zimbrel.desktop",
                             "usr/share/icons/hicolor/16x16/apps/zimbrel.png",
                             "usr/share/icons/hicolor/32x32/apps/zimbrel.png",
                             "usr/share/icons/hicolor/scalable/apps/zimbrel.svg",
                             "usr/share/man/man1/zmb.1.gz"})
        QTest::newRow(path) << "zimbrel" << QString(path);
    QTest::newRow("library") << "libzimbrel-musiclist1" << lib + "libzimbrel-musiclist.so.1";
    for (const char *path : {"usr/include/Zimbrel/MusicList.h",
                             "usr/include/Zimbrel/PositionUnavailable.h",
                             "cmake/Zimbrel/ZimbrelConfig.cmake",
                             "cmake/Zimbrel/ZimbrelConfigVersion.cmake",
                             "libzimbrel-musiclist.so",
                             "qt6/plugins/designer/libzimbrel-musiclist-designer.so"})
        QTest::newRow(path) << "libzimbrel-musiclist-dev" << (path[0] == 'u' ? "" : lib) + path;
}

void TestPackage::contents()
{
    QFETCH(QString, package);
    QFETCH(QString, path);
    // In its own package (a link may point into another), and whole among the three.
    const QFileInfo file(m_work.filePath(package) + "/" + path);
    QVERIFY(file.exists() || file.isSymLink());
    QVERIFY(QFileInfo::exists(m_root + "/" + path));
}

void TestPackage::unpackedProgram_showsWindowWithIcon_playsSound_escapeExits()
{
    // A relative link, so the unpacked tree works wherever it lies.
    QCOMPARE(QFileInfo(m_root + "/usr/bin/zmb").symLinkTarget(),
             QFileInfo(m_root + "/usr/lib/zimbrel/zmb").absoluteFilePath());
    QCOMPARE(run("readlink", {m_root + "/usr/bin/zmb"}), QString("../lib/zimbrel/zmb"));

    NullSinkRecorder recorder;
    QVERIFY2(recorder.start(), qPrintable(recorder.error()));
    QProcess zmb;
    zmb.start(m_root + "/usr/bin/zmb", {"1/Unpacked"});
    QVERIFY(zmb.waitForStarted(5000));
    const QString window =
        run("xdotool", {"search", "--sync", "--onlyvisible", "--name", "^Zimbrel$"}).section('\n', 0, 0);
    QVERIFY(!window.isEmpty());

    // The library comes from the unpacked tree, found relative to the executable.
    QFile maps(QString("/proc/%1/maps").arg(zmb.processId()));
    QVERIFY(maps.open(QIODevice::ReadOnly));
    QVERIFY(maps.readAll().contains(
        QFile::encodeName(m_root + "/usr/lib/x86_64-linux-gnu/libzimbrel-musiclist.so.1")));
    // The window carries the icon at both of its sizes.
    const QString icon = run("xprop", {"-id", window, "_NET_WM_ICON"});
    QVERIFY2(icon.contains("Icon (16 x 16)") && icon.contains("Icon (32 x 32)"), qPrintable(icon.left(200)));

    QTest::qWait(800);
    run("xdotool", {"windowfocus", "--sync", window});
    run("xdotool", {"key", "--clearmodifiers", "Escape"});
    QVERIFY(zmb.waitForFinished(5000));
    QCOMPARE(zmb.exitStatus(), QProcess::NormalExit);
    QCOMPARE(zmb.exitCode(), 0);

    // The chime found beside the real executable, heard whole.
    const auto packaged = findSounds(readWave(m_root + "/usr/lib/zimbrel/sounds/1.wav"));
    const auto heard = findSounds(recorder.stop());
    QCOMPARE(packaged.size(), 1);
    QCOMPARE(heard.size(), 1);
    QVERIFY2(std::abs(heard.first().length - packaged.first().length) < 0.03,
             qPrintable(QString::number(heard.first().length)));
}

QTEST_MAIN(TestPackage)
#include "tst_package.moc"
