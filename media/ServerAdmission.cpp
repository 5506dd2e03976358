// SPDX-License-Identifier: MIT
#include "ServerAdmission.h"

#include <QByteArray>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Zimbrel::Media {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kTurns = 2;
// Half of the servers' client limit: the rest is left to the desktop's
// other programs.
constexpr int kSlots = 32;
constexpr auto kSlotPatience = std::chrono::seconds(10);
// How often a sink that waits looks again.
constexpr auto kStep = std::chrono::milliseconds(5);
constexpr auto kSlotStep = std::chrono::milliseconds(20);

constexpr int kNoSlotsHere = -2;

// Locks one of the user's slot files: its descriptor, -1 while every slot is
// taken, kNoSlotsHere when there is nowhere to keep them.
int takeSlot()
{
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.isEmpty() || !runtime.startsWith('/'))
        return kNoSlotsHere;
    const QByteArray folder = runtime + "/zimbrel";
    if (::mkdir(folder.constData(), 0700) != 0 && errno != EEXIST)
        return kNoSlotsHere;
    const int directory = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (directory < 0)
        return kNoSlotsHere;
    int taken = kNoSlotsHere;
    // Each process starts at a slot of its own, so that a burst of them
    // spreads over the slots at once.
    const int first = int(::getpid() % kSlots);
    for (int i = 0; i < kSlots && taken < 0; ++i) {
        const QByteArray name = "server-slot-" + QByteArray::number((first + i) % kSlots);
        const int slot = ::openat(directory, name.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (slot < 0)
            continue;
        if (::flock(slot, LOCK_EX | LOCK_NB) == 0) {
            taken = slot;
        } else {
            taken = -1;
            ::close(slot);
        }
    }
    ::close(directory);
    return taken;
}

struct Admissions {
    std::mutex mutex;
    std::condition_variable changed;
    int turnsTaken = 0;
    // Sinks out of NULL, and whether the process may connect.
    int inside = 0;
    bool admitted = false;
    // The slot held while admitted; -1 for none.
    int slot = -1;
    // A sink is looking for a slot; the others wait for what it finds.
    bool seeking = false;
};

// Never destroyed: a sink may still leave while the process exits.
Admissions &admissions()
{
    static Admissions *const instance = new Admissions;
    return *instance;
}

} // namespace

ServerAdmission::~ServerAdmission()
{
    left();
}

bool ServerAdmission::enter(const std::function<bool()> &wanted)
{
    if (m_inside)
        return true;
    Admissions &all = admissions();
    std::unique_lock lock(all.mutex);
    while (all.turnsTaken >= kTurns) {
        if (!wanted())
            return false;
        all.changed.wait_for(lock, kStep);
    }
    ++all.turnsTaken;
    m_turn = true;
    const auto patience = Clock::now() + kSlotPatience;
    while (!all.admitted) {
        if (!wanted()) {
            lock.unlock();
            opened();
            return false;
        }
        if (all.seeking) {
            all.changed.wait_for(lock, kStep);
            continue;
        }
        all.seeking = true;
        lock.unlock();
        const int slot = takeSlot();
        lock.lock();
        all.seeking = false;
        if (slot >= 0 || slot == kNoSlotsHere || Clock::now() >= patience) {
            all.slot = slot;
            all.admitted = true;
        } else {
            all.changed.wait_for(lock, kSlotStep);
        }
    }
    all.changed.notify_all();
    ++all.inside;
    m_inside = true;
    return true;
}

void ServerAdmission::opened()
{
    if (!m_turn)
        return;
    Admissions &all = admissions();
    {
        std::lock_guard lock(all.mutex);
        --all.turnsTaken;
        m_turn = false;
    }
    all.changed.notify_all();
}

void ServerAdmission::left()
{
    opened();
    if (!m_inside)
        return;
    Admissions &all = admissions();
    std::lock_guard lock(all.mutex);
    m_inside = false;
    if (--all.inside > 0)
        return;
    // The process's last sink is gone, and with it its connection.
    if (all.slot >= 0)
        ::close(all.slot);
    all.slot = -1;
    all.admitted = false;
}

} // namespace Zimbrel::Media
