// What the page's script calls: the show made from the address, and the viewer's input.

#include "core/option_values.h"
#include "web/page_js.h"
#include "web/page_options.h"
#include "web/page_show.h"
#include "web/page_still.h"

#include <emscripten.h>
#include <memory>

namespace {

std::unique_ptr<q3::PageFront> show;

} // namespace

extern "C" {

// Makes the show from the address's query; false, with the error line shown, when a value is
// not one the show takes.
EMSCRIPTEN_KEEPALIVE int q3_open(const char* query, double cssWidth, double cssHeight,
                                 double devicePixelRatio)
{
    const q3::ParsedPage parsed = q3::parsePageQuery(query);
    if (!parsed.problem.empty()) {
        q3js_error(parsed.problem.c_str());
        return 0;
    }
    const std::uint32_t seed = parsed.options.seed.value_or(q3::seedFromTheClock());
    // A still is a picture of one moment, on virtual time; the live show waits for the viewer.
    if (parsed.options.atMs)
        show = std::make_unique<q3::PageStill>(parsed.options, seed);
    else
        show = std::make_unique<q3::PageShow>(parsed.options, seed);
    show->resize(cssWidth, cssHeight, devicePixelRatio);
    return 1;
}

// After a bad value there is no show: the page's calls do nothing and its questions get the
// answers of a show that never started.
EMSCRIPTEN_KEEPALIVE void q3_start()
{
    if (!show)
        return;
    show->start();
}

EMSCRIPTEN_KEEPALIVE void q3_resize(double cssWidth, double cssHeight, double devicePixelRatio)
{
    if (!show)
        return;
    show->resize(cssWidth, cssHeight, devicePixelRatio);
}

EMSCRIPTEN_KEEPALIVE void q3_pointer(int what, double x, double y, int touch)
{
    if (!show)
        return;
    show->pointer(static_cast<q3::PageFront::Pointer>(what), x, y, touch != 0);
}

EMSCRIPTEN_KEEPALIVE int q3_key(const char* name, int shift, int otherModifiers, int repeat)
{
    if (!show)
        return 0;
    return show->key(name, shift != 0, otherModifiers != 0, repeat != 0) ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void q3_hidden(int hidden)
{
    if (!show)
        return;
    show->setHidden(hidden != 0);
}

EMSCRIPTEN_KEEPALIVE void q3_run()
{
    if (!show)
        return;
    show->runDue();
}

EMSCRIPTEN_KEEPALIVE void q3_frame()
{
    if (!show)
        return;
    show->frame();
}

EMSCRIPTEN_KEEPALIVE double q3_current_time()
{
    return show ? show->currentTime() : 0;
}

EMSCRIPTEN_KEEPALIVE int q3_paused()
{
    return show && show->paused() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void q3_play()
{
    if (!show)
        return;
    show->play();
}

EMSCRIPTEN_KEEPALIVE void q3_pause()
{
    if (!show)
        return;
    show->pause();
}

EMSCRIPTEN_KEEPALIVE void q3_seek(double ms)
{
    if (!show)
        return;
    show->seek(ms);
}

EMSCRIPTEN_KEEPALIVE const char* q3_trace()
{
    return show ? show->trace().c_str() : "";
}

} // extern "C"
