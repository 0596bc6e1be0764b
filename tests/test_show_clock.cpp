// The show's clock over a source clock the test moves: speed, pause and replays.
#include "core/clock.h"

#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace q3 {
namespace {

// A wall clock that stands still until the test moves it, and notes every wait asked of it.
class FakeWallClock final : public Clock
{
public:
    [[nodiscard]] double now() const override { return now_; }
    void waitUntil(double ms) override
    {
        waits.push_back(ms);
        now_ = std::max(now_, ms);
    }
    [[nodiscard]] bool isVirtual() const override { return false; }
    void set(double ms) { now_ = ms; }

    std::vector<double> waits;

private:
    double now_ = 0;
};

struct ShowClockTest : testing::Test
{
    ShowClockTest()
    {
        auto owned = std::make_unique<FakeWallClock>();
        source = owned.get();
        source->set(100); // the show's 0 ms is wherever the source stood when it was made
        clock = std::make_unique<ShowClock>(std::move(owned));
    }
    FakeWallClock* source = nullptr;
    std::unique_ptr<ShowClock> clock;
};

TEST_F(ShowClockTest, SpeedScalesTheSourceFromWhereTheShowStood)
{
    source->set(1100);
    EXPECT_EQ(clock->now(), 1000);
    clock->setSpeed(2);
    EXPECT_EQ(clock->now(), 1000) << "a new speed keeps the show's time";
    source->set(1600);
    EXPECT_EQ(clock->now(), 2000);
    EXPECT_EQ(clock->sourceMsUntil(3000), 500);
    clock->waitUntil(3000);
    EXPECT_EQ(source->waits.back(), 2100);
    clock->setSpeed(0.25);
    source->set(2500);
    EXPECT_EQ(clock->now(), 3100);
}

TEST_F(ShowClockTest, HeldTheShowsTimeStandsAndGoesOnFromThereOnRelease)
{
    source->set(1100);
    clock->hold();
    source->set(5100);
    EXPECT_EQ(clock->now(), 1000);
    clock->waitUntil(2000); // nothing falls due while held: no wait
    EXPECT_TRUE(source->waits.empty());
    clock->setSpeed(2);
    EXPECT_EQ(clock->now(), 1000);
    clock->release();
    EXPECT_EQ(clock->now(), 1000);
    source->set(5600);
    EXPECT_EQ(clock->now(), 2000);
    clock->release(); // a second release changes nothing
    EXPECT_EQ(clock->now(), 2000);
}

TEST_F(ShowClockTest, AReplayIsVirtualAndTheSourceGoesOnFromWhereItStopped)
{
    source->set(1100);
    clock->replayFrom(0);
    EXPECT_TRUE(clock->isVirtual());
    EXPECT_EQ(clock->now(), 0);
    clock->waitUntil(40000);
    source->set(1200); // the replay took source time: the show does not count it
    EXPECT_EQ(clock->now(), 40000);
    EXPECT_TRUE(source->waits.empty());
    clock->play();
    EXPECT_FALSE(clock->isVirtual());
    EXPECT_EQ(clock->now(), 40000);
    source->set(1300);
    EXPECT_EQ(clock->now(), 40100);
}

TEST_F(ShowClockTest, AReplayWhileHeldStaysHeldWhereItLanded)
{
    clock->hold();
    clock->replayFrom(0);
    clock->waitUntil(7000);
    clock->play();
    source->set(9100);
    EXPECT_EQ(clock->now(), 7000);
    clock->release();
    source->set(9600);
    EXPECT_EQ(clock->now(), 7500);
}

// Virtual time is moved on by whoever runs it: holding it changes nothing.
TEST(ShowClock, OnVirtualTimeHoldingChangesNothing)
{
    auto owned = std::make_unique<VirtualClock>();
    VirtualClock& source = *owned;
    ShowClock clock(std::move(owned));
    clock.hold();
    clock.waitUntil(500);
    EXPECT_EQ(clock.now(), 500);
    source.advanceTo(800);
    EXPECT_EQ(clock.now(), 800);
}

} // namespace
} // namespace q3
