#include "stage/stage.h"

#include <algorithm>

namespace q3 {
namespace {

constexpr int kPauseWrites = 32000;
constexpr double kPauseMs = 100;

Shape shapeOf(Shape::Kind kind, Point p1, Point p2, Rgb outline, Rgb fill)
{
    return {kind,
            static_cast<std::int16_t>(p1.x.value()),
            static_cast<std::int16_t>(p1.y.value()),
            static_cast<std::int16_t>(p2.x.value()),
            static_cast<std::int16_t>(p2.y.value()),
            outline,
            fill};
}

} // namespace

Stage::Stage(Scheduler& scheduler) : scheduler_(scheduler) {}

void Stage::publish(const Event& event)
{
    for (StageListener* listener : listeners_)
        listener->onEvent(event);
}

void Stage::addListener(StageListener* listener)
{
    listeners_.push_back(listener);
}

void Stage::removeListener(StageListener* listener)
{
    listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void Stage::erase(Rgb background)
{
    background_ = background;
    displayList_.erase(background);
}

void Stage::clear()
{
    erase(background_);
    if (!listeners_.empty())
        publish({.kind = EventKind::Clear});
}

void Stage::setBackground(Rgb colour)
{
    erase(colour);
    if (!listeners_.empty())
        publish({.kind = EventKind::Background, .rgb = colour});
}

void Stage::setFill(Rgb colour)
{
    fill_ = colour;
    if (!listeners_.empty())
        publish({.kind = EventKind::Fill, .rgb = colour});
}

void Stage::draw(const Shape& shape, EventKind kind, bool fore)
{
    displayList_.add(shape);
    if (listeners_.empty())
        return;
    publish({.kind = kind,
             .v = {shape.a, shape.b, shape.c, shape.d},
             .rgb = shape.outline,
             .fill = shape.fill,
             .fore = fore});
}

void Stage::line(Point p1, Point p2, Rgb colour)
{
    draw(shapeOf(Shape::Kind::Line, p1, p2, colour, fill_), EventKind::Line, false);
}

void Stage::line(Point p1, Point p2)
{
    draw(shapeOf(Shape::Kind::Line, p1, p2, kBlack, fill_), EventKind::Line, true);
}

void Stage::box(Point p1, Point p2, Rgb outline)
{
    draw(shapeOf(Shape::Kind::Box, p1, p2, outline, fill_), EventKind::Box, false);
}

void Stage::circle(Point centre, Int16 radius, Rgb outline)
{
    draw(shapeOf(Shape::Kind::Circle, centre, {radius, 0}, outline, fill_), EventKind::Circle,
         false);
}

void Stage::circle(Point centre, Int16 radius)
{
    draw(shapeOf(Shape::Kind::Circle, centre, {radius, 0}, kBlack, fill_), EventKind::Circle, true);
}

void Stage::show(Control control)
{
    ControlState& s = state(control);
    if (!s.visible) {
        s.visible = true;
        ++controlsVersion_;
    }
    if (!listeners_.empty())
        publish({.kind = EventKind::Show, .control = control});
}

void Stage::hide(Control control)
{
    ControlState& s = state(control);
    if (s.visible) {
        s.visible = false;
        ++controlsVersion_;
    }
    if (!listeners_.empty())
        publish({.kind = EventKind::Hide, .control = control});
}

void Stage::setCaption(Control control, std::string_view text)
{
    state(control).caption = text;
    ++controlsVersion_;
    if (!listeners_.empty())
        publish({.kind = EventKind::Caption, .control = control, .text = std::string(text)});
}

void Stage::setBackColor(Control control, Rgb colour)
{
    state(control).backColor = colour;
    ++controlsVersion_;
    if (!listeners_.empty())
        publish({.kind = EventKind::BackColor, .rgb = colour, .control = control});
}

void Stage::setFontSize(Control control, double points)
{
    state(control).pointSize = points;
    ++controlsVersion_;
    if (!listeners_.empty())
        publish({.kind = EventKind::FontSize, .control = control, .pointSize = points});
}

void Stage::setPeriod(Timer timer, int ms)
{
    scheduler_.setPeriod(timer, ms);
    if (!listeners_.empty())
        publish({.kind = EventKind::Period, .v = {ms, 0, 0, 0}, .timer = timer});
}

void Stage::maximise()
{
    if (!maximised_) {
        maximised_ = true;
        ++controlsVersion_;
    }
    if (!listeners_.empty())
        publish({.kind = EventKind::Maximise});
}

void Stage::busyPause()
{
    // Counted from the handler's time, so that the frames of a loop that started on time come
    // every 100 ms of the wall clock, whatever the drawing between them took.
    const double start = scheduler_.handlerTime();
    if (!listeners_.empty())
        publish({.kind = EventKind::Pause});
    // Only the first write changes anything; the writes are kept because they are what the
    // pause is made of, and they cost microseconds.
    ControlState& waste = state(Control::lblWasteTime);
    for (int i = 0; i < kPauseWrites; ++i) {
        if (waste.visible) {
            waste.visible = false;
            ++controlsVersion_;
        }
    }
    // Every frame of the loop must reach the screen while the loop runs.
    if (present_)
        present_();
    // Pace the frame by time, not by the speed of the machine.
    scheduler_.clock().waitUntil(start + kPauseMs);
    scheduler_.moveHandlerTime(start + kPauseMs);
}

int Stage::surfaceWidth() const
{
    return maximised_ ? kStageWidth : clientWidth_;
}

int Stage::surfaceHeight() const
{
    return maximised_ ? kStageHeight : clientHeight_;
}

void Stage::setClientSize(int widthUnits, int heightUnits)
{
    if (widthUnits == clientWidth_ && heightUnits == clientHeight_)
        return;
    clientWidth_ = widthUnits;
    clientHeight_ = heightUnits;
    ++controlsVersion_;
}

std::optional<Control> Stage::controlAt(double x, double y) const
{
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const Control c = q3::controlAt(i);
        if (controls_.at(i).visible && designOf(c).rect.contains(x, y))
            return c;
    }
    return std::nullopt;
}

} // namespace q3
