// SPDX-License-Identifier: MIT
#pragma once

#include <functional>

namespace Zimbrel::Media {

// An audio sink's way onto the sound server.
//
// Opening a stream is a round of work for the server, and pipewire-pulse does
// them one at a time, tens of milliseconds each when it is busy: a host that
// plays sounds back to back asks for streams far faster than it takes them,
// and each one asked for holds a thread and a pipeline until it is served. So
// at most kTurns sinks of the process open a stream at once; a sink given up
// while it waits for its turn never reaches the server.
//
// The server also takes a bounded number of clients (64 on PulseAudio and on
// pipewire-pulse), and a burst of notifications sounding at once would find it
// full and stay silent. So the process connects only while it holds one of a
// few slots that every Zimbrel process of the user shares: lock files in
// XDG_RUNTIME_DIR, which the kernel frees when a process ends. A process that
// finds every slot taken waits for one, a few seconds at most, and then goes
// ahead on its own: the server may still have room.
//
// One per sink, used from whichever thread changes that sink's state, one
// at a time.
class ServerAdmission
{
public:
    ServerAdmission() = default;
    ~ServerAdmission();
    ServerAdmission(const ServerAdmission &) = delete;
    ServerAdmission &operator=(const ServerAdmission &) = delete;

    // Before the sink leaves NULL; returns at once when it is in already.
    // Waits for a turn, and for a slot, as long as wanted() holds. False when
    // wanted() turned false: the sink is to stay at NULL.
    bool enter(const std::function<bool()> &wanted);
    // The sink's stream is open, or will not open: the next sink may go.
    void opened();
    // The sink is at NULL again: its connection is gone.
    void left();

private:
    bool m_turn = false;
    bool m_inside = false;
};

} // namespace Zimbrel::Media
