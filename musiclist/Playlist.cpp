// SPDX-License-Identifier: MIT
#include "MusicList.h"

#include "ChannelOutput.h"
#include "GraphHandling.h"

#include <QTimer>

namespace Zimbrel {

namespace {
constexpr qint32 kFirstSlot = 1;
constexpr qint32 kLastSlot = 1024;

constexpr bool isSlot(qint32 index)
{
    return index >= kFirstSlot && index <= kLastSlot;
}
} // namespace

PositionUnavailable::~PositionUnavailable() = default;

bool MusicList::AddFile(QString mnFile)
{
    if (NotPlayStat)
        return false;
    try {
        if (!FoldStr.isEmpty())
            mnFile = completedName(mnFile);
        // Refuses the 1025th entry, and every entry before the first reset.
        if (!isSlot(ListEnd))
            return false;
        ListFiles[ListEnd] = mnFile;
        if (ListEnd == kFirstSlot) {
            PlayCurrent();
            // On even when the file failed: the next tick passes it. Left
            // running when Init reset a playing list, to keep its phase.
            if (!MusTim->isActive())
                MusTim->start();
        }
        ++ListEnd;
        if (ListEnd == ListCur + 2)
            PrepareNext();
        return true;
    } catch (...) {
        return false;
    }
}

void MusicList::Clear()
{
    MusTim->stop();
    StopCurrent();
    ListNext.reset();
    ListEnd = kFirstSlot;
    ListCur = ListEnd;
}

qint32 MusicList::Count() const
{
    return ListEnd - 1;
}

float MusicList::Position() const
{
    if (ListCur < kFirstSlot)
        return 0;
    if (!ListPos)
        throw PositionUnavailable("no playlist item has started yet");
    const std::optional<double> position = ListPos->CurrentPosition();
    if (!position)
        throw PositionUnavailable("the playlist item reports no position");
    return static_cast<float>(*position);
}

void MusicList::PlayCurrent()
{
    try {
        // Already running behind the item before, from that item's last sample on.
        if (ListNext && ListNextSlot == ListCur) {
            ListGraph = std::move(ListNext);
            ListGraph->SetNotifyWindow(ListPict);
            ListPos = ListGraph;
            return;
        }
        ListNext.reset();
        // The previous graph goes without a Stop: if it still plays, ListPos
        // keeps it sounding until this item has started.
        ListGraph = newListGraph();
        if (ListGraph && isSlot(ListCur) && ListGraph->RenderFile(ListFiles[ListCur])) {
            ListGraph->SetNotifyWindow(ListPict);
            if (ListGraph->Run()) {
                ListPos = ListGraph;
                return;
            }
        }
    } catch (...) {
    }
    StopCurrent();
}

MusicList::GraphPtr MusicList::newListGraph()
{
    if (!ListOutput)
        ListOutput = Media::ChannelOutput::create();
    return Media::MediaGraph::create(ListOutput);
}

// The next item runs behind the current one on the list's output as soon as
// both are known, so its first sample follows the current one's last with no
// gap; the tick then only has to see that the current one has been heard out.
void MusicList::PrepareNext()
{
    if (!ListGraph || ListNext || !isSlot(ListCur + 1) || ListCur + 1 >= ListEnd)
        return;
    GraphPtr next = newListGraph();
    if (next && next->RenderFile(ListFiles[ListCur + 1]) && next->RunAfter(*ListGraph)) {
        ListNext = std::move(next);
        ListNextSlot = ListCur + 1;
    }
}

void MusicList::StopCurrent()
{
    // ListPos may keep the graph: its news no longer concerns the list.
    if (ListGraph)
        ListGraph->SetNotifyWindow(nullptr);
    stopAndRelease(ListGraph);
}

void MusicList::ListPict_MouseMove()
{
    // The tick the timer would run next, run now: it changes nothing until
    // the current item has ended. Without a current item or a running timer
    // the news is stale.
    if (ListGraph && MusTim->isActive())
        MusTim_Timer();
}

bool MusicList::currentItemEnded() const
{
    // An item that failed to start has no graph and never ends by itself.
    // ListPos may still hold an earlier item stopped part-way, whose position
    // never reaches its stop time: waiting on it would stall the list.
    if (!ListGraph || !ListPos)
        return true;
    const std::optional<double> stopTime = ListPos->StopTime();
    const std::optional<double> position = ListPos->CurrentPosition();
    if (!stopTime || !position)
        return true;
    return standsAtEnd(*position, *stopTime);
}

void MusicList::MusTim_Timer()
{
    if (!currentItemEnded())
        return;
    StopCurrent();
    if (ListCur < ListEnd - 1) {
        ++ListCur;
        PlayCurrent();
        PrepareNext();
        return;
    }
    MusTim->stop();
    ListEnd = kFirstSlot;
    ListCur = ListEnd;
}

} // namespace Zimbrel
