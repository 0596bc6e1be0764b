#include "web/page_show.h"

#include "core/captions.h"
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
constexpr std::array<std::pair<std::string_view, ViewerKey>, 12> kNamedKeys{{
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

std::unique_ptr<Clock> clockFor(const PageOptions& options)
{
    if (options.atMs)
        return std::make_unique<VirtualClock>();
    return std::make_unique<BrowserClock>();
}

} // namespace

PageShow::PageShow(const PageOptions& options, std::uint32_t seed)
    : options_(options), seed_(seed),
      player_(clockFor(options), makeQuilletShow(seed), std::cerr, *this), canvas_(options.quality)
{
    following_ = player_.stage().events().subscribe(*this);
    if (options_.trace)
        appendTraceLine(trace_, 0, 0, startJson(seed_, options_.atMs ? "page-still" : "page"));
}

void PageShow::start()
{
    player_.load();
    if (options_.atMs) {
        // A still, as a screenshot sees it: played from the click at 0 ms on virtual time.
        player_.addClick(0);
        if (options_.startMs.value_or(0) > 0)
            player_.seek(*options_.startMs);
        player_.setLoop(options_.loop);
        // Looping or not, as long as it takes to reach the still's moment.
        player_.runFor(*options_.atMs - player_.now());
        return;
    }
    player_.setLoop(options_.loop);
    player_.setSpeed(options_.speed);
    if (options_.startMs) {
        player_.addClick(0);
        player_.seek(*options_.startMs);
    }
    rearm();
    paint();
}

void PageShow::resize(double cssWidth, double cssHeight, double devicePixelRatio)
{
    dpr_ = devicePixelRatio > 0 ? devicePixelRatio : 1;
    const int width = std::max(1, static_cast<int>(std::lround(cssWidth * dpr_)));
    const int height = std::max(1, static_cast<int>(std::lround(cssHeight * dpr_)));
    // The page is the screen, not the window: the window keeps its designed client area until
    // the show maximises it, and either is fitted to the page, as in a screenshot.
    canvas_.setOutput(width, height);
    timeline_.setPage(cssWidth, cssHeight, dpr_);
    paint();
}

void PageShow::pointer(Pointer what, double x, double y)
{
    if (options_.atMs)
        return;
    const double wall = emscripten_get_now();
    if (what == Pointer::Up) {
        if (dragging_)
            timeline_.hold(false, wall);
        dragging_ = false;
        return;
    }
    if (what == Pointer::Move) {
        if (dragging_)
            seekFromTimeline(x);
        else if (player_.startedAt())
            timeline_.pointerAt(y, wall);
        q3js_request_frame();
        return;
    }
    if (timeline_.takes(y)) {
        dragging_ = true;
        timeline_.hold(true, wall);
        seekFromTimeline(x);
        return;
    }
    const StageFit view = canvas_.view(player_.stage());
    if (player_.press((x * dpr_ - view.surface.left) / view.scale,
                      (y * dpr_ - view.surface.top) / view.scale))
        rearm();
    // A touch shows the timeline as the pointer does.
    if (player_.startedAt())
        timeline_.pointerAt(y, wall);
    q3js_request_frame();
}

void PageShow::seekFromTimeline(double x)
{
    if (const std::optional<PageTimelineModel> model = timelineModel())
        seek(timeline_.msAt(x, *model));
}

std::optional<PageTimelineModel> PageShow::timelineModel()
{
    const std::optional<double> start = player_.startedAt();
    if (!start)
        return std::nullopt;
    const ShowChart& chart = player_.chart();
    return PageTimelineModel{
        .span = spanOf(chart, *start), .now = player_.now(), .cues = chart.cues};
}

void PageShow::steer(Steer steer)
{
    // The page's own pause: a hidden page pauses the player too.
    if (steer.kind == SteerKind::TogglePause)
        return userPaused_ ? play() : pause();
    if (applySteer(player_, steer).seeked) {
        announceCaptions();
        paint();
    }
    if (seeks(steer) && player_.startedAt())
        timeline_.reveal(emscripten_get_now());
    rearm();
    q3js_request_frame();
}

bool PageShow::key(std::string_view name, bool shift, bool otherModifiers, bool repeat)
{
    if (options_.atMs)
        return false;
    if ((name == "q" || name == "Q") && !otherModifiers && !shift && !repeat) {
        canvas_.setQuality(canvas_.quality() == Quality::Crisp ? Quality::Smooth : Quality::Crisp);
        paint();
        return true;
    }
    const std::optional<KeyPress> press = keyPressOf(name, shift, otherModifiers, repeat);
    if (!press)
        return false;
    const std::optional<Steer> steering = steerFor(*press, player_.startedAt().has_value());
    if (!steering)
        return false;
    steer(*steering);
    return true;
}

void PageShow::setHidden(bool hidden)
{
    hidden_ = hidden;
    setPausedState();
}

void PageShow::setPausedState()
{
    player_.setPaused(userPaused_ || hidden_);
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
        canvas_.paintArea(player_.stage(), timeline_.area());
    paint();
    // The timeline follows the show while it shows.
    if (timeline_.shown())
        q3js_request_frame();
}

double PageShow::currentTime() const
{
    return player_.now();
}

void PageShow::play()
{
    if (!player_.startedAt())
        player_.click();
    userPaused_ = false;
    setPausedState();
}

void PageShow::pause()
{
    userPaused_ = true;
    setPausedState();
}

void PageShow::seek(double ms)
{
    if (options_.atMs)
        return;
    if (!player_.startedAt())
        player_.click();
    player_.seek(std::max(ms, *player_.startedAt()));
    announceCaptions();
    rearm();
    // The frame it landed on is on the canvas when the seek returns.
    paint();
}

void PageShow::frameDue(FrameDue when)
{
    // What a frame shows, not what a handler did on the way.
    announceCaptions();
    if (when == FrameDue::Now && !options_.atMs)
        paint();
    else
        q3js_request_frame();
}

std::optional<double> PageShow::nextLook() const
{
    if (!options_.atMs || stillTaken_)
        return std::nullopt;
    return *options_.atMs;
}

void PageShow::look(double /*atMs*/, const Stage& /*stage*/)
{
    stillTaken_ = true;
    paint();
    announceCaptions();
}

void PageShow::onEvent(const Event& event)
{
    if (options_.trace)
        appendTraceLine(trace_, player_.now(), player_.clock().isVirtual() ? 0 : 3, event);
}

void PageShow::announceCaptions()
{
    // A still shows one moment: its captions are those on screen then.
    if (options_.atMs && !stillTaken_)
        return;
    std::set<std::string> now = captionsOnScreen(player_.stage());
    const double at = player_.now();
    for (const std::string& text : onScreen_)
        if (!now.contains(text))
            leftAt_[text] = at;
    // Passed from one label to another in the same instant (the flashing countdown digits), a
    // caption never left the screen.
    for (const std::string& text : now) {
        const auto left = leftAt_.find(text);
        if (!onScreen_.contains(text) && (left == leftAt_.end() || left->second != at))
            q3js_caption(text.c_str());
    }
    onScreen_ = std::move(now);
}

void PageShow::rearm()
{
    if (options_.atMs)
        return;
    const std::optional<double> due = player_.nextDue();
    q3js_set_timer(due ? std::max(0.0, wallMsUntil(player_, *due)) : -1);
}

void PageShow::paint()
{
    canvas_.paint(player_.stage());
    if (!timeline_.shown())
        return;
    if (const std::optional<PageTimelineModel> model = timelineModel()) {
        canvas_.paintArea(player_.stage(), timeline_.area());
        timeline_.paint(*model);
    }
}

} // namespace q3
