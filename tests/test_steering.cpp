// The viewer's keys: what each key means, and where a seek key sends the show. Expected times
// come from the show's design: cue n runs 3000 ms after the click times n + 1 up to cue 18, then
// every 300 ms to cue 38, then every 3000 ms to cue 45 at 84000 ms; the show ends 5000 ms later.
// Until cue 14 starts the rain, the picture changes only at the cues.
#include "steering/steering.h"
#include "steering/view_state.h"
#include "support.h"

#include <vector>

namespace q3::test {
namespace {

// The chart of a show clicked once, at `clickMs`.
ShowChart chartClickedAt(double clickMs)
{
    std::ostringstream errors;
    Player player(TimeSource::Virtual, makeQuilletShow(1), errors);
    player.addClick(clickMs);
    return player.chart();
}

std::string show(std::optional<double> ms)
{
    return ms ? std::to_string(*ms) : "nowhere";
}

TEST(Steering, KeysMeanWhatTheyDoBeforeAndAfterTheStart)
{
    struct Row
    {
        KeyPress press;
        bool started;
        std::optional<SteerKind> kind;
        int tenths = 0;
    };
    const KeyPress space{.key = ViewerKey::Space};
    const KeyPress enter{.key = ViewerKey::Enter};
    const std::vector<Row> rows{
        {space, false, SteerKind::Start},
        {space, true, SteerKind::TogglePause},
        {enter, false, SteerKind::Start},
        {enter, true, std::nullopt},
        {{.key = ViewerKey::Space, .autoRepeat = true}, true, std::nullopt},
        {{.key = ViewerKey::Enter, .autoRepeat = true}, false, std::nullopt},
        {{.key = ViewerKey::Left}, true, SteerKind::Back},
        {{.key = ViewerKey::Left, .shift = true}, true, SteerKind::PreviousCue},
        {{.key = ViewerKey::Right}, false, SteerKind::Forward},
        {{.key = ViewerKey::Right, .shift = true}, true, SteerKind::NextCue},
        {{.key = ViewerKey::Right, .autoRepeat = true}, true, SteerKind::Forward},
        {{.key = ViewerKey::Right, .command = true}, true, std::nullopt},
        {{.key = ViewerKey::Space, .command = true}, false, std::nullopt},
        {{.key = ViewerKey::Home}, true, SteerKind::Home},
        {{.key = ViewerKey::End}, true, SteerKind::End},
        {{.key = ViewerKey::Digit, .digit = 0}, true, SteerKind::Tenth, 0},
        {{.key = ViewerKey::Digit, .digit = 9}, false, SteerKind::Tenth, 9},
        {{.key = ViewerKey::Digit, .digit = 10}, true, std::nullopt},
        {{.key = ViewerKey::Comma}, true, SteerKind::StepBack},
        {{.key = ViewerKey::Period}, true, SteerKind::StepForward},
        {{.key = ViewerKey::BracketLeft}, true, SteerKind::Slower},
        {{.key = ViewerKey::BracketRight}, true, SteerKind::Faster},
        {{.key = ViewerKey::L}, true, SteerKind::Loop},
        {{.key = ViewerKey::L, .autoRepeat = true}, true, std::nullopt},
        {{.key = ViewerKey::Q}, false, SteerKind::Quality},
        {{.key = ViewerKey::Q, .shift = true}, true, std::nullopt},
        {{.key = ViewerKey::Q, .command = true}, true, std::nullopt},
        {{.key = ViewerKey::Q, .autoRepeat = true}, true, std::nullopt},
    };
    for (const Row& row : rows) {
        const std::optional<Steer> steer = steerFor(row.press, row.started);
        SCOPED_TRACE(testing::Message() << "key " << static_cast<int>(row.press.key) << " shift "
                                        << row.press.shift << " started " << row.started);
        ASSERT_EQ(steer.has_value(), row.kind.has_value());
        if (steer) {
            EXPECT_EQ(steer->kind, *row.kind);
            EXPECT_EQ(steer->tenths, row.tenths);
        }
    }
}

TEST(Steering, SeekKeysGoWhereTheShowsDesignSays)
{
    struct Row
    {
        Steer steer;
        double now;
        bool paused;
        std::optional<double> to;
    };
    const auto steer = [](SteerKind kind, int tenths = 0) { return Steer{kind, tenths}; };
    const std::vector<Row> rows{
        {steer(SteerKind::Back), 10000, false, 5000},
        {steer(SteerKind::Back), 3000, false, 0}, // no further back than the start
        {steer(SteerKind::Forward), 10000, true, 15000},
        {steer(SteerKind::Forward), 86000, false, 89000}, // no further on than the end
        // The previous cue, or the start of the one playing once it has played a second.
        {steer(SteerKind::PreviousCue), 45000, false, 42000},
        {steer(SteerKind::PreviousCue), 45999, false, 42000},
        {steer(SteerKind::PreviousCue), 46000, false, 42000},
        {steer(SteerKind::PreviousCue), 46001, false, 45000},
        {steer(SteerKind::PreviousCue), 57200, false, 54000}, // cue 18 at 57000
        {steer(SteerKind::PreviousCue), 63900, false, 62700}, // cue 38 at 63000
        {steer(SteerKind::PreviousCue), 64001, false, 63000},
        {steer(SteerKind::PreviousCue), 3999, false, 0}, // cue 0: back to the start
        {steer(SteerKind::NextCue), 44999, false, 45000},
        {steer(SteerKind::NextCue), 45000, false, 48000},
        {steer(SteerKind::NextCue), 57000, false, 57300}, // the countdown's pace
        {steer(SteerKind::NextCue), 62800, false, 63000},
        {steer(SteerKind::NextCue), 63000, false, 66000},
        {steer(SteerKind::NextCue), 84000, false, std::nullopt},
        {steer(SteerKind::Home), 50000, false, 0},
        {steer(SteerKind::End), 1000, false, 84000},
        {steer(SteerKind::Tenth, 0), 50000, false, 0},
        {steer(SteerKind::Tenth, 5), 0, false, 44500},
        {steer(SteerKind::Tenth, 9), 0, false, 80100},
        // Steps, only while paused. Up to cue 13 the picture changes only at the cues; cue 14 draws
        // nothing but starts the rain, whose first sparkle comes 1 ms later.
        {steer(SteerKind::StepForward), 42000, true, 45001},
        {steer(SteerKind::StepForward), 7000, true, 9000},
        {steer(SteerKind::StepForward), 7000, false, std::nullopt},
        {steer(SteerKind::StepBack), 45000, true, 39000}, // cue 13's picture is on screen
        {steer(SteerKind::StepBack), 45001, true, 42000},
        {steer(SteerKind::StepBack), 7000, true, 3000},
        {steer(SteerKind::StepBack), 7000, false, std::nullopt},
        {steer(SteerKind::StepBack), 3000, true, 0},
        {steer(SteerKind::Slower), 1000, true, std::nullopt},
    };
    const ShowChart chart = chartClickedAt(0);
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "steer " << static_cast<int>(row.steer.kind) << " at "
                                        << row.now << (row.paused ? " paused" : ""));
        EXPECT_EQ(show(seekTarget(row.steer, chart, 0, row.now, row.paused)), show(row.to));
    }
}

