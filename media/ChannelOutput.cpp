// SPDX-License-Identifier: MIT
#include "ChannelOutput.h"

#include "GraphPipeline.h"
#include "OutputSink.h"
#include "PlayedOut.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <algorithm>

namespace Zimbrel::Media {

namespace {

using namespace std::chrono_literals;

constexpr int kBytesPerSample = 4; // S16LE, two channels
// Fed ahead of the sink's own buffer: enough to bridge a late wake-up of this
// thread, little enough that a withdrawn item is not already on its way.
constexpr guint64 kAheadBytes = ChannelOutput::kRate * kBytesPerSample / 50; // 20 ms
// How often heard() is brought up to date while anything plays.
constexpr auto kPoll = 3ms;
// A stream with less than this left unheard may run dry before the next item
// reaches the server: silence fills it up to this first, and the server may
// pass some of the silence unheard, but none of the item.
constexpr std::int64_t kLeastLead = ChannelOutput::kRate / 50; // 20 ms
// While an item still to be heard may be followed by one not yet decoded,
// silence keeps the stream this much beyond the least lead, so that a thread
// woken late still finds it running. Letting a stream run dry costs more: the
// server reports a short stream played out late or never, and its next block
// is placed late. For a second at most while an item is awaited; after that
// the item starts a stream of its own.
constexpr std::int64_t kBridgeStep = ChannelOutput::kRate * 6 / 1000; // 6 ms
constexpr std::int64_t kLongestBridge = ChannelOutput::kRate;

// A cut reaches the server a little after the position says the cut point
// is heard: closing the stream this much earlier leaves nothing after it.
constexpr std::int64_t kCutLead = ChannelOutput::kRate * 3 / 1000; // 3 ms

GstObjectPtr<GstElement> makeElement(const char *factory)
{
    return adoptFloating(gst_element_factory_make(factory, nullptr));
}

GstClockTime toTime(std::int64_t samples)
{
    return gst_util_uint64_scale_int(guint64(samples), GST_SECOND, ChannelOutput::kRate);
}

} // namespace

std::shared_ptr<ChannelOutput> ChannelOutput::create()
{
    if (!gstreamerReady())
        return nullptr;
    std::shared_ptr<ChannelOutput> output(new ChannelOutput);
    auto pipeline = adoptFloating(gst_pipeline_new(nullptr));
    auto source = makeElement("appsrc");
    auto convert = makeElement("audioconvert");
    auto resample = makeElement("audioresample");
    // The sink as it comes: its stream opens with its first block, and
    // placing that block by the server's read position would cut its start.
    auto sink = makeOutputSink(false);
    if (pipeline && source && convert && resample && sink) {
        GstCapsPtr caps(gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, "S16LE", "layout",
                                            G_TYPE_STRING, "interleaved", "rate", G_TYPE_INT, kRate,
                                            "channels", G_TYPE_INT, 2, nullptr));
        g_object_set(source.get(), "caps", caps.get(), "format", GST_FORMAT_TIME, "is-live", FALSE,
                     "block", FALSE, "max-bytes", guint64(4 * kAheadBytes), nullptr);
        gst_bin_add_many(GST_BIN(pipeline.get()), source.get(), convert.get(), resample.get(),
                         sink.get(), nullptr);
        if (gst_element_link_many(source.get(), convert.get(), resample.get(), sink.get(), nullptr)) {
            output->m_appSrc = source.get();
            output->m_sink = sink.get();
            output->m_pipeline = std::move(pipeline);
        }
    }
    if (!output->m_pipeline)
        return nullptr;
    try {
        std::thread([self = output] { self->run(); }).detach();
    } catch (...) {
        return nullptr;
    }
    return output;
}

void ChannelOutput::shutdown()
{
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_queue.clear();
        m_playing.clear();
        m_news = true;
    }
    m_wake.notify_all();
}

void ChannelOutput::start(const std::shared_ptr<OutputItem> &item)
{
    {
        std::lock_guard lock(m_mutex);
        // Whatever is not yet heard is cut as soon as the thread wakes; an
        // end the server still plays out is kept, and the item follows it.
        if (!m_queue.empty() || !m_playing.empty())
            m_cutAt = 0;
        m_queue.clear();
        m_playing.clear();
        m_queue.push_back(item);
        m_news = true;
    }
    m_wake.notify_all();
}

