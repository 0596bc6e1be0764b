// Seeking: a show sent to T is the show played straight to T with the clicks made up to T.

#include "core/script/cues.h"
#include "render/compositor.h"
#include "support.h"

#include <array>
#include <iostream>
#include <set>
#include <vector>

namespace q3 {
namespace {

constexpr std::uint32_t kSeed = 11;
// A click during the concert, when the cue clock runs at 300 ms: it sets it back to 3000 ms, so
// the show after it differs from a show without it.
constexpr double kConcertClick = 58050;
constexpr double kLookAfterMs = 250;

// Everything a viewer or the next handler could tell apart.
struct Snapshot
{
    double now = 0;
    std::array<ControlState, kControlCount> controls{};
    std::array<std::optional<double>, kTimerCount> timeLeft{};
    std::array<int, kTimerCount> periods{};
    QImage picture; // kLookAfterMs later
    double random = 0;
};

// The picture from `compositor`, which may have painted other stages before.
Snapshot snapshot(Player& player, Compositor& compositor)
{
    Snapshot s;
    s.now = player.now();
    for (std::size_t c = 0; c < kControlCount; ++c)
        s.controls.at(c) = player.stage().control(static_cast<Control>(c));
    for (std::size_t t = 0; t < kTimerCount; ++t) {
        const auto timer = static_cast<Timer>(t);
        s.periods.at(t) = test::PlayerInspector::scheduler(player).period(timer);
        if (const std::optional<double> due =
                test::PlayerInspector::scheduler(player).dueTime(timer))
            s.timeLeft.at(t) = *due - s.now;
    }
    player.runUntil(s.now + kLookAfterMs);
    s.picture = compositor.render(player.stage(), QSize(320, 240));
    s.random = player.stage().random();
    return s;
}

void expectSame(const Snapshot& seeked, const Snapshot& straight)
{
    EXPECT_EQ(seeked.now, straight.now);
    EXPECT_EQ(seeked.controls, straight.controls);
    EXPECT_EQ(seeked.timeLeft, straight.timeLeft);
    EXPECT_EQ(seeked.periods, straight.periods);
    EXPECT_TRUE(seeked.picture == straight.picture);
    EXPECT_EQ(seeked.random, straight.random);
}

Snapshot straightTo(double at, const std::set<double>& clicks)
{
    Player player(TimeSource::Virtual, makeQuilletShow(kSeed), std::cerr);
    for (const double click : clicks)
        player.addClick(click);
    player.runToEnd(at);
    Compositor compositor;
    return snapshot(player, compositor);
}

// One player is sent back and forth across the whole show: to each cue, into frame loops, the
// rain and the concert, and past the end, where it stops. The concert click is kept while seeks
// stay after it and forgotten after the first seek before it, even when a later seek passes it
// again.
TEST(Seek, LandsWhereAStraightRunIs)
{
    Player player(TimeSource::Virtual, makeQuilletShow(kSeed), std::cerr);
    std::set<double> clicks{0, kConcertClick};
    for (const double click : clicks)
        player.addClick(click);
    player.runUntil(80000);

    std::vector<double> moments{59000, 70130, 57950, 18450, 27550, 49999.5, 60125, 88000, 95000};
    {
        Player plain(TimeSource::Virtual, makeQuilletShow(kSeed), std::cerr);
        plain.addClick(0);
        const ShowChart& chart = plain.chart();
        ASSERT_EQ(chart.cues.size(), std::size_t{kCueTotal});
        moments.insert(moments.end(), chart.cues.begin(), chart.cues.end());
    }
    Compositor compositor; // as a window's, kept from seek to seek
    for (const double at : moments) {
        SCOPED_TRACE(testing::Message() << "seek to " << at);
        std::erase_if(clicks, [at](double click) { return click > at; });
        player.seek(at);
        expectSame(snapshot(player, compositor), straightTo(at, clicks));
    }
}

// What a seek reports to those who follow the stage, and that they follow the new stage.
TEST(Seek, FollowersSeeOnlyTheSeekThenTheShowGoingOn)
{
    Player player(TimeSource::Virtual, makeQuilletShow(kSeed), std::cerr);
    test::Recorder recorder;
    const EventBus::Subscription following = player.stage().events().subscribe(recorder);
    player.addClick(0);
    player.runUntil(30000);
    recorder.clear();
    player.seek(12345);
    player.setLoop(true);
    player.runUntil(15000);
    ASSERT_GE(recorder.lines.size(), 3U);
    EXPECT_EQ(recorder.lines[0], R"({"ev":"seek","from":30000,"to":12345})");
    EXPECT_EQ(recorder.lines[1], R"({"ev":"loop","on":true})");
    EXPECT_EQ(recorder.lines[2], R"({"ev":"tick","timer":"tmrTime","cue":4})");
}

} // namespace
} // namespace q3
