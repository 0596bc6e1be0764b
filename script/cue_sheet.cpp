#include "script/cues.h"

#include <array>

namespace q3 {
namespace {

using CueFn = void (*)(Stage&);

constexpr std::array<CueFn, 19> kScenes{cue0,  cue1,  cue2,  cue3,  cue4,  cue5,  cue6,
                                        cue7,  cue8,  cue9,  cue10, cue11, cue12, cue13,
                                        cue14, cue15, cue16, cue17, cue18};

} // namespace

void runCue(Stage& stage, int cue)
{
    if (cue < 0 || cue >= kCueTotal)
        return;
    if (cue < static_cast<int>(kScenes.size()))
        kScenes.at(static_cast<std::size_t>(cue))(stage);
    else
        finaleCue(stage, cue);
}

} // namespace q3
