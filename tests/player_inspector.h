#pragma once
// The tests' one way inside a player: what its public face keeps to itself (the scheduler, the
// show it plays, input planned at a place) but a test of the timers or the script must reach.

#include "core/player.h"

#include <optional>

namespace q3::test {

struct PlayerInspector
{
    // Replaced by a seek, as the stage is: ask again after one.
    static Scheduler& scheduler(Player& player) { return player.scheduler(); }
    static ShowProgram& show(Player& player) { return player.show(); }
    static const ShowProgram& show(const Player& player) { return player.show(); }
    // When the last cue ran, once it has.
    static std::optional<double> lastCueAt(const Player& player) { return player.lastCueAt_; }
    // On virtual time: a press at (x, y) in units planned at `atMs`.
    static void addPress(Player& player, double atMs, double x, double y)
    {
        player.planned_.emplace(atMs, Player::Press{x, y});
        player.forgetChart();
    }
};

} // namespace q3::test
