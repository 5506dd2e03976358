// SPDX-License-Identifier: MIT
#include "OutputSink.h"

#include <gst/audio/audio.h>

#include <atomic>

namespace Zimbrel::Media {

namespace {

// A stream opened ahead of its start (a prepared playlist item) has counted
// time on the server since it opened, though nothing has been played on it.
// The sink places the first sample at that time, which would open the item
// with as much silence as it waited. At the stream's first start the first
// sample goes where the server reads next instead; later starts resume where
// the stream stands, as the sink places them.
//
// Only the first start is placed so: reading pulsesink's clock on every
// block, as a custom placement does, upsets a rewound stream on PipeWire.
void startAtStreamStart(GstAudioBaseSink *sink, GstClockTime, GstClockTime, GstClockTimeDiff *,
                        GstAudioBaseSinkDiscontReason reason, gpointer)
{
    if (reason == GST_AUDIO_BASE_SINK_DISCONT_REASON_NO_DISCONT) {
        // The first block is placed; from here on, as any other start.
        gst_audio_base_sink_set_slave_method(sink, GST_AUDIO_BASE_SINK_SLAVE_NONE);
        return;
    }
    if (reason != GST_AUDIO_BASE_SINK_DISCONT_REASON_SYNC_LATENCY)
        return;
    GstClockTime external = 0, rateNum = 1, rateDenom = 1;
    gst_clock_get_calibration(sink->provided_clock, nullptr, &external, &rateNum, &rateDenom);
    gst_clock_set_calibration(sink->provided_clock, 0, external, rateNum, rateDenom);
}

// Bumped for each connection given up on.
std::atomic<int> g_connection{0};

} // namespace

// After a flushing seek pulsesink's clock can report a time far off the
// stream's; a pipeline running on it then waits for ever at the end of the
// stream and never reports it, which stalls a rewound music for good. The
// pipeline runs on the system clock instead, and the sink plays what it is
// given without correcting it against its own clock.
//
// The sink's buffer stays at its 200 ms default: pipewire-pulse derives its
// cycle from it, and the shorter buffers that shorten a new stream's wait for
// the next cycle broke sounds up under CPU load.
void configureOutputSink(GstElement *element)
{
    if (!GST_IS_AUDIO_BASE_SINK(element))
        return;
    auto *sink = GST_AUDIO_BASE_SINK(element);
    gst_audio_base_sink_set_provide_clock(sink, FALSE);
    gst_audio_base_sink_set_custom_slaving_callback(sink, &startAtStreamStart, nullptr, nullptr);
    gst_audio_base_sink_set_slave_method(sink, GST_AUDIO_BASE_SINK_SLAVE_CUSTOM);
}

void useCurrentConnection(GstElement *sink)
{
    GParamSpec *name = sink ? g_object_class_find_property(G_OBJECT_GET_CLASS(sink), "client-name") : nullptr;
    const int connection = g_connection;
    if (!name || connection == 0)
        return;
    // Numbered from the name every sink starts with, however often renamed.
    const gchar *base = g_value_get_string(g_param_spec_get_default_value(name));
    g_autofree gchar *renamed = g_strdup_printf("%s (%d)", base ? base : "Zimbrel", connection + 1);
    g_object_set(sink, "client-name", renamed, nullptr);
}

GstObjectPtr<GstElement> makeOutputSink(bool placed)
{
    GstObjectPtr<GstElement> sink = adoptFloating(gst_element_factory_make("pulsesink", nullptr));
    if (!sink)
        return adoptFloating(gst_element_factory_make("autoaudiosink", nullptr));
    useCurrentConnection(sink.get());
    if (placed)
        configureOutputSink(sink.get());
    return sink;
}

void forgetOutputConnection()
{
    ++g_connection;
}

bool reachesRealOutput(GstElement *sink)
{
    if (!GST_IS_BIN(sink))
        return true;
    bool real = false;
    GstIterator *children = gst_bin_iterate_elements(GST_BIN(sink));
    GValue item = G_VALUE_INIT;
    if (gst_iterator_next(children, &item) == GST_ITERATOR_OK) {
        GstElementFactory *factory = gst_element_get_factory(GST_ELEMENT(g_value_get_object(&item)));
        real = factory && g_strcmp0(GST_OBJECT_NAME(factory), "fakesink") != 0;
        g_value_unset(&item);
    }
    gst_iterator_free(children);
    return real;
}

GstObjectPtr<GstElement> findAudioSink(GstElement *pipeline)
{
    GstObjectPtr<GstElement> found;
    GstIterator *elements = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        auto *element = GST_ELEMENT(g_value_get_object(&item));
        if (GST_IS_AUDIO_BASE_SINK(element))
            found.reset(GST_ELEMENT(gst_object_ref(element)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
    return found;
}

bool outputStreamOpen(GstElement *pipeline)
{
    const GstObjectPtr<GstElement> sink = findAudioSink(pipeline);
    if (!sink)
        return false;
    GstObjectPtr<GstAudioRingBuffer> ring;
    GST_OBJECT_LOCK(sink.get());
    if (auto *held = GST_AUDIO_BASE_SINK(sink.get())->ringbuffer)
        ring.reset(GST_AUDIO_RING_BUFFER(gst_object_ref(held)));
    GST_OBJECT_UNLOCK(sink.get());
    return ring && gst_audio_ring_buffer_is_acquired(ring.get());
}

bool isOutputFailure(GstMessage *message)
{
    GstObject *source = GST_MESSAGE_SRC(message);
    if (!source || !GST_IS_ELEMENT(source))
        return false;
    // autoaudiosink warns when it falls back to its fake sink.
    if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_WARNING)
        return GST_IS_BIN(source) && GST_OBJECT_FLAG_IS_SET(source, GST_ELEMENT_FLAG_SINK);
    return GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && GST_IS_AUDIO_BASE_SINK(source);
}

} // namespace Zimbrel::Media
