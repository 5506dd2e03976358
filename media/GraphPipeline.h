#pragma once

#include "GstHandles.h"

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

class QWidget;

namespace Zimbrel::Media {

class BusNotifier;

// The GStreamer pipeline behind one MediaGraph:
//   filesrc ! decodebin ! audioconvert ! audioresample ! autoaudiosink
// Only the first audio stream is linked; video and other streams are left
// unlinked, so no video window ever opens.
//
// Bus messages are handled synchronously on whichever thread posts them:
// they only update the flags below and wake the waiting UI thread.
//
// Destroy it through release(): a pipeline whose preparation is still
// blocked is left to the thread it is blocked on.
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

    void handleMessage(GstMessage *message);
    void releaseNotifier();

    GstObjectPtr<GstElement> m_pipeline;
    GstObjectPtr<GstBus> m_bus;
    // Owned by the pipeline, valid as long as it is.
    GstElement *m_source = nullptr;
    GstElement *m_convert = nullptr;

    std::atomic<bool> m_audioLinked{false};

    // The change to PAUSED runs on a thread of its own: opening the audio
    // output waits for the sound server, as long as it takes to answer, and
    // no time-out of ours reaches into that call.
    bool m_changeDone = true;
    GstStateChangeReturn m_change = GST_STATE_CHANGE_SUCCESS;
    // Released while the change was blocked: its thread destroys it.
    bool m_abandoned = false;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_prerolled = false;
    bool m_failed = false;
    bool m_noAudio = false;
    bool m_atEnd = false;
    BusNotifier *m_notifier = nullptr;
};

} // namespace Zimbrel::Media
