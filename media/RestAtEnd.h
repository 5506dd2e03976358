#pragma once

#include <gst/gst.h>

#include <memory>

namespace Zimbrel::Media {

// A pipeline that has played to its end stays PLAYING, and its audio output
// goes on feeding silence to the sound server, waking the process many times
// a second for as long as the graph is kept. RestAtEnd pauses such a pipeline
// from one of GStreamer's threads, and lets its owner play it again.
//
// Every state change of the owner goes through setState, which cancels a
// rest not yet taken, so a pause never lands after a later Run or seek.
class RestAtEnd
{
public:
    explicit RestAtEnd(GstElement *pipeline);
    // No pause happens after this.
    ~RestAtEnd();
    RestAtEnd(const RestAtEnd &) = delete;
    RestAtEnd &operator=(const RestAtEnd &) = delete;

    // From the thread that saw the end; never blocks.
    void reachedEnd();
    // The pipeline rests, or is about to, at its end: it counts as playing.
    bool isResting() const;

    GstStateChangeReturn setState(GstState state);

private:
    struct Shared;
    static void pause(GstElement *pipeline, gpointer shared);

    GstElement *m_pipeline;
    std::shared_ptr<Shared> m_shared;
};

} // namespace Zimbrel::Media
