#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

namespace Zimbrel::Media {

class GraphPipeline;


// One playback of one local audio file: the object behind a sound, a music or
// a playlist item. Holders share it through std::shared_ptr; when the last
// holder lets go, playback stops and the graph falls silent.
//
// Every member is called from the UI thread. Decoding and output run on
// GStreamer's own threads; what they report reaches the UI thread only as
// posted events (see SetNotifyWindow).
class MediaGraph
{
public:
    // Graph states as GetState reports them.
    enum State { Stopped = 0, Paused = 1, Running = 2 };

    // A new, empty graph; nullptr when GStreamer cannot be initialised.
    static std::shared_ptr<MediaGraph> create();

    // Starts preparing a file on a thread of its own and returns at once: a
    // graph that renders the same, unchanged file later only has to run it.
    // Callable from any thread, also before the application object exists.
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

    // Stops playback. Never fails; position and stop time keep their last values.
    void Stop();

    // Stopped, Paused or Running, waiting at most timeoutMs for a state
    // change under way; nothing when the graph is broken.
    std::optional<int> GetState(int timeoutMs);

    // Seconds. Once the stream has played to its end, both read the same value.
    std::optional<double> CurrentPosition();
    std::optional<double> StopTime();

    // Seeks; a running or finished stream plays on from there.
    bool PutCurrentPosition(double seconds);

    // Every message of the graph posts a QEvent::MouseMove to target through
    // Qt's event queue; nullptr ends the notifications. Events still queued
    // when the graph is released are dropped.
    void SetNotifyWindow(QWidget *target);

private:
    MediaGraph();

    std::optional<double> queryPosition() const;
    std::optional<double> queryDuration() const;

    // Freed through GraphPipeline::release.
    std::unique_ptr<GraphPipeline, void (*)(GraphPipeline *)> m_pipeline;
    QPointer<QWidget> m_notifyTarget;
    bool m_rendered = false;
    bool m_stopped = false;
    bool m_running = false;
    // Last values read; GStreamer answers no queries once stopped.
    std::optional<double> m_lastPosition;
    std::optional<double> m_lastStopTime;
    // Position and stop time of a stream that has played to its end.
    std::optional<double> m_endTime;
};

using MediaGraphPtr = std::shared_ptr<MediaGraph>;

} // namespace Zimbrel::Media
