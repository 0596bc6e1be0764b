// Cues 19 to 45: the countdown, the introductions and the end card, on the labels of the screen.
#include "support.h"

#include <array>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace q3::test {
namespace {

// Cue 18 runs at 57000; the countdown cues follow every 300 ms.
constexpr double countdownCueTime(int cue)
{
    return 57000.0 + 300.0 * (cue - 18);
}
constexpr double finaleCueTime(int cue)
{
    return 63000.0 + 3000.0 * (cue - 38);
}

std::string showEvent(std::string_view control)
{
    return R"({"ev":"show","control":")" + std::string(control) + R"("})";
}
std::string hideEvent(std::string_view control)
{
    return R"({"ev":"hide","control":")" + std::string(control) + R"("})";
}
std::string captionEvent(std::string_view control, std::string_view text)
{
    return R"({"ev":"caption","control":")" + std::string(control) + R"(","text":")" +
           std::string(text) + R"("})";
}

struct CountdownRow
{
    int cue;
    std::string_view hide;
    std::string_view show;
    std::string_view digit;
};

constexpr std::array<CountdownRow, 19> kCountdown{{
    {19, "lblCountDown", "lblCountDown2", "5"}, {20, "lblCountDown2", "lblCountDown", "5"},
    {21, "lblCountDown", "lblCountDown2", "5"}, {22, "lblCountDown2", "lblCountDown", "4"},
    {23, "lblCountDown", "lblCountDown2", "4"}, {24, "lblCountDown2", "lblCountDown", "4"},
    {25, "lblCountDown", "lblCountDown2", "4"}, {26, "lblCountDown2", "lblCountDown", "3"},
    {27, "lblCountDown", "lblCountDown2", "3"}, {28, "lblCountDown2", "lblCountDown", "3"},
    {29, "lblCountDown", "lblCountDown2", "3"}, {30, "lblCountDown2", "lblCountDown", "2"},
    {31, "lblCountDown", "lblCountDown2", "2"}, {32, "lblCountDown2", "lblCountDown", "2"},
    {33, "lblCountDown", "lblCountDown2", "2"}, {34, "lblCountDown2", "lblCountDown", "1"},
    {35, "lblCountDown", "lblCountDown2", "1"}, {36, "lblCountDown2", "lblCountDown", "1"},
    {37, "lblCountDown", "lblCountDown2", "1"},
}};

TEST(Countdown, EachCueHidesOneLabelShowsTheOtherThenWritesTheDigit)
{
    RecordedRun r;
    r.run.runUntil(countdownCueTime(37));
    for (const CountdownRow& row : kCountdown)
        EXPECT_TRUE(sameEvents(
            eventsOfCue(r.recorder.lines, row.cue),
            {hideEvent(row.hide), showEvent(row.show), captionEvent(row.show, row.digit)}))
            << "cue " << row.cue;
}

TEST(Countdown, AClickSlowsTheRemainingCountdownToTheSlowPace)
{
    RecordedRun r;
    std::map<int, double> cueTimes;
    struct TickTimes final : StageListener
    {
        TickTimes(Player& run, std::map<int, double>& times) : run_(run), times_(times) {}
        void onEvent(const Event& e) override
        {
            if (e.kind == EventKind::Tick && e.timer == Timer::tmrTime)
                times_[e.cue] = run_.clock().now();
        }
        Player& run_;
        std::map<int, double>& times_;
    } ticks(r.run, cueTimes);
    EventBus::Subscription followTicks = r.stage().events().subscribe(ticks);

    // Between cue 28 (at 60000) and cue 29 (due at 60300).
    r.run.addClick(60100);
    r.run.runUntil(100000);
    followTicks.end();

    EXPECT_EQ(cueTimes.at(28), 60000);
    EXPECT_EQ(cueTimes.at(29), 63100);
    EXPECT_EQ(cueTimes.at(30), 66100);
    // Cue 38 asks for the period the click already set: the pace stays as it is.
    EXPECT_EQ(cueTimes.at(38), 90100);
    EXPECT_EQ(cueTimes.at(39), 93100);
    // The content is unchanged by the slower pace.
    EXPECT_TRUE(sameEvents(eventsOfCue(r.recorder.lines, 29),
                           {hideEvent("lblCountDown"), showEvent("lblCountDown2"),
                            captionEvent("lblCountDown2", "3")}));
}

// What each cue of the finale writes, line by line.
struct FinaleRow
{
    int cue;
    std::vector<std::string> lines;
};

