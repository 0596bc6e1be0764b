#include "app/virtual_run.h"

#include "script/cues.h"

#include <algorithm>

namespace q3 {

VirtualRun::VirtualRun(std::uint32_t seed, std::ostream& errors) : show_(scheduler_, seed, errors)
{
    clock_.beforeAdvance = [this](double, double to) { takeSamples(to, false); };
}

void VirtualRun::addClick(double at)
{
    clicks_.emplace(at, std::nullopt);
}

void VirtualRun::addClickAt(double at, double x, double y)
{
    clicks_.emplace(at, Press{x, y});
}

void VirtualRun::addSample(double at, std::function<void(double)> sample)
{
    samples_.emplace(at, std::move(sample));
}

void VirtualRun::takeSamples(double before, bool inclusive)
{
    while (!samples_.empty()) {
        auto first = samples_.begin();
        if (first->first > before || (!inclusive && first->first == before))
            return;
        const double at = first->first;
        auto sample = std::move(first->second);
        samples_.erase(first);
        sample(at);
    }
}

std::optional<double> VirtualRun::nextEvent() const
{
    std::optional<double> next = scheduler_.nextDue();
    if (!clicks_.empty() && (!next || clicks_.begin()->first <= *next))
        next = clicks_.begin()->first;
    return next;
}

void VirtualRun::step()
{
    const double at = *nextEvent();
    clock_.advanceTo(at);
    // Whatever arrived first goes first; a click goes before a tick due at the same time.
    const std::optional<double> due = scheduler_.nextDue();
    if (!clicks_.empty() && (!due || clicks_.begin()->first <= *due)) {
        const std::optional<Press> press = clicks_.begin()->second;
        clicks_.erase(clicks_.begin());
        if (press)
            show_.clickAt(press->x, press->y);
        else
            show_.click();
        return;
    }
    if (const std::optional<Timer> timer = scheduler_.takeDue())
        show_.tick(*timer);
}

void VirtualRun::runUntil(double end)
{
    if (!loaded_) {
        loaded_ = true;
        show_.load();
    }
    for (std::optional<double> next = nextEvent(); next && *next <= end; next = nextEvent())
        step();
    clock_.advanceTo(end);
    takeSamples(end, true);
}

double VirtualRun::runWholeShow()
{
    constexpr double kAfterLastCueMs = 5000;
    constexpr double kLongestShowMs = 48.0 * 3600 * 1000;
    return runToEnd(kAfterLastCueMs, kLongestShowMs);
}

double VirtualRun::runToEnd(double afterMs, double limit)
{
    if (!loaded_) {
        loaded_ = true;
        show_.load();
    }
    while (show_.cueCount().value() < kCueTotal) {
        const std::optional<double> next = nextEvent();
        if (!next || *next > limit) {
            runUntil(limit);
            return limit;
        }
        step();
    }
    const double end = clock_.now() + afterMs;
    runUntil(end);
    return end;
}

} // namespace q3
