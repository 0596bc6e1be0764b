#include "core/control_board.h"

namespace q3 {

void ControlBoard::setCaption(Control control, std::string_view text)
{
    state(control).caption = text;
    ++changes_;
}

void ControlBoard::setBackColor(Control control, Rgb colour)
{
    state(control).backColor = colour;
    ++changes_;
}

void ControlBoard::setFontSize(Control control, double points)
{
    state(control).pointSize = points;
    ++changes_;
}

std::optional<Control> ControlBoard::at(double x, double y) const
{
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const Control c = controlAt(i);
        if (states_.at(i).visible && designOf(c).rect.contains(x, y))
            return c;
    }
    return std::nullopt;
}

} // namespace q3
