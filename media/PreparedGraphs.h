#pragma once

#include "GraphPipeline.h"
#include "PlayableFile.h"

#include <QByteArray>

#include <chrono>
#include <memory>

namespace Zimbrel::Media {

// Pipelines prepared ahead of need on threads of their own, so that a graph
// asked for later finds its file open and decoded up to the audio output
// (GraphPipeline::prepareHeld), and only has to let it through and run. A
// prepared pipeline is used at most once, and only for the same version of
// the same file.
namespace PreparedGraphs {

// Starts preparing path and returns at once. Keeps the two newest requests.
void prepare(const QByteArray &path);

struct Taken {
    // Held before its output (finishPreroll it); nullptr when nothing usable
    // was prepared.
    GraphPipelinePtr pipeline{nullptr, &GraphPipeline::release};
    // This version of the file was tried and could not be decoded.
    bool failed = false;
};

// Takes what was prepared for this version of path, waiting at most wait for
// a preparation still under way.
Taken take(const QByteArray &path, const FileIdentity &identity, std::chrono::milliseconds wait);

} // namespace PreparedGraphs

} // namespace Zimbrel::Media
