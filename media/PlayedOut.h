// SPDX-License-Identifier: MIT
#pragma once

#include <gst/gst.h>

#include <functional>

namespace Zimbrel::Media {

// The end of a stream arrives by the pipeline's clock, while the sound server
// may still hold audio: pipewire-pulse keeps up to one graph cycle (42.7 ms at
// its default cycle) and reports a sink latency far below it. Corking or
// closing the stream then throws that audio away.
//
// The sink's ring buffer counts the samples the server has read (pulsesink
// takes the count from the stream's timing info, which the server sends on
// each underrun and at growing intervals); once the count reaches the last
// sample written, the server has played the stream out.
//
// Waits, on a thread that may block, until the pipeline's audio has been played
// out, until keepWaiting turns false, or for a second at most, which only bounds
// the wait for a server that never reports; returns at once for a pipeline
// without an audio sink that can tell. Returns keepWaiting's last answer.
bool waitUntilPlayedOut(GstElement *pipeline, const std::function<bool()> &keepWaiting);

} // namespace Zimbrel::Media
