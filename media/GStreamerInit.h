#pragma once

namespace Zimbrel::Media {

// Initialises GStreamer once per process, from whichever thread asks first;
// every later call returns the first one's result.
bool initialiseGStreamer();

} // namespace Zimbrel::Media
