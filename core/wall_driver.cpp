#include "core/wall_driver.h"

namespace q3 {

std::optional<double> nextCueDue(const Player& player)
{
    const Scheduler& scheduler = player.run_->scheduler;
    const std::optional<double> due = scheduler.nextDue();
    if (!due || scheduler.dueTime(Timer::tmrTime) != due)
        return std::nullopt;
    return due;
}

double wallMsUntil(const Player& player, double ms)
{
    return player.clock_->sourceMsUntil(ms);
}

bool runDueOnTime(Player& player, double cueWaitMs)
{
    if (player.restartIfEndedPlaying())
        return true;
    // The wait is decided before it starts: a tick waited for runs even if the show's end
    // passed meanwhile.
    const double now = player.clock_->now();
    if (const std::optional<double> due = nextCueDue(player);
        due && *due > now && *due - now <= cueWaitMs)
        player.clock_->waitUntil(*due);
    return player.runTick();
}

} // namespace q3
