#include "PreparedGraphs.h"

#include "GStreamerInit.h"
#include "GraphPipeline.h"

#include <algorithm>
#include <condition_variable>
#include <list>
#include <mutex>
#include <optional>
#include <thread>

namespace Zimbrel::Media::PreparedGraphs {

namespace {

constexpr std::size_t kMostKept = 2;

struct Preparation {
    QByteArray path;
    bool done = false;
    std::optional<FileIdentity> identity;
    GraphPipelinePtr pipeline{nullptr, &GraphPipeline::release};
};

class Store
{
public:
    ~Store()
    {
        // Preparations still under way finish (their preroll is bounded)
        // before the pipelines they made are released with the store.
        for (auto &worker : m_workers)
            worker.thread.join();
    }

    void prepare(const QByteArray &path)
    {
        std::lock_guard lock(m_mutex);
        joinFinishedWorkers();
        const bool pending = std::any_of(m_kept.begin(), m_kept.end(),
                                         [&](const auto &kept) { return kept->path == path; });
        if (pending)
            return;
        if (m_kept.size() >= kMostKept)
            m_kept.pop_front();
        auto preparation = std::make_shared<Preparation>();
        preparation->path = path;
        m_kept.push_back(preparation);
        m_workers.push_back({std::thread(&Store::work, this, preparation), preparation});
    }

    Taken take(const QByteArray &path, const FileIdentity &identity,
               std::chrono::milliseconds wait)
    {
        std::unique_lock lock(m_mutex);
        const auto found = std::find_if(m_kept.rbegin(), m_kept.rend(),
                                        [&](const auto &kept) { return kept->path == path; });
        if (found == m_kept.rend())
            return {};
        const std::shared_ptr<Preparation> preparation = *found;
        m_kept.erase(std::next(found).base());
        m_ready.wait_for(lock, wait, [&] { return preparation->done; });
        if (!preparation->done || preparation->identity != identity)
            return {};
        Taken taken;
        taken.pipeline = std::move(preparation->pipeline);
        taken.failed = !taken.pipeline;
        return taken;
    }

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<Preparation> preparation;
    };

    void work(const std::shared_ptr<Preparation> &preparation)
    {
        std::optional<FileIdentity> identity;
        GraphPipelinePtr pipeline{nullptr, &GraphPipeline::release};
        if (initialiseGStreamer())
            identity = identifyPlayableFile(preparation->path);
        if (identity) {
            pipeline = makeGraphPipeline();
            if (!pipeline->isValid() || !pipeline->prepareHeld(preparation->path, kPrerollTimeout))
                pipeline.reset();
        }
        std::lock_guard lock(m_mutex);
        preparation->identity = identity;
        preparation->pipeline = std::move(pipeline);
        preparation->done = true;
        m_ready.notify_all();
    }

    // Called with m_mutex held. A finished worker has at most its return left.
    void joinFinishedWorkers()
    {
        for (auto worker = m_workers.begin(); worker != m_workers.end();) {
            if (worker->preparation->done) {
                worker->thread.join();
                worker = m_workers.erase(worker);
            } else {
                ++worker;
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::list<std::shared_ptr<Preparation>> m_kept;
    std::list<Worker> m_workers;
};

Store &store()
{
    static Store instance;
    return instance;
}

} // namespace

void prepare(const QByteArray &path)
{
    store().prepare(path);
}

Taken take(const QByteArray &path, const FileIdentity &identity, std::chrono::milliseconds wait)
{
    return store().take(path, identity, wait);
}

} // namespace Zimbrel::Media::PreparedGraphs
