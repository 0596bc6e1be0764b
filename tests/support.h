#pragma once
// Helpers shared by the tests: a show on virtual time with every stage event recorded, and a
// comparison of event sequences that names the first difference.

#include "core/event_json.h"
#include "core/player.h"
#include "core/script/show.h"
#include "core/stage.h"
#include "player_inspector.h"

#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace q3 {
inline void PrintTo(Int16 value, std::ostream* os)
{
    *os << value.value();
}
} // namespace q3

namespace q3::test {

// Records every event as its JSON line (without the time).
class Recorder final : public StageListener
{
public:
    void onEvent(const Event& event) override { lines.push_back(toJson(event)); }
    void clear() { lines.clear(); }
    std::vector<std::string> lines;
};

// Compares two event sequences; on a difference, says where and shows both sides.
inline testing::AssertionResult sameEvents(const std::vector<std::string>& actual,
                                           const std::vector<std::string>& expected)
{
    const std::size_t n = std::min(actual.size(), expected.size());
    for (std::size_t i = 0; i < n; ++i) {
        if (actual[i] != expected[i])
            return testing::AssertionFailure()
                   << "first difference at event " << i << ":\n  actual:   " << actual[i]
                   << "\n  expected: " << expected[i];
    }
    if (actual.size() != expected.size()) {
        auto failure = testing::AssertionFailure();
        failure << actual.size() << " events, expected " << expected.size()
                << "; first extra: " << (actual.size() > n ? actual[n] : expected[n]);
        return failure;
    }
    return testing::AssertionSuccess();
}

// The events recorded between two markers, e.g. the whole of one cue's tick.
inline std::vector<std::string> eventsOfCue(const std::vector<std::string>& lines, int cue)
{
    const std::string marker =
        R"({"ev":"tick","timer":"tmrTime","cue":)" + std::to_string(cue) + "}";
    std::vector<std::string> out;
    bool inside = false;
    for (const std::string& line : lines) {
        const bool isMarker = line.starts_with(R"({"ev":"tick")") || line == R"({"ev":"click"})" ||
                              line == R"({"ev":"load"})";
        if (isMarker) {
            inside = line == marker;
            continue;
        }
        if (inside)
            out.push_back(line);
    }
    return out;
}

// Looks at the stage at given moments of a run on virtual time.
class Looks final : public PlayerOutput
{
public:
    void add(double at, std::function<void(double at)> look) { due_.emplace(at, std::move(look)); }
    [[nodiscard]] std::optional<double> nextLook() const override
    {
        return due_.empty() ? std::nullopt : std::optional<double>(due_.begin()->first);
    }
    void look(double at, const Stage& /*stage*/) override
    {
        auto look = std::move(due_.begin()->second);
        due_.erase(due_.begin());
        look(at);
    }

private:
    std::multimap<double, std::function<void(double)>> due_;
};

// A show on virtual time, loaded and clicked at 0, with a recorder attached before the load.
struct RecordedRun
{
    explicit RecordedRun(std::uint32_t seed = 1)
        : run(TimeSource::Virtual, makeQuilletShow(seed), errors, looks)
    {
        following = run.stage().events().subscribe(recorder);
        run.addClick(0);
    }
    Stage& stage() { return run.stage(); }

    std::ostringstream errors;
    Looks looks;
    Player run;
    Recorder recorder;
    EventBus::Subscription following;
};

// The show a player plays, as this show: its effects' state.
inline const Show& quilletShow(const Player& player)
{
    return dynamic_cast<const Show&>(PlayerInspector::show(player));
}

// Plays until the last cue has run, and not much further (cues come 300 ms apart at the
// least); returns when it ran.
inline double runToLastCue(Player& run)
{
    for (double t = 0; !PlayerInspector::lastCueAt(run); t += 100)
        run.runUntil(t);
    return *PlayerInspector::lastCueAt(run);
}

// The time at which cue n runs when the window is clicked once at 0 (cues 0 to 18 every 3000 ms).
constexpr double slowCueTime(int cue)
{
    return 3000.0 * (cue + 1);
}

} // namespace q3::test
