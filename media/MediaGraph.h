// SPDX-License-Identifier: MIT
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <memory>
#include <optional>

class QSocketNotifier;
typedef struct _GstMessage GstMessage;

namespace Zimbrel::Media {

class ChannelOutput;
class GraphPipeline;
struct OutputItem;

// One playback of one local audio file: the object behind a sound, a music or
// a playlist item. Holders share it through std::shared_ptr; when the last
// holder lets go, playback stops and the graph falls silent.
//
// Every member is called from the UI thread, and only RenderFile and GetState
// wait, each within its time-out. Changes of state run on the pipeline's own
// worker, decoding and output on GStreamer's threads; what they report reaches
// this thread through the pipeline's bus, read here, so every flag below is
// this thread's alone.
class MediaGraph
{
public:
    // Graph states as GetState reports them.
    enum State { Stopped = 0, Paused = 1, Running = 2 };

    // A new, empty graph; nullptr when GStreamer cannot be initialised. With
    // an output, the graph plays through that channel output instead of an
    // output stream of its own, and reports its position as heard there.
    static std::shared_ptr<MediaGraph> create(std::shared_ptr<ChannelOutput> output = {});

    // Starts preparing a file and returns at once: a graph that renders the
    // same, unchanged file later only has to run it. Callable from any
    // thread, also before the application object exists.
    static void PrepareAhead(const QString &fileName);

    ~MediaGraph();
    MediaGraph(const MediaGraph &) = delete;
    MediaGraph &operator=(const MediaGraph &) = delete;

    // Builds playback for a local file and waits until it is ready to play
    // (a few seconds at most). The name is a path, never a URI. Fails for a
    // missing, unreadable, non-regular, empty, non-audio or undecodable file.
    bool RenderFile(const QString &fileName);

    // Starts playback and returns at once.
    bool Run();
    // On a channel output: starts playback where previous ends, with no gap,
    // while previous plays on the same output; else as Run.
    bool RunAfter(const MediaGraph &previous);
    // Runs so that each time the stream reaches its end it plays on from the
    // start, with no gap between passes.
    bool RunLooping();

    // Stops playback. Never fails; position and stop time keep their last values.
    void Stop();

    // Stopped, Paused or Running, waiting at most timeoutMs for a state
    // change under way; nothing when the graph is broken.
    std::optional<int> GetState(int timeoutMs);

    // Seconds. Once the stream has played to its end, and the sound server
    // has played its audio out, both read the same value; until then the
    // position keeps its last value.
    std::optional<double> CurrentPosition();
    std::optional<double> StopTime();

    // Seeks; a running or finished stream plays on from there.
    bool PutCurrentPosition(double seconds);

    // Every message of the graph posts a QEvent::MouseMove to target through
    // Qt's event queue; nullptr ends the notifications, also those queued.
    // Events still queued when the graph is released are dropped.
    void SetNotifyWindow(QWidget *target) { m_notifyTarget = target; }

private:
    explicit MediaGraph(std::shared_ptr<GraphPipeline> pipeline);

    // Pops the bus until pred() holds or deadline passes; whether it holds.
    template <typename Pred>
    bool popUntil(std::chrono::steady_clock::time_point deadline, Pred pred);
    void popAll();
    void handle(GstMessage *message);
    void watchBus();
    void relayToTarget();
    // Nothing once stopped.
    std::optional<double> query(bool duration) const;
    // Position and stop time as heard on the channel output.
    std::optional<double> heardPosition();
    bool runOnOutput(bool chained);

    std::shared_ptr<GraphPipeline> m_pipeline;
    // Set for a graph that plays through a channel output.
    std::shared_ptr<ChannelOutput> m_output;
    std::shared_ptr<OutputItem> m_item;
    QPointer<QWidget> m_notifyTarget;
    bool m_rendered = false;
    // What GetState reports once rendered.
    State m_state = Paused;
    // What the bus told, for the current file.
    bool m_failed = false, m_noAudio = false, m_prerolled = false, m_atEnd = false;
    bool m_endBeforeSeek = false;
    // Rested at its end, with its output let go.
    bool m_rested = false;
    // Serials of the pipeline's jobs: the last posted (a rest at the end aside),
    // before whose start messages are stale; the last begun and done on the
    // bus; the seek whose target stands for the position until it is done.
    unsigned m_posted = 0, m_begun = 0, m_done = 0, m_seek = 0;
    // The rest at the end whose done notice makes the end count; 0 for none.
    unsigned m_rest = 0;
    // Last values read; GStreamer answers no queries once stopped.
    std::optional<double> m_lastPosition, m_lastStopTime;
    // Position and stop time of a stream that has played to its end.
    std::optional<double> m_endTime;
    // While one relay to the target waits in Qt's queue, further news folds into it.
    bool m_relayPending = false;
    // Last: it calls back into the graph, so it goes first.
    std::unique_ptr<QSocketNotifier> m_busNotifier;
};

} // namespace Zimbrel::Media
