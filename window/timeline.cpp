#include "window/timeline.h"

#include "steering/timeline_bar.h"

#include <QColor>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace q3 {
namespace {

constexpr int kFollowMs = 40;

QRect toQRect(const BarRect& r)
{
    return {r.x, r.y, r.width, r.height};
}

QColor toQColor(TimelineLook::Colour c)
{
    return {static_cast<int>((c.rgb >> 16) & 0xff), static_cast<int>((c.rgb >> 8) & 0xff),
            static_cast<int>(c.rgb & 0xff), c.alpha};
}

TimelineGeometry geometryOf(const QWidget& widget, qreal dpr)
{
    return {double(widget.width()), double(widget.height()), dpr};
}

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
        hideTimer_.start(TimelineLook::kShownMs);
    shown_ = true;
    followTimer_.start(kFollowMs);
    paintedAt_ = -1;
    widget_.update(area());
}

void TimelineBar::pointerAt(QPointF at)
{
    if (at.y() >= widget_.height() * (1 - TimelineLook::kRevealPart))
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
    return geometryOf(widget_, widget_.devicePixelRatioF()).msAt(model->span, x);
}

QRect TimelineBar::area() const
{
    return {0, widget_.height() - TimelineLook::kBarHeight, widget_.width(),
            TimelineLook::kBarHeight};
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
    if (geometryOf(widget_, widget_.devicePixelRatioF()).xOf(model->span, model->now) != paintedAt_)
        widget_.update(area());
}

void TimelineBar::paint(QPainter& painter, qreal dpr)
{
    using Look = TimelineLook;
    if (!shown_)
        return;
    const std::optional<TimelineModel> model = model_();
    if (!model)
        return;
    const TimelineGeometry g = geometryOf(widget_, dpr);
    const int right = g.left + g.width;
    const int at = g.xOf(model->span, model->now);
    painter.fillRect(toQRect(g.bar), toQColor(Look::kBack));
    painter.fillRect(toQRect(g.band(g.left, at, Look::kTrack)), toQColor(Look::kPlayed));
    painter.fillRect(toQRect(g.band(at, right, Look::kTrack)), toQColor(Look::kUnplayed));
    const int markWidth = g.device(1);
    for (const double cue : model->cues) {
        const int x = g.xOf(model->span, cue);
        painter.fillRect(
            toQRect(g.band(x - markWidth / 2, x - markWidth / 2 + markWidth, Look::kMark)),
            toQColor(Look::kMarkColour));
    }
    const int knob = g.device(Look::kKnob);
    painter.fillRect(toQRect(g.band(at - knob / 2, at - knob / 2 + knob, Look::kBarHeight - 2)),
                     toQColor(Look::kKnobColour));
    paintedAt_ = at;
}

} // namespace q3
