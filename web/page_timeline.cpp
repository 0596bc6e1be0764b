#include "web/page_timeline.h"

#include "steering/timeline_bar.h"
#include "web/page_js.h"

#include <algorithm>
#include <cmath>

namespace q3 {
namespace {

void fill(const BarRect& r, TimelineLook::Colour colour)
{
    q3js_fill(r.x, r.y, r.width, r.height, static_cast<int>(colour.rgb), colour.alpha);
}

} // namespace

void PageTimeline::setPage(double cssWidth, double cssHeight, double dpr)
{
    cssWidth_ = cssWidth;
    cssHeight_ = cssHeight;
    dpr_ = dpr;
}

void PageTimeline::reveal(double wallMs)
{
    shown_ = true;
    hideAt_ = wallMs + TimelineLook::kShownMs;
}

void PageTimeline::pointerAt(double y, double wallMs)
{
    if (y >= cssHeight_ * (1 - TimelineLook::kRevealPart))
        reveal(wallMs);
}

void PageTimeline::hold(bool held, double wallMs)
{
    held_ = held;
    reveal(wallMs);
}

bool PageTimeline::expire(double wallMs)
{
    if (!shown_ || held_ || wallMs < hideAt_)
        return false;
    shown_ = false;
    return true;
}

bool PageTimeline::takes(double y) const
{
    return shown_ && y >= cssHeight_ - TimelineLook::kBarHeight && y < cssHeight_;
}

double PageTimeline::msAt(double x, const PageTimelineModel& model) const
{
    return TimelineGeometry(cssWidth_, cssHeight_, dpr_).msAt(model.span, x);
}

IntRect PageTimeline::area() const
{
    const BarRect bar = TimelineGeometry(cssWidth_, cssHeight_, dpr_).bar;
    return IntRect::sized(bar.x, bar.y, bar.width, bar.height);
}

void PageTimeline::paint(const PageTimelineModel& model) const
{
    using Look = TimelineLook;
    if (!shown_)
        return;
    const TimelineGeometry g(cssWidth_, cssHeight_, dpr_);
    const int right = g.left + g.width;
    const int at = g.xOf(model.span, model.now);
    fill(g.bar, Look::kBack);
    fill(g.band(g.left, at, Look::kTrack), Look::kPlayed);
    fill(g.band(at, right, Look::kTrack), Look::kUnplayed);
    const int markWidth = g.device(1);
    for (const double cue : model.cues) {
        const int x = g.xOf(model.span, cue);
        fill(g.band(x - markWidth / 2, x - markWidth / 2 + markWidth, Look::kMark),
             Look::kMarkColour);
    }
    const int knob = g.device(Look::kKnob);
    fill(g.band(at - knob / 2, at - knob / 2 + knob, Look::kBarHeight - 2), Look::kKnobColour);
}

} // namespace q3
