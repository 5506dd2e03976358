#include "GStreamerInit.h"

#include "GstHandles.h"

#include <mutex>

namespace Zimbrel::Media {

bool initialiseGStreamer()
{
    static std::once_flag once;
    static bool initialised = false;
    std::call_once(once, [] {
        GError *rawError = nullptr;
        initialised = gst_init_check(nullptr, nullptr, &rawError);
        GErrorPtr error(rawError);
    });
    return initialised;
}

} // namespace Zimbrel::Media
