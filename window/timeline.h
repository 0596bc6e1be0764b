#pragma once

#include "steering/timeline.h"

#include <QElapsedTimer>
#include <QRect>
#include <QTimer>
#include <functional>
#include <optional>

class QPainter;
class QWidget;

namespace q3 {

// The timeline (steering/timeline.h) along the bottom edge of the window: the wall clock and the
// timers that wake it, and its rectangles painted over the window's picture only (screenshots,
// recordings and the trace never see it).
class WindowTimeline
{
public:
    // Nothing before the show has started: the timeline then never shows.
    using Shows = std::function<std::optional<TimelineShow>()>;

    WindowTimeline(QWidget& widget, Shows shows);

    // The model, at the window's size, for the pointer.
    [[nodiscard]] Timeline& model();
    // Nothing without a show to ask (a window that only shows the stage).
    [[nodiscard]] std::optional<TimelineShow> show() const
    {
        return shows_ ? shows_() : std::nullopt;
    }
    [[nodiscard]] double wallMs() const { return double(clock_.elapsed()); }

    // Shows the timeline for 2 s from now (if the show has started), as after a seek key.
    void reveal();
    // The model showed, was held or was let go: its wake-up is set again and its area painted.
    void changed();
    // What the show gives changed: the bar, if shown, is painted again.
    void refresh();
    [[nodiscard]] bool shown() const { return model_.shown(); }
    // Paints the bar where it lies in an output painted in device pixels.
    void paint(QPainter& painter, qreal devicePixelRatio);

private:
    [[nodiscard]] QRect area() const;
    void rearm();
    void wake();
    void follow();

    QWidget& widget_;
    Shows shows_;
    Timeline model_;
    QElapsedTimer clock_;
    QTimer wakeUp_;
    QTimer followTimer_;
    int paintedAt_ = -1; // the position's device pixel when the bar was last painted
};

} // namespace q3
