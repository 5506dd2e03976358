// SPDX-License-Identifier: MIT
#pragma once

#include "GstHandles.h"
#include "ServerAdmission.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace Zimbrel::Media {

// Runs jobs one after another, in the order posted, on a thread borrowed from
// GLib's shared pool, never on the caller's. Dropping the worker never waits:
// the jobs already posted still run, then the thread goes back to the pool.
// It may be dropped from one of its own jobs.
class SerialWorker
{
public:
    SerialWorker();
    ~SerialWorker();
    SerialWorker(const SerialWorker &) = delete;
    SerialWorker &operator=(const SerialWorker &) = delete;

    // False when the job could not be queued; it then never runs.
    bool post(std::function<void()> job) noexcept;

private:
    GThreadPool *m_pool;
};

// Whether GStreamer is initialised; initialises it once per process, from
// whichever thread asks first.
bool gstreamerReady();

// The GStreamer pipeline behind one MediaGraph:
//   filesrc ! decodebin ! audioconvert ! audioresample ! pulsesink
// or, for a graph that feeds a channel's output (ChannelOutput), with an
// appsink taking 48 kHz stereo in place of the audio sink. Only the first
// audio stream is linked; video and other streams are left unlinked, so no
// video window ever opens.
//
// Every change of state runs as a job on the pipeline's own SerialWorker, in
// the order asked for: a change waits for the sound server as long as it takes
// to answer, and no caller waits with it. Each job holds the pipeline, so the
// last holder may let go at any time after release().
//
// What happens reaches the owner only through the bus, which it pops on its
// own thread: GStreamer's messages, each job's JobNotice before and after it
// acts, and a no-audio notice for a file without a usable audio stream.
class GraphPipeline : public std::enable_shared_from_this<GraphPipeline>
{
public:
    enum class Tail { Speaker, Feed };
    // Nullptr when GStreamer cannot be initialised or an element is missing.
    // Jobs run on worker, or on a new one.
    static std::shared_ptr<GraphPipeline> create(std::shared_ptr<SerialWorker> worker = {},
                                                 Tail tail = Tail::Speaker);
    ~GraphPipeline();

    GstElement *element() const { return m_pipeline.get(); }
    GstBus *bus() const { return m_bus.get(); }
    // The appsink of a Feed pipeline; nullptr otherwise.
    GstElement *feedSink() const { return m_feedSink; }

    // Each queues a job and returns its serial, counted from 1 per pipeline.
    // open: sets location and changes to PAUSED; with holdOutput the first
    // audio data waits before the sink until letOutputThrough, while the
    // sink already opens its output stream (configureOutputSink makes such a
    // stream start on time).
    unsigned open(const QByteArray &location, bool holdOutput);
    unsigned changeState(GstState state);
    // Seeks, then plays on when play is set.
    unsigned seek(gint64 position, bool play);
    // Plays from the start and, at each end, on from the start again in the
    // same stream: the next pass follows the last sample with no flush.
    unsigned playLooping();
    // For a stream played to its end: waits until the sound server has played
    // its audio out (waitUntilPlayedOut), then changes to NULL, so that an
    // ended sound holds no stream and no connection on the server. Any job
    // posted later cancels it within a few milliseconds; its result is then
    // kRestCancelled. A seek reopens the file.
    unsigned restOncePlayedOut();
    // The final change to NULL; the caller lets go of the pipeline after it.
    void release();
    unsigned lastSerial() const { return m_serial; }

    // Any thread.
    void letOutputThrough();
    bool audioLinked() const { return m_audioLinked; }
    // Asked to play on and on (playLooping).
    bool looping() const { return m_looping; }
    // False while the audio sink plays into nothing, having found no output.
    bool reachesOutput() const;
    // False while the audio sink of the file being opened still waits for
    // its sound server to answer.
    bool outputSettled() const { return m_outputSettled; }

