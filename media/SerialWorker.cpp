#include "SerialWorker.h"

#include <new>

namespace Zimbrel::Media {

namespace {
void runJob(gpointer job, gpointer)
{
    auto *function = static_cast<std::function<void()> *>(job);
    try {
        (*function)();
    } catch (...) {
    }
    delete function;
}
} // namespace

SerialWorker::SerialWorker()
    : m_pool(g_thread_pool_new(&runJob, nullptr, 1, FALSE, nullptr))
{
}

SerialWorker::~SerialWorker()
{
    if (m_pool)
        g_thread_pool_free(m_pool, FALSE, FALSE);
}

bool SerialWorker::post(std::function<void()> job) noexcept
{
    auto *queued = new (std::nothrow) std::function<void()>(std::move(job));
    if (!m_pool || !queued) {
        delete queued;
        return false;
    }
    g_thread_pool_push(m_pool, queued, nullptr);
    return true;
}

} // namespace Zimbrel::Media