const std::vector<FinaleRow>& finaleRows()
{
    // Role and name stand 14, 14, 17 and 15 spaces apart; the end card's words 8 and 9.
    static const std::vector<FinaleRow> rows{
        {38,
         {R"({"ev":"period","timer":"tmrTime","ms":3000})",
          R"({"ev":"hide","control":"lblCountDown2"})", R"({"ev":"show","control":"lblScreen"})",
          R"({"ev":"caption","control":"lblScreen","text":"Are you ready?"})"}},
        {39,
         {R"({"ev":"period","timer":"tmrBL","ms":250})",
          R"({"ev":"caption","control":"lblScreen","text":"Guitar:              ZENIPPA"})",
          R"({"ev":"backcolor","control":"lblScreen","rgb":[0,0,255]})"}},
        {40,
         {R"({"ev":"caption","control":"lblScreen","text":"Guitar:              BOLVEK"})",
          R"({"ev":"backcolor","control":"lblScreen","rgb":[255,0,0]})"}},
        {41,
         {R"({"ev":"caption","control":"lblScreen","text":"Bass:                 QUMO"})",
          R"({"ev":"backcolor","control":"lblScreen","rgb":[255,255,120]})"}},
        {42,
         {R"({"ev":"caption","control":"lblScreen","text":"Vocal:               DAXI"})",
          R"({"ev":"backcolor","control":"lblScreen","rgb":[0,255,0]})"}},
        {43,
         {R"({"ev":"caption","control":"lblScreen","text":"They are..."})",
          R"({"ev":"backcolor","control":"lblScreen","rgb":[255,150,0]})"}},
        {44,
         {R"({"ev":"fontsize","control":"lblScreen","pt":160})",
          R"({"ev":"caption","control":"lblScreen","text":"VREL"})"}},
        {45,
         {R"({"ev":"backcolor","control":"lblScreen","rgb":[255,255,0]})",
          R"({"ev":"fontsize","control":"lblScreen","pt":72})",
          R"({"ev":"caption","control":"lblScreen","text":"        THE         END"})"}},
    };
    return rows;
}

// "Are you ready?" after the countdown, at the slow pace; the introductions with their screen
// colours; the band's name; the end card.
TEST(Finale, EachCueWritesItsLines)
{
    RecordedRun r;
    r.run.runUntil(finaleCueTime(45));
    for (const FinaleRow& row : finaleRows())
        EXPECT_TRUE(sameEvents(eventsOfCue(r.recorder.lines, row.cue), row.lines))
            << "cue " << row.cue;
}

TEST(Finale, BandNameOnTheOrangeScreenThenTheEndCard)
{
    RecordedRun r;
    r.run.runUntil(finaleCueTime(44));
    const ControlState& screen = r.stage().control(Control::lblScreen);
    EXPECT_EQ(screen.backColor, (Rgb{255, 150, 0}));
    EXPECT_EQ(screen.pointSize, 160);

    r.run.runUntil(finaleCueTime(45));
    EXPECT_EQ(screen.backColor, (Rgb{255, 255, 0}));
    EXPECT_EQ(screen.pointSize, 72);
    EXPECT_EQ(screen.caption, std::string(8, ' ') + "THE" + std::string(9, ' ') + "END");
    EXPECT_FALSE(r.stage().control(Control::lblTheEnd).visible);
}

TEST(Finale, AfterTheEndCardOnlyTheLightsMove)
{
    RecordedRun r;
    r.run.runUntil(finaleCueTime(45));
    const auto controlsAtTheEnd = [&] {
        std::array<ControlState, kControlCount> states;
        for (std::size_t i = 0; i < kControlCount; ++i)
            states.at(i) = r.stage().control(controlAt(i));
        return states;
    };
    const auto before = controlsAtTheEnd();
    r.recorder.clear();
    r.run.runUntil(finaleCueTime(45) + 30000);

    EXPECT_EQ(controlsAtTheEnd(), before);
    EXPECT_EQ(r.stage().period(Timer::tmrTime), 3000);
    EXPECT_EQ(r.stage().period(Timer::tmrSL), 500);
    EXPECT_EQ(r.stage().period(Timer::tmrBL), 250);
    int bulbTicks = 0;
    int lampTicks = 0;
    int discs = 0;
    for (const std::string& line : r.recorder.lines) {
        bulbTicks += line == R"({"ev":"tick","timer":"tmrSL"})";
        lampTicks += line == R"({"ev":"tick","timer":"tmrBL"})";
        discs += line.starts_with(R"({"ev":"circle")");
    }
    EXPECT_EQ(bulbTicks, 60);
    EXPECT_EQ(lampTicks, 120);
    // Every bulb tick repaints 100 bulbs and every lamp tick 300 lamps.
    EXPECT_EQ(discs, 60 * 100 + 120 * 300);
    for (int cue = 46; cue < 56; ++cue)
        EXPECT_TRUE(eventsOfCue(r.recorder.lines, cue).empty()) << "cue " << cue;
}

} // namespace
} // namespace q3::test
