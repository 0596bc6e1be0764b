#include "window/window_show.h"

#include <QApplication>
#include <algorithm>
#include <cmath>
#include <iostream>

namespace q3 {
namespace {

// How early the cue clock's wake-up comes; the rest is waited to the due time. The event loop's
// timers round to whole milliseconds and come late by about a thousandth of their interval.
double earlyWakeMs(double wait)
{
    return 2 + wait / 200;
}
constexpr double kLongestFinalWaitMs = 30;

} // namespace

WindowShow::WindowShow(std::uint32_t seed, std::ostream& errors)
    : player_(Timeline::Wall, seed, errors, *this),
      window_(player_.stage(), {.press = [this](double x, double y) { press(x, y); },
                                .togglePause = [this] { togglePause(); },
                                .resize = [this](int w, int h) { player_.resize(w, h); }})
{
    wakeUp_.setSingleShot(true);
    wakeUp_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wakeUp_, &QTimer::timeout, [this] { runDue(); });
}

void WindowShow::start()
{
    // The load runs before the window is first shown.
    player_.load();
    window_.show();
    rearm();
}

void WindowShow::frameDue(FrameDue when)
{
    if (when == FrameDue::Now)
        window_.presentNow();
    else
        window_.requestFrame();
}

void WindowShow::windowStateChanged()
{
    window_.showMaximized();
}

void WindowShow::press(double x, double y)
{
    if (player_.press(x, y))
        rearm();
}

void WindowShow::togglePause()
{
    player_.setPaused(!player_.paused());
    window_.setPausedCaption(player_.paused());
    rearm();
}

void WindowShow::runDue()
{
    // The cue clock's wake-up comes a little early: the last stretch is waited here, so cues
    // come on time to a fraction of a millisecond. The effects, whose ticks nobody times, are
    // not worth the wait.
    // One tick per pass of the event loop, so that input that arrived meanwhile goes first.
    player_.runDue(kLongestFinalWaitMs);
    rearm();
}

void WindowShow::rearm()
{
    // Nothing wakes the program while no timer runs.
    const std::optional<double> due = player_.nextDue();
    if (!due) {
        wakeUp_.stop();
        return;
    }
    const double wait = *due - player_.now();
    const int ms = player_.nextCueDue() ? static_cast<int>(std::floor(wait - earlyWakeMs(wait)))
                                        : static_cast<int>(std::ceil(wait));
    wakeUp_.start(std::max(0, ms));
}

} // namespace q3
