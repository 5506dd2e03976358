#include "PreparedGraphs.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

namespace Zimbrel::Media::PreparedGraphs {

namespace {

constexpr std::size_t kMostKept = 2;

struct Preparation {
    QByteArray path;
    // Set once the job has made its pipeline, or found the file unusable.
    bool handedOver = false;
    bool evicted = false;
    std::optional<FileIdentity> identity;
    std::shared_ptr<GraphPipeline> pipeline;
};

class Store
{
public:
    void prepare(const QByteArray &path)
    {
        std::lock_guard lock(m_mutex);
        for (const auto &kept : m_kept) {
            if (kept->path == path)
                return;
        }
        auto preparation = std::make_shared<Preparation>();
        preparation->path = path;
        auto worker = std::make_shared<SerialWorker>();
        if (!worker->post([this, preparation, worker] { work(preparation, worker); }))
            return;
        if (m_kept.size() >= kMostKept) {
            evict(*m_kept.front());
            m_kept.pop_front();
        }
        m_kept.push_back(std::move(preparation));
    }

    std::shared_ptr<GraphPipeline> take(const QByteArray &path, const FileIdentity &identity,
                                        std::chrono::steady_clock::time_point deadline)
    {
        std::unique_lock lock(m_mutex);
        auto found = m_kept.rbegin();
        while (found != m_kept.rend() && (*found)->path != path)
            ++found;
        if (found == m_kept.rend())
            return nullptr;
        const std::shared_ptr<Preparation> preparation = *found;
        m_kept.erase(std::next(found).base());
        m_handedOver.wait_until(lock, deadline, [&] { return preparation->handedOver; });
        if (preparation->identity != identity) {
            evict(*preparation);
            return nullptr;
        }
        return std::move(preparation->pipeline);
    }

private:
    // On the preparation's worker, which its pipeline then keeps.
    void work(const std::shared_ptr<Preparation> &preparation,
              const std::shared_ptr<SerialWorker> &worker)
    {
        const std::optional<FileIdentity> identity = identifyPlayableFile(preparation->path);
        std::shared_ptr<GraphPipeline> pipeline;
        if (identity && (pipeline = GraphPipeline::create(worker)))
            pipeline->open(preparation->path, true);
        std::lock_guard lock(m_mutex);
        preparation->identity = identity;
        preparation->pipeline = std::move(pipeline);
        preparation->handedOver = true;
        if (preparation->evicted)
            evict(*preparation);
        m_handedOver.notify_all();
    }

    // Called with m_mutex held.
    static void evict(Preparation &preparation)
    {
        preparation.evicted = true;
        if (auto pipeline = std::move(preparation.pipeline))
            pipeline->release();
    }

    std::mutex m_mutex;
    std::condition_variable m_handedOver;
    std::deque<std::shared_ptr<Preparation>> m_kept;
};

// Never destroyed: at exit nothing waits for a preparation, nor for the sound
// server its release would wait for.
Store &store()
{
    static Store *const instance = new Store;
    return *instance;
}

} // namespace

void prepare(const QByteArray &path) noexcept
{
    try {
        store().prepare(path);
    } catch (...) {
    }
}

std::shared_ptr<GraphPipeline> take(const QByteArray &path, const FileIdentity &identity,
                                    std::chrono::steady_clock::time_point deadline)
{
    return store().take(path, identity, deadline);
}

} // namespace Zimbrel::Media::PreparedGraphs
