// SPDX-License-Identifier: MIT
#include "MusicList.h"

#include "GraphHandling.h"

namespace Zimbrel {

namespace {
// A Boolean as the 16-bit flag it is tested against: true is all bits set.
constexpr qint16 asFlag(bool value)
{
    return value ? qint16(-1) : qint16(0);
}
} // namespace

bool MusicList::PlaySound(QString &File, bool MusicStat)
{
    if (NotPlayStat & asFlag(MusicStat))
        return false;
    try {
        if (!FoldStr.isEmpty() && MusicStat)
            File = completedName(File);
        StopSound();
        SoundGraph = Media::MediaGraph::create();
        if (SoundGraph && SoundGraph->RenderFile(File) && SoundGraph->Run())
            return true;
    } catch (...) {
    }
    StopSound();
    return false;
}

bool MusicList::PlaySound(const QString &File, bool MusicStat)
{
    QString name = File;
    return PlaySound(name, MusicStat);
}

void MusicList::PrepareAhead(const QString &File)
{
    Media::MediaGraph::PrepareAhead(File);
}

void MusicList::StopSound()
{
    stopAndRelease(SoundGraph);
}

} // namespace Zimbrel