void ChannelOutput::append(const std::shared_ptr<OutputItem> &item)
{
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(item);
        m_news = true;
    }
    m_wake.notify_all();
}

void ChannelOutput::withdraw(const std::shared_ptr<OutputItem> &item)
{
    {
        std::lock_guard lock(m_mutex);
        if (item->end >= 0 && m_heard >= item->end)
            return;
        const auto inQueue = std::find(m_queue.begin(), m_queue.end(), item);
        const auto inPlaying = std::find(m_playing.begin(), m_playing.end(), item);
        if (inQueue != m_queue.end()) {
            m_queue.erase(inQueue, m_queue.end());
        } else if (inPlaying != m_playing.end()) {
            m_playing.erase(inPlaying, m_playing.end());
            m_queue.clear();
        } else {
            return;
        }
        // Fed in part or whole: silenced from its first sample on.
        if (item->start >= 0)
            m_cutAt = m_cutAt < 0 ? item->start.load() : std::min(m_cutAt, item->start.load());
        m_news = true;
    }
    m_wake.notify_all();
}

void ChannelOutput::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_quit) {
        m_news = false;
        if (m_cutAt >= 0 && (m_heard + kCutLead >= m_cutAt || m_cutAt <= m_streamStart)) {
            m_cutAt = -1;
            // A resting stream holds nothing audible: it stays for what follows.
            if (m_stream == Stream::Playing) {
                lock.unlock();
                closeStream();
                lock.lock();
            }
            continue;
        }
        // Heard to their ends, in order.
        while (!m_playing.empty() && m_playing.front()->end >= 0 && m_heard >= m_playing.front()->end) {
            const auto item = std::move(m_playing.front());
            m_playing.pop_front();
            lock.unlock();
            if (item->heardToEnd)
                item->heardToEnd();
            lock.lock();
        }
        if (!m_queue.empty() && m_cutAt < 0) {
            feed(lock);
            continue;
        }
        if (m_stream == Stream::Playing) {
            if (m_queue.empty() && m_playing.empty() && m_cutAt < 0 && m_heard >= m_cursor) {
                lock.unlock();
                restOncePlayedOut(true);
                lock.lock();
                continue;
            }
            // An item still to be heard may be followed by one the list has
            // not sent yet: the stream keeps running under its end.
            const bool awaited = !m_playing.empty();
            lock.unlock();
            publishHeard();
            if (awaited)
                bridgeTo(kLeastLead + kBridgeStep);
            lock.lock();
            m_wake.wait_for(lock, kPoll);
            continue;
        }
        m_wake.wait(lock);
    }
    lock.unlock();
    closeStream();
}

// One step of feeding the front item: a block of its audio, its end, or a
// short wait while the output holds enough.
void ChannelOutput::feed(std::unique_lock<std::mutex> &lock)
{
    const std::shared_ptr<OutputItem> item = m_queue.front();
    lock.unlock();
    publishHeard();
    bool ended = false;
    if (gst_app_src_get_current_level_bytes(GST_APP_SRC(m_appSrc)) >= kAheadBytes) {
        std::this_thread::sleep_for(kPoll);
    } else if (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(item->source.get()),
                                                                 GST_MSECOND * 3)) {
        GstBuffer *buffer = gst_buffer_copy(gst_sample_get_buffer(sample));
        gst_sample_unref(sample);
        const std::int64_t samples = std::int64_t(gst_buffer_get_size(buffer)) / kBytesPerSample;
        // A stream that broke off under an item ends it: the rest is not heard.
        if (item->start < 0 ? !playFromCursor() : m_stream == Stream::Closed) {
            gst_buffer_unref(buffer);
            ended = true;
        } else {
            if (item->start < 0)
                item->start = m_cursor;
            push(buffer, samples);
            m_bridged = 0;
        }
    } else if (item->sourceFailed || gst_app_sink_is_eos(GST_APP_SINK(item->source.get()))) {
        ended = true;
    } else if (item->start < 0 && m_bridged < kLongestBridge) {
        // The next item is not decoded yet: silence keeps the stream running
        // until it is, rather than letting it run dry and start anew.
        bridgeTo(kLeastLead + kBridgeStep);
    }
    lock.lock();
    if (!ended || m_queue.empty() || m_queue.front() != item)
        return;
    m_queue.pop_front();
    if (item->start < 0)
        item->start = m_cursor;
    item->end = m_cursor;
    m_playing.push_back(item);
}

