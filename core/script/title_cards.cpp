// Cues 0 to 3: the black stage, the title card, the "Starring" card and the hero's name.
#include "core/script/cues.h"

namespace q3 {

void cue0(Stage& stage)
{
    stage.hide(Control::lblOpening);
    stage.maximise();
    stage.setBackground(kBlack);
}

void cue1(Stage& stage)
{
    // Shown first, then captioned: the label carries no caption of its own.
    stage.show(Control::lblTitle);
    stage.setCaption(Control::lblTitle, "ZEVRANOVA");
}

void cue2(Stage& stage)
{
    stage.hide(Control::lblTitle);
    stage.show(Control::lblStarring);
}

void cue3(Stage& stage)
{
    stage.show(Control::lblZ);
}

} // namespace q3
