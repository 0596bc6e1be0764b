#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

namespace q3 {

// The rows of the circles that discs are made of, worked out once per diameter and kept between
// paints: the stage set has many discs of a few sizes, and a tick paints many lamps of one
// size. Everything is in device pixels, so another scale or quality looks up other rows.
class EllipseRows
{
public:
    // The pixels of a row whose centres lie in the circle inscribed in a square at x = 0: from
    // `first` to `last`, none where first > last.
    struct Span
    {
        int first = 0;
        int last = -1;
    };
    // A row's pixels covered wholly (fullFrom to fullTo) and in part (from to to), with the share
    // of each pixel in part: alphas[shades] onwards, left to right, the whole ones left out.
    struct CoverRow
    {
        int from = 0;
        int fullFrom = 0;
        int fullTo = -1;
        int to = -1;
        std::size_t shades = 0;
    };
    struct Covers
    {
        std::vector<CoverRow> rows;
        std::vector<std::uint8_t> alphas;
    };

    // One span per row of a square of side `diameter`.
    [[nodiscard]] const std::vector<Span>& spans(int diameter);
    // The covers of the rows of a square of side `diameter` whose left edge is the pixel column
    // `left`. The shares are worked out where the square lies, so they are exactly those of a
    // disc shaded in place.
    [[nodiscard]] const Covers& covers(int diameter, int left);
    // Forgets everything when more than a few megabytes are kept. Looked-up rows stay valid
    // until then: call it only between paints.
    void trim();

private:
    std::map<int, std::vector<Span>> spans_;
    std::map<std::pair<int, int>, Covers> covers_;
    std::size_t bytes_ = 0;
};

} // namespace q3
