// The show left running for a day and more: the cue counter reaches its 16-bit limit about
// 27 hours after the last cue, and from then on every cue tick fails and is reported while the
// end card and the lights stay as they are.
#include "core/script/cues.h"
#include "support.h"

#include <algorithm>
#include <array>
#include <memory>
#include <utility>

namespace q3::test {
namespace {

constexpr int kCounterLimit = 32767;

std::array<ControlState, kControlCount> controlsOf(const Stage& stage)
{
    std::array<ControlState, kControlCount> states;
    for (std::size_t i = 0; i < kControlCount; ++i)
        states.at(i) = stage.control(controlAt(i));
    return states;
}

int count(const std::vector<std::string>& lines, const std::string& line)
{
    return static_cast<int>(std::count(lines.begin(), lines.end(), line));
}

// Errors as handlers report them, and what the error stream then says.
TEST(ErrorReport, ARepeatIsCountedAndSaidWhenAnotherErrorComesOrAtTheEnd)
{
    using Reported = std::vector<std::pair<std::string, std::string>>;
    const std::pair<std::string, std::string> overflow{"tmrTime", "overflow"};
    const std::pair<std::string, std::string> other{"tmrSL", "overflow"};
    struct Row
    {
        Reported reported;
        std::string said;
    };
    const std::vector<Row> rows{
        {{}, ""},
        {{overflow}, "quillet3: tmrTime: overflow\n"},
        {{overflow, overflow},
         "quillet3: tmrTime: overflow\nquillet3: tmrTime: overflow (repeated 1 more time)\n"},
        {{overflow, overflow, overflow, other},
         "quillet3: tmrTime: overflow\nquillet3: tmrTime: overflow (repeated 2 more times)\n"
         "quillet3: tmrSL: overflow\n"},
        {{overflow, other, overflow},
         "quillet3: tmrTime: overflow\nquillet3: tmrSL: overflow\nquillet3: tmrTime: overflow\n"},
    };
    for (const Row& row : rows) {
        std::ostringstream out;
        {
            ErrorReport report(out);
            for (const auto& [handler, message] : row.reported)
                report.report(handler, message);
        }
        EXPECT_EQ(out.str(), row.said) << row.reported.size() << " errors";
    }
}

TEST(LongRun, CounterLimitReportsEveryTickAndTheShowStaysOnScreen)
{
    // The whole run on virtual time, without a recorder until the limit: a day of lights is
    // tens of millions of discs, and only their kept drawing is wanted until then.
    std::ostringstream errors;
    auto player = std::make_unique<Player>(TimeSource::Virtual, makeQuilletShow(5), errors);
    Player& run = *player;
    run.addClick(0);
    const double lastCue = runToLastCue(run);
    ASSERT_EQ(PlayerInspector::show(run).cueCount(), kCueTotal);
    Stage& stage = run.stage();
    const auto endCard = controlsOf(stage);

    // The counter goes on by one every 3000 ms after the last cue.
    const double limitTick = lastCue + 3000.0 * (kCounterLimit - kCueTotal);
    std::size_t mostStored = 0;
    constexpr double kHour = 3600.0 * 1000;
    for (double t = lastCue + kHour; t < limitTick - 1000; t += kHour) {
        run.runUntil(t);
        mostStored = std::max(mostStored, stage.displayList().storedCount());
    }
    run.runUntil(limitTick - 1000);
    ASSERT_EQ(PlayerInspector::show(run).cueCount(), kCounterLimit - 1);
    EXPECT_GT(limitTick - lastCue, 27 * kHour);
    EXPECT_EQ(errors.str(), "") << "an error before the counter limit";

    Recorder recorder;
    EventBus::Subscription followRecorder = stage.events().subscribe(recorder);
    constexpr int kTicksPastTheLimit = 10;
    run.runUntil(limitTick + 3000.0 * kTicksPastTheLimit);
    followRecorder.end();

    // The tick that reaches the limit still counts; every one after it fails, and the trace
    // has each failure. The error stream has the first, and how often it repeated once the
    // player is done.
    EXPECT_EQ(PlayerInspector::show(run).cueCount(), kCounterLimit);
    EXPECT_EQ(errors.str(), "quillet3: tmrTime: overflow\n");
    const std::string overflow = R"({"ev":"error","handler":"tmrTime","error":"overflow"})";
    EXPECT_EQ(count(recorder.lines, overflow), kTicksPastTheLimit);
    EXPECT_EQ(count(recorder.lines, R"({"ev":"tick","timer":"tmrTime","cue":32767})"),
              kTicksPastTheLimit);
    for (std::size_t i = 0; i + 1 < recorder.lines.size(); ++i) {
        if (recorder.lines[i] == R"({"ev":"tick","timer":"tmrTime","cue":32767})") {
            EXPECT_EQ(recorder.lines[i + 1], overflow) << "a failing tick did more than fail";
        }
    }

    // The end card stays and the lights go on at their pace.
    EXPECT_EQ(controlsOf(stage), endCard);
    EXPECT_EQ(stage.period(Timer::tmrTime), 3000);
    const double recorded = 1000 + 3000.0 * kTicksPastTheLimit;
    EXPECT_NEAR(count(recorder.lines, R"({"ev":"tick","timer":"tmrSL"})"), recorded / 500, 1);
    EXPECT_NEAR(count(recorder.lines, R"({"ev":"tick","timer":"tmrBL"})"), recorded / 250, 1);
    // What is painted over is dropped once it outnumbers what shows, so the kept drawing never
    // grows past about twice the shapes on the stage, however long the lights run.
    mostStored = std::max(mostStored, stage.displayList().storedCount());
    EXPECT_LE(mostStored, 2 * stage.displayList().liveCount() + 64);

    player.reset();
    EXPECT_EQ(errors.str(), "quillet3: tmrTime: overflow\n"
                            "quillet3: tmrTime: overflow (repeated 9 more times)\n");
}

} // namespace
} // namespace q3::test
