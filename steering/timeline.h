#pragma once
// The timeline along the bottom edge of a front, whatever draws it: when it shows, where it lies
// and what it paints. A front passes in its wall clock's milliseconds, asks when to wake the
// timeline and whether it just hid, and fills the rectangles of its picture.

#include "steering/steering.h"
#include "steering/timeline_look.h"

#include <optional>
#include <span>
#include <vector>

namespace q3 {

// What the timeline shows: the show's span, where it is, and when its cues ran (kept by whoever
// gives them, for as long as the picture is being made).
struct TimelineShow
{
    ShowSpan span;
    double now = 0;
    std::span<const double> cues;
};

// What the timeline of `player` shows, from the show's end and cue times as the front last had
// them from its chart (until then, no end: the show's expected end stands in); nothing before
// the show has started.
[[nodiscard]] std::optional<TimelineShow>
timelineShowOf(const Player& player, std::optional<double> end, std::span<const double> cues);

// A rectangle of the picture, filled in one colour (with its alpha) over the show's picture.
struct BarFill
{
    BarRect rect;
    TimelineLook::Colour colour;
};

// The timeline's picture in an output of that geometry, in the order the rectangles are filled:
// the bar's back, the played and unplayed track, the cue marks and the position.
[[nodiscard]] std::vector<BarFill> timelinePicture(const TimelineGeometry& geometry,
                                                   const TimelineShow& show);

// The timeline of one output. It shows for 2 s after the pointer moved over the lower part of
// the output or a seek key, and while a drag holds it.
class Timeline
{
public:
    // The output's size in its own pixels (a widget's, or the page's CSS pixels) and its device
    // pixels per pixel.
    void setOutput(double width, double height, double devicePixelRatio);
    [[nodiscard]] TimelineGeometry geometry() const { return {width_, height_, dpr_, barHeight()}; }
    [[nodiscard]] double devicePixelRatio() const { return dpr_; }
    // Whether the last pointer was a touch: the bar is a finger's height then. True when that
    // changed.
    bool setTouch(bool touch);
    // The bar's height in the output's pixels.
    [[nodiscard]] int barHeight() const
    {
        return touch_ ? TimelineLook::kTouchBarHeight : TimelineLook::kBarHeight;
    }

    // Shows the timeline for 2 s from `wallMs`.
    void reveal(double wallMs);
    // The pointer moved to `y` of the output's pixels: over the lower part, the timeline shows
    // (true then).
    bool pointerAt(double y, double wallMs);
    // A drag keeps it shown until it is let go; its 2 s start again then.
    void hold(bool held, double wallMs);
    // Hides it once its time is up; true when it just hid.
    bool expire(double wallMs);
    // When expire() has something to do: none while it is hidden or held.
    [[nodiscard]] std::optional<double> wakeAt() const;
    [[nodiscard]] bool shown() const { return shown_; }

    // Whether a press at `y` of the output's pixels lands on the bar: never while it is hidden.
    [[nodiscard]] bool takes(double y) const;
    // The show's moment under `x` of the output's pixels, clamped to the show.
    [[nodiscard]] double msAt(double x, const ShowSpan& span) const;
    // The bar's area in device pixels, painted again when the timeline shows or hides.
    [[nodiscard]] BarRect area() const { return geometry().bar; }
    // What to fill over the show's picture: nothing while it is hidden.
    [[nodiscard]] std::vector<BarFill> picture(const TimelineShow& show) const;

private:
    double width_ = 1;
    double height_ = 1;
    double dpr_ = 1;
    bool shown_ = false;
    bool held_ = false;
    bool touch_ = false;
    double hideAt_ = 0;
};

} // namespace q3
