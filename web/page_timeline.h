#pragma once
// The timeline along the bottom edge of the page: a mark at each cue and the part played. It
// shows for 2 s after the pointer or a touch moved over the lower part of the page or a seek
// key, and while it is held. INTERIM: the look and rules of the window's (window/timeline.cpp),
// until both share one Qt-free geometry.

#include "raster/geometry.h"
#include "steering/steering.h"

#include <optional>
#include <vector>

namespace q3 {

struct PageTimelineModel
{
    ShowSpan span;
    double now = 0;
    std::vector<double> cues;
};

class PageTimeline
{
public:
    // The page's size in CSS pixels and its device pixel ratio.
    void setPage(double cssWidth, double cssHeight, double dpr);
    // Shows the timeline for 2 s from `wallMs`.
    void reveal(double wallMs);
    void pointerAt(double y, double wallMs);
    void hold(bool held, double wallMs);
    // Hides it once its time is up; true when it just hid.
    bool expire(double wallMs);
    [[nodiscard]] bool shown() const { return shown_; }
    [[nodiscard]] bool held() const { return held_; }
    // Whether a press at (x, y) CSS pixels lands on the bar.
    [[nodiscard]] bool takes(double y) const;
    [[nodiscard]] double msAt(double x, const PageTimelineModel& model) const;
    // The bar's area in device pixels.
    [[nodiscard]] IntRect area() const;
    void paint(const PageTimelineModel& model) const;

private:
    double cssWidth_ = 1;
    double cssHeight_ = 1;
    double dpr_ = 1;
    bool shown_ = false;
    bool held_ = false;
    double hideAt_ = 0;
};

} // namespace q3
