#include "HostileFiles.h"

#include "TestFiles.h"
#include "WaveFile.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <unistd.h>

namespace ZimbrelTest {

namespace {

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QRandomGenerator generator(seed);
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &byte : bytes)
        byte = char(generator.bounded(256));
    return bytes;
}

constexpr qint64 kTwoGiB = qint64(2) * 1024 * 1024 * 1024;
constexpr qint64 kFourGiB = 2 * kTwoGiB;

// A mono 48 kHz header over zeros the file system need not store.
bool makeSparseWave(const QString &path, qint64 bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly)
           && file.write(waveHeader(48000, 1, quint32(bytes - 44))) == 44 && file.resize(bytes);
}

} // namespace

HostileFiles::HostileFiles(const QString &folder, quint16 urlPort)
    : m_folder(folder), m_urlPort(urlPort)
{
}

HostileFiles::~HostileFiles()
{
    if (m_silentWriter >= 0)
        ::close(m_silentWriter);
    if (m_writer) {
        m_writer->kill();
        m_writer->waitForFinished(2000);
    }
}

QByteArray HostileFiles::invalidUtf8Name()
{
    return QByteArrayLiteral("bad-\xff\xfe-\xc3.wav");
}

QString HostileFiles::path(const QString &name) const
{
    return QDir(m_folder).filePath(name);
}

bool HostileFiles::add(const QString &label, const QString &name, bool plays, bool audible)
{
    if (name.isEmpty() && !label.contains(QLatin1String("empty name"))) {
        m_error = QStringLiteral("could not make: ") + label;
        return false;
    }
    m_files.append({label, name, plays, plays && audible});
    return true;
}

