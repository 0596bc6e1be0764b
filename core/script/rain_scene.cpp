// Cues 15 to 17: the rain over the downcast hero, and the break card.
#include "core/script/cues.h"
#include "core/script/hero.h"

namespace q3 {
void cue15(Stage& stage)
{
    // Changing the background repaints the surface: the earlier picture and every sparkle on
    // it go, and the rain, still running, falls on the new picture.
    stage.setBackground(kMorningSky);
    drawSun(stage, 2500, 1500);
    drawHeroHead(stage);
    drawEyeDots(stage);
    drawHandsAndFeet(stage);
    drawDownturnedMouth(stage);
    drawNeck(stage);
    drawEyeLines(stage);
    drawTrousers(stage);
    // The label is visible since cue 13; showing it again changes nothing but is part of
    // the cue.
    stage.setCaption(Control::lblTalk, "I don't believe this. It's rainning.");
    stage.show(Control::lblTalk);
}

void cue16(Stage& stage)
{
    stage.setCaption(Control::lblTalk, "It better stop soon or the concert is gonna be ruin.");
}

void cue17(Stage& stage)
{
    stage.clear();
    // The rain stops before the card is painted, within this tick, so no sparkle lands on it.
    stage.setPeriod(Timer::tmrTime2, 0);
    stage.setBackground(kBlack);
    stage.show(Control::lblContinue);
    stage.hide(Control::lblTalk);
    stage.hide(Control::lblShirt);
    stage.setCaption(Control::lblContinue, "The rain stopped 4 minutes later.");
}

} // namespace q3
