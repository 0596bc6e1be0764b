#pragma once
// Helpers shared by the tests: a show on virtual time with every stage event recorded, and a
// comparison of event sequences that names the first difference.

#include "app/virtual_run.h"
#include "stage/event.h"
#include "stage/stage.h"

#include <gtest/gtest.h>
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

// A show on virtual time, loaded and clicked at 0, with a recorder attached before the load.
struct RecordedRun
{
    explicit RecordedRun(std::uint32_t seed = 1) : run(seed, errors)
    {
        run.show().stage().addListener(&recorder);
        run.addClick(0);
    }
    Stage& stage() { return run.show().stage(); }

    std::ostringstream errors;
    VirtualRun run;
    Recorder recorder;
};

// The time at which cue n runs when the window is clicked once at 0 (cues 0 to 18 every 3000 ms).
constexpr double slowCueTime(int cue)
{
    return 3000.0 * (cue + 1);
}

} // namespace q3::test
