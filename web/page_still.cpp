#include "web/page_still.h"

#include "core/event_json.h"
#include "core/script/show.h"
#include "web/page_js.h"

#include <algorithm>
#include <emscripten.h>
#include <iostream>

namespace q3 {
namespace {

// Show time played between two looks at the wall clock, and the longest the page is kept busy.
constexpr double kSliceMs = 60000;
constexpr double kBusyMs = 50;

} // namespace

PageStill::PageStill(const PageOptions& options, std::uint32_t seed)
    : options_(options),
      player_(std::make_unique<VirtualClock>(), makeQuilletShow(seed), std::cerr, *this),
      canvas_(options.quality)
{
    following_ = player_.stage().events().subscribe(*this);
    if (options_.trace)
        appendTraceLine(trace_, 0, 0, startJson(seed, "page-still"));
}

void PageStill::start()
{
    player_.load();
    player_.addClick(0);
    if (options_.startMs.value_or(0) > 0)
        player_.seek(*options_.startMs);
    player_.setLoop(options_.loop);
    const double at = options_.atMs.value_or(0);
    if (options_.loop) {
        // Looping, the still lies within the show: as long as it takes to reach its moment.
        player_.runFor(at - player_.now());
        player_.finishErrors();
        return;
    }
    // A still far past the show's end takes seconds to play to: in slices, giving the page back
    // to the browser between them, so that the tab stays responsive meanwhile.
    double sliceStart = emscripten_get_now();
    while (player_.now() < at) {
        player_.runUntil(std::min(at, player_.now() + kSliceMs));
        if (emscripten_get_now() - sliceStart >= kBusyMs) {
            emscripten_sleep(0);
            sliceStart = emscripten_get_now();
        }
    }
    player_.runUntil(at);
    // The still's run is over, as the program's screenshot run is once it is taken.
    player_.finishErrors();
}

void PageStill::resize(double cssWidth, double cssHeight, double devicePixelRatio)
{
    const CanvasSize size = canvasSize(cssWidth, cssHeight, devicePixelRatio);
    canvas_.setOutput(size.width, size.height);
    canvas_.paint(player_.stage());
}

void PageStill::frameDue(FrameDue /*when*/)
{
    if (taken_)
        announceCaptions(player_.stage(), player_.now());
    // The picture is the one look; the next display refresh paints it.
    q3js_request_frame();
}

std::optional<double> PageStill::nextLook() const
{
    if (taken_)
        return std::nullopt;
    return options_.atMs;
}

void PageStill::look(double /*atMs*/, const Stage& /*stage*/)
{
    taken_ = true;
    canvas_.paint(player_.stage());
    // A still shows one moment: its captions are those on screen then.
    announceCaptions(player_.stage(), player_.now());
}

void PageStill::onEvent(const Event& event)
{
    if (options_.trace)
        appendTraceLine(trace_, player_.now(), traceDecimals(player_.clock()), event);
}

} // namespace q3
