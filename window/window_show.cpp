#include "window/window_show.h"

#include "core/wall_driver.h"
#include "steering/steering.h"

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

WindowShow::WindowShow(ShowFactory show, std::ostream& errors)
    : player_(TimeSource::Wall, std::move(show), errors, *this),
      window_(player_, {.press = [this](double x, double y) { press(x, y); },
                        .resize = [this](int w, int h) { player_.resize(w, h); },
                        .steer = [this](Steer s) { return steer(s); },
                        .seek = [this](double ms) { seekClicked(player_, ms); },
                        .timeline = [this] { return timeline(); }})
{
    wakeUp_.setSingleShot(true);
    wakeUp_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wakeUp_, &QTimer::timeout, [this] { runDue(); });
    marksDue_.setSingleShot(true);
    QObject::connect(&marksDue_, &QTimer::timeout, [this] { refreshMarks(); });
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
    // A seek to a moment after the show maximised the window says so again: a fullscreen
    // window stays fullscreen, and is maximised when it leaves fullscreen.
    if (window_.windowState() & Qt::WindowFullScreen)
        window_.setWindowState(window_.windowState() | Qt::WindowMaximized);
    else
        window_.showMaximized();
}

void WindowShow::press(double x, double y)
{
    if (player_.press(x, y))
        rearm();
}

void WindowShow::togglePause()
{
    steer(Steer{SteerKind::TogglePause});
}

void WindowShow::startAt(double ms)
{
    player_.addClick(0);
    seek(ms);
}

void WindowShow::setSpeed(double speed)
{
    player_.setSpeed(speed);
    window_.updateCaption();
}

Steered WindowShow::steer(Steer steer)
{
    const Steered did = applySteer(player_, steer);
    if (did.stateChanged)
        window_.updateCaption();
    rearm();
    return did;
}

void WindowShow::chartChanged()
{
    if (!marksDue_.isActive())
        marksDue_.start(0);
}

void WindowShow::refreshMarks()
{
    const ShowChart& chart = player_.chart();
    marks_ = {.end = chart.end, .cues = chart.cues};
    window_.refreshTimeline();
}

std::optional<TimelineShow> WindowShow::timeline()
{
    // The marks as last worked out, so that painting never plays the show through.
    return timelineShowOf(player_, marks_.end, marks_.cues);
}

void WindowShow::runDue()
{
    // The cue clock's wake-up comes a little early: the last stretch is waited here, so cues
    // come on time to a fraction of a millisecond. The effects, whose ticks nobody times, are
    // not worth the wait.
    // One tick per pass of the event loop, so that input that arrived meanwhile goes first.
    runDueOnTime(player_, kLongestFinalWaitMs);
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
    // The wall clock's wait, at the show's speed.
    const double wait = wallMsUntil(player_, *due);
    const int ms = nextCueDue(player_) ? static_cast<int>(std::floor(wait - earlyWakeMs(wait)))
                                       : static_cast<int>(std::ceil(wait));
    wakeUp_.start(std::max(0, ms));
}

} // namespace q3
