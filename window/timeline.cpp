#include "window/timeline.h"

#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace q3 {
namespace {

constexpr int kShownMs = 2000;
constexpr int kFollowMs = 40;
// In widget pixels: the bar's height (and hit area), the track's inset at the ends and its
// thickness, the cue marks' height and the position's width.
constexpr int kBarHeight = 14;
constexpr int kInset = 8;
constexpr int kTrack = 4;
constexpr int kMark = 8;
constexpr int kKnob = 3;
// The pointer shows the timeline over this lower part of the window.
constexpr double kRevealPart = 0.25;

int device(double widgetPixels, qreal dpr)
{
    return std::max(1, static_cast<int>(std::lround(widgetPixels * dpr)));
}

// The bar in device pixels: its rectangle and the track's ends.
struct BarGeometry
{
    QRect bar;
    int left = 0;
    int width = 1;

    BarGeometry(QSize widget, qreal dpr)
    {
        const int bottom = static_cast<int>(std::lround(widget.height() * dpr));
        const int top = static_cast<int>(std::floor((widget.height() - kBarHeight) * dpr));
        bar = QRect(0, top, static_cast<int>(std::lround(widget.width() * dpr)), bottom - top);
        left = device(kInset, dpr);
        width = std::max(1, bar.width() - 2 * left);
    }
    [[nodiscard]] int xOf(const ShowSpan& span, double ms) const
    {
        const double length = span.end - span.start;
        const double part = length > 0 ? (span.clamp(ms) - span.start) / length : 0;
        return left + static_cast<int>(std::lround(part * width));
    }
    // A band of `height` widget pixels across the bar's middle, from x0 to x1.
    [[nodiscard]] QRect band(int x0, int x1, int height, qreal dpr) const
    {
        const int h = device(height, dpr);
        return {x0, bar.top() + (bar.height() - h) / 2, std::max(0, x1 - x0), h};
    }
};

} // namespace

TimelineBar::TimelineBar(QWidget& widget, Model model) : widget_(widget), model_(std::move(model))
{
    hideTimer_.setSingleShot(true);
    QObject::connect(&hideTimer_, &QTimer::timeout, &widget_, [this] { hide(); });
    QObject::connect(&followTimer_, &QTimer::timeout, &widget_, [this] { follow(); });
}

void TimelineBar::reveal()
{
    if (!model_())
        return;
    if (!held_)
        hideTimer_.start(kShownMs);
    shown_ = true;
    followTimer_.start(kFollowMs);
    paintedAt_ = -1;
    widget_.update(area());
}

void TimelineBar::pointerAt(QPointF at)
{
    if (at.y() >= widget_.height() * (1 - kRevealPart))
        reveal();
}

void TimelineBar::hold(bool held)
{
    held_ = held;
    if (held)
        hideTimer_.stop();
    else
        reveal();
}

void TimelineBar::refresh()
{
    if (shown_)
        widget_.update(area());
}

bool TimelineBar::takes(QPointF at) const
{
    return shown_ && area().contains(at.toPoint());
}

std::optional<double> TimelineBar::msAt(double x) const
{
    const std::optional<TimelineModel> model = model_();
    if (!model)
        return std::nullopt;
    const qreal dpr = widget_.devicePixelRatioF();
    const BarGeometry geometry(widget_.size(), dpr);
    const double part = (x * dpr - geometry.left) / geometry.width;
    const ShowSpan& span = model->span;
    return span.clamp(span.start + std::clamp(part, 0.0, 1.0) * (span.end - span.start));
}

QRect TimelineBar::area() const
{
    return {0, widget_.height() - kBarHeight, widget_.width(), kBarHeight};
}

void TimelineBar::hide()
{
    shown_ = false;
    followTimer_.stop();
    // The picture under the bar is painted again.
    widget_.update(area());
}

void TimelineBar::follow()
{
    const std::optional<TimelineModel> model = model_();
    if (!model)
        return hide();
    const BarGeometry geometry(widget_.size(), widget_.devicePixelRatioF());
    if (geometry.xOf(model->span, model->now) != paintedAt_)
        widget_.update(area());
}

void TimelineBar::paint(QPainter& painter, qreal dpr)
{
    const QColor back(0, 0, 0, 150);
    const QColor unplayed(255, 255, 255, 90);
    const QColor played(255, 176, 0);
    const QColor mark(255, 255, 255, 210);
    const QColor knobColour(255, 255, 255);
    if (!shown_)
        return;
    const std::optional<TimelineModel> model = model_();
    if (!model)
        return;
    const BarGeometry g(widget_.size(), dpr);
    const int right = g.left + g.width;
    const int at = g.xOf(model->span, model->now);
    painter.fillRect(g.bar, back);
    painter.fillRect(g.band(g.left, at, kTrack, dpr), played);
    painter.fillRect(g.band(at, right, kTrack, dpr), unplayed);
    const int markWidth = device(1, dpr);
    for (const double cue : model->cues) {
        const int x = g.xOf(model->span, cue);
        painter.fillRect(g.band(x - markWidth / 2, x - markWidth / 2 + markWidth, kMark, dpr),
                         mark);
    }
    const int knob = device(kKnob, dpr);
    painter.fillRect(g.band(at - knob / 2, at - knob / 2 + knob, kBarHeight - 2, dpr), knobColour);
    paintedAt_ = at;
}

} // namespace q3
