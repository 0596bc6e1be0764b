#pragma once

#include "core/player.h"
#include "window/stage_window.h"

#include <QString>
#include <QTimer>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <vector>

namespace q3 {

// The show in its window, on the wall clock: a player whose frames go to the window, and the
// timer that wakes the event loop when the next tick falls due (at the player's speed).
//
// Steering: before the viewer's starting click a seek key makes that click now, then seeks, so
// that "5" begins the show and sends it to its middle. While paused the show stands at the
// moment it paused (the player's time stands still), and resumes from there.
class WindowShow final : private PlayerOutput
{
public:
    WindowShow(ShowFactory show, std::ostream& errors);
    WindowShow(const WindowShow&) = delete;
    WindowShow& operator=(const WindowShow&) = delete;

    // Loads the window, shows it and arms the timers.
    void start();
    void togglePause();
    // As if the show had been played to `ms` from a click at 0 ms: --start.
    void startAt(double ms);
    void setSpeed(double speed);
    Steered steer(Steer steer);
    // Sends the show to `ms`, keeping the pause.
    void seek(double ms) { player_.seek(ms); }

    [[nodiscard]] StageWindow& window() { return window_; }
    [[nodiscard]] Player& player() { return player_; }

private:
    // PlayerOutput
    void frameDue(FrameDue when) override;
    void windowStateChanged() override;
    void timersChanged() override { rearm(); }
    void chartChanged() override;

    void press(double x, double y);
    void runDue();
    void rearm();
    [[nodiscard]] std::optional<TimelineShow> timeline();
    void refreshMarks();

    // The timeline's marks, from the player's chart: refreshed when the event loop is next idle
    // after the chart changed, so that painting the timeline never plays the show through.
    struct Marks
    {
        std::optional<double> end;
        std::vector<double> cues;
    };

    Player player_;
    StageWindow window_;
    QTimer wakeUp_;
    QTimer marksDue_;
    Marks marks_;
};

} // namespace q3
