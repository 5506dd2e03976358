// SPDX-License-Identifier: MIT
#include "PreparedGraphs.h"

#include <algorithm>
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

struct Store {
    std::mutex mutex;
    std::condition_variable handedOver;
    std::deque<std::shared_ptr<Preparation>> kept;
};

// Never destroyed: at exit nothing waits for a preparation, nor for the sound
// server its release would wait for.
Store &store()
{
    static Store *const instance = new Store;
    return *instance;
}

// Called with the store's mutex held.
void evict(Preparation &preparation)
{
    preparation.evicted = true;
    if (auto pipeline = std::move(preparation.pipeline))
        pipeline->release();
}

// On the preparation's worker, which its pipeline then keeps.
void work(const std::shared_ptr<Preparation> &preparation,
          const std::shared_ptr<SerialWorker> &worker)
{
    const std::optional<FileIdentity> identity = identifyPlayableFile(preparation->path);
    std::shared_ptr<GraphPipeline> pipeline;
    if (identity && (pipeline = GraphPipeline::create(worker)))
        pipeline->open(preparation->path, true);
    std::lock_guard lock(store().mutex);
    preparation->identity = identity;
    preparation->pipeline = std::move(pipeline);
    preparation->handedOver = true;
    if (preparation->evicted)
        evict(*preparation);
    store().handedOver.notify_all();
}

} // namespace

void prepare(const QByteArray &path) noexcept
{
    try {
        std::lock_guard lock(store().mutex);
        auto &kept = store().kept;
        if (std::any_of(kept.begin(), kept.end(), [&](auto &one) { return one->path == path; }))
            return;
        auto preparation = std::make_shared<Preparation>();
        preparation->path = path;
        auto worker = std::make_shared<SerialWorker>();
        if (!worker->post([preparation, worker] { work(preparation, worker); }))
            return;
        if (kept.size() >= kMostKept) {
            evict(*kept.front());
            kept.pop_front();
        }
        kept.push_back(std::move(preparation));
    } catch (...) {
    }
}

std::shared_ptr<GraphPipeline> take(const QByteArray &path, const FileIdentity &identity,
                                    std::chrono::steady_clock::time_point deadline)
{
    std::unique_lock lock(store().mutex);
    auto &kept = store().kept;
    const auto found =
        std::find_if(kept.begin(), kept.end(), [&](auto &one) { return one->path == path; });
    if (found == kept.end())
        return nullptr;
    const std::shared_ptr<Preparation> preparation = *found;
    kept.erase(found);
    store().handedOver.wait_until(lock, deadline, [&] { return preparation->handedOver; });
    if (preparation->identity != identity) {
        evict(*preparation);
        return nullptr;
    }
    return std::move(preparation->pipeline);
}

} // namespace Zimbrel::Media::PreparedGraphs
