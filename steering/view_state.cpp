#include "steering/view_state.h"

#include "core/controls.h"
#include "core/speed.h"

#include <vector>

namespace q3 {
namespace {

std::string joined(const std::vector<std::string>& words)
{
    std::string text;
    for (const std::string& word : words)
        text += (text.empty() ? "" : ", ") + word;
    return text;
}

std::string speedName(double speed)
{
    return speedText(speed) + "×";
}

} // namespace

std::string captionText(const ViewState& state)
{
    std::vector<std::string> states;
    if (state.speed != 1)
        states.push_back(speedName(state.speed));
    if (state.quality != Quality::Crisp)
        states.emplace_back(qualityName(state.quality));
    if (state.loop)
        states.emplace_back("looping");
    if (state.paused)
        states.emplace_back("paused");
    std::string caption(kWindowCaption);
    if (!states.empty())
        caption += " (" + joined(states) + ")";
    return caption;
}

std::string changeText(const ViewState& before, const ViewState& after)
{
    std::vector<std::string> changes;
    if (after.speed != before.speed)
        changes.push_back(speedName(after.speed));
    if (after.quality != before.quality)
        changes.emplace_back(qualityName(after.quality));
    if (after.loop != before.loop)
        changes.emplace_back(after.loop ? "looping" : "loop off");
    if (after.paused != before.paused)
        changes.emplace_back(after.paused ? "paused" : "playing");
    return joined(changes);
}

} // namespace q3
