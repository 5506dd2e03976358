#include "MusicList.h"
#include "MusicListProbe.h"
#include "ProcessUsage.h"

#include "WaveFile.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace ZimbrelTest;
using Zimbrel::MusicList;
using Zimbrel::MusicListProbe;

namespace {

#if defined(__SANITIZE_ADDRESS__)
// AddressSanitizer holds freed memory in quarantine (up to 256 MiB) and its
// leak checker reports every leak at exit: resident memory tells nothing here.
constexpr qint64 kRssSlackKiB = (256 + 32) * 1024;
#else
// Allocators keep some memory; a leak of one graph per call would be far more.
constexpr qint64 kRssSlackKiB = 32 * 1024;
#endif

// What the process holds: open descriptors, threads, resident memory.
struct Usage {
    qsizetype fds = 0;
    qsizetype threads = 0;
    qint64 rssKiB = 0;

    static Usage now()
    {
        return {ZimbrelTest::openFileCount(), ZimbrelTest::threadCount(),
                ZimbrelTest::residentKiB()};
    }
};

} // namespace

// Long runs of real playback: what a host that embeds the player for the life
// of its process does to it. Descriptors, threads and memory must stay flat
// once warmed up (the bounds are generous; the figures are reported).
class TestSoak : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void playSound2000Times_leavesNothingBehind();
    void playlistOf1024ShortClips_threePasses_leavesNothingBehind();

private:
    void compare(const char *what, const Usage &warm, const Usage &end);

    QTemporaryDir m_dir;
    QStringList m_clips;
};

void TestSoak::initTestCase()
{
    QVERIFY(m_dir.isValid());
    for (int i = 0; i < 4; ++i)
        m_clips << writeToneWave(m_dir.filePath(QString("clip%1.wav").arg(i)), 0.005, 440 + 110 * i);
    QVERIFY(!m_clips.contains(QString()));
}

void TestSoak::compare(const char *what, const Usage &warm, const Usage &end)
{
    qInfo("%s: fds %lld -> %lld, threads %lld -> %lld, RSS %lld -> %lld KiB", what,
          qint64(warm.fds), qint64(end.fds), qint64(warm.threads), qint64(end.threads),
          warm.rssKiB, end.rssKiB);
    QVERIFY2(end.fds <= warm.fds + 4, what);
    QVERIFY2(end.threads <= warm.threads + 4, what);
    QVERIFY2(end.rssKiB <= warm.rssKiB + kRssSlackKiB, what);
}

void TestSoak::playSound2000Times_leavesNothingBehind()
{
    MusicList list;
    const auto playMany = [&](int count) {
        for (int i = 0; i < count; ++i) {
            if (!list.PlaySound(m_clips.at(i % m_clips.size())))
                return false;
            QCoreApplication::processEvents();
        }
        return true;
    };
    QVERIFY(playMany(200));
    list.StopSound();
    QTest::qWait(200);
    const Usage warm = Usage::now();
    QVERIFY(playMany(1800));
    list.StopSound();
    QTest::qWait(200);
    compare("2,000 PlaySound calls", warm, Usage::now());
}

void TestSoak::playlistOf1024ShortClips_threePasses_leavesNothingBehind()
{
    MusicList list;
    MusicListProbe probe(list);
    QVERIFY(list.Init(5));
    const auto playPass = [&] {
        list.Clear();
        for (int i = 0; i < 1024; ++i) {
            if (!list.AddFile(m_clips.at(i % m_clips.size())))
                return false;
        }
        // AddFile refuses the 1025th.
        return !list.AddFile(m_clips.first()) && list.Count() == 1024;
    };
    Usage warm;
    for (int pass = 1; pass <= 3; ++pass) {
        QVERIFY(playPass());
        QTRY_VERIFY_WITH_TIMEOUT(!probe.timerOn(), 60000);
        // The whole list played: it resets itself at its end.
        QCOMPARE(list.Count(), 0);
        QTest::qWait(100);
        if (pass == 1)
            warm = Usage::now();
    }
    compare("3 passes of a 1024-entry playlist", warm, Usage::now());
}

QTEST_MAIN(TestSoak)
#include "tst_soak.moc"
