#include "core/captions.h"

#include <algorithm>

namespace q3 {
namespace {

bool onSurface(const UnitRect& r, const Stage& stage)
{
    return r.left < stage.surfaceWidth() && r.top < stage.surfaceHeight() && r.left + r.width > 0 &&
           r.top + r.height > 0;
}

} // namespace

std::string readableCaption(std::string_view caption)
{
    std::string out;
    bool space = false;
    for (const char c : caption) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            space = !out.empty();
            continue;
        }
        if (space)
            out += ' ';
        space = false;
        out += c;
    }
    return out;
}

std::set<std::string> captionsOnScreen(const Stage& stage)
{
    std::set<std::string> now;
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const Control control = controlAt(i);
        const ControlDesign& row = designOf(control);
        const ControlState& state = stage.control(control);
        if (row.kind != ControlKind::Label || !state.visible || !onSurface(row.rect, stage))
            continue;
        if (std::string text = readableCaption(state.caption); !text.empty())
            now.insert(std::move(text));
    }
    return now;
}

CaptionFollow::Changes CaptionFollow::update(const std::set<std::string>& now, double at)
{
    Changes changes;
    if (at != leftAt_) {
        for (auto& [text, spell] : leaving_)
            changes.left.push_back(std::move(spell));
        leaving_.clear();
    }
    for (auto it = onScreen_.begin(); it != onScreen_.end();) {
        if (now.contains(it->first)) {
            ++it;
            continue;
        }
        leaving_[it->first] = {it->first, it->second, at};
        leftAt_ = at;
        it = onScreen_.erase(it);
    }
    for (const std::string& text : now) {
        if (onScreen_.contains(text))
            continue;
        if (const auto back = leaving_.find(text); back != leaving_.end()) {
            onScreen_.emplace(text, back->second.sinceMs);
            leaving_.erase(back);
        } else {
            onScreen_.emplace(text, at);
            changes.came.push_back(text);
        }
    }
    return changes;
}

void CaptionFollow::restart(const std::set<std::string>& now, double at)
{
    leaving_.clear();
    onScreen_.clear();
    for (const std::string& text : now)
        onScreen_.emplace(text, at);
}

std::vector<CaptionSpell> CaptionFollow::unsettled(double at) const
{
    std::vector<CaptionSpell> spells;
    for (const auto& [text, spell] : leaving_)
        spells.push_back(spell);
    for (const auto& [text, since] : onScreen_)
        spells.push_back({text, since, std::max(since, at)});
    return spells;
}

} // namespace q3
