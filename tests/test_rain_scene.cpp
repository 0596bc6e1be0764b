// Cues 12 to 17: the hero dressed for the concert, the rain over him, and the break card.
#include "hero_events.h"
#include "pixel_probe.h"
#include "support.h"

#include <algorithm>

namespace q3::test {
namespace {

constexpr Rgb kMorningSky{170, 200, 255};
constexpr Rgb kTrouserBlue{0, 0, 255};
constexpr Rgb kYellow{255, 255, 0};

// The dressed hero, row by row: hands and feet, mouth line, neck, arms and trousers.
const Events kHandsAndFeet = {
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"circle","c":[2250,6000],"r":100,"rgb":[0,0,0],"fill":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"circle","c":[740,6000],"r":100,"rgb":[0,0,0],"fill":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"circle","c":[1315,7780],"r":150,"rgb":[0,0,0],"fill":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
    R"({"ev":"circle","c":[1675,7780],"r":150,"rgb":[0,0,0],"fill":[0,0,0]})",
    R"({"ev":"fill","rgb":[0,0,0]})",
};
const Events kMouthLine = {
    R"({"ev":"line","p1":[1400,4750],"p2":[1600,4750],"rgb":[0,0,0]})",
};
const Events kNeck = {
    R"({"ev":"line","p1":[1500,5120],"p2":[1500,5290],"rgb":[0,0,0]})",
};
const Events kArms = {
    R"({"ev":"line","p1":[2250,6000],"p2":[1850,5300],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[740,6000],"p2":[1150,5300],"rgb":[0,0,0]})",
};
const Events kDownturnedMouth = {
    R"({"ev":"line","p1":[1400,4750],"p2":[1520,4630],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1600,4750],"p2":[1480,4630],"rgb":[0,0,0]})",
};
const Events kTrousers = {
    R"({"ev":"fill","rgb":[0,0,255]})",
    R"({"ev":"box","p1":[1135,6500],"p2":[1865,7600],"rgb":[0,0,0],"fill":[0,0,255]})",
    R"({"ev":"line","p1":[1150,6600],"p2":[1880,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1280,6500],"p2":[1280,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1330,6500],"p2":[1330,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1460,6500],"p2":[1460,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1470,6500],"p2":[1470,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1480,6500],"p2":[1480,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1490,6500],"p2":[1490,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1500,6500],"p2":[1500,7625],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1510,6500],"p2":[1510,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1520,6500],"p2":[1520,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1530,6500],"p2":[1530,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1540,6500],"p2":[1540,6850],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1550,6500],"p2":[1550,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1560,6500],"p2":[1560,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1570,6500],"p2":[1570,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1700,6500],"p2":[1700,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1750,6500],"p2":[1750,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1500,6840],"p2":[1540,6840],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1135,6800],"p2":[1285,6800],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1860,6800],"p2":[1710,6800],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1285,6800],"p2":[1285,6600],"rgb":[0,0,0]})",
    R"({"ev":"line","p1":[1710,6800],"p2":[1710,6600],"rgb":[0,0,0]})",
};

const std::string kRainTick = R"({"ev":"tick","timer":"tmrTime2"})";

bool isSparkle(const Shape& s)
{
    return s.kind == Shape::Kind::Line && s.outline == kWhite && s.x2 - s.x1 == 20 &&
           s.y2 - s.y1 == 20;
}

std::size_t indexOf(const Events& lines, const std::string& line)
{
    return static_cast<std::size_t>(std::find(lines.begin(), lines.end(), line) - lines.begin());
}

std::string cueMarker(int cue)
{
    return R"({"ev":"tick","timer":"tmrTime","cue":)" + std::to_string(cue) + "}";
}

TEST(GettingReady, CueTwelveHidesTheSpeechAndDrawsTheDressedHeroRowByRow)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(12));
    EXPECT_TRUE(sameEvents(eventsOfCue(r.recorder.lines, 12),
                           concat({{
                                       R"({"ev":"clear"})",
                                       R"({"ev":"hide","control":"lblTalk"})",
                                       R"({"ev":"show","control":"lblShirt"})",
                                       R"({"ev":"background","rgb":[170,200,255]})",
                                   },
                                   kSunAtRest,
                                   kHeroHead,
                                   kEyeDots,
                                   kHandsAndFeet,
                                   kMouthLine,
                                   kNeck,
                                   kArms,
                                   kEyeLines,
                                   kTrousers})));
    EXPECT_FALSE(r.stage().control(Control::lblTalk).visible);
    EXPECT_TRUE(r.stage().control(Control::lblShirt).visible);
    EXPECT_EQ(r.stage().fill(), kTrouserBlue);
    EXPECT_EQ(r.stage().period(Timer::tmrTime2), 0);
}

