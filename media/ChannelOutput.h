// SPDX-License-Identifier: MIT
#pragma once

#include "GstHandles.h"
#include "ServerAdmission.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <functional>

typedef struct _GstAppSink GstAppSink;

namespace Zimbrel::Media {

// One item on a channel's output: the decoded audio of one graph, pulled from
// its appsink. The output publishes where the item lies in its stream and how
// much of it has been heard; the owner's thread reads these without waiting.
struct OutputItem {
    explicit OutputItem(GstObjectPtr<GstElement> appSink) : source(std::move(appSink)) {}

    GstObjectPtr<GstElement> source;
    // Output samples, counted over the output's life: the item's first one and
    // one past its last; -1 until known.
    std::atomic<std::int64_t> start{-1}, end{-1};
    // Set when its decoding broke off: what was fed is all there is.
    std::atomic<bool> sourceFailed{false};
    // Called on the output's thread once the item has been heard to its end.
    std::function<void()> heardToEnd;
};

// The output stream of a channel whose sounds follow one another: a playlist.
//   appsrc ! audioconvert ! audioresample ! pulsesink
// Items are fed into it in turn, so the next item's first sample follows the
// last one's in the same stream, with no new stream and no wait for the
// sound server's next cycle between them. Once everything has been heard and
// played out the stream closes, holding nothing on the server; so does a cut.
//
// Only the output's own thread touches the pipeline; every member returns at
// once and may be called from any thread.
class ChannelOutput : public std::enable_shared_from_this<ChannelOutput>
{
public:
    // 48 kHz stereo, what every item is decoded to.
    static constexpr int kRate = 48000;

    // Nullptr when GStreamer lacks an element it needs.
    static std::shared_ptr<ChannelOutput> create();
    ChannelOutput(const ChannelOutput &) = delete;
    ChannelOutput &operator=(const ChannelOutput &) = delete;

    // Silences the output at once and ends its thread, which holds the
    // output until then; nothing waits for it.
    void shutdown();

    // Plays item at once: whatever the output still plays or holds is cut.
    void start(const std::shared_ptr<OutputItem> &item);
    // Plays item after the last item queued, which it follows with no gap
    // while that one has not yet been heard out; else as start.
    void append(const std::shared_ptr<OutputItem> &item);
    // Takes item and every item after it off the output: what was not yet
    // heard of them never is. An item already heard to its end stays as it is.
    void withdraw(const std::shared_ptr<OutputItem> &item);

    // Output samples heard so far, counted as start and end are.
    std::int64_t heard() const { return m_heard; }

private:
    ChannelOutput() = default;
    void run();
    void feed(std::unique_lock<std::mutex> &lock);
    bool playFromCursor();
    void push(GstBuffer *buffer, std::int64_t samples);
    void bridgeTo(std::int64_t lead);
    void restOncePlayedOut(bool close);
    void closeStream(GstState state = GST_STATE_NULL);
    void publishHeard();
    void cutFrom(std::int64_t sample);

    std::mutex m_mutex;
    std::condition_variable m_wake;
    // Not yet fed out completely; the front one is being fed.
    std::deque<std::shared_ptr<OutputItem>> m_queue;
    // Fed out completely, waiting to be heard to their ends.
    std::deque<std::shared_ptr<OutputItem>> m_playing;
    // Whatever lies at or after this sample is to be silenced once reached.
    std::int64_t m_cutAt = -1;
    std::atomic<bool> m_quit{false};
    // Set by every call that changes what is to play: a wait for the server
    // to play a stream out gives way to it.
    std::atomic<bool> m_news{false};

    // The output's thread alone.
    enum class Stream { Closed, Playing, Resting };
    Stream m_stream = Stream::Closed;
    GstObjectPtr<GstElement> m_pipeline;
    GstElement *m_appSrc = nullptr, *m_sink = nullptr;
    ServerAdmission m_admission;
    // The next sample to feed, and the sample at which the open stream began.
    std::int64_t m_cursor = 0, m_streamStart = 0;
    // Silence fed since the last item's audio.
    std::int64_t m_bridged = 0;
    std::atomic<std::int64_t> m_heard{0};
};

} // namespace Zimbrel::Media
