// SPDX-License-Identifier: MIT
#include "GraphPipeline.h"

#include "OutputSink.h"
#include "PlayedOut.h"

#include <chrono>
#include <cstring>
#include <mutex>
#include <new>
#include <thread>
#include <utility>

namespace Zimbrel::Media {

namespace {

constexpr const char *kJobNotice = "zimbrel-job";
constexpr const char *kNoAudioNotice = "zimbrel-no-audio";

GstObjectPtr<GstElement> makeElement(const char *factory)
{
    return adoptFloating(gst_element_factory_make(factory, nullptr));
}

bool isAudioPad(GstPad *pad)
{
    GstCapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps)
        caps.reset(gst_pad_query_caps(pad, nullptr));
    if (!caps || gst_caps_is_empty(caps.get()) || gst_caps_is_any(caps.get()))
        return false;
    const GstStructure *structure = gst_caps_get_structure(caps.get(), 0);
    return std::strncmp(gst_structure_get_name(structure), "audio/", 6) == 0;
}

// How long a reopened file may take to preroll, and how long a looping
// stream waits between attempts to reach an output again.
constexpr GstClockTime kReopenTimeout = 3 * GST_SECOND;
// How often the worker looks whether the sink's stream has opened.
constexpr auto kStreamStep = std::chrono::milliseconds(2);
constexpr auto kReviveStep = std::chrono::milliseconds(10);
constexpr int kReviveSteps = 25;

void runJob(gpointer job, gpointer)
{
    auto *function = static_cast<std::function<void()> *>(job);
    try {
        (*function)();
    } catch (...) {
    }
    delete function;
}

} // namespace

SerialWorker::SerialWorker()
    : m_pool(g_thread_pool_new(&runJob, nullptr, 1, FALSE, nullptr))
{
}

SerialWorker::~SerialWorker()
{
    if (m_pool)
        g_thread_pool_free(m_pool, FALSE, FALSE);
}

bool SerialWorker::post(std::function<void()> job) noexcept
{
    auto *queued = new (std::nothrow) std::function<void()>(std::move(job));
    if (!m_pool || !queued) {
        delete queued;
        return false;
    }
    g_thread_pool_push(m_pool, queued, nullptr);
    return true;
}

bool gstreamerReady()
{
    static std::once_flag once;
    static bool initialised = false;
    std::call_once(once, [] { initialised = gst_init_check(nullptr, nullptr, nullptr); });
    return initialised;
}

std::shared_ptr<GraphPipeline> GraphPipeline::create(std::shared_ptr<SerialWorker> worker, Tail tail)
{
    if (!gstreamerReady())
        return nullptr;
    std::shared_ptr<GraphPipeline> graph(new GraphPipeline);
    graph->m_worker = worker ? std::move(worker) : std::make_shared<SerialWorker>();
    auto pipeline = adoptFloating(gst_pipeline_new(nullptr));
    auto source = makeElement("filesrc");
    auto decoder = makeElement("decodebin");
    auto convert = makeElement("audioconvert");
    auto resample = makeElement("audioresample");
    auto sink = tail == Tail::Feed ? makeElement("appsink") : makeOutputSink(true);
    if (sink && tail == Tail::Feed) {
        GstCapsPtr caps(gst_caps_from_string("audio/x-raw,format=S16LE,layout=interleaved,"
                                             "rate=48000,channels=2"));
        // Decoded ahead of the output, a few blocks at most.
        g_object_set(sink.get(), "caps", caps.get(), "sync", FALSE, "max-buffers", 8u,
                     "enable-last-sample", FALSE, nullptr);
        graph->m_feedSink = sink.get();
    } else {
        graph->m_audioSink = sink.get();
    }
    if (!pipeline || !source || !decoder || !convert || !resample || !sink)
        return nullptr;
    gst_bin_add_many(GST_BIN(pipeline.get()), source.get(), decoder.get(), convert.get(),
                     resample.get(), sink.get(), nullptr);
    if (!gst_element_link(source.get(), decoder.get())
        || !gst_element_link_many(convert.get(), resample.get(), sink.get(), nullptr))
        return nullptr;
    // The owner pops every message; the bus keeps them until then, also
    // across a change to NULL, so a job's notices are never lost.
    gst_pipeline_set_auto_flush_bus(GST_PIPELINE(pipeline.get()), FALSE);
    graph->m_bus = adoptFull(gst_element_get_bus(pipeline.get()));
    gst_bus_set_sync_handler(graph->m_bus.get(), &GraphPipeline::onSyncMessage, graph.get(), nullptr);
    graph->m_source = source.get();
    graph->m_convert = convert.get();
    graph->m_pipeline = std::move(pipeline);
    // autoaudiosink, where it stands in, makes its sink once it has chosen one.
    graph->m_elementAdded.emplace(graph->m_pipeline.get(), "deep-element-added",
                                  G_CALLBACK(&GraphPipeline::onElementAdded), graph.get());
    graph->m_padAdded.emplace(decoder.get(), "pad-added", G_CALLBACK(&GraphPipeline::onPadAdded),
                              graph.get());
    graph->m_noMorePads.emplace(decoder.get(), "no-more-pads",
                                G_CALLBACK(&GraphPipeline::onNoMorePads), graph.get());
    return graph;
}

