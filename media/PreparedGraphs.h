// SPDX-License-Identifier: MIT
#pragma once

#include "GraphPipeline.h"
#include "PlayableFile.h"

#include <QByteArray>

#include <chrono>
#include <memory>

namespace Zimbrel::Media {

// Pipelines prepared ahead of need, each by a job on its own worker, so that
// a graph asked for later finds its file open and decoded up to the audio
// output (GraphPipeline::open with holdOutput), and only has to let it through
// and run. A prepared pipeline is used at most once, and only for the same
// version of the same file.
namespace PreparedGraphs {

// Starts preparing path and returns at once; any thread. Keeps the two newest
// requests: an older one is released at once, on its own worker.
void prepare(const QByteArray &path) noexcept;

// Takes what was prepared for this version of path, output still held, once
// its preparation has handed it over, waiting until deadline at most; nullptr
// when nothing usable is there.
std::shared_ptr<GraphPipeline> take(const QByteArray &path, const FileIdentity &identity,
                                    std::chrono::steady_clock::time_point deadline);

} // namespace PreparedGraphs

} // namespace Zimbrel::Media
