// SPDX-License-Identifier: MIT
#include "PlayedOut.h"

#include "GstHandles.h"
#include "OutputSink.h"

#include <gst/audio/audio.h>

#include <chrono>
#include <thread>

namespace Zimbrel::Media {

namespace {

// How often the count is read while waiting: the server reports it no more
// often than every 10 ms.
constexpr std::chrono::milliseconds kPollInterval{2};
constexpr std::chrono::milliseconds kLimit{1000};

bool playedOut(GstAudioBaseSink *sink)
{
    GstObjectPtr<GstAudioRingBuffer> ring;
    GST_OBJECT_LOCK(sink);
    if (sink->ringbuffer)
        ring.reset(GST_AUDIO_RING_BUFFER(gst_object_ref(sink->ringbuffer)));
    // One past the last sample written; all ones before the first.
    const guint64 written = sink->next_sample;
    GST_OBJECT_UNLOCK(sink);
    if (!ring || !gst_audio_ring_buffer_is_acquired(ring.get()) || written == guint64(-1))
        return true;
    // pulsesink rounds the server's read position up to a whole segment.
    // Asking for one segment more would prove the last sample read, but
    // costs a timing report at each loop point: whole ends were heard without.
    return gst_audio_ring_buffer_samples_done(ring.get()) >= written;
}

} // namespace

bool waitUntilPlayedOut(GstElement *pipeline, const std::function<bool()> &keepWaiting)
{
    const GstObjectPtr<GstElement> sink = findAudioSink(pipeline);
    const auto deadline = std::chrono::steady_clock::now() + kLimit;
    while (sink && keepWaiting() && !playedOut(GST_AUDIO_BASE_SINK(sink.get()))
           && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kPollInterval);
    return keepWaiting();
}

} // namespace Zimbrel::Media
