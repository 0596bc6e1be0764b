// The rules between the options that steer a run, and the values both fronts read, each with the
// line the command line and the page word for it, written out by hand. The show ends 89000 ms
// after its starting click at 0 ms, 5000 ms after its last cue.

#include "core/option_rules.h"
#include "core/option_values.h"
#include "core/script/show.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace q3 {
namespace {

constexpr OptionFront kLine = OptionFront::CommandLine;
constexpr OptionFront kPage = OptionFront::Page;

struct RuleCase
{
    const char* name;
    RunRequest run;
    OptionFront front;
    std::string expected; // empty: accepted
};

RunRequest pageStill(int atMs)
{
    return {.stillsMs = {atMs}, .onVirtualTime = true, .stillEndsRun = true};
}

RunRequest with(RunRequest run, bool loop, std::optional<int> startMs = std::nullopt)
{
    run.loop = loop;
    run.startMs = startMs;
    return run;
}

const std::vector<RuleCase> kRuleCases = {
    {"StillAfterTheRun",
     {.durationMs = 1000, .stillsMs = {500, 1001}, .onVirtualTime = true},
     kLine,
     "the screenshot at 1001 ms is past the end of the run at 1000 ms"},
    {"StillAtTheRunsEnd",
     {.durationMs = 1000, .stillsMs = {1000}, .onVirtualTime = true},
     kLine,
     ""},
    {"SpeedHeadless",
     {.speedGiven = true, .onVirtualTime = true},
     kLine,
     "--speed works only in the window: headless runs take no time to play"},
    {"SpeedWithAStill",
     {.stillsMs = {1000}, .speedGiven = true, .onVirtualTime = true, .stillEndsRun = true},
     kPage,
     "speed does not work with at: a still takes no time to play"},
    {"SpeedInTheWindow", {.speedGiven = true}, kLine, ""},
    {"LoopRecording",
     {.durationMs = 5000, .loop = true, .onVirtualTime = true, .recording = true},
     kLine,
     "--loop does not work with --record or --subtitles: a recording needs an end"},
    {"LoopHeadlessWithoutEnd",
     {.loop = true, .onVirtualTime = true},
     kLine,
     "--loop needs --duration when headless: a looping show has no end"},
    {"LoopWithADuration", {.durationMs = 5000, .loop = true, .onVirtualTime = true}, kLine, ""},
    {"LoopWithAStillThatEndsTheRun", with(pageStill(1000), true), kPage, ""},
    {"StartAtTheRunsEnd",
     {.startMs = 1000, .durationMs = 1000, .onVirtualTime = true},
     kLine,
     "--start 1000 must be before the end of the run at 1000 ms"},
    {"StartJustBeforeTheRunsEnd",
     {.startMs = 999, .durationMs = 1000, .onVirtualTime = true},
     kLine,
     ""},
    {"ScreenshotBeforeTheStart",
     {.startMs = 1000, .stillsMs = {999}, .onVirtualTime = true},
     kLine,
     "the screenshot at 999 ms is before the start of the run at 1000 ms"},
    {"StillBeforeTheStart", with(pageStill(999), false, 1000), kPage,
     "the still at 999 ms is before the start of the run at 1000 ms"},
    {"StillAtTheStart", with(pageStill(1000), false, 1000), kPage, ""},
    {"StartAtTheShowsEnd",
     {.startMs = 89000},
     kLine,
     "--start 89000 must be before the end of the show at 89000 ms"},
    {"PageStartAtTheShowsEnd",
     {.startMs = 89000},
     kPage,
     "start 89000 must be before the end of the show at 89000 ms"},
    {"StartJustBeforeTheShowsEnd", {.startMs = 88999}, kPage, ""},
    {"ScreenshotPastTheEndWithLoop",
     {.durationMs = 100000, .stillsMs = {89000, 89001}, .loop = true, .onVirtualTime = true},
     kLine,
     "the screenshot at 89001 ms is past the end of the show at 89000 ms, where --loop starts it "
     "again"},
    {"ScreenshotPastTheEndWithoutLoop",
     {.durationMs = 100000, .stillsMs = {89001}, .onVirtualTime = true},
     kLine,
     ""},
    {"StillPastTheEndWithLoop", with(pageStill(2147483647), true), kPage,
     "the still at 2147483647 ms is past the end of the show at 89000 ms, where loop starts it "
     "again"},
    {"StillPastTheEndWithoutLoop", pageStill(98300000), kPage, ""},
    {"StillAtTheEnd", pageStill(89000), kPage, ""},
};

class Rules : public testing::TestWithParam<RuleCase>
{
};

TEST_P(Rules, WordTheFirstProblemForTheFront)
{
    const RuleCase& c = GetParam();
    RunRequest run = c.run;
    run.show = makeQuilletShow(0);
    std::string problem = stillsPastRunProblem(run, c.front);
    if (problem.empty())
        problem = steeringProblem(run, c.front);
    EXPECT_EQ(problem, c.expected);
}

INSTANTIATE_TEST_SUITE_P(Between, Rules, testing::ValuesIn(kRuleCases),
                         [](const testing::TestParamInfo<RuleCase>& row) {
                             return std::string(row.param.name);
                         });

TEST(OptionRules, TheShowEndsAt89000MsWhateverTheSeed)
{
    EXPECT_EQ(showEndMs(makeQuilletShow(0), {}), 89000);
    EXPECT_EQ(showEndMs(makeQuilletShow(7), {}), 89000);
}

struct ValueCase
{
    OptionFront front;
    std::string name; // the option, or "seed", "speed", "switch" for those readers
    std::string text;
    std::string expected; // the problem; empty where the value is read
};

std::string problemOf(const ValueCase& c)
{
    if (c.name == "seed")
        return readSeed(c.front, c.text).problem;
    if (c.name == "speed")
        return readSpeed(c.front, c.text).problem;
    if (c.name == "loop" || c.name == "trace")
        return readSwitch(c.front, c.name, c.text).problem;
    return readMs(c.front, c.name, c.text).problem;
}

const std::string kLong(60000, '7');
const std::string kForty(40, '7');

const std::vector<ValueCase> kValueCases = {
    {kLine, "screenshot", "-1",
     "--screenshot takes a whole number of milliseconds from 0 to 2147483647, not '-1'"},
    {kPage, "at", "-1", "at takes a whole number of milliseconds from 0 to 2147483647, not '-1'"},
    {kPage, "seed", "x", "seed takes a whole number from 0 to 4294967295, not 'x'"},
    {kLine, "seed", "x", "--seed takes a whole number from 0 to 4294967295, not 'x'"},
    {kPage, "speed", "5", "speed takes a number from 0.25 to 4, not '5'"},
    // A long value: the command line quotes it whole, the page its first 40 characters.
    {kLine, "start", kLong,
     "--start takes a whole number of milliseconds from 0 to 2147483647, not '" + kLong + "'"},
    {kPage, "start", kLong,
     "start takes a whole number of milliseconds from 0 to 2147483647, not '" + kForty + "'…"},
    {kPage, "start", kForty + "x",
     "start takes a whole number of milliseconds from 0 to 2147483647, not '" + kForty + "'…"},
    {kPage, "seed", "12345678901234567890123456789012345678901",
     "seed takes a whole number from 0 to 4294967295, not "
     "'1234567890123456789012345678901234567890'…"},
    {kPage, "seed", std::string(40, 'x'),
     "seed takes a whole number from 0 to 4294967295, not '" + std::string(40, 'x') + "'"},
    // Characters are cut whole: 41 two-byte ones keep 40.
    {kPage, "seed",
     [] {
         std::string text;
         for (int i = 0; i < 41; ++i)
             text += "é";
         return text;
     }(),
     [] {
         std::string text = "seed takes a whole number from 0 to 4294967295, not '";
         for (int i = 0; i < 40; ++i)
             text += "é";
         return text + "'…";
     }()},
    // What would turn the line around, hide in it or break it is escaped, byte by byte.
    {kPage, "seed", "1\u202e2",
     "seed takes a whole number from 0 to 4294967295, not '1\\xe2\\x80\\xae2'"},
    {kLine, "seed", "\u2067x\u200b",
     "--seed takes a whole number from 0 to 4294967295, not "
     "'\\xe2\\x81\\xa7x\\xe2\\x80\\x8b'"},
    {kPage, "seed", "a\nb\t\x01\x7f",
     "seed takes a whole number from 0 to 4294967295, not "
     "'a\\nb\\t\\x01\\x7f'"},
    {kPage, "seed", "\u0085\u2028\ufeff",
     "seed takes a whole number from 0 to 4294967295, not "
     "'\\xc2\\x85\\xe2\\x80\\xa8\\xef\\xbb\\xbf'"},
    {kPage, "seed", "\xff\xc3", "seed takes a whole number from 0 to 4294967295, not '\\xff\\xc3'"},
    {kPage, "seed", "é€😀", "seed takes a whole number from 0 to 4294967295, not 'é€😀'"},
    // The switches.
    {kPage, "loop", "", ""},
    {kPage, "loop", "1", ""},
    {kPage, "trace", "TRUE", ""},
    {kPage, "loop", "off", ""},
    {kPage, "loop", "maybe", "loop takes no value, or true or false, not 'maybe'"},
    {kPage, "trace", "2", "trace takes no value, or true or false, not '2'"},
};

class Values : public testing::TestWithParam<ValueCase>
{
};

TEST_P(Values, AreRefusedWithTheLineForTheFront)
{
    EXPECT_EQ(problemOf(GetParam()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Read, Values, testing::ValuesIn(kValueCases),
                         [](const testing::TestParamInfo<ValueCase>& row) {
                             return row.param.name + "_" + std::to_string(row.index);
                         });

TEST(OptionValues, SwitchesReadOnAndOff)
{
    struct Case
    {
        const char* text;
        bool on;
    };
    for (const Case c : {Case{"", true},
                         {"1", true},
                         {"true", true},
                         {"Yes", true},
                         {"ON", true},
                         {"0", false},
                         {"false", false},
                         {"No", false},
                         {"off", false}}) {
        const OptionValue<bool> read = readSwitch(kPage, "loop", c.text);
        EXPECT_TRUE(read) << c.text;
        EXPECT_EQ(read.value, c.on) << c.text;
    }
}

} // namespace
} // namespace q3
