#pragma once

#include "core/clock.h"
#include "core/stage.h"

#include <QString>
#include <map>
#include <string>
#include <vector>

namespace q3 {

// A caption and the time it is on screen, from `startMs` up to but not including `endMs`.
struct SubtitleCue
{
    double startMs = 0;
    double endMs = 0;
    std::string text;

    friend bool operator==(const SubtitleCue&, const SubtitleCue&) = default;
};

// Follows the captions on screen as the show runs: a caption is on screen while a visible label
// on the surface shows it. Runs of spaces and line breaks read as one space, since they only
// place the words on the label. One text shown by several labels at once, or passed from one
// label to another in the same instant (the flashing countdown digits), is one cue.
class CaptionFollower final : public StageListener
{
public:
    CaptionFollower(const Stage& stage, const Clock& clock);

    void onEvent(const Event& event) override;

    // Ends the captions still on screen at `endMs`; every cue in order of appearance.
    [[nodiscard]] std::vector<SubtitleCue> finish(double endMs);

private:
    void update();

    const Stage& stage_;
    const Clock& clock_;
    std::map<std::string, double> onScreen_; // text -> since
    std::vector<SubtitleCue> done_;
};

// The captions as a WebVTT file.
[[nodiscard]] std::string toWebVtt(const std::vector<SubtitleCue>& cues);

} // namespace q3
