// The whole show from the click to the end card and beyond: when each cue runs, and the timers
// and the screen's labels after each one.
#include "core/script/cues.h"
#include "support.h"

#include <array>
#include <map>
#include <sstream>
#include <string>

namespace q3::test {
namespace {

// The labels that stand in the screen's rectangle, as the viewer sees them.
std::string screenOf(const Stage& stage)
{
    std::ostringstream out;
    for (const Control c : {Control::lblCountDown, Control::lblCountDown2, Control::lblScreen}) {
        const ControlState& s = stage.control(c);
        if (!s.visible)
            continue;
        out << name(c) << " \"" << s.caption << "\"";
        if (c == Control::lblScreen)
            out << " on " << int{s.backColor.r} << "," << int{s.backColor.g} << ","
                << int{s.backColor.b} << " at " << s.pointSize << "pt";
        out << "; ";
    }
    return out.str();
}

struct AfterCue
{
    double at = 0;
    int tmrTime = 0;
    int tmrSL = 0;
    int tmrBL = 0;
    std::string screen;

    friend bool operator==(const AfterCue&, const AfterCue&) = default;
    friend std::ostream& operator<<(std::ostream& out, const AfterCue& a)
    {
        return out << "at " << a.at << " ms, tmrTime " << a.tmrTime << ", tmrSL " << a.tmrSL
                   << ", tmrBL " << a.tmrBL << ", screen: " << a.screen;
    }
};

// From the concert on. Cue 18 switches to the 300 ms countdown pace, cue 38 back to 3000 ms.
const std::map<int, AfterCue> kConcert{
    {18, {57000, 300, 500, 0, R"(lblCountDown "5"; )"}},
    {19, {57300, 300, 500, 0, R"(lblCountDown2 "5"; )"}},
    {20, {57600, 300, 500, 0, R"(lblCountDown "5"; )"}},
    {21, {57900, 300, 500, 0, R"(lblCountDown2 "5"; )"}},
    {22, {58200, 300, 500, 0, R"(lblCountDown "4"; )"}},
    {23, {58500, 300, 500, 0, R"(lblCountDown2 "4"; )"}},
    {24, {58800, 300, 500, 0, R"(lblCountDown "4"; )"}},
    {25, {59100, 300, 500, 0, R"(lblCountDown2 "4"; )"}},
    {26, {59400, 300, 500, 0, R"(lblCountDown "3"; )"}},
    {27, {59700, 300, 500, 0, R"(lblCountDown2 "3"; )"}},
    {28, {60000, 300, 500, 0, R"(lblCountDown "3"; )"}},
    {29, {60300, 300, 500, 0, R"(lblCountDown2 "3"; )"}},
    {30, {60600, 300, 500, 0, R"(lblCountDown "2"; )"}},
    {31, {60900, 300, 500, 0, R"(lblCountDown2 "2"; )"}},
    {32, {61200, 300, 500, 0, R"(lblCountDown "2"; )"}},
    {33, {61500, 300, 500, 0, R"(lblCountDown2 "2"; )"}},
    {34, {61800, 300, 500, 0, R"(lblCountDown "1"; )"}},
    {35, {62100, 300, 500, 0, R"(lblCountDown2 "1"; )"}},
    {36, {62400, 300, 500, 0, R"(lblCountDown "1"; )"}},
    {37, {62700, 300, 500, 0, R"(lblCountDown2 "1"; )"}},
    {38, {63000, 3000, 500, 0, R"(lblScreen "Are you ready?" on 255,255,255 at 60pt; )"}},
    {39,
     {66000, 3000, 500, 250, R"(lblScreen "Guitar:              ZENIPPA" on 0,0,255 at 60pt; )"}},
    {40,
     {69000, 3000, 500, 250, R"(lblScreen "Guitar:              BOLVEK" on 255,0,0 at 60pt; )"}},
    {41,
     {72000, 3000, 500, 250, R"(lblScreen "Bass:                 QUMO" on 255,255,120 at 60pt; )"}},
    {42, {75000, 3000, 500, 250, R"(lblScreen "Vocal:               DAXI" on 0,255,0 at 60pt; )"}},
    {43, {78000, 3000, 500, 250, R"(lblScreen "They are..." on 255,150,0 at 60pt; )"}},
    {44, {81000, 3000, 500, 250, R"(lblScreen "VREL" on 255,150,0 at 160pt; )"}},
    {45, {84000, 3000, 500, 250, R"(lblScreen "        THE         END" on 255,255,0 at 72pt; )"}},
};

TEST(WholeShow, EveryCueAtItsTimeWithTheTimersAndScreenAfterIt)
{
    RecordedRun r;
    std::map<int, AfterCue> seen;
    std::map<int, double> tickTimes;
    struct CueTicks final : StageListener
    {
        CueTicks(Player& run, std::map<int, double>& times) : run_(run), times_(times) {}
        void onEvent(const Event& e) override
        {
            if (e.kind == EventKind::Tick && e.timer == Timer::tmrTime)
                times_[e.cue] = run_.clock().now();
        }
        Player& run_;
        std::map<int, double>& times_;
    } ticks(r.run, tickTimes);
    EventBus::Subscription followTicks = r.stage().events().subscribe(ticks);

    // Samples at each cue's time see the cue and the effect ticks due with it.
    std::map<int, double> cueTime;
    for (int cue = 0; cue <= 18; ++cue)
        cueTime[cue] = slowCueTime(cue);
    for (const auto& [cue, after] : kConcert)
        cueTime[cue] = after.at;
    for (const auto& [cue, at] : cueTime) {
        r.looks.add(at, [&, cue = cue](double when) {
            const Stage& s = r.stage();
            seen[cue] = {when, s.period(Timer::tmrTime), s.period(Timer::tmrSL),
                         s.period(Timer::tmrBL), cue >= 18 ? screenOf(s) : ""};
        });
    }
    r.run.runToEnd();
    const double end = *PlayerInspector::lastCueAt(r.run) + 3000.0 * 5;
    r.run.runUntil(end);
    followTicks.end();

    // The cue clock ran each cue once, at its time, and the idle ticks that followed counted.
    for (const auto& [cue, at] : cueTime)
        EXPECT_EQ(tickTimes.at(cue), at) << "cue " << cue;
    for (int idle = 46; idle <= 50; ++idle)
        EXPECT_EQ(tickTimes.at(idle), 84000.0 + 3000.0 * (idle - 45)) << "tick " << idle;
    EXPECT_EQ(end, 84000.0 + 3000.0 * 5);
    EXPECT_EQ(PlayerInspector::show(r.run).cueCount(), 51);

    // The slow cues: one every 3000 ms, no light timers yet.
    for (int cue = 0; cue < 18; ++cue) {
        EXPECT_EQ(seen.at(cue), (AfterCue{slowCueTime(cue), 3000, 0, 0, ""})) << "cue " << cue;
    }
    for (const auto& [cue, expected] : kConcert)
        EXPECT_EQ(seen.at(cue), expected) << "cue " << cue;

    // The end card stays, lblTheEnd never shows, and no cue reported an error.
    EXPECT_EQ(screenOf(r.stage()), kConcert.at(45).screen);
    EXPECT_FALSE(r.stage().control(Control::lblTheEnd).visible);
    EXPECT_EQ(r.errors.str(), "");
}

} // namespace
} // namespace q3::test