GraphPipeline::~GraphPipeline()
{
    if (!m_pipeline)
        return;
    // Normally NULL already (release); NULL joins every streaming thread. A
    // hold still on its pad goes with the pad.
    gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    gst_bus_set_sync_handler(m_bus.get(), nullptr, nullptr, nullptr);
    // Messages left on the bus hold the elements that posted them, the
    // pipeline among them: kept, they would keep it alive for good.
    gst_bus_set_flushing(m_bus.get(), TRUE);
}

unsigned GraphPipeline::post(std::function<int(unsigned serial)> change)
{
    const unsigned serial = ++m_serial;
    try {
        m_worker->post([self = shared_from_this(), serial, change = std::move(change)] {
            const auto notice = [&](bool done, int result) {
                self->postNotice(gst_structure_new(kJobNotice, "serial", G_TYPE_UINT, serial,
                                                   "done", G_TYPE_BOOLEAN, done, "result",
                                                   G_TYPE_INT, result, nullptr));
            };
            notice(false, 0);
            notice(true, change(serial));
        });
    } catch (...) {
        // No memory for the job: it never runs, as when the worker refuses it.
    }
    return serial;
}

void GraphPipeline::postNotice(GstStructure *notice)
{
    // No source: a notice holds no reference to the pipeline.
    gst_bus_post(m_bus.get(), gst_message_new_application(nullptr, notice));
}

unsigned GraphPipeline::open(const QByteArray &location, bool holdOutput)
{
    {
        // Set now, not in the job: the owner may lift the hold before the
        // job has run, and the lift must not be undone by it.
        std::lock_guard lock(m_holdMutex);
        m_holding = holdOutput;
    }
    m_position = -1;
    m_outputSettled = !m_audioSink || GST_STATE(m_audioSink) != GST_STATE_NULL;
    return post([this, location, holdOutput, wanted = unstopped()](unsigned) {
        m_audioLinked = false;
        g_object_set(m_source, "location", location.constData(), nullptr);
        // The file is found out while the sink waits to be admitted to its
        // sound server and for it to answer, so that the owner learns at once
        // whether it decodes: its audio waits before the sink until the sink
        // has its server. A held output opens ahead of its audio as it is.
        const bool apart = m_audioSink && !holdOutput && GST_STATE(m_audioSink) == GST_STATE_NULL;
        {
            std::lock_guard lock(m_holdMutex);
            m_holding = m_holding || apart;
            m_holdingAll = apart;
        }
        if (apart) {
            gst_element_set_locked_state(m_audioSink, TRUE);
        } else if (!admit(wanted)) {
            m_outputSettled = true;
            return int(GST_STATE_CHANGE_FAILURE);
        }
        auto result = gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED);
        if (apart) {
            const bool admitted = result != GST_STATE_CHANGE_FAILURE && admit(wanted);
            gst_element_set_locked_state(m_audioSink, FALSE);
            if (!admitted || !gst_element_sync_state_with_parent(m_audioSink))
                result = GST_STATE_CHANGE_FAILURE;
            m_outputFailed = result == GST_STATE_CHANGE_FAILURE;
            letOutputThrough();
        }
        m_outputSettled = true;
        if (result != GST_STATE_CHANGE_FAILURE)
            awaitStream(wanted);
        m_admission.opened();
        return int(result);
    });
}

unsigned GraphPipeline::changeState(GstState state)
{
    if (state == GST_STATE_NULL)
        ++m_stops;
    return post([this, state, wanted = unstopped()](unsigned) {
        // A sink that could not reach its server is not sent to it again:
        // libpulse's main loop, made and freed at each attempt, does not
        // stand many in a row.
        if (m_outputFailed && state > GST_STATE_READY)
            return int(GST_STATE_CHANGE_FAILURE);
        if (state == GST_STATE_NULL)
            return int(toNull());
        const bool fromNull = GST_STATE(m_pipeline.get()) == GST_STATE_NULL;
        if (!admit(wanted))
            return int(GST_STATE_CHANGE_FAILURE);
        const auto result = gst_element_set_state(m_pipeline.get(), state);
        if (fromNull && result != GST_STATE_CHANGE_FAILURE)
            awaitStream(wanted);
        m_admission.opened();
        return int(result);
    });
}

