// The rain, the marquee bulbs and the light columns, each tick started directly.
#include "core/random_source.h"
#include "support.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>

namespace q3::test {
namespace {

using Events = std::vector<std::string>;

constexpr Rgb kYellow{255, 255, 0};

constexpr std::array<int, 37> kBulbX{2380, 2580, 2780, 2980, 3180, 3380, 3580, 3780, 3980, 4180,
                                     4380, 4580, 4780, 4980, 5180, 5380, 5580, 5780, 6010, 6240,
                                     6440, 6640, 6840, 7040, 7240, 7440, 7640, 7840, 8040, 8240,
                                     8440, 8640, 8840, 9040, 9240, 9440, 9640};
constexpr std::array<int, 9> kLightRowY{350, 950, 1550, 2150, 2750, 3350, 3950, 4550, 5150};
constexpr std::array<int, 6> kLampColumnX{350, 950, 1550, 10400, 11000, 11600};

// The numbers of an event line, in order: {"ev":"circle","c":[x,y],"r":r,...} gives x, y, r...
// Digits inside key names ("p1") are not numbers.
std::vector<int> numbersOf(const std::string& line)
{
    std::vector<int> out;
    for (std::size_t i = 1; i < line.size(); ++i) {
        const char before = line[i - 1];
        const bool starts = before == '[' || before == ',' || before == ':';
        const char c = line[i];
        if (starts && (c == '-' || std::isdigit(static_cast<unsigned char>(c)) != 0)) {
            std::size_t used = 0;
            out.push_back(std::stoi(line.substr(i), &used));
            i += used - 1;
        }
    }
    return out;
}

std::string fillJson(Rgb c)
{
    return R"({"ev":"fill","rgb":[)" + std::to_string(c.r) + "," + std::to_string(c.g) + "," +
           std::to_string(c.b) + "]}";
}

std::string foreCircleJson(int x, int y, int r, Rgb fill)
{
    return R"({"ev":"circle","c":[)" + std::to_string(x) + "," + std::to_string(y) +
           "],\"r\":" + std::to_string(r) + R"(,"rgb":[0,0,0],"fill":[)" + std::to_string(fill.r) +
           "," + std::to_string(fill.g) + "," + std::to_string(fill.b) + R"(],"fore":true})";
}

int wholeBelow(RandomSource& random, double n)
{
    return static_cast<int>(std::floor(random.next() * n));
}

// A loaded show that has not been clicked: nothing runs but the ticks a test asks for.
struct EffectRun
{
    EffectRun()
    {
        r.run.runUntil(0);
        r.recorder.clear();
    }
    // The events of one tick, without its marker.
    Events tick(Timer timer)
    {
        r.recorder.clear();
        PlayerInspector::show(r.run).tick(timer);
        return {r.recorder.lines.begin() + 1, r.recorder.lines.end()};
    }
    Stage& stage() { return r.stage(); }

