// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>

namespace Zimbrel {

// Thrown by MusicList::Position when there is no playback position to read:
// no playlist item has started successfully since the widget was created, or
// the graph of the last one no longer answers.
class PositionUnavailable : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
    // Out of line, so the type has one identity across library boundaries.
    ~PositionUnavailable() override;
};

} // namespace Zimbrel
