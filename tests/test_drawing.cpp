// The drawing vocabulary, the figure routines and the kept drawing of the surface.
#include "core/figures.h"
#include "raster/picture_rect.h"
#include "render/compositor.h"
#include "render/pictures.h"
#include "support.h"

#include <QImage>
#include <QRegion>
#include <array>
#include <cmath>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace q3::test {
namespace {

struct DrawingTest : testing::Test
{
    std::ostringstream errors;
    Player player{TimeSource::Virtual, makeQuilletShow(1), errors};
    Stage& stage = player.stage();
    Recorder recorder;
    EventBus::Subscription following = stage.events().subscribe(recorder);
};

TEST_F(DrawingTest, DiscIsFilledWithTheColourInForceAndLeavesItsOwn)
{
    stage.setFill(kWhite);
    DrawBlackDisc(stage, 100, 200, 50);
    stage.box({10, 10}, {20, 20}, kBlack);
    EXPECT_TRUE(
        sameEvents(recorder.lines,
                   {
                       R"({"ev":"fill","rgb":[255,255,255]})",
                       R"({"ev":"circle","c":[100,200],"r":50,"rgb":[0,0,0],"fill":[255,255,255]})",
                       R"({"ev":"fill","rgb":[0,0,0]})",
                       R"({"ev":"box","p1":[10,10],"p2":[20,20],"rgb":[0,0,0],"fill":[0,0,0]})",
                   }));
}

TEST_F(DrawingTest, TwoSkinDiscsWithoutASetFillBetween)
{
    stage.setFill({1, 2, 3});
    DrawSkinDisc(stage, 0, 0, 10);
    DrawSkinDisc(stage, 0, 0, 20);
    EXPECT_TRUE(sameEvents(
        recorder.lines,
        {
            R"({"ev":"fill","rgb":[1,2,3]})",
            R"({"ev":"circle","c":[0,0],"r":10,"rgb":[235,185,130],"fill":[1,2,3]})",
            R"({"ev":"fill","rgb":[235,185,130]})",
            R"({"ev":"circle","c":[0,0],"r":20,"rgb":[235,185,130],"fill":[235,185,130]})",
            R"({"ev":"fill","rgb":[235,185,130]})",
        }));
}

TEST_F(DrawingTest, IvoryDiscOutlinesInIvory)
{
    DrawIvoryDisc(stage, 5, 6, 7);
    EXPECT_EQ(recorder.lines.at(0),
              R"({"ev":"circle","c":[5,6],"r":7,"rgb":[255,255,245],"fill":[0,0,0]})");
    EXPECT_EQ(stage.fill(), kIvory);
}

TEST_F(DrawingTest, SparkleAtTheLimitDraws)
{
    DrawSparkle(stage, 32747, 32747);
    EXPECT_TRUE(
        sameEvents(recorder.lines,
                   {
                       R"({"ev":"line","p1":[32747,32747],"p2":[32767,32767],"rgb":[255,255,255]})",
                       R"({"ev":"fill","rgb":[255,255,255]})",
                   }));
}

TEST_F(DrawingTest, SparklePastTheLimitOverflowsBeforeDrawing)
{
    stage.setFill({9, 9, 9});
    recorder.clear();
    EXPECT_THROW(DrawSparkle(stage, 32748, 0), OverflowError);
    EXPECT_THROW(DrawSparkle(stage, 0, 32748), OverflowError);
    EXPECT_TRUE(recorder.lines.empty());
    EXPECT_EQ(stage.fill(), (Rgb{9, 9, 9}));
    EXPECT_EQ(stage.displayList().liveCount(), 0U);
}

TEST_F(DrawingTest, ForeColourShapesAreBlackAndMarked)
{
    stage.line({1, 2}, {3, 4});
    stage.circle({5, 6}, 7);
    EXPECT_TRUE(sameEvents(
        recorder.lines,
        {
            R"({"ev":"line","p1":[1,2],"p2":[3,4],"rgb":[0,0,0],"fore":true})",
            R"({"ev":"circle","c":[5,6],"r":7,"rgb":[0,0,0],"fill":[0,0,0],"fore":true})",
        }));
}

TEST(Int16Arithmetic, OverflowsInsteadOfWrapping)
{
    EXPECT_EQ((Int16(32766) + 1).value(), 32767);
    EXPECT_THROW(Int16(32767) + 1, OverflowError);
    EXPECT_THROW(Int16(-32768) - 1, OverflowError);
    EXPECT_THROW(Int16(40000), OverflowError);
    Int16 x = 10000;
    x -= 750;
    EXPECT_EQ(x.value(), 9250);
}

TEST(DisplayListKeeping, RepaintedShapeReplacesTheEarlierOneAndStaysOnTop)
{
    DisplayList list;
    const Shape bulb{Shape::Kind::Circle, 2380, 960, 100, 0, kBlack, {255, 255, 0}};
    const Shape other{Shape::Kind::Circle, 2580, 960, 100, 0, kBlack, {255, 255, 0}};
    Shape white = bulb;
    white.fill = kWhite;
    list.add(bulb);
    list.add(other);
    list.add(white);
    std::vector<Rgb> fills;
    list.forEachAfter(0, [&](const Shape& s) { fills.push_back(s.fill); });
    ASSERT_EQ(fills.size(), 2U);
    EXPECT_EQ(fills[1], kWhite) << "the repainted bulb is painted last";
    for (int i = 0; i < 100000; ++i)
        list.add(i % 2 == 0 ? bulb : white);
    EXPECT_EQ(list.liveCount(), 2U);
    EXPECT_LT(list.storedCount(), 200U);
}

TEST(DisplayListKeeping, PaintsOnlyWhatCameAfterASequenceNumber)
{
    DisplayList list;
    list.add({Shape::Kind::Line, 0, 0, 1, 1, kBlack, kBlack});
    const auto seen = list.lastSeq();
    list.add({Shape::Kind::Line, 2, 2, 3, 3, kBlack, kBlack});
    int painted = 0;
    list.forEachAfter(seen, [&](const Shape& s) {
        ++painted;
        EXPECT_EQ(s.x1, 2);
    });
    EXPECT_EQ(painted, 1);
}

// Probes of the rendered surface, maximised, at 800 x 600: 15 units to a pixel.
struct SurfacePixels : DrawingTest
{
    SurfacePixels()
    {
        stage.maximise();
        for (std::size_t i = 0; i < kControlCount; ++i)
            stage.hide(controlAt(i));
    }
    QRgb at(int xUnits, int yUnits)
    {
        image = compositor.render(stage, QSize(800, 600));
        return image.pixel(xUnits / 15, yUnits / 15);
    }
    Compositor compositor;
    QImage image;
};

TEST_F(SurfacePixels, BoxWithSwappedCornersIsTheSameRectangle)
{
    stage.setBackground(kBlack);
    stage.setFill({0, 0, 255});
    stage.box({3000, 3000}, {1500, 1500}, kWhite);
    EXPECT_EQ(at(2250, 2250), qRgb(0, 0, 255));
    EXPECT_EQ(at(1200, 2250), qRgb(0, 0, 0));
    EXPECT_EQ(at(3300, 2250), qRgb(0, 0, 0));
}

TEST_F(SurfacePixels, BackgroundErasesTheDrawingAlsoInTheSameColour)
{
    stage.setBackground({0, 0, 80});
    stage.setFill(kWhite);
    stage.box({0, 0}, {6000, 6000}, kWhite);
    EXPECT_EQ(at(3000, 3000), qRgb(255, 255, 255));
    stage.setBackground({0, 0, 80});
    EXPECT_EQ(at(3000, 3000), qRgb(0, 0, 80));
    stage.setFill(kWhite);
    stage.box({0, 0}, {6000, 6000}, kWhite);
    stage.clear();
    EXPECT_EQ(at(3000, 3000), qRgb(0, 0, 80));
}

TEST_F(SurfacePixels, ResizedOutputIsRenderedAgainFromTheKeptDrawing)
{
    stage.setBackground(kBlack);
    stage.setFill({255, 0, 0});
    DrawBlackDisc(stage, 6000, 4500, 1500);
    EXPECT_EQ(at(6000, 4500), qRgb(255, 0, 0));
    const QImage big = compositor.render(stage, QSize(2400, 1800));
    EXPECT_EQ(big.pixel(1200, 900), qRgb(255, 0, 0));
    EXPECT_EQ(big.pixel(1200, 900 - 295), qRgb(255, 0, 0)) << "the disc is 300 pixels in radius";
    EXPECT_EQ(big.pixel(1200, 900 - 320), qRgb(0, 0, 0));
}

TEST_F(SurfacePixels, LabelCoversTheDrawingBehindIt)
{
    stage.setBackground(kBlack);
    stage.setFill({0, 255, 0});
    stage.box({0, 0}, {12000, 9000}, {0, 255, 0});
    stage.show(Control::lblTalk);
    EXPECT_EQ(at(2700, 5300), qRgb(128, 128, 255));
    EXPECT_EQ(at(2500, 5300), qRgb(0, 255, 0));
}

// A frame painted again only where it changed must be the frame painted afresh, at every
// moment of the show and in both qualities: wherever the damage misses a pixel, or a smooth
// edge painted again over itself grows darker, the two differ.
struct ChangedAreasCase
{
    QSize size;
    Quality quality;
};

void PrintTo(const ChangedAreasCase& c, std::ostream* os)
{
    *os << c.size.width() << "x" << c.size.height() << " " << qualityName(c.quality);
}

class ChangedAreas : public testing::TestWithParam<ChangedAreasCase>
{
};

TEST_P(ChangedAreas, FramePaintedWhereItChangedIsTheFreshFrame)
{
    const auto [size, quality] = GetParam();
    std::ostringstream errors;
    Looks looks;
    Player run(TimeSource::Virtual, makeQuilletShow(3), errors, looks);
    run.addClick(0);
    Compositor kept(quality);
    Compositor whole(quality);
    QImage frame(size, QImage::Format_RGB32);
    int differing = 0;
    int sample = 0;
    for (double t = 0; t < 100000; t += 53)
        looks.add(t, [&](double at) {
            kept.render(run.stage(), frame);
            // Painted whole from the same kept surface every time; from nothing now and then,
            // since a surface that went wrong stays wrong.
            const bool fresh = ++sample % 20 == 0;
            const QImage other = fresh ? Compositor(quality).render(run.stage(), size)
                                       : whole.render(run.stage(), size);
            if (differing == 0 && frame != other) {
                ++differing;
                ADD_FAILURE() << "the frame at " << at << " ms differs from the "
                              << (fresh ? "fresh" : "whole") << " one";
            }
        });
    run.runUntil(100000);
    EXPECT_EQ(sample, 1887) << "every look was taken";
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChangedAreas,
                         testing::Values(ChangedAreasCase{{800, 600}, Quality::Crisp},
                                         ChangedAreasCase{{1013, 677}, Quality::Crisp},
                                         ChangedAreasCase{{333, 517}, Quality::Crisp},
                                         ChangedAreasCase{{1013, 677}, Quality::Smooth},
                                         ChangedAreasCase{{333, 517}, Quality::Smooth}),
                         [](const testing::TestParamInfo<ChangedAreasCase>& param) {
                             return std::to_string(param.param.size.width()) + "x" +
                                    std::to_string(param.param.size.height()) + "_" +
                                    std::string(qualityName(param.param.quality));
                         });

TEST_F(SurfacePixels, ChangesAreWhereTheNewShapesAreOrEverythingWhenAControlChanged)
{
    stage.setBackground(kBlack);
    const QSize size(800, 600);
    EXPECT_EQ(compositor.takeChanges(stage, size), QRegion(0, 0, 800, 600)) << "the first frame";
    EXPECT_TRUE(compositor.takeChanges(stage, size).isEmpty()) << "nothing new";
    stage.setFill({255, 0, 0});
    stage.box({1500, 1500}, {3000, 3000}, kWhite);
    const QRegion box = compositor.takeChanges(stage, size);
    EXPECT_TRUE(box.contains(QRect(99, 99, 102, 102))) << "the box with its outline";
    EXPECT_TRUE(QRect(90, 90, 120, 120).contains(box.boundingRect()));
    stage.show(Control::lblTalk);
    EXPECT_EQ(compositor.takeChanges(stage, size), QRegion(0, 0, 800, 600)) << "a label shown";
    EXPECT_EQ(compositor.takeChanges(stage, QSize(640, 480)), QRegion(0, 0, 640, 480))
        << "another output";
}

// The one pixel grid, at the design's size, common screens and an odd one: one-pixel lines of
// one weight, the white bar under the screen label, the gap under the hero's head, round
// discs, smooth strokes as heavy as crisp ones, and even picture pixels.
//
// The head spans 3900 to 5100 units down and 900 to 2100 across, and the white box starts at
// 5120: its rows and the gap's are the pixel rows whose middles lie between those edges, the
// scale being 1/15 at 800 x 600, 0.10667 at 1280 x 960, 0.12 at 1920 x 1080, 0.24 at
// 3840 x 2160 and 0.085333 at 1366 x 768 (the stage fitted whole).
struct GridCase
{
    QSize size;
    int lineWidth;   // device pixels of a one-pixel line
    int headRows;    // the head's pixels across and down: 1200 units
    int headGapRows; // background rows between the head and the white box: 20 units
};

void PrintTo(const GridCase& c, std::ostream* os)
{
    *os << c.size.width() << "x" << c.size.height();
}

class OnePixelGrid : public testing::TestWithParam<GridCase>
{
protected:
    [[nodiscard]] QPoint at(const Stage& stage, int x, int y) const
    {
        const StageView view = viewOf(stage);
        const PixelGrid grid = view.grid();
        return view.origin.toPoint() + QPoint(grid.at(x), grid.at(y));
    }
    [[nodiscard]] StageView viewOf(const Stage& stage) const
    {
        return StageView::fit(stage.surfaceWidth(), stage.surfaceHeight(), GetParam().size);
    }
};

// How many pixels of the colour at `p` run through it along `step` and against it.
int runThrough(const QImage& frame, QPoint p, QPoint step)
{
    const QRgb colour = frame.pixel(p);
    int length = 1;
    for (const QPoint dir : {step, -step})
        for (QPoint q = p + dir; frame.rect().contains(q) && frame.pixel(q) == colour; q += dir)
            ++length;
    return length;
}

TEST_P(OnePixelGrid, LinesAndOutlinesOfTheStageSetHaveOneWeight)
{
    RecordedRun r(4);
    r.run.runUntil(57000);
    const QImage frame = Compositor().render(r.stage(), GetParam().size);
    struct Stroke
    {
        const char* what;
        int x;
        int y;
        bool across; // a horizontal line, measured down a column
    };
    std::vector<Stroke> strokes{
        {"lowest right rung", 9920, 6860, true},      {"lowest left rung", 2090, 6860, true},
        {"back edge of the floor", 8800, 5750, true}, {"left outer pole", 2150, 5160, false},
        {"left inner pole", 2260, 5160, false},       {"right inner pole", 9730, 5160, false},
        {"right outer pole", 9850, 5160, false},      {"left tower's outline", 2025, 5160, false},
        {"lamp's outline", 350, 100, true},
    };
    for (int y = 5060; y <= 6660; y += 200) {
        strokes.push_back({"right rung", 9790, y, true});
        strokes.push_back({"left rung", 2200, y, true});
    }
    for (int y = 860; y <= 4860; y += 200)
        strokes.push_back({"scaffold bar", 2200, y, true});
    for (const Stroke& s : strokes) {
        const QPoint p = at(r.stage(), s.x, s.y);
        ASSERT_EQ(frame.pixel(p), qRgb(0, 0, 0)) << s.what << " at " << s.x << ", " << s.y;
        EXPECT_EQ(runThrough(frame, p, s.across ? QPoint(0, 1) : QPoint(1, 0)),
                  GetParam().lineWidth)
            << s.what << " at " << s.x << ", " << s.y;
    }
}

TEST_P(OnePixelGrid, WhiteBarStaysUnderTheScreenLabel)
{
    RecordedRun r(4);
    r.run.runUntil(57000);
    const QImage frame = Compositor().render(r.stage(), GetParam().size);
    const StageView view = viewOf(r.stage());
    const IntRect label = view.grid()
                              .rect(designOf(Control::lblCountDown).rect)
                              .translated(view.origin.toPoint().x(), view.origin.toPoint().y());
    const int top = at(r.stage(), 0, 4580).y();
    const int bottom = at(r.stage(), 0, 4650).y() + GetParam().lineWidth;
    for (int y = top; y < bottom; ++y)
        for (const int x : {label.left - 1, label.right + 1})
            EXPECT_NE(frame.pixel(x, y), qRgb(255, 255, 255))
                << "beside the label at " << x << ", " << y;
}

TEST_P(OnePixelGrid, BackgroundShowsBetweenHeadAndBodyWhereTheUnitsLeaveRoom)
{
    RecordedRun r(4);
    r.run.runUntil(slowCueTime(4));
    const QImage frame = Compositor().render(r.stage(), GetParam().size);
    const QRgb skin = qRgb(235, 185, 130);
    // Across the head's middle row, which neither the eyes nor the mouth cross.
    const QPoint middle = at(r.stage(), 1500, 4500);
    ASSERT_EQ(frame.pixel(middle), skin);
    EXPECT_EQ(runThrough(frame, middle, QPoint(1, 0)), GetParam().headRows) << "across";
    // Down the middle column, between the eyes and past the mouth: skin from the top to the
    // chin, then the gap, then the white box's outline.
    int top = middle.y();
    while (frame.pixel(middle.x(), top - 1) == skin)
        --top;
    int chin = at(r.stage(), 1500, 5000).y();
    ASSERT_EQ(frame.pixel(middle.x(), chin), skin);
    while (frame.pixel(middle.x(), chin + 1) == skin)
        ++chin;
    EXPECT_EQ(chin - top + 1, GetParam().headRows) << "down";
    int y = chin + 1;
    while (frame.pixel(middle.x(), y) == qRgb(0, 0, 80))
        ++y;
    EXPECT_EQ(y - chin - 1, GetParam().headGapRows) << "background rows below the chin";
    EXPECT_EQ(frame.pixel(middle.x(), y), qRgb(0, 0, 0)) << "the white box's outline";
}

// The smallest rectangle holding the pixels of `frame` that are not `ground`, within `radius`
// pixels and a few of `centre`.
QRect inkAround(const QImage& frame, QPoint centre, double radius, QRgb ground)
{
    const int reach = static_cast<int>(radius) + 3;
    QRect ink;
    for (int y = centre.y() - reach; y <= centre.y() + reach; ++y)
        for (int x = centre.x() - reach; x <= centre.x() + reach; ++x)
            if (frame.pixel(x, y) != ground)
                ink |= QRect(x, y, 1, 1);
    return ink;
}

TEST_P(OnePixelGrid, DiscsAreRoundSymmetricAndWithoutStubs)
{
    std::ostringstream errors;
    Player player{TimeSource::Virtual, makeQuilletShow(1), errors};
    Stage& stage = player.stage();
    stage.maximise();
    for (std::size_t i = 0; i < kControlCount; ++i)
        stage.hide(controlAt(i));
    stage.setBackground({0, 0, 80});
    struct Disc
    {
        int x;
        int y;
        int r;
    };
    // An eye dot, the mouth dot, a bulb, a lamp and the head, and the same a little off the
    // units that fall on pixel edges.
    const std::array discs{Disc{1290, 4370, 30},  Disc{3000, 1000, 50},  Disc{5000, 1000, 100},
                           Disc{8000, 1500, 250}, Disc{6000, 6000, 600}, Disc{1707, 2003, 30},
                           Disc{3011, 2404, 50},  Disc{4993, 2995, 100}, Disc{9005, 4509, 250}};
    for (const Disc& d : discs) {
        stage.setFill(kWhite);
        stage.circle({d.x, d.y}, d.r, kBlack);
    }
    const QImage frame = Compositor().render(stage, GetParam().size);
    const QRgb ground = qRgb(0, 0, 80);
    const double scale = viewOf(stage).scale;
    const QPointF origin = viewOf(stage).origin;
    for (const Disc& d : discs) {
        SCOPED_TRACE("disc of radius " + std::to_string(d.r) + " at " + std::to_string(d.x) + ", " +
                     std::to_string(d.y));
        // One diameter across and down, the disc's own to under a pixel, about its centre.
        const QRect box = inkAround(frame, at(stage, d.x, d.y), d.r * scale, ground);
        ASSERT_EQ(box.width(), box.height());
        EXPECT_LT(std::abs(box.width() - 2 * d.r * scale), 1.0);
        EXPECT_LE(std::abs(box.left() + box.width() / 2.0 - origin.x() - d.x * scale), 0.5);
        EXPECT_LE(std::abs(box.top() + box.height() / 2.0 - origin.y() - d.y * scale), 0.5);
        for (int y = box.top(); y <= box.bottom(); ++y)
            for (int x = box.left(); x <= box.right(); ++x) {
                const bool inside = frame.pixel(x, y) != ground;
                ASSERT_EQ(inside, frame.pixel(box.left() + box.right() - x, y) != ground)
                    << "mirrored across at " << x << ", " << y;
                ASSERT_EQ(inside, frame.pixel(x, box.top() + box.bottom() - y) != ground)
                    << "mirrored up and down at " << x << ", " << y;
                ASSERT_EQ(inside, frame.pixel(box.left() + y - box.top(),
                                              box.top() + x - box.left()) != ground)
                    << "mirrored about the diagonal at " << x << ", " << y;
            }
        // No single pixel sticks out at the top, bottom, left or right.
        EXPECT_GE(runThrough(frame, QPoint(box.center().x(), box.top()), QPoint(1, 0)), 2);
        EXPECT_GE(runThrough(frame, QPoint(box.left(), box.center().y()), QPoint(0, 1)), 2);
    }
    // Smooth too, across the surface's left edge: its first column is filled like the rest.
    stage.circle({0, 4500}, 600, kBlack);
    const QImage smooth = Compositor(Quality::Smooth).render(stage, GetParam().size);
    const QPoint centre = at(stage, 0, 4500);
    EXPECT_EQ(smooth.pixel(centre), qRgb(255, 255, 255)) << "at " << centre.x();
}

TEST_P(OnePixelGrid, BulbsAndLampsAreRound)
{
    // Every bulb of the upper row and every lamp of the concert, each filled in one colour
    // inside its black outline: as many pixels of it across its centre as down. (The lower
    // bulbs run under the screen's label.)
    RecordedRun r(4);
    r.run.runUntil(57100);
    const QImage frame = Compositor().render(r.stage(), GetParam().size);
    std::vector<QPoint> centres;
    std::vector<int> bulbX{2380};
    for (int x = 2580; x <= 5780; x += 200)
        bulbX.push_back(x);
    bulbX.push_back(6010);
    for (int x = 6240; x <= 9640; x += 200)
        bulbX.push_back(x);
    for (const int x : bulbX)
        centres.push_back(at(r.stage(), x, 960));
    for (const int x : {350, 950, 1550, 10400, 11000, 11600})
        for (int y = 350; y <= 5150; y += 600)
            centres.push_back(at(r.stage(), x, y));
    ASSERT_EQ(centres.size(), 91U);
    for (const QPoint centre : centres)
        EXPECT_EQ(runThrough(frame, centre, QPoint(1, 0)), runThrough(frame, centre, QPoint(0, 1)))
            << "the disc at pixel " << centre.x() << ", " << centre.y();
}

// The light a stretch of the show adds to its frame: the sum of every component's increase.
std::int64_t lightAdded(const QImage& before, const QImage& after)
{
    std::int64_t light = 0;
    for (int y = 0; y < after.height(); ++y)
        for (int x = 0; x < after.width(); ++x) {
            const QRgb a = after.pixel(x, y);
            const QRgb b = before.pixel(x, y);
            light += qRed(a) - qRed(b) + qGreen(a) - qGreen(b) + qBlue(a) - qBlue(b);
        }
    return light;
}

TEST_P(OnePixelGrid, SmoothRainAddsAsMuchLightAsCrisp)
{
    // Two seconds of white sparkles on the sky: softer edges, the same ink.
    RecordedRun r(4);
    r.run.runUntil(48001);
    Compositor crisp;
    Compositor smooth(Quality::Smooth);
    const QImage crispBefore = crisp.render(r.stage(), GetParam().size);
    const QImage smoothBefore = smooth.render(r.stage(), GetParam().size);
    r.run.runUntil(49999);
    const std::int64_t crispLight =
        lightAdded(crispBefore, crisp.render(r.stage(), GetParam().size));
    const std::int64_t smoothLight =
        lightAdded(smoothBefore, smooth.render(r.stage(), GetParam().size));
    ASSERT_GT(crispLight, 0);
    EXPECT_GE(double(smoothLight), 0.9 * double(crispLight));
    EXPECT_LE(double(smoothLight), 1.1 * double(crispLight));
}

TEST_P(OnePixelGrid, SlantedRaysWeighAsMuchSmoothAsCrisp)
{
    // The sun's upper left ray runs at 45 degrees from (2500, 1500) to (1500, 500), yellow on
    // the (170, 200, 255) sky: between 600 and 800 units down, clear of the disc (radius 750),
    // each row of it holds one line width of yellow in both qualities, measured by how far the
    // blue has gone.
    RecordedRun r(4);
    r.run.runUntil(slowCueTime(9));
    for (const Quality quality : {Quality::Crisp, Quality::Smooth}) {
        const QImage frame = Compositor(quality).render(r.stage(), GetParam().size);
        const int left = at(r.stage(), 1300, 0).x();
        const int right = at(r.stage(), 2150, 0).x();
        for (int y = at(r.stage(), 0, 600).y(); y <= at(r.stage(), 0, 800).y(); ++y) {
            double ink = 0;
            for (int x = left; x <= right; ++x)
                ink += (255 - qBlue(frame.pixel(x, y))) / 255.0;
            EXPECT_NEAR(ink, GetParam().lineWidth, 0.05) << qualityName(quality) << " row " << y;
        }
    }
}

TEST_P(OnePixelGrid, EveryDuckPixelTakesTheSameShare)
{
    // Each column of the picture alone, opaque, on a transparent picture: scaled, it covers as
    // many device columns as every other one, with at most one soft column on each side, and
    // leaves everything else wholly transparent.
    std::ostringstream errors;
    Player player{TimeSource::Virtual, makeQuilletShow(1), errors};
    Stage& stage = player.stage();
    stage.maximise();
    const StageView view = viewOf(stage);
    const IntRect place = pictureRect(view.grid(), designOf(Control::imgDuck).rect);
    const QSize size(place.width(), place.height());
    const QImage duck = pictureOf(Control::imgDuck);
    const double share = double(size.width()) / duck.width();
    for (int column = 0; column < duck.width(); ++column) {
        QImage one(duck.size(), QImage::Format_ARGB32);
        one.fill(Qt::transparent);
        for (int y = 0; y < one.height(); ++y)
            one.setPixel(column, y, qRgba(0, 0, 0, 255));
        const QImage scaled = scalePixelArt(one, size, Quality::Smooth);
        double covered = 0;
        int touched = 0;
        for (int x = 0; x < scaled.width(); ++x) {
            const int alpha = qAlpha(scaled.pixel(x, scaled.height() / 2));
            covered += alpha / 255.0;
            touched += alpha > 0 ? 1 : 0;
        }
        EXPECT_NEAR(covered, share, 0.05) << "picture column " << column;
        EXPECT_LE(touched, static_cast<int>(std::ceil(share)) + 1) << "picture column " << column;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, OnePixelGrid,
                         testing::Values(GridCase{{800, 600}, 1, 80, 1},
                                         GridCase{{1280, 960}, 2, 128, 2},
                                         GridCase{{1920, 1080}, 2, 144, 2},
                                         GridCase{{3840, 2160}, 4, 288, 5},
                                         GridCase{{1366, 768}, 1, 102, 2}),
                         [](const testing::TestParamInfo<GridCase>& param) {
                             return std::to_string(param.param.size.width()) + "x" +
                                    std::to_string(param.param.size.height());
                         });

} // namespace
} // namespace q3::test
