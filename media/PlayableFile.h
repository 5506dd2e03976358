#pragma once

#include <QByteArray>

#include <sys/stat.h>

#include <optional>

namespace Zimbrel::Media {

// Which file a path named, and in which version: a graph prepared for one
// version of a file is not used for another.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};

    bool operator==(const FileIdentity &other) const;
};

// The identity of a regular, non-empty, readable file; nothing for anything
// else. Checked before GStreamer sees the name: opening a FIFO or a device can
// block in the kernel, where no time-out reaches.
std::optional<FileIdentity> identifyPlayableFile(const QByteArray &path);

} // namespace Zimbrel::Media
