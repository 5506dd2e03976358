#include "RestAtEnd.h"

#include <atomic>
#include <mutex>

namespace Zimbrel::Media {

struct RestAtEnd::Shared {
    // Held across every state change, so a pause and the owner's own changes
    // never interleave. Bus handlers never take it.
    std::mutex stateChange;
    bool closed = false;
    std::atomic<bool> resting{false};
};

RestAtEnd::RestAtEnd(GstElement *pipeline)
    : m_pipeline(pipeline)
    , m_shared(std::make_shared<Shared>())
{
}

RestAtEnd::~RestAtEnd()
{
    std::lock_guard lock(m_shared->stateChange);
    m_shared->closed = true;
}

void RestAtEnd::reachedEnd()
{
    m_shared->resting = true;
    // The callback may run after this object is gone: it holds the shared part.
    gst_element_call_async(
        m_pipeline, &RestAtEnd::pause, new std::shared_ptr<Shared>(m_shared),
        [](gpointer shared) { delete static_cast<std::shared_ptr<Shared> *>(shared); });
}

bool RestAtEnd::isResting() const
{
    return m_shared->resting;
}

GstStateChangeReturn RestAtEnd::setState(GstState state)
{
    std::lock_guard lock(m_shared->stateChange);
    m_shared->resting = false;
    return gst_element_set_state(m_pipeline, state);
}

void RestAtEnd::pause(GstElement *pipeline, gpointer data)
{
    Shared &shared = **static_cast<std::shared_ptr<Shared> *>(data);
    std::lock_guard lock(shared.stateChange);
    if (!shared.closed && shared.resting)
        gst_element_set_state(pipeline, GST_STATE_PAUSED);
}

} // namespace Zimbrel::Media
