#pragma once

#include <glib.h>

#include <functional>

namespace Zimbrel::Media {

// Runs jobs one after another, in the order posted, on a thread borrowed from
// GLib's shared pool, never on the caller's. Dropping the worker never waits:
// the jobs already posted still run, then the thread goes back to the pool.
// It may be dropped from one of its own jobs.
class SerialWorker
{
public:
    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker &) = delete;
    SerialWorker &operator=(const SerialWorker &) = delete;

    // False when the job could not be queued; it then never runs.
    bool post(std::function<void()> job) noexcept;

private:
    GThreadPool *m_pool;
};

} // namespace Zimbrel::Media
