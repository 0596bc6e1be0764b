#pragma once

#include <array>
#include <string_view>

namespace q3 {

// A face the design names, and the free font that stands in for it: its family name and the
// files it is loaded from. Every front draws and measures captions in these fonts, so captions
// break into the same lines everywhere.
struct StageFace
{
    std::string_view face;                 // as the design names it
    std::string_view family;               // the free font's family name
    std::array<std::string_view, 2> files; // empty where there is no second file
};

// Debian's free fonts standing in for the faces of the design.
inline constexpr std::array<StageFace, 6> kStageFaces{{
    {"Impact",
     "Roboto Condensed",
     {"/usr/share/fonts/truetype/roboto/unhinted/RobotoCondensed-Bold.ttf", {}}},
    {"Comic Sans MS",
     "Comic Neue",
     {"/usr/share/fonts/opentype/comic-neue/ComicNeue-Bold.otf", {}}},
    {"Arial",
     "Liberation Sans",
     {"/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf", {}}},
    {"Lucida Console",
     "DejaVu Sans Mono",
     {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf", {}}},
    {"Verdana",
     "DejaVu Sans",
     {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Oblique.ttf",
      "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"}},
    {"Garamond", "EB Garamond", {"/usr/share/fonts/opentype/ebgaramond/EBGaramond12-Bold.otf", {}}},
}};

// The stand-in for a design face, or null for a face the design does not name (the platform's
// default font).
[[nodiscard]] constexpr const StageFace* stageFaceFor(std::string_view face)
{
    for (const StageFace& stand : kStageFaces)
        if (stand.face == face)
            return &stand;
    return nullptr;
}

} // namespace q3
