// Cues 12 to 14: the hero dressed for the concert, his line, and the rain starting.
#include "core/script/cues.h"
#include "core/script/hero.h"

namespace q3 {
void cue12(Stage& stage)
{
    stage.clear();
    // No speech until the hero opens his mouth in the next cue.
    stage.hide(Control::lblTalk);
    stage.show(Control::lblShirt);
    stage.setBackground(kMorningSky);
    drawSun(stage, 2500, 1500);
    drawHeroHead(stage);
    drawEyeDots(stage);
    drawHandsAndFeet(stage);
    drawMouthLine(stage);
    drawNeck(stage);
    drawArms(stage);
    drawEyeLines(stage);
    drawTrousers(stage);
}

void cue13(Stage& stage)
{
    // Shown first: for the rest of this step the label still holds the line of cue 11.
    stage.show(Control::lblTalk);
    stage.setCaption(Control::lblTalk, "This concert is gonna ROCK!");
    drawOpenMouth(stage);
}

void cue14(Stage& stage)
{
    // The first sparkle falls only after this tick has returned.
    stage.setPeriod(Timer::tmrTime2, 1);
}

} // namespace q3
