// SPDX-License-Identifier: MIT
#pragma once

#include "GstHandles.h"

#include <gst/gst.h>

namespace Zimbrel::Media {

// Sets up an audio sink as the graphs play through it; other elements are
// left alone. Called for every element as it joins a pipeline.
void configureOutputSink(GstElement *element);

// The audio sink the graphs play through: pulsesink, which PulseAudio and
// PipeWire both serve, else what autoaudiosink finds. With placed, set up by
// configureOutputSink too. Nullptr when neither plug-in is there.
GstObjectPtr<GstElement> makeOutputSink(bool placed);

// libpulse's connection is shared by every sink of the process that gives
// the same client name, as long as any of them holds it, also once the server
// behind it has gone. Called when a sink lost its server or found none: the
// sinks made from then on open a connection of their own. Any thread.
void forgetOutputConnection();

// Gives a pulsesink the client name of the sinks made since the last
// forgetOutputConnection, so that one made before it reopens on a connection
// of its own rather than on one that lost its server. Only while the sink is
// in NULL or READY.
void useCurrentConnection(GstElement *sink);

// Whether a sink reached a real output: autoaudiosink, having found none,
// plays into a fake sink, which nobody hears. Any thread.
bool reachesRealOutput(GstElement *sink);

// The audio sink in pipeline, also one inside autoaudiosink; nullptr for none.
GstObjectPtr<GstElement> findAudioSink(GstElement *pipeline);

// Whether the audio sink in pipeline has its stream open on the server. It
// opens as the stream's format reaches the sink, on a streaming thread; this
// waits for the sink's lock, never for the server.
bool outputStreamOpen(GstElement *pipeline);

// Whether message says that an audio sink lost its sound server, or never
// reached one.
bool isOutputFailure(GstMessage *message);

} // namespace Zimbrel::Media
