#pragma once
// The steering keys as the page reads them (KeyboardEvent.key), and where they send the show.
// INTERIM: the same decisions as the window's (window/steering.cpp), until both use one
// Qt-free steering module.

#include "core/player.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace q3 {

enum class PageSteerKind : std::uint8_t
{
    Back,
    Forward,
    PreviousCue,
    NextCue,
    Home,
    End,
    Tenth,
    StepBack,
    StepForward,
    Slower,
    Faster,
    Loop,
};

struct PageSteer
{
    PageSteerKind kind = PageSteerKind::Home;
    int tenths = 0;
};

[[nodiscard]] std::optional<PageSteer> steerForKey(std::string_view key, bool shift, bool repeat);

// Where the show runs: from its starting click to its end.
struct PageSpan
{
    double start = 0;
    double end = 0;
    [[nodiscard]] double clamp(double ms) const;
};
[[nodiscard]] PageSpan pageSpanOf(const ShowChart& chart, double start);

[[nodiscard]] std::optional<double> pageSeekTarget(PageSteer steer, const ShowChart& chart,
                                                   double start, double now, bool paused);
[[nodiscard]] double pageSteppedSpeed(double speed, bool faster);

} // namespace q3