    // The stream's length, asked of the decoder, never of the sink, which
    // may be waiting on a sound server that went away.
    std::optional<gint64> duration() const;
    // The position as last read, on a thread of a pool, never the caller's:
    // a read waits for the sink's locks, which a dying server can hold for
    // good. Each call asks for a new reading unless one is under way.
    std::optional<gint64> lastPosition();

private:
    GraphPipeline() = default;
    unsigned post(std::function<int(unsigned serial)> change);
    // On the worker: seeks to the start of a looping stream's next pass.
    bool seekToPassStart(bool flush);
    // On the worker: from NULL to PAUSED, prerolled, with audio linked anew,
    // unless wanted() turns false while the sink waits to be admitted.
    bool reopen(const std::function<bool()> &wanted);
    // Whether no stop has been asked for since this call; a job posted with
    // it gives up waiting for the sound server once one is.
    std::function<bool()> unstopped() const;
    // On the worker, around a change that may take the sink up from NULL:
    // admit waits for the sink's admission to its server (false: given up,
    // the sink stays at NULL); once the change is made, awaitStream waits
    // for its stream to open (or fail, or a few seconds), and the admission's
    // turn passes on when the job is done with it.
    bool admit(const std::function<bool()> &wanted);
    void awaitStream(const std::function<bool()> &wanted);
    // On the worker: to NULL, which ends the sink's connection.
    GstStateChangeReturn toNull();
    // Posted when a looping stream loses its output: opens it again until
    // an output takes it, then plays on from the start of a pass.
    void reviveLooping();
    void postNotice(GstStructure *notice);

    static void onElementAdded(GstBin *pipeline, GstBin *bin, GstElement *element, gpointer);
    static void onPadAdded(GstElement *decoder, GstPad *pad, gpointer self);
    static void onNoMorePads(GstElement *decoder, gpointer self);
    static GstBusSyncReply onSyncMessage(GstBus *bus, GstMessage *message, gpointer self);

    std::shared_ptr<SerialWorker> m_worker;
    GstObjectPtr<GstElement> m_pipeline;
    GstObjectPtr<GstBus> m_bus;
    // Owned by the pipeline, valid as long as it is.
    GstElement *m_source = nullptr;
    GstElement *m_convert = nullptr;
    GstElement *m_feedSink = nullptr;
    GstElement *m_audioSink = nullptr;
    std::optional<SignalConnection> m_elementAdded, m_padAdded, m_noMorePads;

    std::atomic<unsigned> m_serial{0};
    std::atomic<bool> m_audioLinked{false};
    std::atomic<bool> m_looping{false};
    std::atomic<bool> m_reviving{false};
    std::atomic<bool> m_outputSettled{true}, m_outputFailed{false};
    // Set when the sink reports that it lost its server or found none.
    std::atomic<bool> m_outputError{false};
    // Stops asked for so far (changeState(NULL), release).
    std::atomic<unsigned> m_stops{0};
    // The worker's alone, and the destructor's.
    ServerAdmission m_admission;
    // In nanoseconds, -1 for none; a reading is under way while m_reading.
    std::atomic<gint64> m_position{-1};
    std::atomic<bool> m_reading{false};
    // The hold before the sink: set by open, read on the streaming
    // thread that exposes the pad, lifted from the owner's thread.
    std::mutex m_holdMutex;
    bool m_holding = false;
    // Format and queries held as well, while the sink is not yet open.
    bool m_holdingAll = false;
    GstObjectPtr<GstPad> m_heldPad;
    gulong m_holdProbe = 0;
};

// A job's notice on the bus: begun before it acts, then done with its result
// (a GstStateChangeReturn, kSeekFailed or kRestCancelled).
struct JobNotice {
    unsigned serial = 0;
    bool done = false;
    int result = 0;
};
inline constexpr int kSeekFailed = -1;
inline constexpr int kRestCancelled = -2;
std::optional<JobNotice> jobNotice(GstMessage *message);
bool isNoAudioNotice(GstMessage *message);

} // namespace Zimbrel::Media
