#include "core/stage.h"

#include <algorithm>
#include <atomic>

namespace q3 {
namespace {

constexpr int kPauseWrites = 32000;

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

namespace {

std::uint64_t newStageId()
{
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

} // namespace

Stage::Stage(Scheduler& scheduler, StageHost& host)
    : id_(newStageId()), scheduler_(scheduler), host_(host)
{}

void Stage::erase(Rgb background)
{
    background_ = background;
    displayList_.erase(background);
}

void Stage::clear()
{
    erase(background_);
    events_.publishIfFollowed([&] { return Event{.kind = EventKind::Clear}; });
}

void Stage::setBackground(Rgb colour)
{
    erase(colour);
    events_.publishIfFollowed([&] { return Event{.kind = EventKind::Background, .rgb = colour}; });
}

void Stage::setFill(Rgb colour)
{
    fill_ = colour;
    events_.publishIfFollowed([&] { return Event{.kind = EventKind::Fill, .rgb = colour}; });
}

void Stage::draw(const Shape& shape, EventKind kind, bool fore)
{
    displayList_.add(shape);
    events_.publishIfFollowed([&] {
        return Event{.kind = kind,
                     .p1 = {shape.x1, shape.y1},
                     .p2 = {kind == EventKind::Circle ? 0 : shape.x2, shape.y2},
                     .radius = kind == EventKind::Circle ? shape.radius() : 0,
                     .rgb = shape.outline,
                     .fill = shape.fill,
                     .fore = fore};
    });
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
    controls_.show(control);
    events_.publishIfFollowed([&] { return Event{.kind = EventKind::Show, .control = control}; });
}

void Stage::hide(Control control)
{
    controls_.hide(control);
    events_.publishIfFollowed([&] { return Event{.kind = EventKind::Hide, .control = control}; });
}

void Stage::setCaption(Control control, std::string_view text)
{
    controls_.setCaption(control, text);
    events_.publishIfFollowed([&] {
        return Event{.kind = EventKind::Caption, .control = control, .text = std::string(text)};
    });
}

void Stage::setBackColor(Control control, Rgb colour)
{
    controls_.setBackColor(control, colour);
    events_.publishIfFollowed(
        [&] { return Event{.kind = EventKind::BackColor, .rgb = colour, .control = control}; });
}

void Stage::setFontSize(Control control, double points)
{
    controls_.setFontSize(control, points);
    events_.publishIfFollowed([&] {
        return Event{.kind = EventKind::FontSize, .control = control, .pointSize = points};
    });
}

void Stage::setPeriod(Timer timer, int ms)
{
    scheduler_.setPeriod(timer, ms);
    events_.publishIfFollowed(
        [&] { return Event{.kind = EventKind::Period, .periodMs = ms, .timer = timer}; });
    host_.periodSet();
}

void Stage::maximise()
{
    if (!maximised_) {
        maximised_ = true;
        ++windowChanges_;
    }
    events_.publishIfFollowed([&] { return Event{.kind = EventKind::Maximise}; });
    host_.maximised();
}

void Stage::busyPause()
{
    events_.publishIfFollowed([&] { return Event{.kind = EventKind::Pause}; });
    // Only the first write changes anything; the writes are kept because they are what the
    // pause is made of, and they cost microseconds.
    for (int i = 0; i < kPauseWrites; ++i)
        controls_.hide(Control::lblWasteTime);
    host_.busyPause();
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
    ++windowChanges_;
}

} // namespace q3
