#include "MediaGraph.h"

#include "GStreamerInit.h"
#include "GraphPipeline.h"
#include "PreparedGraphs.h"

#include <QFile>

namespace Zimbrel::Media {

namespace {

using TimeQuery = gboolean (*)(GstElement *, GstFormat, gint64 *);

std::optional<double> queryTime(GstElement *pipeline, TimeQuery query)
{
    gint64 nanoseconds = 0;
    if (!query(pipeline, GST_FORMAT_TIME, &nanoseconds) || nanoseconds < 0)
        return std::nullopt;
    return static_cast<double>(nanoseconds) / GST_SECOND;
}

} // namespace

std::shared_ptr<MediaGraph> MediaGraph::create()
{
    if (!initialiseGStreamer())
        return nullptr;
    std::shared_ptr<MediaGraph> graph(new MediaGraph);
    if (!graph->m_pipeline->isValid())
        return nullptr;
    return graph;
}

MediaGraph::MediaGraph()
    : m_pipeline(makeGraphPipeline())
{
}

MediaGraph::~MediaGraph() = default;

bool MediaGraph::RenderFile(const QString &fileName)
{
    if (m_rendered)
        return false;
    const QByteArray path = QFile::encodeName(fileName);
    const std::optional<FileIdentity> identity = identifyPlayableFile(path);
    if (!identity)
        return false;
    PreparedGraphs::Taken prepared = PreparedGraphs::take(path, *identity, kPrerollTimeout);
    if (prepared.failed)
        return false;
    if (prepared.pipeline) {
        m_pipeline = std::move(prepared.pipeline);
        m_pipeline->setNotifyTarget(m_notifyTarget);
        m_rendered = m_pipeline->finishPreroll(kPrerollTimeout);
    } else {
        m_rendered = m_pipeline->preroll(path, kPrerollTimeout);
    }
    return m_rendered;
}

bool MediaGraph::Run()
{
    if (!m_rendered || m_pipeline->hasFailed())
        return false;
    if (m_pipeline->setState(GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE)
        return false;
    m_stopped = false;
    m_running = true;
    return true;
}

void MediaGraph::Stop()
{
    if (!m_rendered || m_stopped)
        return;
    // Read while GStreamer still answers: these are the values kept from now on.
    CurrentPosition();
    StopTime();
    m_pipeline->setState(GST_STATE_NULL);
    m_stopped = true;
    m_running = false;
}

std::optional<int> MediaGraph::GetState(int timeoutMs)
{
    if (m_pipeline->hasFailed())
        return std::nullopt;
    if (!m_rendered)
        return Stopped;
    if (m_pipeline->restsAtEnd())
        return Running;
    GstState current = GST_STATE_VOID_PENDING;
    GstState pending = GST_STATE_VOID_PENDING;
    const GstStateChangeReturn result = gst_element_get_state(
        m_pipeline->element(), &current, &pending, GstClockTime(timeoutMs) * GST_MSECOND);
    if (result == GST_STATE_CHANGE_FAILURE)
        return std::nullopt;
    // A change still under way reports the state being entered.
    const GstState state = pending != GST_STATE_VOID_PENDING ? pending : current;
    switch (state) {
    case GST_STATE_PLAYING:
        return Running;
    case GST_STATE_PAUSED:
        return Paused;
    default:
        return Stopped;
    }
}

std::optional<double> MediaGraph::CurrentPosition()
{
    if (m_pipeline->atEnd())
        return StopTime();
    if (auto position = queryPosition())
        m_lastPosition = position;
    return m_lastPosition;
}

std::optional<double> MediaGraph::StopTime()
{
    if (m_endTime)
        return m_endTime;
    if (auto duration = queryDuration())
        m_lastStopTime = duration;
    if (m_pipeline->atEnd()) {
        // Ended: from now on position and stop time are one and the same value.
        m_endTime = m_lastStopTime ? m_lastStopTime : m_lastPosition;
        return m_endTime;
    }
    return m_lastStopTime;
}

bool MediaGraph::PutCurrentPosition(double seconds)
{
    if (!m_rendered || m_stopped || m_pipeline->hasFailed() || seconds < 0)
        return false;
    const bool wasAtEnd = m_pipeline->clearEnd();
    const auto target = static_cast<gint64>(seconds * GST_SECOND);
    if (!gst_element_seek_simple(m_pipeline->element(), GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH,
                                 target)) {
        if (wasAtEnd)
            m_pipeline->markEnd();
        return false;
    }
    m_endTime.reset();
    // A stream paused at its end plays on from the new position.
    if (m_running)
        m_pipeline->setState(GST_STATE_PLAYING);
    // The pipeline answers no position query until it has prerolled again.
    m_lastPosition = seconds;
    return true;
}

void MediaGraph::PrepareAhead(const QString &fileName)
{
    PreparedGraphs::prepare(QFile::encodeName(fileName));
}

void MediaGraph::SetNotifyWindow(QWidget *target)
{
    m_notifyTarget = target;
    m_pipeline->setNotifyTarget(target);
}

std::optional<double> MediaGraph::queryPosition() const
{
    if (!m_rendered || m_stopped)
        return std::nullopt;
    return queryTime(m_pipeline->element(), &gst_element_query_position);
}

std::optional<double> MediaGraph::queryDuration() const
{
    if (!m_rendered || m_stopped)
        return std::nullopt;
    return queryTime(m_pipeline->element(), &gst_element_query_duration);
}

} // namespace Zimbrel::Media
