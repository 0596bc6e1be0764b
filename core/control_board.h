#pragma once

#include "core/controls.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace q3 {

// The window's labels and pictures as the show has set them, starting from the design. Counts
// every change that can alter what they look like, so that a painter knows when to paint them
// again.
class ControlBoard
{
public:
    void show(Control control) { setVisible(control, true); }
    void hide(Control control) { setVisible(control, false); }
    void setCaption(Control control, std::string_view text);
    void setBackColor(Control control, Rgb colour);
    void setFontSize(Control control, double points);

    [[nodiscard]] const ControlState& operator[](Control c) const { return states_.at(index(c)); }
    // The visible label or picture at a point of the surface, front first.
    [[nodiscard]] std::optional<Control> at(double x, double y) const;
    [[nodiscard]] std::uint64_t changes() const { return changes_; }

private:
    // Only a change counts: the frame loops hide lblWasteTime tens of thousands of times, so this
    // stays inline and cheap.
    void setVisible(Control control, bool visible)
    {
        ControlState& s = states_[index(control)];
        if (s.visible != visible) {
            s.visible = visible;
            ++changes_;
        }
    }
    ControlState& state(Control c) { return states_.at(index(c)); }

    std::array<ControlState, kControlCount> states_ = designControls();
    std::uint64_t changes_ = 0;
};

} // namespace q3