// Before an item's first block: the stream plays from the cursor on. A stream
// that still plays goes on, so the item follows with no gap, or after the
// silence that keeps its start clear of the server's read position; one that
// has run dry rests first, since a block arriving after the server has run
// out would be placed too late.
bool ChannelOutput::playFromCursor()
{
    if (m_stream == Stream::Playing && m_cursor - m_heard > 0) {
        // Whatever of the silence the server has already passed is not
        // heard; the item follows it whole.
        bridgeTo(kLeastLead);
        return true;
    }
    // A closed or resting stream begins anew at the cursor (closeStream).
    if (m_stream == Stream::Playing)
        restOncePlayedOut(false);
    // With no sound server the sink plays into nothing: the item cannot be
    // played, and the next one tries again.
    if (!m_admission.enter([this] { return !m_quit; })) {
        closeStream();
        return false;
    }
    const auto started = gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING);
    m_admission.opened();
    if (started == GST_STATE_CHANGE_FAILURE || !reachesRealOutput(m_sink)) {
        forgetOutputConnection();
        closeStream();
        return false;
    }
    m_stream = Stream::Playing;
    return true;
}

// Once the server has played everything out, the stream rests: it is given
// up, its connection kept, and the next item opens one anew at once. Resuming
// a paused one instead would leave its position off what the server plays,
// which stalled the list. An idle list (close) closes it, so that it holds no
// stream and no connection on the server; asked for something new while its
// end still plays, it rests all the same.
void ChannelOutput::restOncePlayedOut(bool close)
{
    if (waitUntilPlayedOut(m_pipeline.get(), [this] { return !m_news && !m_quit; }) && close) {
        closeStream();
        return;
    }
    closeStream(GST_STATE_READY);
    m_stream = Stream::Resting;
}

void ChannelOutput::push(GstBuffer *buffer, std::int64_t samples)
{
    GST_BUFFER_PTS(buffer) = toTime(m_cursor - m_streamStart);
    GST_BUFFER_DURATION(buffer) = toTime(m_cursor + samples - m_streamStart) - GST_BUFFER_PTS(buffer);
    m_cursor += samples;
    gst_app_src_push_buffer(GST_APP_SRC(m_appSrc), buffer);
}

// A stream that does not play is left as it is: its next item opens it.
void ChannelOutput::bridgeTo(std::int64_t lead)
{
    const std::int64_t samples = lead - (m_cursor - m_heard);
    if (m_stream != Stream::Playing || samples <= 0)
        return;
    GstBuffer *silence = gst_buffer_new_allocate(nullptr, gsize(samples) * kBytesPerSample, nullptr);
    gst_buffer_memset(silence, 0, 0, gsize(samples) * kBytesPerSample);
    push(silence, samples);
    m_bridged += samples;
}

void ChannelOutput::closeStream(GstState state)
{
    gst_element_set_state(m_pipeline.get(), state);
    if (state == GST_STATE_NULL)
        m_admission.left();
    m_stream = Stream::Closed;
    // What was fed and not played is gone: the cursor moves on past it.
    m_heard = m_cursor;
    m_streamStart = m_cursor;
    GstObjectPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
    gst_bus_set_flushing(bus.get(), TRUE);
    gst_bus_set_flushing(bus.get(), FALSE);
}

void ChannelOutput::publishHeard()
{
    if (m_stream != Stream::Playing)
        return;
    GstObjectPtr<GstBus> bus(gst_element_get_bus(m_pipeline.get()));
    bool broken = false;
    while (GstMessagePtr message{gst_bus_pop(bus.get())})
        broken = broken || GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_ERROR;
    if (broken) {
        forgetOutputConnection();
        // A stream that broke off is heard no further: its items have ended,
        // and the next one opens a stream, and a server connection, anew.
        closeStream();
        return;
    }
    gint64 position = 0;
    if (gst_element_query_position(m_pipeline.get(), GST_FORMAT_TIME, &position) && position >= 0) {
        // Rounded: the position at the last sample fed, truncated, would be
        // one short of the cursor for ever, and the stream never heard out.
        const std::int64_t heard = m_streamStart
                                   + std::int64_t(gst_util_uint64_scale_int_round(guint64(position), kRate, GST_SECOND));
        m_heard = std::clamp(heard, m_heard.load(), m_cursor);
    }
}

} // namespace Zimbrel::Media