bool HostileFiles::make()
{
    const QByteArray tone = [] {
        QByteArray bytes;
        Samples samples = ZimbrelTest::tone(0.1, 660);
        bytes = waveHeader(quint32(samples.rate), 1, quint32(samples.data.size() * 2));
        bytes.append(reinterpret_cast<const char *>(samples.data.constData()),
                     samples.data.size() * 2);
        return bytes;
    }();
    const QByteArray noise = randomBytes(64 * 1024, 6);
    const QByteArray tenthSecond = tone.mid(44);

    bool ok = add("missing", path("missing.wav"), false)
              && add("empty", writeBytes(path("empty.wav"), {}), false)
              && add("random bytes named .wav", writeBytes(path("random.wav"), noise), false)
              && add("random bytes named .mp3",
                     writeBytes(path("random.mp3"), randomBytes(64 * 1024, 7)), false)
              && add("text named .wav",
                     writeBytes(path("text.wav"), "not a sound, only words\n"), false)
              && add("wav header cut short", writeBytes(path("cut.wav"), tone.left(20)), false)
              && add("valid header over garbage",
                     writeBytes(path("garbage.wav"), tone.left(44) + noise), true)
              // A valid sound of no length: it plays nothing and ends at once.
              && add("header without data",
                     writeBytes(path("nodata.wav"), waveHeader(48000, 1, 0)), true, false)
              && add("sample rate 0",
                     writeBytes(path("rate0.wav"), waveHeader(0, 1, 9600) + tenthSecond), false)
              && add("sample rate 4294967295",
                     writeBytes(path("ratemax.wav"), waveHeader(0xffffffffu, 1, 9600) + tenthSecond),
                     false)
              && add("0 channels",
                     writeBytes(path("chan0.wav"), waveHeader(48000, 0, 9600) + tenthSecond), false)
              && add("65535 channels",
                     writeBytes(path("chanmax.wav"), waveHeader(48000, 65535, 9600) + tenthSecond),
                     false);
    if (!ok)
        return false;

    ok = QDir(m_folder).mkdir("folder.wav") && add("directory", path("folder.wav"), false)
         && add("fifo without a writer", makeFifo(path("fifo.wav")), false)
         && add("fifo with a writer that never writes", makeFifo(path("fifo-silent.wav")), false)
         && add("fifo with a writer", makeFifo(path("fifo-writing.wav")), false)
         && add("device /dev/zero", QStringLiteral("/dev/zero"), false)
         && QFile::link(path("loop-b.wav"), path("loop-a.wav"))
         && QFile::link(path("loop-a.wav"), path("loop-b.wav"))
         && add("symbolic link loop", path("loop-a.wav"), false);
    if (!ok)
        return false;
    // Opened for reading and writing, the FIFO has a writer and never blocks us.
    m_silentWriter = ::open(QFile::encodeName(path("fifo-silent.wav")).constData(), O_RDWR);
    m_writer = std::make_unique<QProcess>();
    m_writer->start(QStringLiteral("sh"),
                    {QStringLiteral("-c"), QStringLiteral("exec cat \"$0\" > \"$1\""),
                     writeBytes(path("tone-for-fifo.wav"), tone), path("fifo-writing.wav")});
    if (m_silentWriter < 0 || !m_writer->waitForStarted(5000)) {
        m_error = QStringLiteral("FIFO writers did not start");
        return false;
    }

    // Sparse files: a header over 2 GiB of samples plays (silence). Past
    // 2 GiB wavparse clips the data and then walks the remaining zeros as
    // empty chunks, for minutes: preparation fails at its time-out.
    ok = makeSparseWave(path("huge.wav"), kTwoGiB - 64)
         && add("very large (2 GiB, sparse)", path("huge.wav"), true, false)
         && makeSparseWave(path("huge4.wav"), kFourGiB - 64)
         && add("very large (4 GiB, sparse)", path("huge4.wav"), false);
    ok = ok
         && runGstLaunch(QStringLiteral("videotestsrc num-buffers=10 ! jpegenc ! avimux ! "
                                        "filesink location=%1")
                             .arg(path("video-only.avi")))
         && add("video only", path("video-only.avi"), false)
         && runGstLaunch(QStringLiteral("avimux name=mux ! filesink location=%1 "
                                        "videotestsrc num-buffers=10 ! jpegenc ! mux. "
                                        "audiotestsrc num-buffers=10 ! audioconvert ! mux.")
                             .arg(path("audio-video.avi")))
         && add("audio and video", path("audio-video.avi"), true);
    if (!ok)
        return false;

    for (const QString &name : {QStringLiteral("with space.wav"), QStringLiteral("hash#1.wav"),
                                QStringLiteral("what?.wav"), QStringLiteral("per%20cent.wav"),
                                QStringLiteral("звук-音-é.wav")}) {
        if (!add(QStringLiteral("name ") + name, writeBytes(path(name), tone), true))
            return false;
    }

    // Qt reads names as UTF-8; bytes that are not UTF-8 do not survive the
    // round trip through QString, so such a file cannot be named at all.
    const QByteArray rawName = QFile::encodeName(m_folder) + '/' + invalidUtf8Name();
    const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ok = fd >= 0 && ::write(fd, tone.constData(), size_t(tone.size())) == tone.size();
    if (fd >= 0)
        ::close(fd);
    const QString decoded = QFile::decodeName(rawName);
    ok = ok && add("name with invalid UTF-8 bytes", decoded, QFile::encodeName(decoded) == rawName);

    // Relative to the folder, which the caller makes the current directory.
    const QString urlFolder = QStringLiteral("http:/127.0.0.1:%1").arg(m_urlPort);
    ok = ok && QDir(m_folder).mkpath(urlFolder)
         && !writeBytes(path(urlFolder + QStringLiteral("/a.wav")), tone).isEmpty()
         && add("URL-like name of a local file",
                QStringLiteral("http://127.0.0.1:%1/a.wav").arg(m_urlPort), true)
         && add("URL-like name, no such local file",
                QStringLiteral("http://127.0.0.1:%1/missing.wav").arg(m_urlPort), false)
         && add("empty name", QString(), false);
    return ok;
}

} // namespace ZimbrelTest
