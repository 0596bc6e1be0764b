#pragma once
// Driving a player on the wall clock from a front's own timer: when to wake it, and running what
// has fallen due then. A front's timer may wake it late, or a little early on purpose; the cue
// clock's ticks are the ones a viewer sees come late.

#include "core/player.h"

#include <optional>

namespace q3 {

// The player's next due time, if it is the cue clock's tick.
[[nodiscard]] std::optional<double> nextCueDue(const Player& player);

// Wall-clock milliseconds until the show's time reaches `ms`, at the player's speed (negative
// once it has passed).
[[nodiscard]] double wallMsUntil(const Player& player, double ms);

// Player::runDue, but a cue tick due within `cueWaitMs` is first waited for, holding the thread,
// so that a front woken a little early still runs it on time. A show that starts again at its
// end starts at once. True when something ran.
bool runDueOnTime(Player& player, double cueWaitMs);

} // namespace q3
