// SPDX-License-Identifier: MIT
#pragma once

#include "MusicList.h"

#include <QTimer>

namespace Zimbrel {

// Test-only view of a MusicList's private state. The widget
// declares it a friend; it exists only in the tests.
class MusicListProbe
{
public:
    explicit MusicListProbe(MusicList &list) : m_list(list) {}

    QString slot(int index) const { return m_list.ListFiles.at(index); }
    // Identity of the graph behind ListPos, to see whether it was replaced.
    const void *listPosGraph() const { return m_list.ListPos.get(); }
    bool timerOn() const { return m_list.MusTim->isActive(); }
    int timerPeriod() const { return m_list.MusTim->interval(); }
    bool loopStat() const { return m_list.LoopStat; }
    std::shared_ptr<Media::MediaGraph> musicGraph() const { return m_list.MusicGraph; }
    bool hasSoundGraph() const { return m_list.SoundGraph != nullptr; }

    // The playlist in a line: "count 2, slot 1, item graph, timer on".
    QString state() const
    {
        return QStringLiteral("count %1, slot %2, %3graph, timer %4")
            .arg(m_list.Count())
            .arg(m_list.ListCur)
            .arg(m_list.ListGraph ? "item " : "no ")
            .arg(timerOn() ? "on" : "off");
    }

    // One tick of the playlist's timer, run now rather than when it fires.
    void tick() { m_list.MusTim_Timer(); }

    // The entries of the current list, slots 1 to ListEnd - 1.
    QStringList entries() const
    {
        QStringList names;
        for (int index = 1; index < m_list.ListEnd; ++index)
            names.append(m_list.ListFiles.at(index));
        return names;
    }

private:
    MusicList &m_list;
};

} // namespace Zimbrel
