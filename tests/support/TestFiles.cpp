#include "TestFiles.h"

#include <QFile>
#include <QProcess>

#include <sys/stat.h>

namespace ZimbrelTest {

QString writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        return {};
    return path;
}

QString makeFifo(const QString &path)
{
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0 ? path : QString();
}

bool runGstLaunch(const QString &pipeline)
{
    QProcess process;
    QStringList arguments{QStringLiteral("-q")};
    arguments += QProcess::splitCommand(pipeline);
    process.start(QStringLiteral("gst-launch-1.0"), arguments);
    return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
           && process.exitCode() == 0;
}

QString encodeMp3(const QString &wavePath, const QString &mp3Path)
{
    QProcess lame;
    lame.start(QStringLiteral("lame"),
               {QStringLiteral("--quiet"), QStringLiteral("-b"), QStringLiteral("128"), wavePath,
                mp3Path});
    const bool ok = lame.waitForFinished(30000) && lame.exitStatus() == QProcess::NormalExit
                    && lame.exitCode() == 0;
    return ok ? mp3Path : QString();
}

} // namespace ZimbrelTest
