// The timer rules, the order of events on virtual time and the busy pause.
#include "support.h"

#include <algorithm>

namespace q3::test {
namespace {

struct SchedulerTest : testing::Test
{
    // Fires every due timer up to `until` and returns "t:name" for each tick.
    std::vector<std::string> fire(double until, const std::function<void(Timer)>& handler = {})
    {
        std::vector<std::string> ticks;
        for (auto due = scheduler.nextDue(); due && *due <= until; due = scheduler.nextDue()) {
            clock.advanceTo(*due);
            const auto timer = scheduler.takeDue();
            ticks.push_back(std::to_string(static_cast<int>(clock.now())) + ":" +
                            std::string(name(*timer)));
            if (handler)
                handler(*timer);
        }
        return ticks;
    }

    VirtualClock clock;
    Scheduler scheduler{clock};
};

TEST_F(SchedulerTest, NewPeriodStartsTheTimerAnew)
{
    scheduler.setPeriod(Timer::tmrTime, 3000);
    clock.advanceTo(2000);
    scheduler.setPeriod(Timer::tmrTime, 300);
    EXPECT_EQ(scheduler.dueTime(Timer::tmrTime), 2300);
}

TEST_F(SchedulerTest, SamePeriodAgainChangesNothing)
{
    scheduler.setPeriod(Timer::tmrTime, 3000);
    for (double t = 500; t < 3000; t += 500) {
        clock.advanceTo(t);
        scheduler.setPeriod(Timer::tmrTime, 3000);
    }
    EXPECT_EQ(scheduler.dueTime(Timer::tmrTime), 3000);
}

TEST_F(SchedulerTest, ZeroStopsTheTimer)
{
    scheduler.setPeriod(Timer::tmrTime2, 1);
    scheduler.setPeriod(Timer::tmrTime2, 0);
    EXPECT_FALSE(scheduler.nextDue());
    EXPECT_TRUE(fire(1000).empty());
    scheduler.setPeriod(Timer::tmrTime2, 1);
    EXPECT_EQ(scheduler.dueTime(Timer::tmrTime2), 1);
}

TEST_F(SchedulerTest, LateTickIsNotMadeUp)
{
    scheduler.setPeriod(Timer::tmrSL, 500);
    clock.advanceTo(1740); // a long handler held the thread past three due times
    ASSERT_EQ(scheduler.takeDue(), Timer::tmrSL);
    EXPECT_FALSE(scheduler.takeDue()) << "at most one tick waits";
    EXPECT_EQ(scheduler.dueTime(Timer::tmrSL), 2000);
}

TEST_F(SchedulerTest, TickOnTimeKeepsItsGrid)
{
    scheduler.setPeriod(Timer::tmrBL, 250);
    EXPECT_EQ(fire(1000),
              (std::vector<std::string>{"250:tmrBL", "500:tmrBL", "750:tmrBL", "1000:tmrBL"}));
}

TEST_F(SchedulerTest, SimultaneousTicksInTimerOrderAndEarliestFirst)
{
    scheduler.setPeriod(Timer::tmrBL, 1000);
    scheduler.setPeriod(Timer::tmrSL, 500);
    scheduler.setPeriod(Timer::tmrTime, 1000);
    EXPECT_EQ(fire(1000),
              (std::vector<std::string>{"500:tmrSL", "1000:tmrTime", "1000:tmrSL", "1000:tmrBL"}));
}

TEST_F(SchedulerTest, WaitingTicksRunAfterALongHandlerEarliestDueFirst)
{
    scheduler.setPeriod(Timer::tmrTime, 100);
    scheduler.setPeriod(Timer::tmrSL, 50);
    clock.advanceTo(1000);
    EXPECT_EQ(scheduler.takeDue(), Timer::tmrSL);
    EXPECT_EQ(scheduler.takeDue(), Timer::tmrTime);
    EXPECT_FALSE(scheduler.takeDue());
}

TEST(VirtualTime, ClickComesBeforeATickDueAtTheSameTime)
{
    RecordedRun r;
    r.run.addClick(3000);
    r.run.runUntil(3000);
    const auto& lines = r.recorder.lines;
    const auto click = std::find(lines.begin() + 1, lines.end(), R"({"ev":"click"})");
    const auto tick =
        std::find(lines.begin(), lines.end(), R"({"ev":"tick","timer":"tmrTime","cue":0})");
    ASSERT_NE(click, lines.end());
    EXPECT_TRUE(tick == lines.end() || click < tick);
}

TEST(VirtualTime, ClickDuringTheCountdownPaceSlowsTheNextCue)
{
    // The clock runs at 300 ms; a click sets 3000 ms anew.
    RecordedRun r;
    r.run.runUntil(0);
    r.stage().setPeriod(Timer::tmrTime, 300);
    r.run.addClick(100);
    r.run.runUntil(3099);
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), 0);
    r.run.runUntil(3100);
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), 1);
}

TEST(VirtualTime, SamplesSeeEveryHandlerAtOrBeforeTheirTime)
{
    RecordedRun r;
    std::vector<int> cueCounts;
    for (double t : {2999.0, 3000.0, 3001.0})
        r.looks.add(t, [&](double) {
            cueCounts.push_back(PlayerInspector::show(r.run).cueCount().value());
        });
    r.run.runUntil(4000);
    EXPECT_EQ(cueCounts, (std::vector<int>{0, 1, 1}));
}