    RecordedRun r{7};
};

TEST(RainTick, DrawsOneWhiteStrokeAtTwoDrawsBelowTheAllowedWidthAndHeight)
{
    EffectRun e;
    e.stage().setClientSize(4000, 3000);
    RandomSource random;
    random.seed(7);
    for (int i = 0; i < 3; ++i) {
        const int x = wholeBelow(random, 4000 - 1000);
        const int y = wholeBelow(random, 3000 - 2000);
        const std::string stroke = R"({"ev":"line","p1":[)" + std::to_string(x) + "," +
                                   std::to_string(y) + R"(],"p2":[)" + std::to_string(x + 20) +
                                   "," + std::to_string(y + 20) + R"(],"rgb":[255,255,255]})";
        EXPECT_TRUE(
            sameEvents(e.tick(Timer::tmrTime2), {fillJson(kWhite), stroke, fillJson(kWhite)}));
    }
}

TEST(RainTick, OnTheStageNoStrokeStartsInTheRight1000OrBottom2000Units)
{
    EffectRun e;
    e.stage().maximise();
    int maxX = 0;
    int maxY = 0;
    int minX = 99999;
    int minY = 99999;
    for (int i = 0; i < 5000; ++i) {
        const Events events = e.tick(Timer::tmrTime2);
        ASSERT_EQ(events.size(), 3U);
        const std::vector<int> v = numbersOf(events[1]);
        ASSERT_EQ(v.size(), 7U) << events[1];
        EXPECT_GE(v[0], 0);
        EXPECT_GE(v[1], 0);
        EXPECT_LE(v[0], 12000 - 1000 - 1);
        EXPECT_LE(v[1], 9000 - 2000 - 1);
        maxX = std::max(maxX, v[0]);
        maxY = std::max(maxY, v[1]);
        minX = std::min(minX, v[0]);
        minY = std::min(minY, v[1]);
    }
    // The strokes spread over the whole allowed area.
    EXPECT_GT(maxX, 10900);
    EXPECT_GT(maxY, 6900);
    EXPECT_LT(minX, 100);
    EXPECT_LT(minY, 100);
}

TEST(RainTick, SurfaceAtTheSixteenBitLimitStillDraws)
{
    // The largest surface whose strokes, 20 units long, still end inside 16 bits.
    EffectRun e;
    e.stage().setClientSize(33748, 34748);
    for (int i = 0; i < 3000; ++i)
        e.tick(Timer::tmrTime2);
    EXPECT_EQ(e.r.errors.str(), "");
}

TEST(RainTick, SurfaceBeyondSixteenBitsReportsOverflowInsteadOfDrawing)
{
    EffectRun e;
    e.stage().setClientSize(60000, 60000);
    int drawn = 0;
    int overflows = 0;
    for (int i = 0; i < 200; ++i) {
        const Events events = e.tick(Timer::tmrTime2);
        ASSERT_GE(events.size(), 2U);
        EXPECT_EQ(events[0], fillJson(kWhite));
        if (events[1] == R"({"ev":"error","handler":"tmrTime2","error":"overflow"})") {
            EXPECT_EQ(events.size(), 2U);
            ++overflows;
        } else {
            // Never a position that wrapped round.
            const std::vector<int> v = numbersOf(events.at(1));
            EXPECT_GE(v.at(0), 0);
            EXPECT_GE(v.at(1), 0);
            EXPECT_LE(v.at(0), 32747);
            EXPECT_LE(v.at(1), 32747);
            ++drawn;
        }
        EXPECT_EQ(e.stage().fill(), kWhite);
    }
    EXPECT_GT(overflows, 0);
    EXPECT_GT(drawn, 0);
    EXPECT_TRUE(e.r.errors.str().starts_with("quillet3: tmrTime2: overflow\n"));
}

TEST(RainTick, SurfaceSmallerThanTheMarginsDrawsAtOrBeyondTheTopLeftWithoutError)
{
    EffectRun e;
    e.stage().setClientSize(600, 1500);
    for (int i = 0; i < 200; ++i) {
        const std::vector<int> v = numbersOf(e.tick(Timer::tmrTime2).at(1));
        EXPECT_LE(v.at(0), 0);
        EXPECT_GE(v.at(0), -400);
        EXPECT_LE(v.at(1), 0);
        EXPECT_GE(v.at(1), -500);
    }
    EXPECT_EQ(e.r.errors.str(), "");
}

TEST(BulbTick, EachTickStartsYellowThenFollowsTheParityOfThePreviousLowerBulb)
{
    EffectRun e;
    RandomSource random;
    random.seed(7);
    int ticksAfterAWhitePass = 0;
    for (int tick = 0; tick < 10; ++tick) {
        ticksAfterAWhitePass += e.stage().fill() == kWhite;
        Events expected;
        int previousLower = 0;
        Rgb colour;
        for (int pass = 0; pass < 50; ++pass) {
            colour = previousLower % 2 == 0 ? kYellow : kWhite;
            const int upper = wholeBelow(random, 37);
            previousLower = wholeBelow(random, 37);
            expected.push_back(fillJson(colour));
            expected.push_back(foreCircleJson(kBulbX.at(upper), 960, 100, colour));
            expected.push_back(foreCircleJson(kBulbX.at(previousLower), 4770, 100, colour));
        }
        EXPECT_TRUE(sameEvents(e.tick(Timer::tmrSL), expected)) << "tick " << tick;
        EXPECT_EQ(quilletShow(e.r.run).effects().EffectLoop, 50);
        // The colour of the last pass stays in force for whoever draws next.
        EXPECT_EQ(e.stage().fill(), colour);
    }
    // Some ticks followed one that ended white, and still began yellow.
    EXPECT_GT(ticksAfterAWhitePass, 0);
}

TEST(LampTick, EachPassPaintsAllSixLampsOfOneRandomRowInOneRandomColour)
{
    EffectRun e;
    RandomSource random;
    random.seed(7);
    for (int tick = 0; tick < 10; ++tick) {
        Events expected;
        Rgb colour;
        for (int pass = 0; pass < 50; ++pass) {
            // The row first, then red, green and blue.
            const int row = wholeBelow(random, 9);
            const auto red = static_cast<std::uint8_t>(wholeBelow(random, 256));
            const auto green = static_cast<std::uint8_t>(wholeBelow(random, 256));
            const auto blue = static_cast<std::uint8_t>(wholeBelow(random, 256));
            colour = {red, green, blue};
            expected.push_back(fillJson(colour));
            for (const int x : kLampColumnX)
                expected.push_back(foreCircleJson(x, kLightRowY.at(row), 250, colour));
        }
        EXPECT_TRUE(sameEvents(e.tick(Timer::tmrBL), expected)) << "tick " << tick;
        EXPECT_EQ(quilletShow(e.r.run).effects().EffectLoop, 50);
        EXPECT_EQ(e.stage().fill(), colour);
    }
}

TEST(Effects, KeptDrawingStaysBoundedWhileBulbsAndLampsRunForHalfAnHour)
{
    // No recorder here: half an hour of ticks is millions of discs.
    std::ostringstream errors;
    Player run(TimeSource::Virtual, makeQuilletShow(3), errors);
    run.runUntil(0);
    Stage& stage = run.stage();
    stage.setPeriod(Timer::tmrSL, 500);
    stage.setPeriod(Timer::tmrBL, 250);
    std::size_t mostStored = 0;
    for (int minute = 1; minute <= 30; ++minute) {
        run.runUntil(60000.0 * minute);
        mostStored = std::max(mostStored, stage.displayList().storedCount());
    }
    // 74 bulbs and 54 lamps, each kept once however often it was repainted.
    EXPECT_EQ(stage.displayList().liveCount(), 74U + 54U);
    EXPECT_LE(mostStored, 400U);
    EXPECT_GT(stage.displayList().lastSeq(), 2000000U);
    EXPECT_EQ(errors.str(), "");
}

} // namespace
} // namespace q3::test
