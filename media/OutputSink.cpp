#include "OutputSink.h"

#include <gst/audio/audio.h>

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

} // namespace Zimbrel::Media
