// Cues 4 to 11: the hero under the climbing moon, the date card, the climbing sun, the hero
// waking and speaking.
#include "hero_events.h"
#include "pixel_probe.h"
#include "support.h"

#include <algorithm>
#include <array>
#include <utility>

namespace q3::test {
namespace {

constexpr Rgb kNightSky{0, 0, 80};
constexpr Rgb kLateNightSky{0, 0, 240};
constexpr Rgb kMorningSky{170, 200, 255};
constexpr Rgb kMoonInside{255, 255, 235};
constexpr Rgb kSkin{235, 185, 130};
constexpr Rgb kGrey{100, 100, 100};
constexpr Rgb kYellow{255, 255, 0};

// Where the moon, and later the sun, stands in frames 1 to 10.
constexpr std::array<std::pair<int, int>, 10> kClimb{{
    {9250, 9150},
    {8500, 8300},
    {7750, 7450},
    {7000, 6600},
    {6250, 5750},
    {5500, 4900},
    {4750, 4050},
    {4000, 3200},
    {3250, 2350},
    {2500, 1500},
}};

// The time of a frame of the loop of cue 5 or 8: each frame stays 100 ms on screen.
constexpr double frameTime(int cue, int frame)
{
    return slowCueTime(cue) + 100.0 * (frame - 1) + 50;
}

const Events kSleepingHero = concat({kHeroHead, kMouthDot, kBodyBoxes, kEyeLines});

std::vector<Control> visibleControls(const Stage& stage)
{
    std::vector<Control> out;
    for (std::size_t i = 0; i < kControlCount; ++i)
        if (stage.control(controlAt(i)).visible)
            out.push_back(controlAt(i));
    return out;
}

int count(const Events& events, const std::string& line)
{
    return static_cast<int>(std::count(events.begin(), events.end(), line));
}

TEST(NightScenes, CueFourRemovesTheCreditsBeforeDrawingTheHero)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(4));
    EXPECT_TRUE(sameEvents(eventsOfCue(r.recorder.lines, 4),
                           concat({{
                                       R"({"ev":"hide","control":"lblZ"})",
                                       R"({"ev":"hide","control":"lblStarring"})",
                                       R"({"ev":"clear"})",
                                       R"({"ev":"background","rgb":[0,0,80]})",
                                   },
                                   kSleepingHero})));
    EXPECT_EQ(visibleControls(r.stage()), std::vector<Control>{Control::lblWasteTime});
    EXPECT_EQ(r.stage().fill(), kGrey);
}

TEST(NightScenes, CueFiveClimbsTheMoonInTenFramesEachEndingInAPause)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(5));
    const Events cue = eventsOfCue(r.recorder.lines, 5);

    Events expected{R"({"ev":"background","rgb":[0,0,80]})"};
    for (const auto& [x, y] : kClimb)
        expected = concat(
            {expected, {R"({"ev":"clear"})"}, moonAt(x, y), kSleepingHero, {R"({"ev":"pause"})"}});
    EXPECT_TRUE(sameEvents(cue, expected));

    // The first and last frames, written out in full.
    EXPECT_EQ(
        cue.at(3),
        R"({"ev":"circle","c":[9250,9150],"r":750,"rgb":[255,255,245],"fill":[255,255,235]})");
    EXPECT_EQ(count(cue, R"({"ev":"pause"})"), 10);
    EXPECT_EQ(
        count(
            cue,
            R"({"ev":"circle","c":[2500,1500],"r":750,"rgb":[255,255,245],"fill":[255,255,235]})"),
        1);
    EXPECT_EQ(
        cue.at(cue.size() - 1 - kSleepingHero.size() - 2),
        R"({"ev":"circle","c":[2500,1500],"r":750,"rgb":[255,255,245],"fill":[255,255,235]})");

    EXPECT_TRUE(visibleControls(r.stage()).empty());
    EXPECT_EQ(r.stage().fill(), kGrey);
}

