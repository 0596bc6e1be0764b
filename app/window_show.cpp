#include "app/window_show.h"

#include "stage/fonts.h"

#include <QApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cmath>
#include <iostream>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

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

void blockStopSignals()
{
    sigset_t stopSet;
    sigemptyset(&stopSet);
    sigaddset(&stopSet, SIGINT);
    sigaddset(&stopSet, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSet, nullptr);
}

namespace {

// Ctrl+C and SIGTERM close the window as the viewer would, so that the program ends through the
// event loop and writes out what it has. The signals arrive as data on a descriptor, read by the
// event loop like any other input: no handler, and no wake-up while none comes.
class StopSignals
{
public:
    explicit StopSignals(QWidget& window)
    {
        sigset_t stopSet;
        sigemptyset(&stopSet);
        sigaddset(&stopSet, SIGINT);
        sigaddset(&stopSet, SIGTERM);
        fd_ = signalfd(-1, &stopSet, SFD_NONBLOCK | SFD_CLOEXEC);
        if (fd_ < 0)
            return;
        notifier_.emplace(fd_, QSocketNotifier::Read);
        QObject::connect(&*notifier_, &QSocketNotifier::activated, [this, &window] {
            signalfd_siginfo info{};
            if (read(fd_, &info, sizeof info) == sizeof info)
                caught_ = static_cast<int>(info.ssi_signo);
            window.close();
        });
    }
    ~StopSignals()
    {
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    [[nodiscard]] int caught() const { return caught_; }

private:
    int fd_ = -1;
    int caught_ = 0;
    std::optional<QSocketNotifier> notifier_;
};

} // namespace

int runWindow(const std::optional<QString>& tracePath, std::uint32_t seed, Quality quality)
{
    loadStageFonts();
    WindowShow windowShow(seed, std::cerr);
    std::unique_ptr<TraceWriter> trace;
    if (tracePath) {
        trace = startTrace(tracePath->toStdString(), windowShow.show().stage(), windowShow.clock(),
                           seed, "window");
        if (!trace)
            return 2;
    }
    windowShow.window().setQuality(quality);
    const StopSignals stopSignals(windowShow.window());
    windowShow.start();
    int status = QApplication::exec();
    if (stopSignals.caught() != 0)
        status = 128 + stopSignals.caught();
    if (trace) {
        windowShow.show().stage().removeListener(trace.get());
        if (!trace->finish()) {
            std::cerr << "quillet3: error: cannot write the trace\n";
            return 1;
        }
    }
    return status;
}

} // namespace q3
