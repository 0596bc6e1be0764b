#pragma once

#include "app/trace_writer.h"
#include "script/show.h"
#include "stage/clock.h"
#include "stage/scheduler.h"
#include "stage/stage_window.h"

#include <QTimer>
#include <cstdint>
#include <iosfwd>

namespace q3 {

// The show in its window, on the wall clock: the window, the handlers and the timer that wakes
// the event loop when the next tick falls due.
class WindowShow final : public StageListener
{
public:
    WindowShow(std::uint32_t seed, std::ostream& errors);
    ~WindowShow() override;
    WindowShow(const WindowShow&) = delete;
    WindowShow& operator=(const WindowShow&) = delete;

    // Loads the window, shows it and arms the timers.
    void start();
    void togglePause();

    [[nodiscard]] StageWindow& window() { return window_; }
    [[nodiscard]] Show& show() { return show_; }
    [[nodiscard]] Scheduler& scheduler() { return scheduler_; }
    [[nodiscard]] const Clock& clock() const { return clock_; }

    void onEvent(const Event& event) override;

private:
    void press(double x, double y);
    void runDue();
    void rearm();
    // The next due time if it is the cue clock's.
    [[nodiscard]] std::optional<double> nextCueDue() const;

    RealClock clock_;
    Scheduler scheduler_{clock_};
    Show show_;
    StageWindow window_;
    QTimer wakeUp_;
};

// Plays the show in its window until the window is closed; returns the exit status. A stop signal
// ends the program as in every mode (app/stop_signals.h).
int runWindow(const std::optional<QString>& tracePath, std::uint32_t seed, Quality quality);

} // namespace q3
