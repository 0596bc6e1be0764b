// The drawing vocabulary, the figure routines and the kept drawing of the surface.
#include "stage/compositor.h"
#include "stage/figures.h"
#include "support.h"

#include <QImage>
#include <QRegion>
#include <sstream>

namespace q3::test {
namespace {

struct DrawingTest : testing::Test
{
    DrawingTest() { stage.addListener(&recorder); }

    VirtualClock clock;
    Scheduler scheduler{clock};
    Stage stage{scheduler};
    Recorder recorder;
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
        EXPECT_EQ(s.a, 2);
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

// A frame painted again only where it changed must be the frame painted whole, at every moment
// of the show: wherever the damage misses a pixel, the two differ.
class ChangedAreas : public testing::TestWithParam<QSize>
{
};

TEST_P(ChangedAreas, FramePaintedWhereItChangedIsTheWholeFrame)
{
    const QSize size = GetParam();
    std::ostringstream errors;
    VirtualRun run(3, errors);
    run.addClick(0);
    Compositor kept;
    Compositor whole;
    QImage frame(size, QImage::Format_RGB32);
    int differing = 0;
    for (double t = 0; t < 100000; t += 53)
        run.addSample(t, [&](double at) {
            kept.render(run.show().stage(), frame);
            if (differing == 0 && frame != whole.render(run.show().stage(), size)) {
                ++differing;
                ADD_FAILURE() << "the frame at " << at << " ms differs from the whole one";
            }
        });
    run.runUntil(100000);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ChangedAreas,
                         testing::Values(QSize(800, 600), QSize(1013, 677), QSize(333, 517)),
                         [](const testing::TestParamInfo<QSize>& param) {
                             return std::to_string(param.param.width()) + "x" +
                                    std::to_string(param.param.height());
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

} // namespace
} // namespace q3::test