std::function<bool()> GraphPipeline::unstopped() const
{
    return [this, stops = m_stops.load()] { return m_stops == stops; };
}

bool GraphPipeline::admit(const std::function<bool()> &wanted)
{
    if (!m_audioSink)
        return true;
    m_outputError = false;
    return m_admission.enter(wanted);
}

void GraphPipeline::awaitStream(const std::function<bool()> &wanted)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::nanoseconds(kReopenTimeout);
    while (m_audioSink && wanted() && !m_outputError && !outputStreamOpen(m_pipeline.get())
           && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(kStreamStep);
}

GstStateChangeReturn GraphPipeline::toNull()
{
    const auto result = gst_element_set_state(m_pipeline.get(), GST_STATE_NULL);
    m_admission.left();
    // Reopened later, the sink must not rejoin a connection that lost its server.
    useCurrentConnection(m_audioSink);
    return result;
}

unsigned GraphPipeline::seek(gint64 position, bool play)
{
    return post([this, position, play, wanted = unstopped()](unsigned) {
        // Resting at its end, the stream let its output go.
        if (GST_STATE(m_pipeline.get()) == GST_STATE_NULL && !reopen(wanted))
            return kSeekFailed;
        if (!gst_element_seek_simple(m_pipeline.get(), GST_FORMAT_TIME, GST_SEEK_FLAG_FLUSH,
                                     position))
            return kSeekFailed;
        m_position = position;
        return play ? int(gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING))
                    : int(GST_STATE_CHANGE_SUCCESS);
    });
}

unsigned GraphPipeline::playLooping()
{
    m_looping = true;
    return post([this](unsigned) {
        if (!seekToPassStart(true))
            return kSeekFailed;
        return int(gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING));
    });
}

// A segment seek ends each pass with SEGMENT_DONE instead of the end of
// stream, and the sink stays open across it.
bool GraphPipeline::seekToPassStart(bool flush)
{
    const auto flags = GstSeekFlags(GST_SEEK_FLAG_SEGMENT | (flush ? GST_SEEK_FLAG_FLUSH : 0));
    return gst_element_seek(m_pipeline.get(), 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, 0,
                            GST_SEEK_TYPE_NONE, -1);
}

bool GraphPipeline::reopen(const std::function<bool()> &wanted)
{
    m_audioLinked = false;
    if (!admit(wanted))
        return false;
    // Prerolled, the sink has its stream.
    const bool opened = gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED) != GST_STATE_CHANGE_FAILURE
                        && gst_element_get_state(m_pipeline.get(), nullptr, nullptr, kReopenTimeout)
                               == GST_STATE_CHANGE_SUCCESS
                        && m_audioLinked && reachesOutput();
    m_admission.opened();
    return opened;
}

void GraphPipeline::reviveLooping()
{
    if (m_reviving.exchange(true))
        return;
    post([this](unsigned serial) {
        // A Stop, or any other change asked for later, ends the attempts.
        const auto latest = [this, serial] { return m_serial == serial; };
        int result = kRestCancelled;
        while (latest()) {
            toNull();
            if (reopen(latest) && seekToPassStart(true)) {
                result = int(gst_element_set_state(m_pipeline.get(), GST_STATE_PLAYING));
                break;
            }
            for (int step = 0; step < kReviveSteps && latest(); ++step)
                std::this_thread::sleep_for(kReviveStep);
        }
        m_reviving = false;
        return result;
    });
}

bool GraphPipeline::reachesOutput() const
{
    return !m_audioSink || reachesRealOutput(m_audioSink);
}

std::optional<gint64> GraphPipeline::duration() const
{
    GstObjectPtr<GstPad> pad(gst_element_get_static_pad(m_convert, "sink"));
    gint64 nanoseconds = -1;
    if (!gst_pad_peer_query_duration(pad.get(), GST_FORMAT_TIME, &nanoseconds) || nanoseconds < 0)
        return std::nullopt;
    return nanoseconds;
}

std::optional<gint64> GraphPipeline::lastPosition()
{
    // Shared by every pipeline; a reading stuck on one holds up no other.
    static GThreadPool *const readers = g_thread_pool_new(
        [](gpointer job, gpointer) {
            std::unique_ptr<std::shared_ptr<GraphPipeline>> self(static_cast<std::shared_ptr<GraphPipeline> *>(job));
            gint64 position = -1;
            if (gst_element_query_position((*self)->m_pipeline.get(), GST_FORMAT_TIME, &position) && position >= 0)
                (*self)->m_position = position;
            (*self)->m_reading = false;
        },
        nullptr, -1, FALSE, nullptr);
    if (readers && !m_reading.exchange(true))
        g_thread_pool_push(readers, new std::shared_ptr<GraphPipeline>(shared_from_this()), nullptr);
    const gint64 position = m_position;
    return position < 0 ? std::nullopt : std::optional<gint64>(position);
}

