// Cues 8 to 11: the sun climbs, the hero wakes and speaks.
#include "core/script/cues.h"
#include "core/script/hero.h"

#include <array>

namespace q3 {
namespace {

// Unlike the night frames, the body goes on before the head.
constexpr std::array<HeroPart, 4> kSunriseHero{drawBodyBoxes, drawHeroHead, drawMouthDot,
                                               drawEyeLines};

} // namespace

void cue8(Stage& stage)
{
    stage.hide(Control::lblContinue);
    stage.setBackground(kMorningSky);
    drawClimb(stage, {drawSun, kSunriseHero});
}

void cue9(Stage& stage)
{
    // Setting the background repaints the whole surface, so no clear is needed.
    stage.setBackground(kMorningSky);
    drawSun(stage, 2500, 1500);
    drawBodyBoxes(stage);
    drawHeroHead(stage);
    drawMouthDot(stage);
    drawEyeDots(stage);
    drawEyeLines(stage);
}

void cue10(Stage& stage)
{
    stage.setBackground(kMorningSky);
    drawSun(stage, 2500, 1500);
    drawBodyBoxes(stage);
    drawHeroHead(stage);
    drawEyeDots(stage);
    drawEyeLines(stage);
    drawOpenMouth(stage);
    stage.show(Control::lblTalk);
    stage.setCaption(Control::lblTalk, "Man, I can't wait till the concert starts!");
}

void cue11(Stage& stage)
{
    stage.setCaption(Control::lblTalk, "I better get ready.");
}

} // namespace q3
