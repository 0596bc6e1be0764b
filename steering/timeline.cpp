#include "steering/timeline.h"

#include <algorithm>

namespace q3 {

std::vector<BarFill> timelinePicture(const TimelineGeometry& g, const TimelineShow& show)
{
    using Look = TimelineLook;
    const int right = g.left + g.width;
    const int at = g.xOf(show.span, show.now);
    std::vector<BarFill> fills{
        {g.bar, Look::kBack},
        {g.band(g.left, at, Look::kTrack), Look::kPlayed},
        {g.band(at, right, Look::kTrack), Look::kUnplayed},
    };
    fills.reserve(fills.size() + show.cues.size() + 1);
    const int markWidth = g.device(1);
    for (const double cue : show.cues) {
        const int x = g.xOf(show.span, cue) - markWidth / 2;
        fills.push_back({g.band(x, x + markWidth, Look::kMark), Look::kMarkColour});
    }
    const int knob = g.device(Look::kKnob);
    fills.push_back(
        {g.band(at - knob / 2, at - knob / 2 + knob, Look::kBarHeight - 2), Look::kKnobColour});
    return fills;
}

void Timeline::setOutput(double width, double height, double devicePixelRatio)
{
    width_ = width;
    height_ = height;
    dpr_ = devicePixelRatio > 0 ? devicePixelRatio : 1;
}

bool Timeline::setTouch(bool touch)
{
    const bool changed = touch != touch_;
    touch_ = touch;
    return changed;
}

void Timeline::reveal(double wallMs)
{
    shown_ = true;
    hideAt_ = wallMs + TimelineLook::kShownMs;
}

bool Timeline::pointerAt(double y, double wallMs)
{
    if (y < height_ * (1 - TimelineLook::kRevealPart))
        return false;
    reveal(wallMs);
    return true;
}

void Timeline::hold(bool held, double wallMs)
{
    held_ = held;
    reveal(wallMs);
}

bool Timeline::expire(double wallMs)
{
    if (!shown_ || held_ || wallMs < hideAt_)
        return false;
    shown_ = false;
    return true;
}

std::optional<double> Timeline::wakeAt() const
{
    if (!shown_ || held_)
        return std::nullopt;
    return hideAt_;
}

bool Timeline::takes(double y) const
{
    return shown_ && y >= height_ - barHeight() && y < height_;
}

double Timeline::msAt(double x, const ShowSpan& span) const
{
    return geometry().msAt(span, x);
}

std::vector<BarFill> Timeline::picture(const TimelineShow& show) const
{
    if (!shown_)
        return {};
    return timelinePicture(geometry(), show);
}

std::optional<TimelineShow> timelineShowOf(const Player& player, std::optional<double> end,
                                           std::span<const double> cues)
{
    const std::optional<double> start = player.startedAt();
    if (!start)
        return std::nullopt;
    const double until = end.value_or(player.expectedEnd());
    return TimelineShow{
        .span = {*start, std::max(*start, until)}, .now = player.now(), .cues = cues};
}

} // namespace q3
