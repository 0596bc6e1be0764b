#pragma once

#include "core/rgb.h"
#include "core/stage.h"

#include <cstdint>
#include <span>

namespace q3 {

// One step of a long drawing, kept as data so that a picture of a hundred shapes reads as its
// table: a fill colour, a line, a box or a black disc. Boxes are always outlined in black.
struct ShapeRow
{
    enum class Op : std::uint8_t
    {
        SetFill,
        Line,     // in `colour`
        ForeLine, // in the fore colour
        Box,      // outlined in black, filled with the fill colour in force
        BlackDisc,
    };

    Op op = Op::SetFill;
    // Line and box: (a, b)-(c, d). Black disc: centre (a, b), radius c.
    int a = 0;
    int b = 0;
    int c = 0;
    int d = 0;
    Rgb colour;
};

[[nodiscard]] constexpr ShapeRow setFill(Rgb colour)
{
    return {.op = ShapeRow::Op::SetFill, .colour = colour};
}

[[nodiscard]] constexpr ShapeRow line(int x1, int y1, int x2, int y2)
{
    return {.op = ShapeRow::Op::ForeLine, .a = x1, .b = y1, .c = x2, .d = y2};
}

[[nodiscard]] constexpr ShapeRow line(int x1, int y1, int x2, int y2, Rgb colour)
{
    return {.op = ShapeRow::Op::Line, .a = x1, .b = y1, .c = x2, .d = y2, .colour = colour};
}

[[nodiscard]] constexpr ShapeRow box(int x1, int y1, int x2, int y2)
{
    return {.op = ShapeRow::Op::Box, .a = x1, .b = y1, .c = x2, .d = y2};
}

[[nodiscard]] constexpr ShapeRow blackDisc(int x, int y, int radius)
{
    return {.op = ShapeRow::Op::BlackDisc, .a = x, .b = y, .c = radius};
}

// Performs the rows in order. Each row touches the fill colour only as it says, so a box takes
// whatever fill the rows before it left.
void drawRows(Stage& stage, std::span<const ShapeRow> rows);

} // namespace q3