TEST(GettingReady, CueThirteenShowsTheSpeechBeforeItsTextThenOpensTheMouth)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(13));
    EXPECT_TRUE(sameEvents(
        eventsOfCue(r.recorder.lines, 13),
        concat({{
                    R"({"ev":"show","control":"lblTalk"})",
                    R"({"ev":"caption","control":"lblTalk","text":"This concert is gonna ROCK!"})",
                },
                kOpenMouth})));
    EXPECT_EQ(r.stage().fill(), kTrouserBlue);
}

TEST(GettingReady, CueFourteenOnlyStartsTheRainWhichFallsAfterTheTick)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(14) + 3);
    const Events& lines = r.recorder.lines;
    EXPECT_TRUE(
        sameEvents(eventsOfCue(lines, 14), {R"({"ev":"period","timer":"tmrTime2","ms":1})"}));
    const std::size_t cue14 = indexOf(lines, cueMarker(14));
    EXPECT_EQ(indexOf(lines, kRainTick), cue14 + 2);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), kRainTick), 3);
}

TEST(GettingReady, DressedHeroOnScreen)
{
    RecordedRun r;
    r.looks.add(slowCueTime(12), [&](double) {
        const QImage frame = frameOf(r.stage());
        EXPECT_TRUE(colourAt(frame, 1200, 7200, kTrouserBlue));
        EXPECT_TRUE(colourAt(frame, 1780, 7400, kTrouserBlue));
        // The seam runs 25 units below the trousers.
        EXPECT_TRUE(strokeNear(frame, 1500, 7100, kBlack, kTrouserBlue));
        EXPECT_TRUE(colourAt(frame, 2700, 1700, kYellow));
        EXPECT_TRUE(strokeNear(frame, 3700, 1500, kYellow, kMorningSky));
        EXPECT_TRUE(colourAt(frame, 1315, 7780, kBlack));
        EXPECT_TRUE(colourAt(frame, 1500, 4100, {235, 185, 130}));
        EXPECT_TRUE(colourAt(frame, 6000, 6000, kMorningSky));
    });
    r.run.runUntil(slowCueTime(12));
}

TEST(RainScene, CueFifteenRepaintsTheSceneWithTheDownturnedMouthAndNoArms)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(15));
    EXPECT_TRUE(sameEvents(
        eventsOfCue(r.recorder.lines, 15),
        concat(
            {{R"({"ev":"background","rgb":[170,200,255]})"},
             kSunAtRest,
             kHeroHead,
             kEyeDots,
             kHandsAndFeet,
             kDownturnedMouth,
             kNeck,
             kEyeLines,
             kTrousers,
             {
                 R"({"ev":"caption","control":"lblTalk","text":"I don't believe this. It's rainning."})",
                 R"({"ev":"show","control":"lblTalk"})",
             }})));
    EXPECT_TRUE(r.stage().control(Control::lblShirt).visible);
    EXPECT_EQ(r.stage().period(Timer::tmrTime2), 1);
}

TEST(RainScene, CueFifteenLeavesNothingOfTheEarlierPictureOrItsSparkles)
{
    RecordedRun r;
    const double after = slowCueTime(15) + 10;
    r.looks.add(after, [&](double) {
        const Events& lines = r.recorder.lines;
        const std::size_t cue15 = indexOf(lines, cueMarker(15));
        ASSERT_LT(cue15, lines.size());
        // Thousands of sparkles had fallen on the earlier picture.
        EXPECT_GT(std::count(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(cue15),
                             kRainTick),
                  2900);
        const auto ticksSince =
            std::count(lines.begin() + static_cast<std::ptrdiff_t>(cue15), lines.end(), kRainTick);
        const Events cue = eventsOfCue(lines, 15);
        const auto shapesOfCue = std::count_if(cue.begin(), cue.end(), [](const std::string& l) {
            return l.starts_with(R"({"ev":"line")") || l.starts_with(R"({"ev":"box")") ||
                   l.starts_with(R"({"ev":"circle")");
        });

        std::size_t sparkles = 0;
        std::size_t shapes = 0;
        bool straightMouth = false;
        r.stage().displayList().forEachAfter(0, [&](const Shape& s) {
            ++shapes;
            sparkles += isSparkle(s);
            straightMouth = straightMouth || (s.kind == Shape::Kind::Line && s.x1 == 1400 &&
                                              s.y1 == 4750 && s.x2 == 1600 && s.y2 == 4750);
        });
        EXPECT_EQ(sparkles, static_cast<std::size_t>(ticksSince));
        EXPECT_EQ(shapes, static_cast<std::size_t>(shapesOfCue + ticksSince));
        EXPECT_FALSE(straightMouth);
    });
    r.run.runUntil(after);
}

