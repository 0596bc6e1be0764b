// The pixel grid and the painting of shapes, on their own: no Qt, no stage, only shapes in units
// painted into a plain surface, and where the stage lies in an output. The oracles are the
// shapes' geometry in units (15 units to a pixel at the design's 800 x 600, and other scales as
// common screens have them) and small pictures and fits worked out by hand.
#include "core/player.h"
#include "core/script/show.h"
#include "raster/changed_areas.h"
#include "raster/kept_surface.h"
#include "raster/picture_rect.h"
#include "raster/pixel_grid.h"
#include "raster/shape_raster.h"
#include "raster/stage_fit.h"

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <gtest/gtest.h>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace q3 {

// Rectangles as a failure shows them: left, top, right and bottom pixels.
void PrintTo(const IntRect& r, std::ostream* os);
void PrintTo(const IntRect& r, std::ostream* os)
{
    *os << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
}

namespace {

constexpr Rgb kGround{0, 0, 80};
constexpr Rgb kInk{255, 255, 255};

// Scales of common screens fitted to the 12000 x 9000 units of the stage.
const std::vector<double> kScales{800 / 12000.0, 1280 / 12000.0, 768 / 9000.0,   1080 / 9000.0,
                                  2160 / 9000.0, 517 / 9000.0,   1013 / 12000.0, 1.0 / 15};

struct Painted
{
    Surface surface;

    Painted(int width, int height, double scale, Quality quality, const std::vector<Shape>& shapes)
        : surface(width, height)
    {
        const PixelGrid grid(scale);
        EllipseRows ellipses;
        ShapeRaster raster(surface, grid, quality, ellipses);
        raster.fill(surface.rect(), kGround);
        for (const Shape& shape : shapes)
            raster.paint(shape);
    }
    [[nodiscard]] bool inked(int x, int y) const { return surface.at(x, y) != pixelOf(kGround); }
    // How far pixel (x, y) has gone from the ground towards white, 0 to 1: its red component,
    // of which the ground has none.
    [[nodiscard]] double ink(int x, int y) const { return rgbOf(surface.at(x, y)).r / 255.0; }
};

Shape disc(int x, int y, int r)
{
    return {Shape::Kind::Circle,
            static_cast<std::int16_t>(x),
            static_cast<std::int16_t>(y),
            static_cast<std::int16_t>(r),
            0,
            kInk,
            kInk};
}

Shape line(int x1, int y1, int x2, int y2)
{
    return {Shape::Kind::Line,
            static_cast<std::int16_t>(x1),
            static_cast<std::int16_t>(y1),
            static_cast<std::int16_t>(x2),
            static_cast<std::int16_t>(y2),
            kInk,
            kInk};
}

// The smallest rectangle holding every inked pixel.
IntRect inkedRect(const Painted& p)
{
    IntRect r{p.surface.width, p.surface.height, -1, -1};
    for (int y = 0; y < p.surface.height; ++y)
        for (int x = 0; x < p.surface.width; ++x)
            if (p.inked(x, y))
                r = {std::min(r.left, x), std::min(r.top, y), std::max(r.right, x),
                     std::max(r.bottom, y)};
    return r;
}

// The surface as rows of '#' (inked) and '.' (ground), top to bottom.
std::vector<std::string> picture(const Painted& p)
{
    std::vector<std::string> rows;
    for (int y = 0; y < p.surface.height; ++y) {
        std::string row;
        for (int x = 0; x < p.surface.width; ++x)
            row += p.inked(x, y) ? '#' : '.';
        rows.push_back(row);
    }
    return rows;
}

TEST(RasterDisc, TheHeadAtTheDesignSizeLeavesTheRowItsLowestPointTouches)
{
    // Radius 600 at (1500, 4500): 40 pixels each way from (100, 300), both on pixel edges.
    const Painted p(200, 400, 1.0 / 15, Quality::Crisp, {disc(1500, 4500, 600)});
    EXPECT_EQ(inkedRect(p), (IntRect{60, 260, 139, 339}));
}

TEST(RasterDisc, EveryDiscIsRoundWithinAPixelOfItsPlace)
{
    // Across and down alike, as wide as the disc to under a pixel, its middle within half a
    // pixel of the centre, and covering every pixel whose centre lies inside the true circle
    // by more than a pixel's diagonal.
    for (const double scale : kScales) {
        for (const int r : {30, 40, 50, 75, 100, 150, 250, 600, 750}) {
            for (int step = 0; step < 15; ++step) {
                const int cx = 1000 + 7 * step;
                const int cy = 1000 + 11 * step;
                SCOPED_TRACE("scale " + std::to_string(scale) + " radius " + std::to_string(r) +
                             " at " + std::to_string(cx) + ", " + std::to_string(cy));
                const int size = static_cast<int>((cy + r) * scale) + 4;
                const Painted p(size, size, scale, Quality::Crisp, {disc(cx, cy, r)});
                const IntRect ink = inkedRect(p);
                ASSERT_EQ(ink.width(), ink.height());
                EXPECT_LT(std::abs(ink.width() - 2 * r * scale), 1.0);
                EXPECT_LE(std::abs((ink.left + ink.right + 1) / 2.0 - cx * scale), 0.5);
                EXPECT_LE(std::abs((ink.top + ink.bottom + 1) / 2.0 - cy * scale), 0.5);
                for (int y = ink.top; y <= ink.bottom; ++y)
                    for (int x = ink.left; x <= ink.right; ++x) {
                        const double dx = x + 0.5 - cx * scale;
                        const double dy = y + 0.5 - cy * scale;
                        const double distance = std::hypot(dx, dy);
                        if (distance < r * scale - 1.5) {
                            ASSERT_TRUE(p.inked(x, y)) << x << ", " << y;
                        }
                        if (distance > r * scale + 1.5) {
                            ASSERT_FALSE(p.inked(x, y)) << x << ", " << y;
                        }
                    }
            }
        }
    }
}

// A disc whose radius is no whole number of half pixels spans one pixel more one way than the
// other wherever its centre lies on a pixel's middle across and on the edge between two pixels
// down (or the other way round). The shorter side grows by a pixel at the end that keeps the
// square's middle nearest the centre; where both ends are as near (the centre exactly between
// two pixels), at the far end: right or below. At 10 units to a pixel (a 1200 x 900 output),
// 105 units lie on a pixel's middle and 100 between two pixels.
struct GrownDisc
{
    const char* what;
    int x, y, r;
    IntRect square; // worked out by hand from the edges at(centre -+ radius)
};

const std::vector<GrownDisc> kGrownDiscs{
    // Radius 2.3 pixels: across 8.2 to 12.8, pixels 8 to 12; down 7.7 to 12.3, pixels 8 to 11.
    {"between rows: grows below", 105, 100, 23, {8, 8, 12, 12}},
    {"between columns: grows right", 100, 105, 23, {8, 8, 12, 12}},
    // Down 7.6 to 12.2, pixels 8 to 11, whose middle (10) lies below the centre (9.9).
    {"nearer the upper row: grows above", 105, 99, 23, {8, 7, 12, 11}},
    {"nearer the left column: grows left", 99, 105, 23, {7, 8, 11, 12}},
    // Radius 7.3 pixels: across pixels 3 to 17, down 3 to 16.
    {"a larger disc between rows: grows below", 105, 100, 73, {3, 3, 17, 17}},
    {"a larger disc between columns: grows right", 100, 105, 73, {3, 3, 17, 17}},
    // Between pixels both ways: four by four, nothing grows.
    {"between pixels both ways", 100, 100, 23, {8, 8, 11, 11}},
};

TEST(RasterDisc, GrowsItsShorterSideAtTheEndNearestItsCentre)
{
    for (const GrownDisc& c : kGrownDiscs) {
        const Painted p(21, 21, 0.1, Quality::Crisp, {disc(c.x, c.y, c.r)});
        // The pixels whose centres lie in the circle inscribed in the square: in doubled
        // offsets from the square's middle, so that every number is whole.
        const int d = c.square.width();
        ASSERT_EQ(c.square.height(), d) << c.what;
        std::vector<std::string> want(21, std::string(21, '.'));
        for (int y = c.square.top; y <= c.square.bottom; ++y)
            for (int x = c.square.left; x <= c.square.right; ++x) {
                const int ex = 2 * (x - c.square.left) + 1 - d;
                const int ey = 2 * (y - c.square.top) + 1 - d;
                if (ex * ex + ey * ey <= d * d)
                    want[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] = '#';
            }
        EXPECT_EQ(picture(p), want) << c.what;
    }
}

TEST(RasterDisc, TouchesTheBoxesItTouchesInUnits)
{
    // A box against each side of a disc in turn: from the disc's middle out through the box,
    // no pixel of the ground shows between them.
    struct Side
    {
        int dx;
        int dy;
    };
    for (const double scale : kScales) {
        for (const int r : {30, 50, 100, 250, 600}) {
            for (const Side side : {Side{0, 1}, Side{0, -1}, Side{1, 0}, Side{-1, 0}}) {
                const int cx = 2003;
                const int cy = 2011;
                // The box's near edge on the disc's edge, 300 units deep and wider than the disc.
                const int nearX = cx + side.dx * r;
                const int nearY = cy + side.dy * r;
                const int farX = nearX + side.dx * 300;
                const int farY = nearY + side.dy * 300;
                const Shape box{Shape::Kind::Box,
                                static_cast<std::int16_t>(side.dx != 0 ? nearX : cx - 2 * r),
                                static_cast<std::int16_t>(side.dy != 0 ? nearY : cy - 2 * r),
                                static_cast<std::int16_t>(side.dx != 0 ? farX : cx + 2 * r),
                                static_cast<std::int16_t>(side.dy != 0 ? farY : cy + 2 * r),
                                kInk,
                                kInk};
                const int size = static_cast<int>(3200 * scale) + 4;
                const Painted p(size, size, scale, Quality::Crisp, {disc(cx, cy, r), box});
                const auto x0 = static_cast<int>(cx * scale);
                const auto y0 = static_cast<int>(cy * scale);
                const auto steps = static_cast<int>((r + 250) * scale);
                for (int k = 0; k <= steps; ++k)
                    ASSERT_TRUE(p.inked(x0 + side.dx * k, y0 + side.dy * k))
                        << "scale " << scale << " radius " << r << " side " << side.dx << ", "
                        << side.dy << ": ground " << k << " pixels out";
            }
        }
    }
}

TEST(RasterDisc, SmoothCoversTheCrispPixelsAndShadesOnlyTheirEdge)
{
    for (const double scale : kScales) {
        const std::vector<Shape> shapes{disc(1290, 4370, 30), disc(2380, 960, 100),
                                        disc(950, 2750, 250)};
        const int size = static_cast<int>(4500 * scale) + 4;
        const Painted crisp(size, size, scale, Quality::Crisp, shapes);
        const Painted smooth(size, size, scale, Quality::Smooth, shapes);
        double crispInk = 0;
        double smoothInk = 0;
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                crispInk += crisp.ink(x, y);
                smoothInk += smooth.ink(x, y);
                if (smooth.ink(x, y) > 0.999) {
                    EXPECT_TRUE(crisp.inked(x, y)) << "scale " << scale << " at " << x << ", " << y;
                }
            }
        EXPECT_NEAR(smoothInk / crispInk, 1.0, 0.05) << "scale " << scale;
    }
}

// Lines: each step along the longer axis carries lineWidth() pixels of ink in both qualities,
// from the pixel of the first point up to, not including, the pixel of the last.
struct LineCase
{
    const char* what;
    int x1, y1, x2, y2;
};
const std::vector<LineCase> kLines{
    {"a sun ray at 45 degrees", 2500, 1500, 1500, 500},
    {"a steep scaffold line", 2100, 860, 2300, 4860},
    {"a shallow band line", 3075, 6500, 5800, 6150},
    {"a rain sparkle", 3003, 4001, 3023, 4021},
    {"a line drawn backwards", 5800, 6150, 3075, 6500},
};

TEST(RasterLine, EveryStepCarriesOneLineWidthOfInkInBothQualities)
{
    for (const double scale : kScales) {
        const int w = std::max(1, static_cast<int>(std::lround(15 * scale)));
        for (const LineCase& c : kLines) {
            SCOPED_TRACE(std::string(c.what) + " at scale " + std::to_string(scale));
            const int fromX = static_cast<int>(std::floor(c.x1 * scale + 0.5));
            const int fromY = static_cast<int>(std::floor(c.y1 * scale + 0.5));
            const int toX = static_cast<int>(std::floor(c.x2 * scale + 0.5));
            const int toY = static_cast<int>(std::floor(c.y2 * scale + 0.5));
            const bool alongX = std::abs(toX - fromX) >= std::abs(toY - fromY);
            for (const Quality quality : {Quality::Crisp, Quality::Smooth}) {
                const int size = static_cast<int>(6600 * scale) + 8;
                const Painted p(size, size, scale, quality, {line(c.x1, c.y1, c.x2, c.y2)});
                const auto inkOfStep = [&](int at) {
                    double sum = 0;
                    for (int across = 0; across < size; ++across)
                        sum += alongX ? p.ink(at, across) : p.ink(across, at);
                    return sum;
                };
                const int from = alongX ? fromX : fromY;
                const int to = alongX ? toX : toY;
                for (int at = std::min(from, to); at <= std::max(from, to); ++at) {
                    const double want = at == to ? 0 : w;
                    ASSERT_NEAR(inkOfStep(at), want, 0.02)
                        << qualityName(quality) << " step at " << at;
                }
            }
        }
    }
}

// A shallow crisp line at 15 units to a pixel (one pixel wide), the pixels of its ends given:
// one pixel to each column from the first point's up to, not including, the last point's, in
// the row nearest the exact line; a column exactly between two rows takes the lower one.
struct ShallowLine
{
    const char* what;
    std::array<int, 4> ends; // x1, y1, x2, y2 in pixels
    std::vector<std::string> pixels;
};

const std::vector<ShallowLine> kShallowLines{
    // Two rows over five columns: the exact line at 0, 0.4, 0.8, 1.2 and 1.6 rows on.
    {"left to right, sloping down",
     {1, 1, 6, 3},
     {
         "........",
         ".##.....",
         "...##...",
         ".....#..",
         "........",
     }},
    {"right to left, sloping down",
     {6, 1, 1, 3},
     {
         "........",
         ".....##.",
         "...##...",
         "..#.....",
         "........",
     }},
    {"left to right, sloping up",
     {1, 3, 6, 1},
     {
         "........",
         ".....#..",
         "...##...",
         ".##.....",
         "........",
     }},
    {"right to left, sloping up",
     {6, 3, 1, 1},
     {
         "........",
         "..#.....",
         "...##...",
         ".....##.",
         "........",
     }},
    // One row over four columns: the third column lies exactly between the two rows.
    {"left to right, sloping down, a tie",
     {1, 1, 5, 2},
     {
         "........",
         ".##.....",
         "...##...",
         "........",
         "........",
     }},
    {"right to left, sloping down, a tie",
     {5, 1, 1, 2},
     {
         "........",
         "....##..",
         "..##....",
         "........",
         "........",
     }},
    {"left to right, sloping up, a tie",
     {1, 2, 5, 1},
     {
         "........",
         "....#...",
         ".###....",
         "........",
         "........",
     }},
    {"right to left, sloping up, a tie",
     {5, 2, 1, 1},
     {
         "........",
         "..#.....",
         "...###..",
         "........",
         "........",
     }},
};

TEST(RasterLine, ShallowCrispLinesCoverThesePixels)
{
    for (const ShallowLine& c : kShallowLines) {
        const Painted p(8, 5, 1.0 / 15, Quality::Crisp,
                        {line(15 * c.ends[0], 15 * c.ends[1], 15 * c.ends[2], 15 * c.ends[3])});
        EXPECT_EQ(picture(p), c.pixels) << c.what;
    }
}

TEST(RasterLine, SmoothAt45DegreesIsTheCrispLine)
{
    // A sun ray whose ends fall 45 degrees apart on the grid: the smooth line's band of ink lies
    // on whole pixels, so it is exactly the crisp line.
    int compared = 0;
    for (const double scale : kScales) {
        const auto at = [scale](int u) { return static_cast<int>(std::floor(u * scale + 0.5)); };
        if (at(2500) - at(1500) != at(1500) - at(500))
            continue;
        const std::vector<Shape> ray{line(2500, 1500, 1500, 500)};
        const int size = static_cast<int>(2600 * scale) + 4;
        const Painted crisp(size, size, scale, Quality::Crisp, ray);
        const Painted smooth(size, size, scale, Quality::Smooth, ray);
        EXPECT_TRUE(crisp.surface.pixels == smooth.surface.pixels) << "scale " << scale;
        ++compared;
    }
    EXPECT_GE(compared, 4);
}

TEST(RasterBox, CoversThePixelsOfItsCornersAndEverythingBetween)
{
    const Shape box{Shape::Kind::Box, 3000, 3000, 1500, 1500, kInk, kInk};
    const Painted p(300, 300, 1.0 / 15, Quality::Smooth, {box});
    EXPECT_EQ(inkedRect(p), (IntRect{100, 100, 200, 200}));
}

TEST(RasterKeptSurface, AfterAnEraseEveryPixelNoBoxCoversIsTheNewBackground)
{
    // A white surface, erased to dark blue, and three boxes: two that touch and one in the
    // corner. At 15 units to a pixel a box covers the pixels of its corners and all between.
    std::ostringstream errors;
    Player player(TimeSource::Virtual, makeQuilletShow(1), errors);
    Stage& stage = player.stage();
    KeptSurface kept;
    stage.setBackground(kInk);
    ASSERT_TRUE(kept.update(stage, 1.0 / 15, 400, 300).whole);
    stage.setBackground(kGround);
    stage.setFill(kInk);
    stage.box({1500, 1500}, {3000, 3000}, kInk);
    stage.box({3000, 1500}, {4500, 2250}, kInk);
    stage.box({0, 0}, {600, 600}, kInk);
    ASSERT_TRUE(kept.update(stage, 1.0 / 15, 400, 300).whole);
    const std::vector<IntRect> boxes{{100, 100, 200, 200}, {200, 100, 300, 150}, {0, 0, 40, 40}};
    int wrong = 0;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            bool inBox = false;
            for (const IntRect& box : boxes)
                inBox = inBox || box.contains(x, y);
            const std::uint32_t want = pixelOf(inBox ? kInk : kGround);
            wrong += kept.surface().at(x, y) == want ? 0 : 1;
        }
    EXPECT_EQ(wrong, 0);
}

