// SPDX-License-Identifier: MIT
#include "MediaGraph.h"

#include "ChannelOutput.h"
#include "GraphPipeline.h"
#include "OutputSink.h"
#include "PreparedGraphs.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QMouseEvent>
#include <QSocketNotifier>

namespace Zimbrel::Media {

namespace {

Q_LOGGING_CATEGORY(lcMedia, "zimbrel.media", QtWarningMsg)

using Clock = std::chrono::steady_clock;

// A short audio file prerolls in milliseconds; this only bounds the wait for
// one that never will.
constexpr std::chrono::milliseconds kPrerollTimeout{3000};
// How long the owner's thread waits for a sound server to answer.
constexpr std::chrono::milliseconds kServerPatience{30};

// Posted on a graph's bus once its audio has been heard to its end on a
// channel output, so that its news reaches the owner's thread.
constexpr const char *kHeardNotice = "zimbrel-heard";

void logError(GstMessage *message)
{
    g_autoptr(GError) error = nullptr;
    g_autofree gchar *details = nullptr;
    gst_message_parse_error(message, &error, &details);
    qCInfo(lcMedia, "%s: %s (%s)", GST_MESSAGE_SRC_NAME(message), error ? error->message : "",
           details ? details : "");
}

} // namespace

std::shared_ptr<MediaGraph> MediaGraph::create(std::shared_ptr<ChannelOutput> output)
{
    using Tail = GraphPipeline::Tail;
    auto pipeline = GraphPipeline::create({}, output ? Tail::Feed : Tail::Speaker);
    if (!pipeline)
        return nullptr;
    std::shared_ptr<MediaGraph> graph(new MediaGraph(std::move(pipeline)));
    graph->m_output = std::move(output);
    return graph;
}

MediaGraph::MediaGraph(std::shared_ptr<GraphPipeline> pipeline)
    : m_pipeline(std::move(pipeline))
{
}

MediaGraph::~MediaGraph()
{
    if (m_item)
        m_output->withdraw(m_item);
    m_pipeline->release();
}

bool MediaGraph::RenderFile(const QString &fileName)
{
    if (m_rendered)
        return false;
    const QByteArray path = QFile::encodeName(fileName);
    const std::optional<FileIdentity> identity = identifyPlayableFile(path);
    if (!identity)
        return false;
    // One wait for the hand-over of a prepared file and its preroll together.
    const auto deadline = Clock::now() + kPrerollTimeout;
    m_failed = m_noAudio = m_prerolled = m_atEnd = false;
    m_rest = 0;
    // Prepared pipelines play through an output stream of their own.
    auto prepared = m_output ? nullptr : PreparedGraphs::take(path, *identity, deadline);
    if (prepared) {
        m_busNotifier.reset();
        m_pipeline->release();
        m_pipeline = std::move(prepared);
        m_pipeline->letOutputThrough();
        m_begun = m_done = 0;
        m_posted = m_pipeline->lastSerial();
    } else {
        m_posted = m_pipeline->open(path, false);
    }
    if (!m_busNotifier && QAbstractEventDispatcher::instance())
        watchBus();
    // Popped here as well: no event loop need run while this waits. First
    // until the file decodes (or the output is there already: a prepared
    // file, a playlist item), which takes no sound server.
    const auto decodes = [this] {
        return m_failed || m_noAudio || (m_done >= m_posted && m_prerolled) || m_pipeline->audioLinked();
    };
    // Then until the sink has reached its server or failed to, but only for a
    // moment: a server that does not answer at once is not waited for (the
    // file plays once it answers, or the graph fails then), while one that is
    // not there refuses at once.
    const auto ready = [this] {
        return m_failed || m_noAudio || (m_done >= m_posted && m_prerolled)
               || (!m_output && m_pipeline->audioLinked() && m_pipeline->outputSettled());
    };
    bool settled = popUntil(deadline, decodes)
                   && popUntil(m_output ? deadline : std::min(deadline, Clock::now() + kServerPatience), ready);
    if (!settled && !m_output && !m_failed && !m_noAudio && m_pipeline->audioLinked()
        && !m_pipeline->outputSettled()) {
        m_rendered = true;
        StopTime();
        return true;
    }
    settled = settled || popUntil(deadline, ready);
    // A sink that found no sound server plays into nothing: no output.
    m_rendered = settled && !m_failed && !m_noAudio && m_pipeline->audioLinked()
                 && m_pipeline->reachesOutput();
    if (!m_rendered) {
        m_posted = m_pipeline->changeState(GST_STATE_NULL);
        return false;
    }
    // Until the whole item has been fed, or the stream has ended, its length
    // is what the file says.
    StopTime();
    if (m_output) {
        m_item = std::make_shared<OutputItem>(
            GstObjectPtr<GstElement>(GST_ELEMENT(gst_object_ref(m_pipeline->feedSink()))));
        m_item->heardToEnd = [bus = std::shared_ptr<GstBus>(GST_BUS(gst_object_ref(m_pipeline->bus())),
                                                           gst_object_unref)] {
            gst_bus_post(bus.get(), gst_message_new_application(
                                        nullptr, gst_structure_new_empty(kHeardNotice)));
        };
    }
    return true;
}

bool MediaGraph::Run()
{
    popAll();
    if (!m_rendered || m_failed)
        return false;
    if (m_item)
        return runOnOutput(false);
    // Playing out its end, the stream runs already; a change now would only
    // cancel its rest, and the end would never count. Once it has rested
    // there is nothing left to play.
    if (m_rest || m_rested)
        return true;
    m_posted = m_pipeline->changeState(GST_STATE_PLAYING);
    m_state = Running;
    return true;
}

bool MediaGraph::RunAfter(const MediaGraph &previous)
{
    popAll();
    if (!m_rendered || m_failed)
        return false;
    if (!m_item)
        return Run();
    return runOnOutput(previous.m_item && previous.m_output == m_output && previous.m_state == Running);
}

bool MediaGraph::runOnOutput(bool chained)
{
    // The decoder runs ahead of the output, as far as its appsink holds.
    m_posted = m_pipeline->changeState(GST_STATE_PLAYING);
    chained ? m_output->append(m_item) : m_output->start(m_item);
    m_state = Running;
    return true;
}

bool MediaGraph::RunLooping()
{
    popAll();
    if (!m_rendered || m_failed || m_item)
        return false;
    m_posted = m_pipeline->playLooping();
    m_state = Running;
    return true;
}

void MediaGraph::Stop()
{
    if (!m_rendered || m_state == Stopped)
        return;
    if (m_item)
        m_output->withdraw(m_item);
    // Read while GStreamer still answers: these are the values kept from now on.
    CurrentPosition();
    StopTime();
    m_posted = m_pipeline->changeState(GST_STATE_NULL);
    m_rest = 0;
    m_state = Stopped;
}

std::optional<int> MediaGraph::GetState(int timeoutMs)
{
    // A change under way reports the state being entered, unless it fails.
    popUntil(Clock::now() + std::chrono::milliseconds(timeoutMs),
             [this] { return m_failed || m_done >= m_posted; });
    if (m_failed)
        return std::nullopt;
    // A stream resting at its end still counts as running.
    return m_rendered ? m_state : Stopped;
}

std::optional<double> MediaGraph::CurrentPosition()
{
    popAll();
    if (m_item)
        return heardPosition();
    if (m_atEnd)
        return StopTime();
    // Past the end of the stream the server still plays its last audio:
    // the end is not reached until it has.
    if (m_rest)
        return m_lastPosition;
    // Until a seek is done, its target is the position.
    if (m_done >= m_seek) {
        if (auto position = query(false))
            m_lastPosition = position;
    }
    return m_lastPosition;
}

std::optional<double> MediaGraph::StopTime()
{
    popAll();
    if (m_item && m_item->end >= 0)
        return double(m_item->end - m_item->start) / ChannelOutput::kRate;
    if (m_endTime)
        return m_endTime;
    if (auto duration = query(true))
        m_lastStopTime = duration;
    if (m_atEnd) {
        // Ended: from now on position and stop time are one and the same value.
        m_endTime = m_lastStopTime ? m_lastStopTime : m_lastPosition;
        return m_endTime;
    }
    return m_lastStopTime;
}

bool MediaGraph::PutCurrentPosition(double seconds)
{
    popAll();
    if (m_item || !m_rendered || m_state == Stopped || m_failed || seconds < 0)
        return false;
    m_endBeforeSeek = std::exchange(m_atEnd, false) || std::exchange(m_rest, 0u) != 0;
    m_rested = false;
    m_endTime.reset();
    // A stream paused at its end plays on from the new position.
    const auto position = static_cast<gint64>(seconds * GST_SECOND);
    m_posted = m_seek = m_pipeline->seek(position, m_state == Running);
    // The pipeline answers no position query until it has prerolled again.
    m_lastPosition = seconds;
    return true;
}

void MediaGraph::PrepareAhead(const QString &fileName)
{
    PreparedGraphs::prepare(QFile::encodeName(fileName));
}

// As Qt Multimedia does: the bus's poll descriptor under a QSocketNotifier, so
// that its messages are handled on this thread as they come.
void MediaGraph::watchBus()
{
    GPollFD descriptor{};
    gst_bus_get_pollfd(m_pipeline->bus(), &descriptor);
    m_busNotifier = std::make_unique<QSocketNotifier>(descriptor.fd, QSocketNotifier::Read);
    QObject::connect(m_busNotifier.get(), &QSocketNotifier::activated, m_busNotifier.get(),
                     [this] { popAll(); });
    // A relay queued on an earlier notifier went with it.
    m_relayPending = false;
}

// Queued with the notifier as its context: a relay still queued when the
// notifier goes is dropped with it.
void MediaGraph::relayToTarget()
{
    if (!m_busNotifier || !m_notifyTarget || std::exchange(m_relayPending, true))
        return;
    QMetaObject::invokeMethod(
        m_busNotifier.get(),
        [this] {
            m_relayPending = false;
            QMouseEvent move(QEvent::MouseMove, QPointF(0, 0), QPointF(0, 0), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            if (m_notifyTarget)
                QCoreApplication::sendEvent(m_notifyTarget, &move);
        },
        Qt::QueuedConnection);
}

template <typename Pred>
bool MediaGraph::popUntil(Clock::time_point deadline, Pred pred)
{
    popAll();
    while (!pred()) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            return false;
        GstMessagePtr message(gst_bus_timed_pop(m_pipeline->bus(), GstClockTime(left.count())));
        if (message)
            handle(message.get());
    }
    return true;
}

void MediaGraph::popAll()
{
    while (GstMessagePtr message{gst_bus_pop(m_pipeline->bus())})
        handle(message.get());
}

void MediaGraph::handle(GstMessage *message)
{
    relayToTarget();
    if (const auto notice = jobNotice(message)) {
        (notice->done ? m_done : m_begun) = notice->serial;
        if (notice->done && notice->result == GST_STATE_CHANGE_FAILURE)
            m_failed = true;
        if (notice->done && notice->result == kSeekFailed && notice->serial == m_seek)
            m_atEnd = m_endBeforeSeek;
        // The end counts once its audio has been played out: a playlist that
        // moves on, or a loop that rewinds, at once loses nothing of it.
        if (notice->done && notice->serial == m_rest) {
            m_rest = 0;
            m_atEnd = m_rested = notice->result != kRestCancelled;
        }
        return;
    }
    // Posted before the last stop, run, seek or open began: about what is gone.
    if (m_begun < m_posted)
        return;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT_CAST(m_pipeline->element()))
            m_prerolled = true;
        break;
    case GST_MESSAGE_ERROR:
        logError(message);
        // A looping stream that lost its server opens again by itself
        // (GraphPipeline::playLooping).
        if (m_pipeline->looping() && isOutputFailure(message))
            break;
        if (m_item)
            m_item->sourceFailed = true;
        // A stream that broke off has ended: whoever waits for its end moves
        // on. Its output goes at once, so that nothing holds on to a server
        // connection that failed.
        else if (m_rendered && m_state != Stopped)
            m_posted = m_pipeline->changeState(GST_STATE_NULL);
        m_failed = m_atEnd = true;
        break;
    case GST_MESSAGE_EOS:
        // Fed to a channel output, the item ends when it has been heard there.
        if (m_state == Stopped || m_item)
            break;
        // Playing on at its end, the output would feed silence to the sound
        // server, waking the process many times a second for as long as the
        // graph is kept. It rests PAUSED instead, by a job ordered behind every
        // change asked for so far and before any asked for later, once the
        // server has played the audio out: pausing corks the output stream,
        // which throws away what the server still holds. It still counts as
        // running, and GetState does not wait for it.
        if (m_state == Running)
            m_rest = m_pipeline->restOncePlayedOut();
        else
            m_atEnd = true;
        break;
    default:
        m_noAudio = m_noAudio || isNoAudioNotice(message);
        break;
    }
}

// Read from what the output publishes; nothing here waits on the pipeline.
std::optional<double> MediaGraph::heardPosition()
{
    if (m_state == Stopped)
        return m_lastPosition;
    const std::int64_t start = m_item->start, end = m_item->end, heard = m_output->heard();
    if (end >= 0 && heard >= end)
        return m_lastPosition = StopTime();
    m_lastPosition = start < 0 ? 0.0 : double(std::max<std::int64_t>(heard - start, 0)) / ChannelOutput::kRate;
    return m_lastPosition;
}

std::optional<double> MediaGraph::query(bool duration) const
{
    if (!m_rendered || m_state == Stopped)
        return std::nullopt;
    const std::optional<gint64> nanoseconds = duration ? m_pipeline->duration() : m_pipeline->lastPosition();
    if (!nanoseconds)
        return std::nullopt;
    return static_cast<double>(*nanoseconds) / GST_SECOND;
}

} // namespace Zimbrel::Media
