#pragma once

#include "GstHandles.h"
#include "RestAtEnd.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

class QWidget;

namespace Zimbrel::Media {

class BusNotifier;

// A short audio file prerolls in milliseconds; this only bounds the wait for
// one that never will.
inline constexpr std::chrono::milliseconds kPrerollTimeout{3000};

// The GStreamer pipeline behind one MediaGraph:
//   filesrc ! decodebin ! audioconvert ! audioresample ! autoaudiosink
// Only the first audio stream is linked; video and other streams are left
// unlinked, so no video window ever opens.
//
// Bus messages are handled synchronously on whichever thread posts them:
// they only update the flags below and wake the waiting UI thread.
//
// Destroy it through release() (GraphPipelinePtr does): a pipeline whose
// preparation is still blocked is left to the thread it is blocked on.
class GraphPipeline
{
public:
    static void release(GraphPipeline *pipeline);

    GraphPipeline();
    ~GraphPipeline();
    GraphPipeline(const GraphPipeline &) = delete;
    GraphPipeline &operator=(const GraphPipeline &) = delete;

    bool isValid() const { return m_pipeline != nullptr; }
    GstElement *element() const { return m_pipeline.get(); }

    // Opens location and waits until the first audio stream has prerolled,
    // an error has been posted, the file turned out to hold no audio, or
    // timeout has passed. True only for prerolled audio. On failure the
    // pipeline is back in NULL, unless its change of state is still blocked.
    bool preroll(const QByteArray &location, std::chrono::milliseconds timeout);

    // Prepares location up to the audio output: opens and decodes it, then
    // holds the first audio data back from the sink, so that no output stream
    // exists yet. True once audio data is held. finishPreroll lets it through
    // and waits as preroll does. An output stream opened long before it plays
    // starts late by about as long as it waited.
    bool prepareHeld(const QByteArray &location, std::chrono::milliseconds timeout);
    bool finishPreroll(std::chrono::milliseconds timeout);

    // Every state change after preparation goes through here (see RestAtEnd).
    GstStateChangeReturn setState(GstState state);
    // Paused, or about to be, at the end it played to; still counts as running.
    bool restsAtEnd() const;

    bool atEnd() const;
    // Returns whether the end had been reached.
    bool clearEnd();
    void markEnd();
    bool hasFailed() const;

    void setNotifyTarget(QWidget *target);

private:
    static GstBusSyncReply onBusMessage(GstBus *bus, GstMessage *message, gpointer self);
    static void onElementAdded(GstBin *pipeline, GstBin *bin, GstElement *element, gpointer);
    static void onPadAdded(GstElement *decoder, GstPad *pad, gpointer self);
    static void onNoMorePads(GstElement *decoder, gpointer self);
    static GstPadProbeReturn onHeld(GstPad *pad, GstPadProbeInfo *info, gpointer self);

    // Starts the change to PAUSED on a thread of its own and waits at most
    // timeout for ready(), a failure or the end of a change that needed no
    // waiting. On failure the pipeline is back in NULL, unless the change is
    // still blocked.
    template <typename Ready>
    bool pause(const QByteArray &location, bool holdOutput, std::chrono::milliseconds timeout,
               Ready ready);
    // The waiting half of pause, also used once held data is let through.
    template <typename Ready>
    bool settle(std::chrono::milliseconds timeout, Ready ready);

    void handleMessage(GstMessage *message);
    void releaseNotifier();

    GstObjectPtr<GstElement> m_pipeline;
    GstObjectPtr<GstBus> m_bus;
    std::unique_ptr<RestAtEnd> m_rest;
    // Owned by the pipeline, valid as long as it is.
    GstElement *m_source = nullptr;
    GstElement *m_convert = nullptr;

    std::atomic<bool> m_audioLinked{false};
    std::atomic<bool> m_holdOutput{false};

    // The change to PAUSED runs on a thread of its own: opening the audio
    // output waits for the sound server, as long as it takes to answer, and
    // no time-out of ours reaches into that call.
    bool m_changeDone = true;
    GstStateChangeReturn m_change = GST_STATE_CHANGE_SUCCESS;
    // Released while the change was blocked: its thread destroys it.
    bool m_abandoned = false;
    // The decoder's audio pad while it holds data back, and the probe doing it.
    GstObjectPtr<GstPad> m_heldPad;
    gulong m_holdProbe = 0;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_prerolled = false;
    bool m_failed = false;
    bool m_noAudio = false;
    bool m_atEnd = false;
    bool m_held = false;
    BusNotifier *m_notifier = nullptr;
};

// Owns a GraphPipeline and frees it through GraphPipeline::release.
using GraphPipelinePtr = std::unique_ptr<GraphPipeline, void (*)(GraphPipeline *)>;

inline GraphPipelinePtr makeGraphPipeline()
{
    return GraphPipelinePtr(new GraphPipeline, &GraphPipeline::release);
}

} // namespace Zimbrel::Media