// A player on a clock the test moves, whose output notes what it is shown during a pause.
struct PauseTest : testing::Test, PlayerOutput
{
    void frameDue(FrameDue when) override
    {
        if (when == FrameDue::Now)
            order.push_back(
                "present at " + std::to_string(static_cast<int>(clock.now())) +
                (stage.control(Control::lblWasteTime).visible ? " visible" : " hidden"));
    }
    [[nodiscard]] std::optional<double> nextLook() const override { return lookAt; }
    void look(double at, const Stage& /*stage*/) override
    {
        order.push_back("look at " + std::to_string(static_cast<int>(at)));
        lookAt.reset();
    }

    std::ostringstream errors;
    std::unique_ptr<VirtualClock> ownClock = std::make_unique<VirtualClock>();
    VirtualClock& clock = *ownClock;
    Player player{std::move(ownClock), makeQuilletShow(1), errors, *this};
    Stage& stage = player.stage();
    Scheduler& scheduler = PlayerInspector::scheduler(player);
    Recorder recorder;
    EventBus::Subscription following = stage.events().subscribe(recorder);
    std::vector<std::string> order;
    std::optional<double> lookAt;
};

TEST_F(PauseTest, HidesTheWasteLabelPresentsThenWaitsTheRestOfOneHundredMs)
{
    clock.advanceTo(18000);
    lookAt = 18050;
    stage.busyPause();
    EXPECT_EQ(order, (std::vector<std::string>{"present at 18000 hidden", "look at 18050"}));
    EXPECT_EQ(clock.now(), 18100);
    EXPECT_TRUE(sameEvents(recorder.lines, {R"({"ev":"pause"})"}));
}

TEST_F(PauseTest, TicksFallingDueDuringThePauseWaitForTheHandler)
{
    stage.setPeriod(Timer::tmrSL, 10);
    stage.busyPause();
    EXPECT_EQ(scheduler.takeDue(), Timer::tmrSL);
    EXPECT_FALSE(scheduler.takeDue());
}

TEST_F(SchedulerTest, PeriodsSetInAHandlerCountFromItsEventNotFromItsRunningTime)
{
    scheduler.beginHandler(1000);
    clock.advanceTo(1003); // the handler's own work
    scheduler.setPeriod(Timer::tmrTime, 3000);
    scheduler.setPeriod(Timer::tmrSL, 500);
    scheduler.endHandler();
    EXPECT_EQ(scheduler.dueTime(Timer::tmrTime), 4000);
    EXPECT_EQ(scheduler.dueTime(Timer::tmrSL), 1500);

    scheduler.beginHandler(5000);
    clock.advanceTo(5100); // held up: not a handler that started on time
    scheduler.setPeriod(Timer::tmrBL, 250);
    scheduler.endHandler();
    EXPECT_EQ(scheduler.dueTime(Timer::tmrBL), 5350);

    clock.advanceTo(6000);
    scheduler.setPeriod(Timer::tmrBL, 200); // outside any handler
    EXPECT_EQ(scheduler.dueTime(Timer::tmrBL), 6200);
}

// A wall clock seen through a program that takes time: every look at it finds it a little
// later, as when the handlers' own work moves real time on.
class CreepingClock final : public Clock
{
public:
    [[nodiscard]] double now() const override { return now_ += 0.004; }
    void waitUntil(double ms) override { now_ = std::max(now_, ms); }
    [[nodiscard]] bool isVirtual() const override { return false; }

private:
    mutable double now_ = 0;
};

// The ticks as "timer:cue" in the order they were handled.
struct TickOrder final : StageListener
{
    void onEvent(const Event& event) override
    {
        if (event.kind == EventKind::Tick)
            ticks.push_back(std::string(name(event.timer)) + ":" + std::to_string(event.cue));
    }
    std::vector<std::string> ticks;
};

TEST(EventOrder, ShowOnAClockThatMovesWhileHandlersRunKeepsTheVirtualOrder)
{
    constexpr double kEnd = 120000;
    std::ostringstream errors;
    Player virtualRun(TimeSource::Virtual, makeQuilletShow(4), errors);
    TickOrder expected;
    EventBus::Subscription followExpected = virtualRun.stage().events().subscribe(expected);
    virtualRun.addClick(0);
    virtualRun.runUntil(kEnd);

    auto creeping = std::make_unique<CreepingClock>();
    CreepingClock& clock = *creeping;
    Player player(std::move(creeping), makeQuilletShow(4), errors);
    TickOrder actual;
    EventBus::Subscription followActual = player.stage().events().subscribe(actual);
    player.load();
    player.click();
    // The click came a few microseconds after 0, and every due time with it.
    for (auto due = player.nextDue(); due && *due <= kEnd + 0.5; due = player.nextDue()) {
        clock.waitUntil(*due);
        player.runDue();
    }
    ASSERT_GT(expected.ticks.size(), 1000U);
    EXPECT_TRUE(sameEvents(actual.ticks, expected.ticks));
    EXPECT_TRUE(errors.str().empty()) << errors.str();
}

} // namespace
} // namespace q3::test
