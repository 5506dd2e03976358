#include "PlayableFile.h"

#include <unistd.h>

namespace Zimbrel::Media {

bool FileIdentity::operator==(const FileIdentity &other) const
{
    return device == other.device && inode == other.inode && size == other.size
           && modified.tv_sec == other.modified.tv_sec
           && modified.tv_nsec == other.modified.tv_nsec;
}

std::optional<FileIdentity> identifyPlayableFile(const QByteArray &path)
{
    struct stat info {};
    if (path.isEmpty() || ::stat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode)
        || info.st_size <= 0 || ::access(path.constData(), R_OK) != 0)
        return std::nullopt;
    return FileIdentity{info.st_dev, info.st_ino, info.st_size, info.st_mtim};
}

} // namespace Zimbrel::Media
