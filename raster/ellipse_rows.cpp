#include "raster/ellipse_rows.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

namespace q3 {
namespace {

// The columns, first and last, of the pixels in row `row` whose centres lie in the circle
// inscribed in a square of side `d` at (0, 0); none where the row misses it. Worked out in
// whole numbers, with distances doubled so that pixel centres fall on integers: the result is
// exactly symmetric about the middle of the square, which floating point would not guarantee.
std::optional<std::pair<int, int>> circleSpan(int d, int row)
{
    if (d <= 0 || row < 0 || row >= d)
        return std::nullopt;
    const std::int64_t dd = d;
    const std::int64_t e = 2 * std::int64_t{row} + 1 - dd;
    // Inside where f^2 + e^2 <= d^2, f the doubled offset of a pixel centre.
    const std::int64_t limit = dd * dd - e * e;
    const auto fits = [&](std::int64_t f) { return f * f <= limit; };
    auto f = static_cast<std::int64_t>(std::sqrt(double(limit)));
    // f has the parity of 1 - d: pixel centres lie at odd or even doubled offsets.
    if ((f - (1 - dd)) % 2 != 0)
        --f;
    while (f >= 0 && !fits(f))
        f -= 2;
    while (fits(f + 2))
        f += 2;
    if (f < 0)
        return std::nullopt;
    return std::pair{static_cast<int>((dd - 1 - f) / 2), static_cast<int>((dd - 1 + f) / 2)};
}

// Where the circle inscribed in a square lies in one row: per strip of the row, and the pixels
// it covers wholly (fullFrom to fullTo) or in part (from to to).
constexpr std::size_t kStrips = 8;
struct StripCover
{
    std::array<double, kStrips> left{};
    std::array<double, kStrips> right{};
    int fullFrom = 0;
    int fullTo = -1;
    int from = 0;
    int to = -1;
};

StripCover coverAt(int d, int y)
{
    // The row is cut into thin strips; in each strip the circle inscribed in the square covers
    // an exact stretch of x, and a pixel's cover is the mean of its share of those stretches.
    StripCover row;
    const double c = d / 2.0;
    double innerLeft = -1e9;
    double innerRight = 1e9;
    double outerLeft = c;
    double outerRight = c;
    for (std::size_t s = 0; s < kStrips; ++s) {
        const double t = (y + (double(s) + 0.5) / kStrips - c) / c;
        const double half = t * t < 1 ? c * std::sqrt(1 - t * t) : 0;
        row.left.at(s) = c - half;
        row.right.at(s) = c + half;
        innerLeft = std::max(innerLeft, c - half);
        innerRight = std::min(innerRight, c + half);
        outerLeft = std::min(outerLeft, c - half);
        outerRight = std::max(outerRight, c + half);
    }
    row.fullFrom = static_cast<int>(std::ceil(innerLeft));
    row.fullTo = static_cast<int>(std::floor(innerRight)) - 1;
    row.from = static_cast<int>(std::floor(outerLeft));
    row.to = static_cast<int>(std::ceil(outerRight)) - 1;
    return row;
}

// The row moved right by `left` pixels.
StripCover movedRight(StripCover row, int left)
{
    for (std::size_t s = 0; s < kStrips; ++s) {
        row.left.at(s) += left;
        row.right.at(s) += left;
    }
    row.fullFrom += left;
    row.fullTo += left;
    row.from += left;
    row.to += left;
    return row;
}

// The share of pixel column x that the row covers, 0 to 255.
std::uint8_t shareOf(const StripCover& row, int x)
{
    double cover = 0;
    for (std::size_t s = 0; s < kStrips; ++s)
        cover += std::clamp(
            std::min(row.right.at(s), x + 1.0) - std::max(row.left.at(s), double(x)), 0.0, 1.0);
    return static_cast<std::uint8_t>(std::floor(cover * 255 / kStrips + 0.5));
}

// More than this many bytes of circle rows kept, and they are forgotten.
constexpr std::size_t kMostEllipseBytes = std::size_t{4} << 20;

} // namespace

const std::vector<EllipseRows::Span>& EllipseRows::spans(int diameter)
{
    auto [it, added] = spans_.try_emplace(diameter);
    if (!added)
        return it->second;
    for (int y = 0; y < diameter; ++y) {
        const auto span = circleSpan(diameter, y);
        it->second.push_back(span ? Span{span->first, span->second} : Span{});
    }
    bytes_ += it->second.size() * sizeof(Span);
    return it->second;
}

const EllipseRows::Covers& EllipseRows::covers(int diameter, int left)
{
    auto [it, added] = covers_.try_emplace({diameter, left});
    if (!added)
        return it->second;
    Covers& covers = it->second;
    for (int y = 0; y < diameter; ++y) {
        const StripCover row = movedRight(coverAt(diameter, y), left);
        covers.rows.push_back({row.from, row.fullFrom, row.fullTo, row.to, covers.alphas.size()});
        const auto shade = [&](int first, int last) {
            for (int x = first; x <= last; ++x)
                covers.alphas.push_back(shareOf(row, x));
        };
        if (row.fullFrom > row.fullTo) {
            shade(row.from, row.to);
        } else {
            shade(row.from, row.fullFrom - 1);
            shade(row.fullTo + 1, row.to);
        }
    }
    bytes_ += covers.rows.size() * sizeof(CoverRow) + covers.alphas.size();
    return covers;
}

void EllipseRows::trim()
{
    if (bytes_ <= kMostEllipseBytes)
        return;
    spans_.clear();
    covers_.clear();
    bytes_ = 0;
}

} // namespace q3