// A show started later: its 0 ms is the starting click, and the tenths are of its own length.
TEST(Steering, SeekKeysCountFromTheStartingClick)
{
    const ShowChart chart = chartClickedAt(1000);
    EXPECT_EQ(show(seekTarget({SteerKind::Tenth, 5}, chart, 1000, 0, false)), show(45500));
    EXPECT_EQ(show(seekTarget({SteerKind::Home}, chart, 1000, 20000, false)), show(1000));
    EXPECT_EQ(show(seekTarget({SteerKind::Back}, chart, 1000, 3000, false)), show(1000));
    EXPECT_EQ(show(seekTarget({SteerKind::End}, chart, 1000, 3000, false)), show(85000));
}

TEST(Steering, SpeedKeysHalveAndDoubleWithinTheRange)
{
    const std::vector<std::tuple<double, bool, double>> rows{
        {1, true, 2},       {2, true, 4},        {4, true, 4},      {1, false, 0.5},
        {0.5, false, 0.25}, {0.25, false, 0.25}, {0.25, true, 0.5},
    };
    for (const auto& [speed, faster, expected] : rows)
        EXPECT_EQ(steppedSpeed(speed, faster), expected)
            << speed << (faster ? " faster" : " slower");
}

// The title names what the viewer set, and a change is told as the new value of what changed:
// each row's state follows the row before it (the first follows the default state).
TEST(Steering, TitlesNameTheSpeedQualityLoopAndPause)
{
    struct Row
    {
        ViewState state;
        std::string caption;
        std::string change;
    };
    const Quality smooth = Quality::Smooth;
    const std::vector<Row> rows{
        {{}, "Quillet 3", ""},
        {{.speed = 2}, "Quillet 3 (2×)", "2×"},
        {{.speed = 2, .quality = smooth}, "Quillet 3 (2×, smooth)", "smooth"},
        {{.speed = 2, .quality = smooth, .loop = true},
         "Quillet 3 (2×, smooth, looping)",
         "looping"},
        {{.speed = 2, .quality = smooth, .loop = true, .paused = true},
         "Quillet 3 (2×, smooth, looping, paused)",
         "paused"},
        {{.speed = 0.25, .quality = smooth, .loop = true, .paused = true},
         "Quillet 3 (0.25×, smooth, looping, paused)",
         "0.25×"},
        {{.speed = 1, .quality = smooth, .paused = true},
         "Quillet 3 (smooth, paused)",
         "1×, loop off"},
        {{.paused = true}, "Quillet 3 (paused)", "crisp"},
        {{.speed = 0.5}, "Quillet 3 (0.5×)", "0.5×, playing"},
        {{.loop = true}, "Quillet 3 (looping)", "1×, looping"},
        {{.speed = 4, .quality = smooth, .paused = true},
         "Quillet 3 (4×, smooth, paused)",
         "4×, smooth, loop off, paused"},
    };
    ViewState before;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.caption);
        EXPECT_EQ(captionText(row.state), row.caption);
        EXPECT_EQ(changeText(before, row.state), row.change);
        before = row.state;
    }
}

