#include "core/script/cues.h"

#include <array>

namespace q3 {
namespace {

// What a cue runs: a scene of its own, or one step of a routine shared over a table's rows.
struct CueRow
{
    void (*scene)(Stage&) = nullptr;
    void (*step)(Stage&, int) = nullptr;
    int row = 0;
    // The period of tmrTime the cue sets, if it sets one: the pace of the cues after it.
    int pace = 0;
};

struct CueSheet
{
    std::array<CueRow, kCueTotal> rows{};
    std::size_t filled = 0;
};

// Every cue, by its number. A row too many fails to compile (the array's bounds are checked);
// a row too few is caught below.
constexpr CueSheet kCueSheet = [] {
    CueSheet built;
    auto& sheet = built.rows;
    std::size_t& cue = built.filled;
    for (auto* scene : {cue0, cue1, cue2, cue3, cue4, cue5, cue6, cue7, cue8, cue9, cue10, cue11,
                        cue12, cue13, cue14, cue15, cue16, cue17, cue18})
        sheet.at(cue++) = {.scene = scene};
    // Cue 18 sets the countdown's pace after its drawing; cue 38 the slow pace again, first.
    sheet.at(18).pace = kCountdownPaceMs;
    for (int step = 0; step < kCountdownSteps; ++step)
        sheet.at(cue++) = {.step = countdownCue, .row = step};
    sheet.at(cue++) = {.scene = cue38, .pace = kCuePaceMs};
    for (int row = 0; row < kIntroductions; ++row)
        sheet.at(cue++) = {.step = introductionCue, .row = row};
    sheet.at(cue++) = {.scene = cue44};
    sheet.at(cue++) = {.scene = cue45};
    return built;
}();
static_assert(kCueSheet.filled == kCueTotal, "every cue has its row");

// When each cue runs in a show clicked once at 0 ms.
constexpr std::array<double, kCueTotal> kUsualCueTimes = [] {
    std::array<double, kCueTotal> times{};
    double at = kCuePaceMs;
    int pace = kCuePaceMs;
    for (std::size_t cue = 0; cue != times.size(); ++cue) {
        times.at(cue) = at;
        if (kCueSheet.rows.at(cue).pace != 0)
            pace = kCueSheet.rows.at(cue).pace;
        at += pace;
    }
    return times;
}();

} // namespace

double usualCueTime(int cue)
{
    return kUsualCueTimes.at(static_cast<std::size_t>(cue));
}

void runCue(Stage& stage, int cue)
{
    if (cue < 0 || cue >= kCueTotal)
        return;
    const CueRow& row = kCueSheet.rows.at(static_cast<std::size_t>(cue));
    if (row.scene != nullptr)
        row.scene(stage);
    else
        row.step(stage, row.row);
}

} // namespace q3