TEST(NightScenes, CueFiveShowsEveryFrameOnAClearedSky)
{
    RecordedRun r;
    r.looks.add(frameTime(5, 1), [&](double) {
        const QImage frame = frameOf(r.stage());
        // Only the top of the moon shows above the bottom edge.
        EXPECT_TRUE(colourAt(frame, 9250, 8700, kMoonInside));
        EXPECT_TRUE(colourAt(frame, 9600, 8800, kMoonInside));
        EXPECT_TRUE(colourAt(frame, 2500, 1500, kNightSky));
        EXPECT_TRUE(colourAt(frame, 1500, 4100, kSkin));
    });
    r.looks.add(frameTime(5, 2), [&](double) {
        const QImage frame = frameOf(r.stage());
        // Where the first moon was, the sky is clear again.
        EXPECT_TRUE(colourAt(frame, 9600, 8800, kNightSky));
        EXPECT_TRUE(colourAt(frame, 8500, 8300, kMoonInside));
    });
    r.looks.add(frameTime(5, 10), [&](double) {
        const QImage frame = frameOf(r.stage());
        EXPECT_TRUE(colourAt(frame, 2500, 1500, kMoonInside));
        EXPECT_TRUE(colourAt(frame, 9250, 8700, kNightSky));
        EXPECT_TRUE(colourAt(frame, 8500, 8300, kNightSky));
    });
    r.run.runUntil(slowCueTime(6) - 1);
}

TEST(NightScenes, CueSixIsTheLastFrameOnABrighterSky)
{
    RecordedRun r;
    r.looks.add(slowCueTime(6), [&](double) {
        const QImage frame = frameOf(r.stage());
        EXPECT_TRUE(colourAt(frame, 2500, 1500, kMoonInside));
        EXPECT_TRUE(colourAt(frame, 2500 + 600, 1500, kMoonInside));
        EXPECT_TRUE(colourAt(frame, 2500 + 900, 1500, kLateNightSky));
        EXPECT_TRUE(colourAt(frame, 6000, 6000, kLateNightSky));
        EXPECT_TRUE(colourAt(frame, 1500, 4100, kSkin));
        // The white band between the head and the grey box, and the grey box below it.
        EXPECT_TRUE(colourAt(frame, 1500, 5350, kWhite));
        EXPECT_TRUE(colourAt(frame, 1500, 6500, kGrey));
    });
    r.run.runUntil(slowCueTime(6));
    EXPECT_TRUE(sameEvents(eventsOfCue(r.recorder.lines, 6),
                           concat({{
                                       R"({"ev":"clear"})",
                                       R"({"ev":"background","rgb":[0,0,240]})",
                                   },
                                   moonAt(2500, 1500),
                                   kSleepingHero})));
}

TEST(NightScenes, CueSevenShowsTheDateCardBeforeCaptioningIt)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(7));
    EXPECT_TRUE(
        sameEvents(eventsOfCue(r.recorder.lines, 7),
                   {
                       R"({"ev":"clear"})",
                       R"({"ev":"background","rgb":[0,0,0]})",
                       R"({"ev":"show","control":"lblContinue"})",
                       R"({"ev":"caption","control":"lblContinue","text":"October 11, 2001"})",
                   }));
    EXPECT_EQ(visibleControls(r.stage()), std::vector<Control>{Control::lblContinue});
    EXPECT_EQ(r.stage().displayList().liveCount(), 0U);
    EXPECT_EQ(r.stage().fill(), kGrey);
}

TEST(MorningScenes, CueEightClimbsTheSunWithTheBodyDrawnBeforeTheHead)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(8));
    const Events cue = eventsOfCue(r.recorder.lines, 8);

    Events expected{
        R"({"ev":"hide","control":"lblContinue"})",
        R"({"ev":"background","rgb":[170,200,255]})",
    };
    for (const auto& [x, y] : kClimb)
        expected = concat({expected,
                           {R"({"ev":"clear"})"},
                           sunAt(x, y),
                           kBodyBoxes,
                           kHeroHead,
                           kMouthDot,
                           kEyeLines,
                           {R"({"ev":"pause"})"}});
    EXPECT_TRUE(sameEvents(cue, expected));
    EXPECT_EQ(cue.at(4),
              R"({"ev":"circle","c":[9250,9150],"r":750,"rgb":[255,255,245],"fill":[255,255,0]})");
    EXPECT_EQ(cue.at(6), R"({"ev":"line","p1":[9250,9150],"p2":[10250,10150],"rgb":[255,255,0]})");
    EXPECT_EQ(count(cue, R"({"ev":"pause"})"), 10);
    // The last frame is the resting sun.
    const Events lastFrame(cue.end() - 1 -
                               static_cast<std::ptrdiff_t>(kSunAtRest.size() + kBodyBoxes.size() +
                                                           kHeroHead.size() + kMouthDot.size() +
                                                           kEyeLines.size()),
                           cue.end() - 1);
    EXPECT_TRUE(
        sameEvents(lastFrame, concat({kSunAtRest, kBodyBoxes, kHeroHead, kMouthDot, kEyeLines})));

    EXPECT_TRUE(visibleControls(r.stage()).empty());
    EXPECT_EQ(r.stage().fill(), kBlack);
}