// Carried out on a player: a seek key before the start makes the starting click there first;
// a step while playing does nothing; Space before the start starts, then pauses.
TEST(Steering, KeysCarriedOutOnAPlayer)
{
    std::ostringstream errors;
    Player player(TimeSource::Virtual, makeQuilletShow(1), errors);
    player.runUntil(2000);
    EXPECT_FALSE(applySteer(player, {SteerKind::StepForward}).seeked);
    EXPECT_FALSE(player.paused());
    EXPECT_TRUE(applySteer(player, {SteerKind::Tenth, 5}).seeked);
    EXPECT_EQ(player.startedAt(), 2000);
    EXPECT_EQ(player.now(), 2000 + 44500);

    Player other(TimeSource::Virtual, makeQuilletShow(1), errors);
    other.runUntil(500);
    EXPECT_FALSE(applySteer(other, {SteerKind::Start}).stateChanged);
    EXPECT_EQ(other.startedAt(), 500);
    EXPECT_EQ(PlayerInspector::scheduler(other).dueTime(Timer::tmrTime), 3500);
    applySteer(other, {SteerKind::Start});
    EXPECT_EQ(PlayerInspector::scheduler(other).dueTime(Timer::tmrTime), 3500) << "started once";
    EXPECT_TRUE(applySteer(other, {SteerKind::TogglePause}).stateChanged);
    EXPECT_TRUE(other.paused());
    EXPECT_TRUE(applySteer(other, {SteerKind::StepForward}).seeked);
    EXPECT_EQ(other.now(), 3500) << "cue 0's picture";
    EXPECT_TRUE(applySteer(other, {SteerKind::StepBack}).seeked);
    EXPECT_EQ(other.now(), 500) << "the loaded window's picture, from the start";
    EXPECT_TRUE(applySteer(other, {SteerKind::NextCue}).seeked);
    EXPECT_EQ(other.now(), 3500);
    EXPECT_TRUE(other.paused());
    EXPECT_TRUE(applySteer(other, {SteerKind::Faster}).stateChanged);
    EXPECT_EQ(other.speed(), 2);
    applySteer(other, {SteerKind::Loop});
    EXPECT_TRUE(other.loop());
}

// What a key tells the front, and whether it started the show: a step key steps only while paused,
// so before the start (the show plays, waiting for its click) it starts nothing.
TEST(Steering, WhatKeysTellTheFront)
{
    struct Row
    {
        SteerKind kind;
        bool started;
        bool paused;
        std::string expected;
    };
    const std::vector<Row> rows{
        {SteerKind::StepForward, false, false, "not started"},
        {SteerKind::StepBack, false, false, "not started"},
        {SteerKind::Forward, false, false, "seeked reveal started"},
        {SteerKind::StepForward, true, false, "reveal started"},
        {SteerKind::StepForward, true, true, "seeked reveal started"},
        {SteerKind::Quality, false, false, "quality not started"},
        {SteerKind::Slower, true, false, "state started"},
        {SteerKind::Loop, true, false, "state started"},
    };
    std::ostringstream errors;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "steer " << static_cast<int>(row.kind) << (row.started ? " started" : "")
                     << (row.paused ? " paused" : ""));
        Player player(TimeSource::Virtual, makeQuilletShow(1), errors);
        player.runUntil(2000);
        if (row.started)
            player.click();
        player.setPaused(row.paused);
        const Steered did = applySteer(player, {row.kind});
        std::string told = did.seeked ? "seeked " : "";
        told += did.stateChanged ? "state " : "";
        told += did.toggleQuality ? "quality " : "";
        told += did.revealTimeline ? "reveal " : "";
        told += player.startedAt() ? "started" : "not started";
        EXPECT_EQ(told, row.expected);
    }
}

// The timeline's press and a page's script: the starting click first, then no earlier than it.
TEST(Steering, SeekClickedStartsTheShowFirst)
{
    std::ostringstream errors;
    Player player(TimeSource::Virtual, makeQuilletShow(1), errors);
    player.runUntil(2000);
    seekClicked(player, 500);
    EXPECT_EQ(player.startedAt(), 2000);
    EXPECT_EQ(player.now(), 2000);
    seekClicked(player, 9000);
    EXPECT_EQ(player.startedAt(), 2000) << "clicked once";
    EXPECT_EQ(player.now(), 9000);
}

} // namespace
} // namespace q3::test
