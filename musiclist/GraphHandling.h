// SPDX-License-Identifier: MIT
#pragma once

#include "MediaGraph.h"

#include <cmath>
#include <memory>

namespace Zimbrel {

// What every channel does to stop: Stop, then let go of the graph, also when
// there was nothing to stop. Releasing drops notifications still queued.
inline void stopAndRelease(std::shared_ptr<Media::MediaGraph> &graph)
{
    if (graph)
        graph->Stop();
    graph.reset();
}

// A graph at its end reports position and stop time as one value, so they are
// compared exactly. A value that cannot be ordered (NaN) says nothing useful
// about the position and is taken as the end, so it cannot hold anything up.
inline bool standsAtEnd(double position, double stopTime)
{
    return std::isunordered(position, stopTime) || position == stopTime;
}

} // namespace Zimbrel
