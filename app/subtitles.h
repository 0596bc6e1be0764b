#pragma once

#include "core/captions.h"
#include "core/player.h"
#include "core/stage.h"

#include <QString>
#include <set>
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
//
// It follows the player's stage through seeks (subscribed to its events, which a seek hands
// over): what was on screen ends where the show left, and what is on screen where it landed
// begins there.
class CaptionFollower final : public StageListener
{
public:
    explicit CaptionFollower(const Player& player);

    void onEvent(const Event& event) override;

    // A clip that begins at `ms`, now or a moment before on a frame that still shows: what is
    // on screen begins at the clip's 0 ms, and every time is counted from `ms`.
    void startClipAt(double ms);

    // Ends the captions still on screen at `endMs` (the show's time); every cue in order of
    // appearance, in the clip's time.
    [[nodiscard]] std::vector<SubtitleCue> finish(double endMs);

private:
    [[nodiscard]] std::set<std::string> onScreenNow() const;
    void update(const std::set<std::string>& now, double at);

    const Player& player_;
    double origin_ = 0;
    CaptionFollow follow_;
    std::vector<SubtitleCue> done_;
};

// The captions as a WebVTT file.
[[nodiscard]] std::string toWebVtt(const std::vector<SubtitleCue>& cues);

} // namespace q3
