// The player's own rules, with a show of the test's own made through the same interface as
// every show: the order of input and ticks, what a seek replays, the chart, errors, and the
// wall-clock driver's waits.
#include "core/wall_driver.h"
#include "support.h"

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace q3::test {
namespace {

// A small show: the click sets the cue timer's period to a tenth of the client width, so that
// where its cues fall depends on the size the window had at the click. Every handler notes what
// ran when; a failing show reports each tick as failed.
class TinyShow final : public ShowProgram
{
public:
    TinyShow(Scheduler& scheduler, StageHost& host, std::vector<std::string>& log, bool fails)
        : scheduler_(scheduler), host_(host), stage_(scheduler, host), log_(log), fails_(fails)
    {}

    void load() override { note("load"); }
    void click() override
    {
        note("click");
        stage_.setPeriod(Timer::tmrTime, stage_.clientWidth() / 10);
    }
    bool clickAt(double x, double /*y*/) override
    {
        if (x < 0)
            return false;
        click();
        return true;
    }
    void tick(Timer timer) override
    {
        note(std::string(name(timer)));
        cues_ += 1;
        if (fails_)
            host_.handlerFailed(name(timer), "overflow");
    }
    [[nodiscard]] Stage& stage() override { return stage_; }
    [[nodiscard]] const Stage& stage() const override { return stage_; }
    [[nodiscard]] Int16 cueCount() const override { return cues_; }

private:
    void note(const std::string& what)
    {
        log_.push_back(what + "@" + std::to_string(static_cast<int>(scheduler_.now())));
    }

    Scheduler& scheduler_;
    StageHost& host_;
    Stage stage_;
    std::vector<std::string>& log_;
    bool fails_;
    Int16 cues_ = 0;
};

constexpr int kTinyCues = 3;

struct TinyPlayer : PlayerOutput
{
    explicit TinyPlayer(bool fails = false,
                        std::unique_ptr<Clock> clock = std::make_unique<VirtualClock>())
        : owned(std::make_unique<Player>(
              std::move(clock),
              ShowFactory{.cueTotal = kTinyCues,
                          .usualLastCueMs = 9000,
                          .make =
                              [this, fails](Scheduler& scheduler, StageHost& host) {
                                  return std::make_unique<TinyShow>(scheduler, host, log, fails);
                              }},
              errors, *this))
    {}
    void chartChanged() override { ++chartChanges; }
    void endKnown(double atMs) override { ends.push_back(atMs); }

    // What runs from now up to and including `ms`.
    std::vector<std::string> runUntil(double ms)
    {
        log.clear();
        player.runUntil(ms);
        return log;
    }

    std::vector<std::string> log;
    std::vector<double> ends;
    std::ostringstream errors;
    int chartChanges = 0;
    std::unique_ptr<Player> owned;
    Player& player = *owned;
};

TEST(Player, ClickBeforeATickDueAtTheSameTimeAndTheEndAfterTheLastCue)
{
    TinyPlayer tiny;
    tiny.player.resize(10000, 9000);
    tiny.player.addClick(0);
    tiny.player.addClick(2000); // the period it has: the timer goes on
    tiny.player.addClick(3000); // due with the third tick
    EXPECT_EQ(tiny.player.expectedEnd(), 9000 + 5000) << "the factory's usual last cue";
    tiny.player.runUntil(4000);
    EXPECT_EQ(tiny.log, (std::vector<std::string>{"load@0", "click@0", "tmrTime@1000", "click@2000",
                                                  "tmrTime@2000", "click@3000", "tmrTime@3000",
                                                  "tmrTime@4000"}));
    EXPECT_EQ(tiny.ends, std::vector<double>{8000}) << "5000 ms after the third cue";
}

TEST(Player, ChartFollowsTheClientSizeAndIsKeptUntilItChanges)
{
    TinyPlayer tiny;
    tiny.player.resize(10000, 9000);
    tiny.player.addClick(0);
    EXPECT_EQ(tiny.player.chart().cues, (std::vector<double>{1000, 2000, 3000}));
    const int changes = tiny.chartChanges;
    tiny.player.resize(10000, 9000);
    EXPECT_EQ(tiny.chartChanges, changes) << "the same size changes nothing";
    tiny.player.resize(20000, 9000);
    EXPECT_EQ(tiny.chartChanges, changes + 1);
    EXPECT_EQ(tiny.player.chart().cues, (std::vector<double>{2000, 4000, 6000}));
}

TEST(Player, SeekReplaysAtTheSizeOfTheMomentItReplays)
{
    TinyPlayer tiny;
    tiny.player.resize(6000, 9000);
    tiny.player.addClick(0);
    tiny.player.runUntil(1000);
    tiny.player.resize(9000, 9000);
    tiny.player.runUntil(1500);
    const int changes = tiny.chartChanges;
    tiny.player.seek(1000);
    EXPECT_EQ(tiny.player.stage().clientWidth(), 9000) << "the window's size of now";
    EXPECT_EQ(tiny.chartChanges, changes) << "the same input: the same chart";
    // Clicked at 6000 units wide: a tick every 600 ms, the next at 1200.
    EXPECT_EQ(tiny.runUntil(1200), std::vector<std::string>{"tmrTime@1200"});

    // Sent back before the resize: the window is still 9000 units wide.
    tiny.player.seek(500);
    EXPECT_EQ(tiny.player.stage().clientWidth(), 9000);
    EXPECT_EQ(tiny.runUntil(700), std::vector<std::string>{"tmrTime@600"});
    tiny.player.seek(650);
    EXPECT_EQ(tiny.player.stage().clientWidth(), 9000);
    EXPECT_EQ(tiny.runUntil(1200), std::vector<std::string>{"tmrTime@1200"});
}

TEST(Player, AReplayWritesNoErrorAgain)
{
    TinyPlayer tiny(true);
    tiny.player.resize(10000, 9000);
    tiny.player.addClick(0);
    tiny.player.runUntil(3000);
    EXPECT_EQ(tiny.errors.str(), "quillet3: tmrTime: overflow\n");
    tiny.player.seek(2500);
    tiny.player.seek(0);
    tiny.player.runUntil(1000);
    tiny.owned.reset();
    // Three ticks before the seeks and one after them; the replays' ticks are not counted.
    EXPECT_EQ(tiny.errors.str(), "quillet3: tmrTime: overflow\n"
                                 "quillet3: tmrTime: overflow (repeated 3 more times)\n");
}

// A wall clock that moves only when the test moves it, or when the player waits on it.
class SteppedWallClock final : public Clock
{
public:
    [[nodiscard]] double now() const override { return now_; }
    void waitUntil(double ms) override { now_ = std::max(now_, ms); }
    [[nodiscard]] bool isVirtual() const override { return false; }
    void set(double ms) { now_ = ms; }

private:
    double now_ = 0;
};

// A front woken a little early waits for a cue tick due within its limit, and for nothing else.
TEST(WallDriver, WaitsForACueTickDueWithinTheLimitOnly)
{
    struct Row
    {
        const char* what;
        double wokenAt;
        double cueWaitMs;
        // Another timer, due at this moment when not 0.
        int otherDue;
        bool ran;
        std::vector<std::string> log;
        double nowAfter;
    };
    const std::vector<Row> rows{
        {"due within the limit: waited for", 980, 30, 0, true, {"tmrTime@1000"}, 1000},
        {"due at the limit", 970, 30, 0, true, {"tmrTime@1000"}, 1000},
        {"due after the limit", 960, 30, 0, false, {}, 960},
        {"no limit", 980, 0, 0, false, {}, 980},
        {"already due", 1000, 30, 0, true, {"tmrTime@1000"}, 1000},
        {"another timer is due first", 980, 30, 990, false, {}, 980},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        auto owned = std::make_unique<SteppedWallClock>();
        SteppedWallClock& clock = *owned;
        TinyPlayer tiny(false, std::move(owned));
        tiny.player.resize(10000, 9000);
        tiny.player.load();
        tiny.player.click(); // a cue every 1000 ms
        if (row.otherDue != 0)
            tiny.player.stage().setPeriod(Timer::tmrBL, row.otherDue);
        EXPECT_EQ(nextCueDue(tiny.player),
                  row.otherDue != 0 ? std::nullopt : std::optional<double>(1000));
        clock.set(row.wokenAt);
        tiny.log.clear();
        EXPECT_EQ(runDueOnTime(tiny.player, row.cueWaitMs), row.ran);
        EXPECT_EQ(tiny.log, row.log);
        EXPECT_EQ(tiny.player.now(), row.nowAfter);
    }
}

TEST(WallDriver, WallMillisecondsAtTheShowsSpeed)
{
    auto owned = std::make_unique<SteppedWallClock>();
    SteppedWallClock& clock = *owned;
    TinyPlayer tiny(false, std::move(owned));
    clock.set(600);
    EXPECT_EQ(wallMsUntil(tiny.player, 1000), 400);
    tiny.player.setSpeed(2);
    EXPECT_EQ(wallMsUntil(tiny.player, 1000), 200);
    tiny.player.setSpeed(0.25);
    EXPECT_EQ(wallMsUntil(tiny.player, 500), -400) << "passed";
}

} // namespace
} // namespace q3::test
