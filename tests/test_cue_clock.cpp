// The load, the click and the cue clock with cues 0 to 3.
#include "core/script/cues.h"
#include "support.h"

namespace q3::test {
namespace {

TEST(Load, HidesEveryLabelButTheOpeningNoteInOrder)
{
    RecordedRun r;
    r.run.runUntil(0);
    EXPECT_TRUE(sameEvents(r.recorder.lines, {
                                                 R"({"ev":"load"})",
                                                 R"({"ev":"hide","control":"lblShirt"})",
                                                 R"({"ev":"hide","control":"lblTalk"})",
                                                 R"({"ev":"hide","control":"lblContinue"})",
                                                 R"({"ev":"hide","control":"lblBanner"})",
                                                 R"({"ev":"hide","control":"lblScreen"})",
                                                 R"({"ev":"show","control":"lblOpening"})",
                                                 R"({"ev":"hide","control":"lblTitle"})",
                                                 R"({"ev":"hide","control":"lblZ"})",
                                                 R"({"ev":"hide","control":"lblStarring"})",
                                                 R"({"ev":"hide","control":"lblCountDown"})",
                                                 R"({"ev":"hide","control":"lblCountDown2"})",
                                                 R"({"ev":"hide","control":"lblTheEnd"})",
                                                 R"({"ev":"hide","control":"imgDuck"})",
                                                 R"({"ev":"hide","control":"imgDuck2"})",
                                                 R"({"ev":"click"})",
                                                 R"({"ev":"period","timer":"tmrTime","ms":3000})",
                                             }));
    const Stage& stage = r.stage();
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const Control c = controlAt(i);
        const bool shouldShow = c == Control::lblOpening || c == Control::lblWasteTime;
        EXPECT_EQ(stage.control(c).visible, shouldShow) << name(c);
    }
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), 0);
    EXPECT_EQ(quilletShow(r.run).effects().BulbX[18], 6010);
    EXPECT_EQ(quilletShow(r.run).effects().LightRowY[8], 5150);
}

TEST(Load, NothingTicksBeforeTheClick)
{
    std::ostringstream errors;
    Player run(TimeSource::Virtual, makeQuilletShow(1), errors);
    run.runUntil(600000);
    EXPECT_EQ(PlayerInspector::show(run).cueCount(), 0);
    EXPECT_FALSE(PlayerInspector::scheduler(run).nextDue().has_value());
    EXPECT_TRUE(run.stage().control(Control::lblOpening).visible);
}

TEST(TitleCards, CuesZeroToThreeInTheirOrder)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(3));
    const auto& lines = r.recorder.lines;
    EXPECT_TRUE(sameEvents(eventsOfCue(lines, 0), {
                                                      R"({"ev":"hide","control":"lblOpening"})",
                                                      R"({"ev":"maximise"})",
                                                      R"({"ev":"background","rgb":[0,0,0]})",
                                                  }));
    EXPECT_TRUE(sameEvents(eventsOfCue(lines, 1),
                           {
                               R"({"ev":"show","control":"lblTitle"})",
                               R"({"ev":"caption","control":"lblTitle","text":"ZEVRANOVA"})",
                           }));
    EXPECT_TRUE(sameEvents(eventsOfCue(lines, 2), {
                                                      R"({"ev":"hide","control":"lblTitle"})",
                                                      R"({"ev":"show","control":"lblStarring"})",
                                                  }));
    EXPECT_TRUE(sameEvents(eventsOfCue(lines, 3), {R"({"ev":"show","control":"lblZ"})"}));
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), 4);
    EXPECT_TRUE(r.stage().maximised());
    EXPECT_EQ(r.stage().surfaceWidth(), 12000);
    EXPECT_EQ(r.stage().surfaceHeight(), 9000);
}

TEST(CueClock, FirstTickRunsCueZeroOnePeriodAfterTheClick)
{
    RecordedRun r;
    r.run.runUntil(2999);
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), 0);
    r.run.runUntil(3000);
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), 1);
    EXPECT_FALSE(r.stage().control(Control::lblOpening).visible);
}

// The cue clock's pace over the show, from its design: cues 0 to 18 every 3000 ms (cue 0 one
// period after the click), the countdown every 300 ms from the end of cue 18 to cue 38, and cue 39
// onward every 3000 ms again. The cue sheet's paces say the same, and so does the end the player
// expects before it has played.
TEST(CueClock, EachCueRunsWhenTheDesignSays)
{
    const auto designed = [](int cue) {
        if (cue <= 18)
            return 3000.0 * (cue + 1);
        if (cue <= 38)
            return 57000 + 300.0 * (cue - 18);
        return 63000 + 3000.0 * (cue - 38);
    };
    struct CueTimes final : StageListener
    {
        explicit CueTimes(const Player& p) : player(p) {}
        void onEvent(const Event& event) override
        {
            if (event.kind == EventKind::Tick && event.timer == Timer::tmrTime)
                times.push_back(player.now());
        }
        const Player& player;
        std::vector<double> times;
    };
    RecordedRun r;
    EXPECT_EQ(r.run.expectedEnd(), 89000);
    CueTimes cueTimes(r.run);
    const EventBus::Subscription following = r.stage().events().subscribe(cueTimes);
    const std::optional<double> end = r.run.runToEnd();
    ASSERT_GE(cueTimes.times.size(), std::size_t{kCueTotal});
    for (int cue = 0; cue < kCueTotal; ++cue) {
        EXPECT_EQ(cueTimes.times.at(static_cast<std::size_t>(cue)), designed(cue)) << "cue " << cue;
        EXPECT_EQ(usualCueTime(cue), designed(cue)) << "the cue sheet's pace before cue " << cue;
    }
    EXPECT_EQ(end, 89000);
}

TEST(CueClock, ClicksBeforeCueZeroDoNotDelayOrRepeatIt)
{
    RecordedRun r;
    for (double t : {500.0, 1000.0, 2000.0, 2999.0})
        r.run.addClick(t);
    r.run.runUntil(3000);
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), 1);
    r.run.runUntil(5999);
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), 1);
    int cueZeroRuns = 0;
    for (const std::string& line : r.recorder.lines)
        cueZeroRuns += line == R"({"ev":"tick","timer":"tmrTime","cue":0})";
    EXPECT_EQ(cueZeroRuns, 1);
}

TEST(CueClock, TicksAfterTheLastCueOnlyCount)
{
    RecordedRun r;
    const double end = runToLastCue(r.run);
    ASSERT_EQ(PlayerInspector::show(r.run).cueCount(), kCueTotal);
    std::array<ControlState, kControlCount> before;
    for (std::size_t i = 0; i < kControlCount; ++i)
        before.at(i) = r.stage().control(controlAt(i));
    r.run.runUntil(end + 3000.0 * 10);
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), kCueTotal + 10);
    for (int cue = kCueTotal; cue < kCueTotal + 10; ++cue)
        EXPECT_TRUE(eventsOfCue(r.recorder.lines, cue).empty()) << "cue " << cue;
    for (std::size_t i = 0; i < kControlCount; ++i)
        EXPECT_EQ(r.stage().control(controlAt(i)), before.at(i)) << name(controlAt(i));
}

} // namespace
} // namespace q3::test
