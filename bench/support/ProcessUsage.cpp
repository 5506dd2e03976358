// SPDX-License-Identifier: MIT
#include "ProcessUsage.h"

#include <QDir>
#include <QFile>

namespace ZimbrelBench {

namespace {

QString procPath(qint64 pid, const char *entry)
{
    return QStringLiteral("/proc/%1/%2")
        .arg(pid == 0 ? QStringLiteral("self") : QString::number(pid), QLatin1String(entry));
}

qsizetype entryCount(qint64 pid, const char *entry)
{
    const QDir dir(procPath(pid, entry));
    if (!dir.exists())
        return -1;
    return dir.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
}

} // namespace

qint64 residentKiB(qint64 pid)
{
    QFile status(procPath(pid, "status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

qsizetype openFileCount(qint64 pid)
{
    return entryCount(pid, "fd");
}

qsizetype threadCount(qint64 pid)
{
    return entryCount(pid, "task");
}

} // namespace ZimbrelBench