// The 12000 x 9000 units of the stage (4 : 3) in outputs of several sizes: the scale, the
// surface's pixels and the bars of the whole output (above, below, left, right), worked out by
// hand. A leftover of an odd number of pixels puts the extra one in the bar on the right (or
// below).
struct FitCase
{
    int width;
    int height;
    double scale;
    IntRect surface;
    std::vector<IntRect> bars;
};

const std::vector<FitCase> kFits{
    {800, 600, 800 / 12000.0, {0, 0, 799, 599}, {}},
    {1366, 768, 768 / 9000.0, {171, 0, 1194, 767}, {{0, 0, 170, 767}, {1195, 0, 1365, 767}}},
    {3840, 2160, 2160 / 9000.0, {480, 0, 3359, 2159}, {{0, 0, 479, 2159}, {3360, 0, 3839, 2159}}},
    // 902.67 pixels wide, rounded to 903.
    {1013, 677, 677 / 9000.0, {55, 0, 957, 676}, {{0, 0, 54, 676}, {958, 0, 1012, 676}}},
    // 249.75 pixels high, rounded to 250; 267 left over: 133 above, 134 below.
    {333, 517, 333 / 12000.0, {0, 133, 332, 382}, {{0, 0, 332, 132}, {0, 383, 332, 516}}},
    // Odd leftovers across: 1, 3, 343 and 111 pixels.
    {801, 600, 600 / 9000.0, {0, 0, 799, 599}, {{800, 0, 800, 599}}},
    {803, 600, 600 / 9000.0, {1, 0, 800, 599}, {{0, 0, 0, 599}, {801, 0, 802, 599}}},
    {1367, 768, 768 / 9000.0, {171, 0, 1194, 767}, {{0, 0, 170, 767}, {1195, 0, 1366, 767}}},
    {1014, 677, 677 / 9000.0, {55, 0, 957, 676}, {{0, 0, 54, 676}, {958, 0, 1013, 676}}},
    // And down: 1 and 3 pixels.
    {800, 601, 800 / 12000.0, {0, 0, 799, 599}, {{0, 600, 799, 600}}},
    {800, 603, 800 / 12000.0, {0, 1, 799, 600}, {{0, 0, 799, 0}, {0, 601, 799, 602}}},
};

