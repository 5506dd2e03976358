// SPDX-License-Identifier: MIT
#pragma once

#include <gst/gst.h>

#include <memory>

namespace Zimbrel::Media {

// Owning handles for GStreamer and GLib references. Each handle holds exactly
// one reference and drops it when it goes out of scope.

struct GstObjectUnref {
    void operator()(gpointer object) const { gst_object_unref(object); }
};
template <typename T>
using GstObjectPtr = std::unique_ptr<T, GstObjectUnref>;

// Element factories hand out floating references; sinking one makes it ours.
template <typename T>
GstObjectPtr<T> adoptFloating(T *object)
{
    if (object)
        gst_object_ref_sink(object);
    return GstObjectPtr<T>(object);
}

// For calls documented as "transfer full".
template <typename T>
GstObjectPtr<T> adoptFull(T *object)
{
    return GstObjectPtr<T>(object);
}

struct GstCapsUnref {
    void operator()(GstCaps *caps) const { gst_caps_unref(caps); }
};
using GstCapsPtr = std::unique_ptr<GstCaps, GstCapsUnref>;

struct GstMessageUnref {
    void operator()(GstMessage *message) const { gst_message_unref(message); }
};
using GstMessagePtr = std::unique_ptr<GstMessage, GstMessageUnref>;

// A signal handler, disconnected when the handle goes: declared after the
// object it watches, it goes first.
struct SignalConnection {
    gpointer instance = nullptr;
    gulong id = 0;
    SignalConnection(gpointer on, const char *signal, GCallback callback, gpointer data)
        : instance(on), id(g_signal_connect(on, signal, callback, data)) {}
    ~SignalConnection() { g_signal_handler_disconnect(instance, id); }
    SignalConnection(const SignalConnection &) = delete;
    SignalConnection &operator=(const SignalConnection &) = delete;
};

} // namespace Zimbrel::Media
