#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace q3 {

// How shapes and pictures meet the device pixels. Crisp keeps the stage's hard pixels; smooth
// antialiases the edges of discs, slanted lines and pictures.
enum class Quality : std::uint8_t
{
    Crisp,
    Smooth,
};

// "crisp" and "smooth", as on the command line and in the window's title.
[[nodiscard]] std::string_view qualityName(Quality quality);
[[nodiscard]] std::optional<Quality> qualityNamed(std::string_view name);

} // namespace q3
