#include "web/page_show.h"

#include "core/event_json.h"
#include "core/script/show.h"
#include "core/wall_driver.h"
#include "web/page_js.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <emscripten.h>
#include <iostream>
#include <utility>

namespace q3 {
namespace {

// The keys of the window as the browser names them (KeyboardEvent.key); digits apart.
constexpr std::array<std::pair<std::string_view, ViewerKey>, 14> kNamedKeys{{
    {"ArrowLeft", ViewerKey::Left},
    {"ArrowRight", ViewerKey::Right},
    {"Home", ViewerKey::Home},
    {"End", ViewerKey::End},
    {",", ViewerKey::Comma},
    {".", ViewerKey::Period},
    {"[", ViewerKey::BracketLeft},
    {"]", ViewerKey::BracketRight},
    {"l", ViewerKey::L},
    {"L", ViewerKey::L},
    {" ", ViewerKey::Space},
    {"Enter", ViewerKey::Enter},
    {"q", ViewerKey::Q},
    {"Q", ViewerKey::Q},
}};

// A key as the browser names it, as the steering reads keys.
std::optional<KeyPress> keyPressOf(std::string_view name, bool shift, bool command, bool repeat)
{
    KeyPress press{.shift = shift, .command = command, .autoRepeat = repeat};
    if (name.size() == 1 && name[0] >= '0' && name[0] <= '9') {
        press.key = ViewerKey::Digit;
        press.digit = name[0] - '0';
        return press;
    }
    for (const auto& [named, key] : kNamedKeys)
        if (named == name) {
            press.key = key;
            return press;
        }
    return std::nullopt;
}

// The browser's clock. A wait gives the page back to the browser until it is over, so that a
// frame loop's frame reaches the screen while its handler waits.
class BrowserClock final : public Clock
{
public:
    [[nodiscard]] double now() const override { return emscripten_get_now() - start_; }
    void waitUntil(double ms) override
    {
        for (double left = ms - now(); left > 0; left = ms - now())
            emscripten_sleep(static_cast<unsigned>(std::ceil(left)));
    }
    [[nodiscard]] bool isVirtual() const override { return false; }

private:
    double start_ = emscripten_get_now();
};

PointerEvent pointerEvent(PageFront::Pointer what)
{
    switch (what) {
    case PageFront::Pointer::Down:
        return PointerEvent::Press;
    case PageFront::Pointer::Move:
        return PointerEvent::Move;
    case PageFront::Pointer::Up:
        break;
    }
    return PointerEvent::Release;
}

IntRect intRect(const BarRect& r)
{
    return IntRect::sized(r.x, r.y, r.width, r.height);
}

} // namespace

PageShow::PageShow(const PageOptions& options, std::uint32_t seed)
    : options_(options),
      player_(std::make_unique<BrowserClock>(), makeQuilletShow(seed), std::cerr, *this),
      canvas_(options.quality)
{
    following_ = player_.stage().events().subscribe(*this);
    if (options_.trace)
        appendTraceLine(trace_, 0, 0, startJson(seed, "page"));
}

void PageShow::start()
{
    player_.load();
    player_.setLoop(options_.loop);
    player_.setSpeed(options_.speed);
    if (options_.startMs) {
        player_.addClick(0);
        player_.seek(*options_.startMs);
    }
    // The options' state is told in the title only: the viewer did not change it.
    titled_ = viewState();
    q3js_title(captionText(*titled_).c_str());
    rearm();
    paint();
}

void PageShow::resize(double cssWidth, double cssHeight, double devicePixelRatio)
{
    // The page is the screen, not the window: the window keeps its designed client area until
    // the show maximises it, and either is fitted to the page, as in a screenshot. The timeline
    // keeps its CSS pixels, drawn at the canvas's pixels.
    const CanvasSize size = canvasSize(cssWidth, cssHeight, devicePixelRatio);
    timeline_.setOutput(cssWidth, cssHeight, size.ratio);
    canvas_.setOutput(size.width, size.height);
    paint();
}

void PageShow::pointer(Pointer what, double x, double y, bool touch)
{
    const PointerScene scene{
        .started = player_.startedAt().has_value(),
        .span = [this] { return timelineShow().value_or(TimelineShow{}).span; },
        .fit = canvas_.view(player_.stage())};
    const BarRect before = timeline_.area();
    const PointerDid did =
        pointer_.handle(pointerEvent(what), touch ? PointerKind::Touch : PointerKind::Mouse, x, y,
                        emscripten_get_now(), timeline_, scene);
    // A bar that shrank to a mouse's height leaves the picture it covered to paint again.
    if (did.timelineChanged && timeline_.area().y > before.y)
        canvas_.paintArea(player_.stage(), intRect(before));
    if (did.seekTo)
        seek(*did.seekTo);
    if (did.pressAt && player_.press(did.pressAt->x, did.pressAt->y))
        rearm();
    // The timeline shows, or follows the drag, from the next frame on.
    if (what == Pointer::Move || did.pressAt || did.timelineChanged)
        q3js_request_frame();
}

std::optional<TimelineShow> PageShow::timelineShow()
{
    if (!player_.startedAt())
        return std::nullopt;
    const ShowChart& chart = player_.chart();
    return timelineShowOf(player_, chart.end, chart.cues);
}

void PageShow::steer(Steer steer)
{
    // The page's own pause: a hidden page pauses the player too.
    if (steer.kind == SteerKind::TogglePause)
        return paused() ? play() : pause();
    const Steered did = applySteer(player_, steer);
    if (did.toggleQuality) {
        canvas_.setQuality(canvas_.quality() == Quality::Crisp ? Quality::Smooth : Quality::Crisp);
        stateChanged();
        paint();
        return;
    }
    if (did.stateChanged)
        stateChanged();
    if (did.seeked) {
        announceCaptions(player_.stage(), player_.now());
        paint();
    }
    if (did.revealTimeline)
        timeline_.reveal(emscripten_get_now());
    rearm();
    q3js_request_frame();
}

bool PageShow::key(std::string_view name, bool shift, bool otherModifiers, bool repeat)
{
    const std::optional<KeyPress> press = keyPressOf(name, shift, otherModifiers, repeat);
    if (!press)
        return false;
    const std::optional<Steer> steering = steerFor(*press, player_.startedAt().has_value());
    if (!steering)
        return false;
    steer(*steering);
    return true;
}

ViewState PageShow::viewState() const
{
    return {.speed = player_.speed(),
            .quality = canvas_.quality(),
            .loop = player_.loop(),
            .paused = paused()};
}

void PageShow::stateChanged()
{
    const ViewState now = viewState();
    // Before the start the options are not all set yet: start() names them.
    if (!titled_ || now == *titled_)
        return;
    q3js_title(captionText(now).c_str());
    q3js_notice(changeText(*titled_, now).c_str());
    titled_ = now;
}

void PageShow::pausedChanged()
{
    player_.setPaused(pausedNow());
    stateChanged();
    rearm();
}

void PageShow::runDue()
{
    player_.runDue();
    rearm();
}

void PageShow::frame()
{
    if (timeline_.expire(emscripten_get_now()))
        canvas_.paintArea(player_.stage(), intRect(timeline_.area()));
    paint();
    // The timeline follows the show while it shows.
    if (timeline_.shown())
        q3js_request_frame();
}

void PageShow::play()
{
    clickToStart(player_);
    PageFront::play();
}

void PageShow::seek(double ms)
{
    seekClicked(player_, ms);
    announceCaptions(player_.stage(), player_.now());
    rearm();
    // The frame it landed on is on the canvas when the seek returns.
    paint();
}

void PageShow::frameDue(FrameDue when)
{
    // What a frame shows, not what a handler did on the way.
    announceCaptions(player_.stage(), player_.now());
    if (when == FrameDue::Now)
        paint();
    else
        q3js_request_frame();
}

void PageShow::onEvent(const Event& event)
{
    if (options_.trace)
        appendTraceLine(trace_, player_.now(), traceDecimals(player_.clock()), event);
}

void PageShow::rearm()
{
    const std::optional<double> due = player_.nextDue();
    q3js_set_timer(due ? std::max(0.0, wallMsUntil(player_, *due)) : -1);
}

void PageShow::paint()
{
    canvas_.paint(player_.stage());
    if (!timeline_.shown())
        return;
    if (const std::optional<TimelineShow> show = timelineShow()) {
        canvas_.paintArea(player_.stage(), intRect(timeline_.area()));
        for (const BarFill& fill : timeline_.picture(*show))
            q3js_fill(fill.rect.x, fill.rect.y, fill.rect.width, fill.rect.height,
                      static_cast<int>(fill.colour.rgb), fill.colour.alpha);
    }
}

} // namespace q3
