#include "core/captions.h"

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

} // namespace q3
