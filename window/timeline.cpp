#include "window/timeline.h"

#include <QColor>
#include <QPainter>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace q3 {
namespace {

constexpr int kFollowMs = 40;

QColor toQColor(TimelineLook::Colour c)
{
    return {static_cast<int>((c.rgb >> 16) & 0xff), static_cast<int>((c.rgb >> 8) & 0xff),
            static_cast<int>(c.rgb & 0xff), c.alpha};
}

} // namespace

WindowTimeline::WindowTimeline(QWidget& widget, Shows shows)
    : widget_(widget), shows_(std::move(shows))
{
    clock_.start();
    wakeUp_.setSingleShot(true);
    wakeUp_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wakeUp_, &QTimer::timeout, &widget_, [this] { wake(); });
    QObject::connect(&followTimer_, &QTimer::timeout, &widget_, [this] { follow(); });
}

Timeline& WindowTimeline::model()
{
    model_.setOutput(widget_.width(), widget_.height(), widget_.devicePixelRatioF());
    return model_;
}

void WindowTimeline::reveal()
{
    if (!show())
        return;
    model_.reveal(wallMs());
    changed();
}

void WindowTimeline::changed()
{
    rearm();
    if (model_.shown())
        followTimer_.start(kFollowMs);
    paintedAt_ = -1;
    widget_.update(area());
}

void WindowTimeline::refresh()
{
    if (model_.shown())
        widget_.update(area());
}

QRect WindowTimeline::area() const
{
    return {0, widget_.height() - model_.barHeight(), widget_.width(), model_.barHeight()};
}

void WindowTimeline::rearm()
{
    if (const std::optional<double> at = model_.wakeAt())
        wakeUp_.start(std::max(0, static_cast<int>(std::ceil(*at - wallMs()))));
    else
        wakeUp_.stop();
}

void WindowTimeline::wake()
{
    if (!model_.expire(wallMs())) {
        // Woken a moment early.
        rearm();
        return;
    }
    followTimer_.stop();
    // The picture under the bar is painted again.
    widget_.update(area());
}

void WindowTimeline::follow()
{
    const std::optional<TimelineShow> show = this->show();
    if (show && model().geometry().xOf(show->span, show->now) != paintedAt_)
        widget_.update(area());
}

void WindowTimeline::paint(QPainter& painter, qreal devicePixelRatio)
{
    const std::optional<TimelineShow> show = this->show();
    if (!model_.shown() || !show)
        return;
    model_.setOutput(widget_.width(), widget_.height(), devicePixelRatio);
    for (const BarFill& fill : model_.picture(*show))
        painter.fillRect(QRect(fill.rect.x, fill.rect.y, fill.rect.width, fill.rect.height),
                         toQColor(fill.colour));
    paintedAt_ = model_.geometry().xOf(show->span, show->now);
}

} // namespace q3
