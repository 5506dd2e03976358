// SPDX-License-Identifier: MIT
#pragma once

#include <QByteArray>

#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace Zimbrel::Media {

// Which file a path named, and in which version: a graph prepared for one
// version of a file is not used for another.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    time_t modifiedSeconds = 0;
    long modifiedNanoseconds = 0;

    bool operator==(const FileIdentity &) const = default;
};

// The identity of a regular, non-empty, readable file; nothing for anything
// else. Checked before GStreamer sees the name: opening a FIFO or a device can
// block in the kernel, where no time-out reaches.
inline std::optional<FileIdentity> identifyPlayableFile(const QByteArray &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode)
        || info.st_size <= 0 || ::access(path.constData(), R_OK) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim.tv_sec,
                        info.st_mtim.tv_nsec};
}

} // namespace Zimbrel::Media
