#pragma once

#include <gst/gst.h>

namespace Zimbrel::Media {

// Sets up an audio sink as the graphs play through it; other elements are
// left alone. Called for every element as it joins a pipeline.
void configureOutputSink(GstElement *element);

} // namespace Zimbrel::Media
