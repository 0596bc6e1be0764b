#pragma once

#include "window/steering.h"

#include <QPointF>
#include <QRect>
#include <QTimer>
#include <functional>
#include <optional>
#include <span>

class QPainter;
class QWidget;

namespace q3 {

// What the timeline shows: the show's span, where it is, and when its cues ran (kept by whoever
// gives the model, for as long as the bar paints).
struct TimelineModel
{
    ShowSpan span;
    double now = 0;
    std::span<const double> cues;
};

// A thin bar along the bottom edge of the window: a mark at each cue and the part played. It
// shows for 2 s after the pointer moved over the lower part of the window or a seek, and while
// it is held. It is painted over the window's picture only: screenshots, recordings and the
// trace never see it.
class TimelineBar
{
public:
    // Nothing before the show has started: the timeline then never shows.
    using Model = std::function<std::optional<TimelineModel>()>;

    TimelineBar(QWidget& widget, Model model);

    // Shows the timeline for 2 s from now (if the show has started).
    void reveal();
    // The pointer moved to `at`: the timeline shows over the lower part of the window.
    void pointerAt(QPointF at);
    // A drag on the bar keeps it shown until it is let go.
    void hold(bool held);
    [[nodiscard]] bool shown() const { return shown_; }
    // What the model gives changed: the bar, if shown, is painted again.
    void refresh();
    // Where the bar takes presses, in widget pixels: nowhere while it is hidden.
    [[nodiscard]] bool takes(QPointF at) const;
    // The show's moment at `x`, clamped to the show.
    [[nodiscard]] std::optional<double> msAt(double x) const;
    // Paints the bar where it lies in an output painted in device pixels.
    void paint(QPainter& painter, qreal devicePixelRatio);

private:
    [[nodiscard]] QRect area() const;
    void hide();
    void follow();

    QWidget& widget_;
    Model model_;
    QTimer hideTimer_;
    QTimer followTimer_;
    bool shown_ = false;
    bool held_ = false;
    int paintedAt_ = -1; // the position's device pixel when the bar was last painted
};

} // namespace q3
