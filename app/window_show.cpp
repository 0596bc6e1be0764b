#include "app/window_show.h"

#include "stage/fonts.h"

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
constexpr int kTraceFlushMs = 200;

} // namespace

WindowShow::WindowShow(std::uint32_t seed, std::ostream& errors)
    : show_(scheduler_, seed, errors),
      window_(show_.stage(),
              {[this](double x, double y) { press(x, y); }, [this] { togglePause(); }})
{
    wakeUp_.setSingleShot(true);
    wakeUp_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&wakeUp_, &QTimer::timeout, [this] { runDue(); });
    show_.stage().addListener(this);
    show_.stage().setPresenter([this] { window_.presentNow(); });
}

WindowShow::~WindowShow()
{
    show_.stage().removeListener(this);
}

void WindowShow::start()
{
    // The load runs before the window is first shown.
    show_.load();
    window_.show();
    rearm();
}

void WindowShow::onEvent(const Event& event)
{
    if (event.kind == EventKind::Maximise)
        window_.showMaximized();
    else if (event.kind == EventKind::Period)
        rearm();
}

void WindowShow::press(double x, double y)
{
    if (scheduler_.paused())
        return;
    if (show_.clickAt(x, y))
        rearm();
}

void WindowShow::togglePause()
{
    if (scheduler_.paused())
        scheduler_.resume();
    else
        scheduler_.pause();
    window_.setPausedCaption(scheduler_.paused());
    rearm();
}

void WindowShow::runDue()
{
    // The cue clock's wake-up comes a little early: the last stretch is waited here, so cues
    // come on time to a fraction of a millisecond. The effects, whose ticks nobody times, are
    // not worth the wait.
    if (const std::optional<double> due = nextCueDue();
        due && *due > clock_.now() && *due - clock_.now() <= kLongestFinalWaitMs)
        clock_.waitUntil(*due);
    // One tick per pass of the event loop, so that input that arrived meanwhile goes first.
    if (const std::optional<Timer> timer = scheduler_.takeDue()) {
        show_.tick(*timer);
        window_.requestFrame();
    }
    rearm();
}

std::optional<double> WindowShow::nextCueDue() const
{
    const std::optional<double> due = scheduler_.nextDue();
    if (!due || scheduler_.dueTime(Timer::tmrTime) != due)
        return std::nullopt;
    return due;
}

void WindowShow::rearm()
{
    // Nothing wakes the program while no timer runs.
    const std::optional<double> due = scheduler_.nextDue();
    if (!due) {
        wakeUp_.stop();
        return;
    }
    const double wait = *due - clock_.now();
    const int ms = nextCueDue() ? static_cast<int>(std::floor(wait - earlyWakeMs(wait)))
                                : static_cast<int>(std::ceil(wait));
    wakeUp_.start(std::max(0, ms));
}

int runWindow(const std::optional<QString>& tracePath, std::uint32_t seed, Quality quality)
{
    loadStageFonts();
    WindowShow windowShow(seed, std::cerr);
    std::unique_ptr<TraceWriter> trace;
    if (tracePath) {
        trace =
            startTrace(*tracePath, windowShow.show().stage(), windowShow.clock(), seed, "window");
        if (!trace)
            return 1;
    }
    // Lines written while the show is quiet still reach the trace soon.
    QTimer traceFlush;
    if (trace) {
        QObject::connect(&traceFlush, &QTimer::timeout, [&] { trace->flushWaiting(); });
        traceFlush.start(kTraceFlushMs);
    }
    windowShow.window().setQuality(quality);
    windowShow.start();
    const int status = QApplication::exec();
    if (trace) {
        windowShow.show().stage().removeListener(trace.get());
        // A failure was reported when it happened.
        if (!trace->finish())
            return 1;
    }
    return status;
}

} // namespace q3
