#pragma once

#include "core/rgb.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace q3 {

// The ducklings' palette, for the encoder that writes the pictures and for anything that checks
// the colours they show. Entries 1 and 2 are part of it but no pixel uses them; the last entry
// is transparent.
inline constexpr std::array<Rgb, 8> kDuckPalette{{
    {0, 0, 0},
    {255, 255, 255},
    {205, 255, 188},
    {255, 255, 0},
    {255, 102, 0},
    {223, 223, 223},
    {195, 195, 195},
    {255, 255, 255},
}};
inline constexpr std::uint8_t kDuckTransparentIndex = 7;
// The pictures' side, in their own pixels.
inline constexpr int kDuckSide = 55;

} // namespace q3
