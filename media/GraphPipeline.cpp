#include "GraphPipeline.h"

#include "BusNotifier.h"

#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

namespace Zimbrel::Media {

namespace {

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

} // namespace

GraphPipeline::GraphPipeline()
{
    auto pipeline = adoptFloating(gst_pipeline_new(nullptr));
    auto source = makeElement("filesrc");
    auto decoder = makeElement("decodebin");
    auto convert = makeElement("audioconvert");
    auto resample = makeElement("audioresample");
    auto sink = makeElement("autoaudiosink");
    if (!pipeline || !source || !decoder || !convert || !resample || !sink)
        return;

    gst_bin_add_many(GST_BIN(pipeline.get()), source.get(), decoder.get(), convert.get(),
                     resample.get(), sink.get(), nullptr);
    if (!gst_element_link(source.get(), decoder.get())
        || !gst_element_link_many(convert.get(), resample.get(), sink.get(), nullptr))
        return;

    g_signal_connect(decoder.get(), "pad-added", G_CALLBACK(&GraphPipeline::onPadAdded), this);
    g_signal_connect(decoder.get(), "no-more-pads", G_CALLBACK(&GraphPipeline::onNoMorePads),
                     this);

    // Audio sinks are made once autoaudiosink has chosen one.
    g_signal_connect(pipeline.get(), "deep-element-added",
                     G_CALLBACK(&GraphPipeline::onElementAdded), nullptr);
    m_bus = adoptFull(gst_element_get_bus(pipeline.get()));
    gst_bus_set_sync_handler(m_bus.get(), &GraphPipeline::onBusMessage, this, nullptr);

    m_source = source.get();
    m_convert = convert.get();
    m_rest = std::make_unique<RestAtEnd>(pipeline.get());
    m_pipeline = std::move(pipeline);
}

GraphPipeline::~GraphPipeline()
{
    if (!m_pipeline)
        return;
    releaseNotifier();
    // NULL joins every streaming thread, so no callback of ours runs after it.
    setState(GST_STATE_NULL);
    gst_bus_set_sync_handler(m_bus.get(), nullptr, nullptr, nullptr);
}

void GraphPipeline::release(GraphPipeline *pipeline)
{
    pipeline->releaseNotifier();
    {
        std::lock_guard lock(pipeline->m_mutex);
        if (!pipeline->m_changeDone) {
            pipeline->m_abandoned = true;
            return;
        }
    }
    delete pipeline;
}

GstStateChangeReturn GraphPipeline::setState(GstState state)
{
    return m_rest->setState(state);
}

bool GraphPipeline::restsAtEnd() const
{
    return m_rest->isResting();
}

template <typename Ready>
bool GraphPipeline::pause(const QByteArray &location, bool holdOutput,
                          std::chrono::milliseconds timeout, Ready ready)
{
    {
        std::lock_guard lock(m_mutex);
        if (!m_changeDone)
            return false;
        m_prerolled = m_failed = m_noAudio = m_atEnd = m_held = false;
        m_changeDone = false;
    }
    g_object_set(m_source, "location", location.constData(), nullptr);
    m_holdOutput = holdOutput;

    try {
        std::thread([this] {
            const GstStateChangeReturn change =
                gst_element_set_state(m_pipeline.get(), GST_STATE_PAUSED);
            std::unique_lock lock(m_mutex);
            m_change = change;
            m_changeDone = true;
            if (!m_abandoned) {
                m_changed.notify_all();
                return;
            }
            lock.unlock();
            delete this;
        }).detach();
    } catch (const std::system_error &) {
        // No thread to be had: nothing was started, so nothing is blocked.
        std::lock_guard lock(m_mutex);
        m_changeDone = true;
        return false;
    }

    return settle(timeout, ready);
}

template <typename Ready>
bool GraphPipeline::settle(std::chrono::milliseconds timeout, Ready ready)
{
    bool succeeded = false;
    bool blocked = false;
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, timeout, [&] {
            return m_changeDone
                   && (m_change != GST_STATE_CHANGE_ASYNC || ready() || m_failed || m_noAudio);
        });
        blocked = !m_changeDone;
        succeeded = !blocked && m_change != GST_STATE_CHANGE_FAILURE
                    && (m_change != GST_STATE_CHANGE_ASYNC || ready()) && !m_failed
                    && !m_noAudio && m_audioLinked;
    }
    if (!succeeded && !blocked)
        setState(GST_STATE_NULL);
    return succeeded;
}

bool GraphPipeline::preroll(const QByteArray &location, std::chrono::milliseconds timeout)
{
    return pause(location, false, timeout, [this] { return m_prerolled; });
}

bool GraphPipeline::prepareHeld(const QByteArray &location, std::chrono::milliseconds timeout)
{
    return pause(location, true, timeout, [this] { return m_held; });
}

bool GraphPipeline::finishPreroll(std::chrono::milliseconds timeout)
{
    if (m_heldPad) {
        gst_pad_remove_probe(m_heldPad.get(), std::exchange(m_holdProbe, 0));
        m_heldPad.reset();
    }
    return settle(timeout, [this] { return m_prerolled; });
}