TEST(RasterFit, TheStageFillsTheOutputOneWayWithBarsCentredTheOther)
{
    for (const FitCase& c : kFits) {
        const StageFit fit = StageFit::of(12000, 9000, c.width, c.height);
        const std::string size = std::to_string(c.width) + "x" + std::to_string(c.height);
        EXPECT_DOUBLE_EQ(fit.scale, c.scale) << size;
        EXPECT_EQ(fit.surface, c.surface) << size;
        const std::vector<IntRect> bars = fit.barsWithin(IntRect::sized(0, 0, c.width, c.height));
        EXPECT_EQ(bars, c.bars) << size;
    }
}

// Every pixel of an area is either on the surface or in exactly one of the bars within it.
TEST(RasterFit, TheBarsWithinAnAreaAreExactlyItsPixelsOffTheSurface)
{
    const StageFit fit = StageFit::of(12000, 9000, 1366, 768); // bars left and right
    const StageFit tall = StageFit::of(12000, 9000, 333, 517); // bars above and below
    const std::vector<std::pair<StageFit, IntRect>> cases{
        {fit, IntRect::sized(0, 0, 1366, 768)},    {fit, IntRect::sized(100, 50, 200, 100)},
        {fit, IntRect::sized(1100, 700, 266, 68)}, {fit, IntRect::sized(300, 300, 50, 50)},
        {fit, IntRect::sized(0, 0, 171, 768)},     {tall, IntRect::sized(0, 0, 333, 517)},
        {tall, IntRect::sized(10, 120, 300, 300)}, {tall, IntRect::sized(0, 380, 333, 137)},
        {fit, IntRect::sized(170, 767, 1026, 1)},
    };
    for (const auto& [view, area] : cases) {
        const std::vector<IntRect> bars = view.barsWithin(area);
        EXPECT_LE(bars.size(), 4U);
        for (int y = area.top; y <= area.bottom; ++y)
            for (int x = area.left; x <= area.right; ++x) {
                int covers = view.surface.contains(x, y) ? 1 : 0;
                for (const IntRect& bar : bars)
                    covers += bar.contains(x, y) ? 1 : 0;
                ASSERT_EQ(covers, 1) << "pixel " << x << "," << y << " of an area at " << area.left
                                     << "," << area.top;
            }
        for (const IntRect& bar : bars)
            EXPECT_TRUE(area.holds(bar));
    }
}

