#pragma once
// The rules between the options that steer a run, for the command line and the page's address
// alike: a start within the run and the show, stills within them, a loop only where the run has
// an end, a speed only on the wall clock. Each problem is one line, worded for its front.

#include "core/option_values.h"
#include "core/show_program.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace q3 {

// The options a run is steered by. On the command line the stills are the screenshots; the
// page takes one, at=MS, played to on virtual time.
struct RunRequest
{
    // The show the run plays, with its seed: the show's end is reckoned from it.
    ShowFactory show;
    std::vector<int> clicks; // after the one at 0 ms
    std::optional<int> startMs;
    std::optional<int> durationMs; // where the run stops
    std::vector<int> stillsMs;
    bool loop = false;
    bool speedGiven = false;
    bool onVirtualTime = false; // headless, or a still on the page
    bool recording = false;
    // The page plays to its still and stops there: the still ends the run, so a loop needs no
    // duration. Past the show's end the effects go on (and the cue counter meets its limit after
    // about 27 hours), so a still there is a picture of its own, as a screenshot is.
    bool stillEndsRun = false;
};

// Where the show ends with its starting click at 0 ms and `clicks`: 5000 ms after its last cue
// (its chart, played through on virtual time in a few milliseconds). The cue clock does not
// depend on the seed.
[[nodiscard]] int showEndMs(const ShowFactory& show, std::span<const int> clicks);

// A still after the run's end; empty when none.
[[nodiscard]] std::string stillsPastRunProblem(const RunRequest& run, OptionFront front);
// --speed, --loop and --start against the rest; empty when none. The show's end is reckoned
// only where a rule needs it.
[[nodiscard]] std::string steeringProblem(const RunRequest& run, OptionFront front);

} // namespace q3
