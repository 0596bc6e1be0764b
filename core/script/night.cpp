// Cues 4 to 7: the hero under the climbing moon, and the date card.
#include "core/script/cues.h"
#include "core/script/hero.h"

#include <array>

namespace q3 {
namespace {

constexpr Rgb kNightSky{0, 0, 80};
constexpr Rgb kLateNightSky{0, 0, 240};

// The moon goes first so the hero stands in front of it.
constexpr std::array<HeroPart, 4> kMoonriseHero{drawHeroHead, drawMouthDot, drawBodyBoxes,
                                                drawEyeLines};

} // namespace

void cue4(Stage& stage)
{
    // The credits go before the picture is drawn.
    stage.hide(Control::lblZ);
    stage.hide(Control::lblStarring);
    stage.clear();
    stage.setBackground(kNightSky);
    drawHeroHead(stage);
    drawMouthDot(stage);
    drawBodyBoxes(stage);
    drawEyeLines(stage);
}

void cue5(Stage& stage)
{
    // No clear here: every frame starts with one.
    stage.setBackground(kNightSky);
    drawClimb(stage, {drawMoon, kMoonriseHero});
}

void cue6(Stage& stage)
{
    stage.clear();
    stage.setBackground(kLateNightSky);
    drawMoon(stage, 2500, 1500);
    drawHeroHead(stage);
    drawMouthDot(stage);
    drawBodyBoxes(stage);
    drawEyeLines(stage);
}

void cue7(Stage& stage)
{
    stage.clear();
    stage.setBackground(kBlack);
    stage.show(Control::lblContinue);
    stage.setCaption(Control::lblContinue, "October 11, 2001");
}

} // namespace q3