bool GraphPipeline::atEnd() const
{
    std::lock_guard lock(m_mutex);
    return m_atEnd;
}

bool GraphPipeline::clearEnd()
{
    std::lock_guard lock(m_mutex);
    return std::exchange(m_atEnd, false);
}

void GraphPipeline::markEnd()
{
    std::lock_guard lock(m_mutex);
    m_atEnd = true;
}

bool GraphPipeline::hasFailed() const
{
    std::lock_guard lock(m_mutex);
    return m_failed;
}

void GraphPipeline::setNotifyTarget(QWidget *target)
{
    releaseNotifier();
    if (!target)
        return;
    auto *notifier = new BusNotifier(target);
    std::lock_guard lock(m_mutex);
    m_notifier = notifier;
}

void GraphPipeline::releaseNotifier()
{
    BusNotifier *notifier = nullptr;
    {
        std::lock_guard lock(m_mutex);
        notifier = std::exchange(m_notifier, nullptr);
    }
    if (notifier) {
        // Its queued events may still be delivered to it; detached, it drops them.
        notifier->detach();
        notifier->deleteLater();
    }
}

GstBusSyncReply GraphPipeline::onBusMessage(GstBus *, GstMessage *message, gpointer self)
{
    static_cast<GraphPipeline *>(self)->handleMessage(message);
    // Nobody pops the bus: keeping messages would only let them pile up. A
    // handler that drops a message owns it, and with it a reference to the
    // element that posted it: kept, it would keep the whole pipeline, and its
    // connection to the sound server, alive for good.
    gst_message_unref(message);
    return GST_BUS_DROP;
}

void GraphPipeline::handleMessage(GstMessage *message)
{
    std::lock_guard lock(m_mutex);
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ASYNC_DONE:
        if (GST_MESSAGE_SRC(message) == GST_OBJECT_CAST(m_pipeline.get())) {
            m_prerolled = true;
            m_changed.notify_all();
        }
        break;
    case GST_MESSAGE_ERROR:
        // A stream that broke off has ended: whoever waits for its end moves on.
        m_failed = true;
        m_atEnd = true;
        m_changed.notify_all();
        break;
    case GST_MESSAGE_EOS:
        m_atEnd = true;
        m_rest->reachedEnd();
        break;
    default:
        break;
    }
    if (m_notifier)
        m_notifier->notify();
}

// After a flushing seek pulsesink's clock can report a time far off the
// stream's; a pipeline running on it then waits for ever at the end of the
// stream and never reports it, which stalls a rewound music for good. The
// pipeline runs on the system clock instead, and the sink plays what it is
// given without correcting it against its own clock.
void GraphPipeline::onElementAdded(GstBin *, GstBin *, GstElement *element, gpointer)
{
    GObjectClass *type = G_OBJECT_GET_CLASS(element);
    if (g_object_class_find_property(type, "provide-clock")
        && g_object_class_find_property(type, "slave-method")) {
        g_object_set(element, "provide-clock", FALSE, nullptr);
        gst_util_set_object_arg(G_OBJECT(element), "slave-method", "none");
    }
}

void GraphPipeline::onPadAdded(GstElement *, GstPad *pad, gpointer self)
{
    auto *pipeline = static_cast<GraphPipeline *>(self);
    if (pipeline->m_audioLinked || !isAudioPad(pad))
        return;
    if (pipeline->m_holdOutput) {
        // Set before linking, so that nothing, not even the stream's format,
        // reaches the sink until finishPreroll.
        pipeline->m_heldPad.reset(GST_PAD(gst_object_ref(pad)));
        pipeline->m_holdProbe = gst_pad_add_probe(pad, GST_PAD_PROBE_TYPE_BLOCK_DOWNSTREAM,
                                                  &GraphPipeline::onHeld, self, nullptr);
    }
    GstObjectPtr<GstPad> sinkPad(gst_element_get_static_pad(pipeline->m_convert, "sink"));
    if (gst_pad_link(pad, sinkPad.get()) == GST_PAD_LINK_OK)
        pipeline->m_audioLinked = true;
}

GstPadProbeReturn GraphPipeline::onHeld(GstPad *, GstPadProbeInfo *, gpointer self)
{
    auto *pipeline = static_cast<GraphPipeline *>(self);
    std::lock_guard lock(pipeline->m_mutex);
    pipeline->m_held = true;
    pipeline->m_changed.notify_all();
    return GST_PAD_PROBE_OK;
}

void GraphPipeline::onNoMorePads(GstElement *, gpointer self)
{
    auto *pipeline = static_cast<GraphPipeline *>(self);
    if (pipeline->m_audioLinked)
        return;
    std::lock_guard lock(pipeline->m_mutex);
    pipeline->m_noAudio = true;
    pipeline->m_changed.notify_all();
}

} // namespace Zimbrel::Media
