#include "core/script/hero.h"

#include "core/figures.h"

#include <array>

namespace q3 {
namespace {

constexpr Rgb kMoonGlow{255, 255, 235};
constexpr Rgb kSunYellow{255, 255, 0};
constexpr Rgb kShirtGrey{100, 100, 100};
constexpr Rgb kTrouserBlue{0, 0, 255};
constexpr Int16 kSkyDiscRadius = 750;

// A vertical stroke of the belt band: from (x, 6500) down to (x, bottom).
struct BeltStroke
{
    int x;
    int bottom;
};

// Belt loops at the ends, the buckle as a run of close strokes in the middle; the seam between
// the legs (1500) and the fly (1540) run on below the band.
constexpr std::array<BeltStroke, 16> kBeltStrokes{{
    {1280, 6600},
    {1330, 6600},
    {1460, 6600},
    {1470, 6600},
    {1480, 6600},
    {1490, 6600},
    {1500, 7625},
    {1510, 6600},
    {1520, 6600},
    {1530, 6600},
    {1540, 6850},
    {1550, 6600},
    {1560, 6600},
    {1570, 6600},
    {1700, 6600},
    {1750, 6600},
}};

} // namespace

void drawMoon(Stage& stage, Int16 x, Int16 y)
{
    // The disc routine outlines in ivory but fills with what is in force: a slightly warmer
    // white, so the moon shows a faint rim.
    stage.setFill(kMoonGlow);
    DrawIvoryDisc(stage, x, y, kSkyDiscRadius);
}

void drawSun(Stage& stage, Int16 x, Int16 y)
{
    stage.setFill(kSunYellow);
    DrawIvoryDisc(stage, x, y, kSkyDiscRadius);
    // The rays start at the centre: inside the disc they vanish in the yellow, outside they
    // cross the rim.
    stage.line({x, y}, {x + 1000, y + 1000}, kSunYellow);
    stage.line({x, y}, {x + 1400, y}, kSunYellow);
    stage.line({x, y}, {x, y + 1400}, kSunYellow);
    stage.line({x, y}, {x - 1000, y - 1000}, kSunYellow);
    stage.line({x, y}, {x - 1400, y}, kSunYellow);
    stage.line({x, y}, {x, y - 1400}, kSunYellow);
    stage.line({x, y}, {x - 1000, y + 1000}, kSunYellow);
    stage.line({x, y}, {x + 1000, y - 1000}, kSunYellow);
}

void drawHeroHead(Stage& stage)
{
    stage.setFill(kSkin);
    DrawSkinDisc(stage, 1500, 4500, 600);
}

void drawMouthDot(Stage& stage)
{
    stage.setFill(kBlack);
    DrawBlackDisc(stage, 1500, 4800, 50);
}

void drawBodyBoxes(Stage& stage)
{
    // The grey box overlaps the lowest 20 units of the white one.
    stage.setFill(kWhite);
    stage.box({500, 5120}, {2500, 5620}, kBlack);
    stage.setFill(kShirtGrey);
    stage.box({500, 5600}, {2500, 7100}, kBlack);
}

void drawEyeLines(Stage& stage)
{
    stage.line({1200, 4300}, {1400, 4300}, kBlack);
    stage.line({1600, 4300}, {1800, 4300}, kBlack);
}

void drawEyeDots(Stage& stage)
{
    stage.setFill(kBlack);
    DrawBlackDisc(stage, 1290, 4370, 30);
    stage.setFill(kBlack);
    DrawBlackDisc(stage, 1690, 4370, 30);
}

void drawOpenMouth(Stage& stage)
{
    drawMouthLine(stage);
    stage.line({1400, 4750}, {1520, 4870}, kBlack);
    stage.line({1600, 4750}, {1480, 4870}, kBlack);
}

void drawHandsAndFeet(Stage& stage)
{
    stage.setFill(kBlack);
    DrawBlackDisc(stage, 2250, 6000, 100);
    stage.setFill(kBlack);
    DrawBlackDisc(stage, 740, 6000, 100);
    stage.setFill(kBlack);
    DrawBlackDisc(stage, 1315, 7780, 150);
    stage.setFill(kBlack);
    DrawBlackDisc(stage, 1675, 7780, 150);
}

void drawMouthLine(Stage& stage)
{
    stage.line({1400, 4750}, {1600, 4750}, kBlack);
}

void drawNeck(Stage& stage)
{
    stage.line({1500, 5120}, {1500, 5290}, kBlack);
}

void drawArms(Stage& stage)
{
    stage.line({2250, 6000}, {1850, 5300}, kBlack);
    stage.line({740, 6000}, {1150, 5300}, kBlack);
}

void drawDownturnedMouth(Stage& stage)
{
    // Two strokes rising from the mouth's corners, crossing at (1500, 4650): an inverted V.
    stage.line({1400, 4750}, {1520, 4630}, kBlack);
    stage.line({1600, 4750}, {1480, 4630}, kBlack);
}

void drawTrousers(Stage& stage)
{
    stage.setFill(kTrouserBlue);
    stage.box({1135, 6500}, {1865, 7600}, kBlack);
    // The belt band's lower edge starts inside the trousers and ends beyond them.
    stage.line({1150, 6600}, {1880, 6600}, kBlack);
    for (const BeltStroke& stroke : kBeltStrokes)
        stage.line({stroke.x, 6500}, {stroke.x, stroke.bottom}, kBlack);
    stage.line({1500, 6840}, {1540, 6840}, kBlack);
    stage.line({1135, 6800}, {1285, 6800}, kBlack);
    stage.line({1860, 6800}, {1710, 6800}, kBlack);
    stage.line({1285, 6800}, {1285, 6600}, kBlack);
    stage.line({1710, 6800}, {1710, 6600}, kBlack);
}

void drawClimb(Stage& stage, const Climb& climb)
{
    Int16 x = 10000;
    Int16 y = 10000;
    Int16 frame = 0;
    while (frame < 10) {
        frame += 1;
        stage.clear();
        x -= 750;
        y -= 850;
        climb.body(stage, x, y);
        for (const auto draw : climb.heroParts)
            draw(stage);
        stage.busyPause();
    }
}

} // namespace q3