TEST(RainScene, TheRainsWhiteIsTheFillCueFifteenStartsWith)
{
    RecordedRun r;
    r.looks.add(slowCueTime(14), [&](double) { EXPECT_EQ(r.stage().fill(), kTrouserBlue); });
    r.looks.add(slowCueTime(15) - 0.5, [&](double) { EXPECT_EQ(r.stage().fill(), kWhite); });
    r.run.runUntil(slowCueTime(15));
}

TEST(RainScene, CueSixteenChangesOnlyTheLine)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(16));
    EXPECT_TRUE(sameEvents(
        eventsOfCue(r.recorder.lines, 16),
        {R"({"ev":"caption","control":"lblTalk","text":"It better stop soon or the concert is gonna be ruin."})"}));
    EXPECT_EQ(r.stage().period(Timer::tmrTime2), 1);
}

TEST(RainScene, StrokesFallOnlyLeftOfAndAboveTheMargins)
{
    RecordedRun r;
    r.looks.add(slowCueTime(17) - 1, [&](double) {
        const QImage frame = frameOf(r.stage());
        // A stroke starts at most at (10999, 6999) and runs 20 units on: pixel 734 and row 467.
        int inside = 0;
        int outside = 0;
        for (int y = 0; y < frame.height(); ++y) {
            for (int x = 0; x < frame.width(); ++x) {
                const QColor c = frame.pixelColor(x, y);
                const bool whiteish = c.red() >= 230 && c.green() >= 230 && c.blue() >= 230;
                if (!whiteish)
                    continue;
                if (x >= 736 || y >= 469)
                    ++outside;
                else
                    ++inside;
            }
        }
        EXPECT_EQ(outside, 0);
        EXPECT_GT(inside, 2000);
        EXPECT_TRUE(colourAt(frame, 1200, 7200, kTrouserBlue));
        EXPECT_TRUE(colourAt(frame, 6000, 8000, kMorningSky));
    });
    r.run.runUntil(slowCueTime(17) - 1);
}

TEST(BreakCard, CueSeventeenStopsTheRainBeforePaintingTheCardBlack)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(18) - 1);
    const Events& lines = r.recorder.lines;
    EXPECT_TRUE(sameEvents(
        eventsOfCue(lines, 17),
        {
            R"({"ev":"clear"})",
            R"({"ev":"period","timer":"tmrTime2","ms":0})",
            R"({"ev":"background","rgb":[0,0,0]})",
            R"({"ev":"show","control":"lblContinue"})",
            R"({"ev":"hide","control":"lblTalk"})",
            R"({"ev":"hide","control":"lblShirt"})",
            R"({"ev":"caption","control":"lblContinue","text":"The rain stopped 4 minutes later."})",
        }));
    const std::size_t cue17 = indexOf(lines, cueMarker(17));
    ASSERT_LT(cue17, lines.size());
    EXPECT_EQ(
        std::count(lines.begin() + static_cast<std::ptrdiff_t>(cue17), lines.end(), kRainTick), 0);
    EXPECT_EQ(r.stage().displayList().liveCount(), 0U);
    EXPECT_EQ(r.stage().background(), kBlack);
    EXPECT_EQ(r.stage().control(Control::lblContinue).caption, "The rain stopped 4 minutes later.");
    EXPECT_FALSE(r.stage().control(Control::lblTalk).visible);
    EXPECT_FALSE(r.stage().control(Control::lblShirt).visible);

    // Everything outside the card's own label is black.
    const QImage frame = frameOf(r.stage());
    const UnitRect card = designOf(Control::lblContinue).rect;
    int lit = 0;
    for (int y = 0; y < frame.height(); ++y)
        for (int x = 0; x < frame.width(); ++x)
            if (!card.contains(x * 15 + 7, y * 15 + 7) && frame.pixelColor(x, y) != Qt::black)
                ++lit;
    EXPECT_EQ(lit, 0);
}

} // namespace
} // namespace q3::test
