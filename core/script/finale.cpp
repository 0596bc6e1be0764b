// Cues 19 to 45: the countdown, the introductions and the ending. They draw nothing: the
// concert picture stays, and everything happens on the labels of the screen and the timers.
#include "core/script/cues.h"

#include <array>
#include <string_view>

namespace q3 {
namespace {

// The two countdown labels differ in colour; swapping them every tick makes the digit flash.
struct CountdownStep
{
    Control hide;
    Control show;
    std::string_view digit;
};

// Cues 19 to 37. With the "5" that cue 18 puts up, each digit stays for four ticks.
constexpr std::array<CountdownStep, kCountdownSteps> kCountdown{{
    {Control::lblCountDown, Control::lblCountDown2, "5"}, // 19
    {Control::lblCountDown2, Control::lblCountDown, "5"}, // 20
    {Control::lblCountDown, Control::lblCountDown2, "5"}, // 21
    {Control::lblCountDown2, Control::lblCountDown, "4"}, // 22
    {Control::lblCountDown, Control::lblCountDown2, "4"}, // 23
    {Control::lblCountDown2, Control::lblCountDown, "4"}, // 24
    {Control::lblCountDown, Control::lblCountDown2, "4"}, // 25
    {Control::lblCountDown2, Control::lblCountDown, "3"}, // 26
    {Control::lblCountDown, Control::lblCountDown2, "3"}, // 27
    {Control::lblCountDown2, Control::lblCountDown, "3"}, // 28
    {Control::lblCountDown, Control::lblCountDown2, "3"}, // 29
    {Control::lblCountDown2, Control::lblCountDown, "2"}, // 30
    {Control::lblCountDown, Control::lblCountDown2, "2"}, // 31
    {Control::lblCountDown2, Control::lblCountDown, "2"}, // 32
    {Control::lblCountDown, Control::lblCountDown2, "2"}, // 33
    {Control::lblCountDown2, Control::lblCountDown, "1"}, // 34
    {Control::lblCountDown, Control::lblCountDown2, "1"}, // 35
    {Control::lblCountDown2, Control::lblCountDown, "1"}, // 36
    {Control::lblCountDown, Control::lblCountDown2, "1"}, // 37
}};

struct Introduction
{
    std::string_view caption;
    Rgb screen;
};

// Cues 39 to 43. The runs of spaces set the name apart from the role on the screen.
constexpr std::array<Introduction, kIntroductions> kIntroductionRows{{
    {"Guitar:              ZENIPPA", {0, 0, 255}},   // 39
    {"Guitar:              BOLVEK", {255, 0, 0}},    // 40
    {"Bass:                 QUMO", {255, 255, 120}}, // 41
    {"Vocal:               DAXI", {0, 255, 0}},      // 42
    {"They are...", {255, 150, 0}},                  // 43
}};

} // namespace

void countdownCue(Stage& stage, int step)
{
    const CountdownStep& row = kCountdown.at(static_cast<std::size_t>(step));
    stage.hide(row.hide);
    stage.show(row.show);
    stage.setCaption(row.show, row.digit);
}

void cue38(Stage& stage)
{
    // First, so that the question stays up for a full slow tick.
    stage.setPeriod(Timer::tmrTime, kCuePaceMs);
    stage.hide(Control::lblCountDown2);
    stage.show(Control::lblScreen);
    stage.setCaption(Control::lblScreen, "Are you ready?");
}

void introductionCue(Stage& stage, int row)
{
    // The light columns start with the first introduction.
    if (row == 0)
        stage.setPeriod(Timer::tmrBL, 250);
    const Introduction& introduction = kIntroductionRows.at(static_cast<std::size_t>(row));
    stage.setCaption(Control::lblScreen, introduction.caption);
    stage.setBackColor(Control::lblScreen, introduction.screen);
}

void cue44(Stage& stage)
{
    // The band name on the orange screen of the cue before.
    stage.setFontSize(Control::lblScreen, 160);
    stage.setCaption(Control::lblScreen, "VREL");
}

void cue45(Stage& stage)
{
    stage.setBackColor(Control::lblScreen, {255, 255, 0});
    stage.setFontSize(Control::lblScreen, 72);
    stage.setCaption(Control::lblScreen, "        THE         END");
}

} // namespace q3
