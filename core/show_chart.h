#pragma once
// Where things happen in a show: the timeline's marks and the targets of the step and cue keys.

#include "core/show_program.h"

#include <functional>
#include <vector>

namespace q3 {

class Player;

// Computed by playing the show through on virtual time with the same seed and input.
struct ShowChart
{
    // When each cue ran, in order.
    std::vector<double> cues;
    // The moments between handlers at which the picture had changed: where a step lands.
    std::vector<double> changes;
    double end = 0;
};

// Plays a fresh run of `show` to its end on virtual time, unseen and unheard, with the input
// `plan` puts on its player, and notes where each cue ran, where the picture changed and where
// the show ended.
[[nodiscard]] ShowChart chartShow(const ShowFactory& show,
                                  const std::function<void(Player& probe)>& plan);

} // namespace q3