// The ducklings stand at 4200 and 3000 units across, 4920 down, 825 units square. The corner is
// the pixel of the left and top edges; the size is 825 units scaled and rounded, so both are the
// same size. At 1366 x 768 (768/9000 pixels to a unit) the right edge of the one at 4200 lies at
// 5025 units = 428.8 pixels, which rounds to 429, one column further than its corner (358.4
// rounds to 358) and its size (70.4 rounds to 70) make: it is still 70 wide, like its twin.
// Block j of a side of `in` picture pixels drawn `out` long runs from round(j * out / in) to the
// next block's start, worked out here by hand for enlarging and reducing.
TEST(RasterPicture, CrispBlocksShowThesePicturePixels)
{
    struct Row
    {
        int in;
        int out;
        std::vector<int> sources;
    };
    const std::vector<Row> rows = {
        {3, 7, {0, 0, 1, 1, 1, 2, 2}}, // edges 0, 2.33 -> 2, 4.67 -> 5, 7
        {2, 4, {0, 0, 1, 1}},          // a whole multiple: each pixel twice
        {4, 2, {0, 2}},                // edges 0, 0.5 -> 1, 1 -> 1, 1.5 -> 2, 2
        {5, 3, {0, 2, 4}},             // edges 0, 0.6 -> 1, 1.2 -> 1, 1.8 -> 2, 2.4 -> 2, 3
        {1, 3, {0, 0, 0}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(pictureBlockSources(row.in, row.out), row.sources)
            << row.in << " pixels drawn " << row.out << " long";
}

TEST(RasterPicture, ACornerOnItsEdgesPixelAndItsSizeInUnitsScaled)
{
    struct Case
    {
        const char* output;
        double scale;
        Control control;
        IntRect want;
    };
    const std::vector<Case> cases{
        // 1/15: every edge whole, 55 pixels square.
        {"800x600", 800 / 12000.0, Control::imgDuck2, IntRect::sized(280, 328, 55, 55)},
        {"800x600", 800 / 12000.0, Control::imgDuck, IntRect::sized(200, 328, 55, 55)},
        // 358.4, 419.84 and 70.4; and 256 across for the one at 3000.
        {"1366x768", 768 / 9000.0, Control::imgDuck2, IntRect::sized(358, 420, 70, 70)},
        {"1366x768", 768 / 9000.0, Control::imgDuck, IntRect::sized(256, 420, 70, 70)},
        // 448, 524.8 and 88; 320.
        {"1280x960", 960 / 9000.0, Control::imgDuck2, IntRect::sized(448, 525, 88, 88)},
        {"1280x960", 960 / 9000.0, Control::imgDuck, IntRect::sized(320, 525, 88, 88)},
        // 504, 590.4 and 99.
        {"1920x1080", 1080 / 9000.0, Control::imgDuck2, IntRect::sized(504, 590, 99, 99)},
        // 1008, 1180.8 and 198.
        {"3840x2160", 2160 / 9000.0, Control::imgDuck2, IntRect::sized(1008, 1181, 198, 198)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(pictureRect(PixelGrid(c.scale), designOf(c.control).rect), c.want)
            << c.output << " " << designOf(c.control).name;
}

// What of an output to paint again: every place a shape was painted, moved to where the surface
// lies; a place inside another once; past 256 places their bounds; the whole surface when the
// surface was painted whole.
TEST(RasterChangedAreas, ThePlacesPaintedOnTheOutputTheirBoundsOrTheWholeSurface)
{
    const IntRect surface = IntRect::sized(171, 0, 1024, 768);
    const auto row = [](int n) {
        std::vector<IntRect> areas(static_cast<std::size_t>(n));
        for (std::size_t i = 0; i < areas.size(); ++i)
            areas[i] = IntRect::sized(10 * static_cast<int>(i), 5, 4, 3);
        return areas;
    };
    const auto moved = [](std::vector<IntRect> areas) {
        for (IntRect& area : areas)
            area = area.translated(171, 0);
        return areas;
    };
    struct Case
    {
        const char* what;
        std::vector<KeptSurface::Painted> updates;
        std::vector<IntRect> want;
    };
    const std::vector<Case> cases{
        {"nothing painted", {{}}, {}},
        {"one box", {{false, {IntRect::sized(0, 0, 10, 20)}}}, {IntRect::sized(171, 0, 10, 20)}},
        {"a place inside another, either way round",
         {{false, {{10, 10, 20, 20}, {12, 12, 15, 15}}}, {false, {{0, 0, 40, 40}}}},
         {{171, 0, 211, 40}}},
        {"the same place twice",
         {{false, {{10, 10, 20, 20}}}, {false, {{10, 10, 20, 20}}}},
         {{181, 10, 191, 20}}},
        {"256 places", {{false, row(256)}}, moved(row(256))},
        // The last of 257 places ends at 2560 + 3 on the surface.
        {"257 places", {{false, row(257)}}, {{171, 5, 171 + 2563, 7}}},
        {"257 over two updates", {{false, row(100)}, {false, row(257)}}, {{171, 5, 2734, 7}}},
        {"the surface painted whole", {{false, row(3)}, {true, {}}, {false, row(2)}}, {surface}},
    };
    for (const Case& c : cases) {
        ChangedAreas changed;
        for (const KeptSurface::Painted& painted : c.updates)
            changed.add(painted, surface);
        EXPECT_EQ(changed.take(), c.want) << c.what;
        EXPECT_TRUE(changed.isEmpty()) << c.what << ": taken";
    }
}

TEST(RasterSurface, PixelsAreZeroRedGreenBlueFromTheHighByte)
{
    EXPECT_EQ(pixelOf({0x12, 0x34, 0x56}), 0xff123456U);
    EXPECT_EQ(rgbOf(0xff123456U), (Rgb{0x12, 0x34, 0x56}));
}

} // namespace
} // namespace q3
