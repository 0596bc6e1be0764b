#pragma once

#include "core/stage.h"

#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace q3 {

// A caption as it reads: every run of spaces and line breaks as one space, the ends trimmed,
// since they only place the words on the label.
[[nodiscard]] std::string readableCaption(std::string_view caption);

// The captions on screen: those of the visible labels on the surface, as they read.
[[nodiscard]] std::set<std::string> captionsOnScreen(const Stage& stage);

// A caption's time on screen, from `sinceMs` up to but not including `untilMs`.
struct CaptionSpell
{
    std::string text;
    double sinceMs = 0;
    double untilMs = 0;
};

// Follows the captions on screen from one look to the next, for whatever tells of them (the
// subtitles, the page's live region). A caption taken down and put up again within one instant
// (passed from one label to another, as the flashing countdown digits are) never left the
// screen: its leaving is settled only once the show's time has moved on.
class CaptionFollow
{
public:
    struct Changes
    {
        // Came on screen at this look, in the order of their texts; not those back at the
        // instant they left.
        std::vector<std::string> came;
        // Left the screen at an earlier instant and not back at it.
        std::vector<CaptionSpell> left;
    };
    // The captions on screen `now`, at the show's time `at`.
    Changes update(const std::set<std::string>& now, double at);
    // Starts over with `now` on screen since `at`, and nothing gone.
    void restart(const std::set<std::string>& now, double at);
    // The spells not yet told as left, as if what is on screen left at `at` (each ending no
    // earlier than it began).
    [[nodiscard]] std::vector<CaptionSpell> unsettled(double at) const;

private:
    std::map<std::string, double> onScreen_; // text -> since
    std::map<std::string, CaptionSpell> leaving_;
    double leftAt_ = 0; // when what is leaving left
};

} // namespace q3
