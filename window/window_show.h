#pragma once

#include "core/player.h"
#include "window/stage_window.h"

#include <QString>
#include <QTimer>
#include <cstdint>
#include <iosfwd>
#include <optional>

namespace q3 {

// The show in its window, on the wall clock: a player whose frames go to the window, and the
// timer that wakes the event loop when the next tick falls due.
class WindowShow final : private PlayerOutput
{
public:
    WindowShow(std::uint32_t seed, std::ostream& errors);
    WindowShow(const WindowShow&) = delete;
    WindowShow& operator=(const WindowShow&) = delete;

    // Loads the window, shows it and arms the timers.
    void start();
    void togglePause();

    [[nodiscard]] StageWindow& window() { return window_; }
    [[nodiscard]] Player& player() { return player_; }

private:
    // PlayerOutput
    void frameDue(FrameDue when) override;
    void windowStateChanged() override;
    void timersChanged() override { rearm(); }

    void press(double x, double y);
    void runDue();
    void rearm();

    Player player_;
    StageWindow window_;
    QTimer wakeUp_;
};

} // namespace q3