GstBusSyncReply GraphPipeline::onSyncMessage(GstBus *, GstMessage *message, gpointer self)
{
    auto *graph = static_cast<GraphPipeline *>(self);
    if (isOutputFailure(message)) {
        graph->m_outputError = true;
        forgetOutputConnection();
        if (graph->m_looping)
            graph->reviveLooping();
    }
    if (GST_MESSAGE_TYPE(message) != GST_MESSAGE_SEGMENT_DONE || !graph->m_looping)
        return GST_BUS_PASS;
    // The sink still holds the pass's last block: a seek from the worker
    // reaches the source long before it has been played. Without a flush the
    // next pass follows in the same segment timeline.
    graph->post([graph](unsigned) {
        return graph->seekToPassStart(false) ? int(GST_STATE_CHANGE_SUCCESS) : kSeekFailed;
    });
    return GST_BUS_DROP;
}

unsigned GraphPipeline::restOncePlayedOut()
{
    return post([this](unsigned serial) {
        // The worker is serial: a later Stop, Run or seek waits behind this
        // job, so the wait ends as soon as one is posted.
        const auto latest = [this, serial] { return m_serial == serial; };
        if (!waitUntilPlayedOut(m_pipeline.get(), latest))
            return kRestCancelled;
        return int(toNull());
    });
}

void GraphPipeline::release()
{
    changeState(GST_STATE_NULL);
}

void GraphPipeline::letOutputThrough()
{
    std::lock_guard lock(m_holdMutex);
    m_holding = false;
    if (m_holdProbe)
        gst_pad_remove_probe(m_heldPad.get(), std::exchange(m_holdProbe, 0));
    m_heldPad.reset();
}

void GraphPipeline::onElementAdded(GstBin *, GstBin *bin, GstElement *element, gpointer self)
{
    configureOutputSink(element);
    // autoaudiosink adds the sink it chose once that sink has reached its
    // sound server, or failed to.
    auto *graph = static_cast<GraphPipeline *>(self);
    if (GST_ELEMENT_CAST(bin) == graph->m_audioSink)
        graph->m_outputSettled = true;
}

void GraphPipeline::onPadAdded(GstElement *, GstPad *pad, gpointer self)
{
    auto *graph = static_cast<GraphPipeline *>(self);
    if (graph->m_audioLinked || !isAudioPad(pad))
        return;
    {
        // Set before linking. The stream's format goes through, so the sink
        // opens its output stream now; audio waits until the hold is lifted.
        std::lock_guard lock(graph->m_holdMutex);
        if (graph->m_holding) {
            graph->m_heldPad.reset(GST_PAD(gst_object_ref(pad)));
            // A sink not yet opened takes no format and answers no query:
            // pulsesink has no main loop of its own until then.
            const auto audioData = GstPadProbeType(
                GST_PAD_PROBE_TYPE_BLOCK | GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST
                | (graph->m_holdingAll ? GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_QUERY_DOWNSTREAM : 0));
            graph->m_holdProbe = gst_pad_add_probe(
                pad, audioData, [](GstPad *, GstPadProbeInfo *, gpointer) { return GST_PAD_PROBE_OK; },
                nullptr, nullptr);
        }
    }
    // Checked against the templates only: a full check asks the caps of the
    // sink, which asks its sound server. The format is settled as the audio
    // comes, and audioconvert takes any raw audio.
    GstObjectPtr<GstPad> sinkPad(gst_element_get_static_pad(graph->m_convert, "sink"));
    const auto checks = GstPadLinkCheck(GST_PAD_LINK_CHECK_HIERARCHY | GST_PAD_LINK_CHECK_TEMPLATE_CAPS);
    if (gst_pad_link_full(pad, sinkPad.get(), checks) == GST_PAD_LINK_OK)
        graph->m_audioLinked = true;
}

void GraphPipeline::onNoMorePads(GstElement *, gpointer self)
{
    auto *graph = static_cast<GraphPipeline *>(self);
    if (!graph->m_audioLinked)
        graph->postNotice(gst_structure_new_empty(kNoAudioNotice));
}

std::optional<JobNotice> jobNotice(GstMessage *message)
{
    if (!gst_message_has_name(message, kJobNotice))
        return std::nullopt;
    JobNotice notice;
    gboolean done = FALSE;
    gst_structure_get(gst_message_get_structure(message), "serial", G_TYPE_UINT, &notice.serial,
                      "done", G_TYPE_BOOLEAN, &done, "result", G_TYPE_INT, &notice.result, nullptr);
    notice.done = done;
    return notice;
}

bool isNoAudioNotice(GstMessage *message)
{
    return gst_message_has_name(message, kNoAudioNotice);
}

} // namespace Zimbrel::Media
