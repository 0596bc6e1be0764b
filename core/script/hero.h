#pragma once
// The shape groups of the daytime and night scenes: the moon, the sun and the hero in his
// parts. Each group sets the fill colour it paints with before every box and disc, even where
// that colour is already in force, so no group depends on what was drawn before it; the fill
// it leaves is noted with each group, because the next shape of whoever draws next takes it.

#include "core/int16.h"
#include "core/stage.h"

#include <span>

namespace q3 {

// The sky of the daytime scenes, behind the sun.
inline constexpr Rgb kMorningSky{170, 200, 255};

// An ivory disc of radius 750 centred at (x, y). Leaves the fill ivory.
void drawMoon(Stage& stage, Int16 x, Int16 y);
// A yellow disc of radius 750 with an ivory rim and eight yellow rays from its centre. The ray
// ends are 16-bit sums of the centre. Leaves the fill ivory.
void drawSun(Stage& stage, Int16 x, Int16 y);

// The hero in his night shirt: head, mouth dot, body boxes, eye lines.
void drawHeroHead(Stage& stage);  // leaves the fill skin-coloured
void drawMouthDot(Stage& stage);  // leaves the fill black
void drawBodyBoxes(Stage& stage); // white band over a grey box; leaves the fill grey
void drawEyeLines(Stage& stage);  // closed eyes

// The hero awake.
void drawEyeDots(Stage& stage);   // leaves the fill black
void drawOpenMouth(Stage& stage); // a triangle hanging from the mouth line

// The hero dressed for the concert, in the order the picture is built. Lines are drawn in an
// explicit black, never in the fore colour.
void drawHandsAndFeet(Stage& stage); // leaves the fill black
void drawMouthLine(Stage& stage);
void drawNeck(Stage& stage);
void drawArms(Stage& stage);
void drawDownturnedMouth(Stage& stage);
void drawTrousers(Stage& stage); // belt, buckle, seam, fly and pockets; leaves the fill blue

// The climbing moon or sun: ten frames, each cleared, with the body 750 left and 850 up from the
// frame before (from 10000, 10000), drawn first, then the hero's parts in the scene's order, and a
// busy pause after each.
using HeroPart = void (*)(Stage&);
struct Climb
{
    void (*body)(Stage&, Int16 x, Int16 y);
    std::span<const HeroPart> heroParts;
};
void drawClimb(Stage& stage, const Climb& climb);

} // namespace q3