TEST(MorningScenes, TheSunRisesOnScreenWithItsRays)
{
    RecordedRun r;
    r.looks.add(frameTime(8, 1), [&](double) {
        const QImage frame = frameOf(r.stage());
        EXPECT_TRUE(colourAt(frame, 9250, 8700, kYellow));
        // The upward ray shows above the disc.
        EXPECT_TRUE(strokeNear(frame, 9250, 8000, kYellow, kMorningSky));
        EXPECT_TRUE(colourAt(frame, 9250, 7600, kMorningSky));
        EXPECT_TRUE(colourAt(frame, 2500, 1500, kMorningSky));
    });
    r.looks.add(frameTime(8, 10), [&](double) {
        const QImage frame = frameOf(r.stage());
        EXPECT_TRUE(colourAt(frame, 2700, 1700, kYellow));
        EXPECT_TRUE(colourAt(frame, 9250, 8700, kMorningSky));
    });
    r.looks.add(slowCueTime(9), [&](double) {
        const QImage frame = frameOf(r.stage());
        EXPECT_TRUE(colourAt(frame, 2700, 1700, kYellow));
        // Rays beyond the rim: straight ones to 1400 units, diagonal ones to 1000 each way.
        EXPECT_TRUE(strokeNear(frame, 3700, 1500, kYellow, kMorningSky));
        EXPECT_TRUE(strokeNear(frame, 1300, 1500, kYellow, kMorningSky));
        EXPECT_TRUE(strokeNear(frame, 2500, 2700, kYellow, kMorningSky));
        EXPECT_TRUE(strokeNear(frame, 2500, 300, kYellow, kMorningSky));
        EXPECT_TRUE(strokeNear(frame, 3400, 2400, kYellow, kMorningSky));
        EXPECT_TRUE(strokeNear(frame, 1600, 600, kYellow, kMorningSky));
        EXPECT_TRUE(colourAt(frame, 3300, 1800, kMorningSky));
        EXPECT_TRUE(colourAt(frame, 4200, 1500, kMorningSky));
        EXPECT_TRUE(colourAt(frame, 1500, 4100, kSkin));
    });
    r.run.runUntil(slowCueTime(9));
}

TEST(MorningScenes, CueNineOpensTheEyesWithoutClearing)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(9));
    EXPECT_TRUE(sameEvents(eventsOfCue(r.recorder.lines, 9),
                           concat({{R"({"ev":"background","rgb":[170,200,255]})"},
                                   kSunAtRest,
                                   kBodyBoxes,
                                   kHeroHead,
                                   kMouthDot,
                                   kEyeDots,
                                   kEyeLines})));
    EXPECT_EQ(r.stage().fill(), kBlack);
}

TEST(MorningScenes, CueTenOpensTheMouthAndShowsTheSpeechBeforeItsText)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(10));
    EXPECT_TRUE(sameEvents(
        eventsOfCue(r.recorder.lines, 10),
        concat(
            {{R"({"ev":"background","rgb":[170,200,255]})"},
             kSunAtRest,
             kBodyBoxes,
             kHeroHead,
             kEyeDots,
             kEyeLines,
             kOpenMouth,
             {
                 R"({"ev":"show","control":"lblTalk"})",
                 R"({"ev":"caption","control":"lblTalk","text":"Man, I can't wait till the concert starts!"})",
             }})));
    EXPECT_EQ(r.stage().fill(), kBlack);
}

TEST(MorningScenes, CueElevenChangesOnlyTheLine)
{
    RecordedRun r;
    r.run.runUntil(slowCueTime(10));
    const std::uint64_t lastShape = r.stage().displayList().lastSeq();
    r.run.runUntil(slowCueTime(11));
    EXPECT_TRUE(
        sameEvents(eventsOfCue(r.recorder.lines, 11),
                   {R"({"ev":"caption","control":"lblTalk","text":"I better get ready."})"}));
    EXPECT_EQ(r.stage().displayList().lastSeq(), lastShape);
    EXPECT_EQ(visibleControls(r.stage()), std::vector<Control>{Control::lblTalk});
    EXPECT_EQ(r.stage().control(Control::lblTalk).caption, "I better get ready.");
}

} // namespace
} // namespace q3::test
