#include "core/figures.h"

namespace q3 {
namespace {

void drawDisc(Stage& stage, Int16 x, Int16 y, Int16 radius, Rgb colour)
{
    stage.circle({x, y}, radius, colour);
    stage.setFill(colour);
}

} // namespace

void DrawBlackDisc(Stage& stage, Int16 x, Int16 y, Int16 radius)
{
    drawDisc(stage, x, y, radius, kBlack);
}

void DrawIvoryDisc(Stage& stage, Int16 x, Int16 y, Int16 radius)
{
    drawDisc(stage, x, y, radius, kIvory);
}

void DrawSkinDisc(Stage& stage, Int16 x, Int16 y, Int16 radius)
{
    drawDisc(stage, x, y, radius, kSkin);
}

void DrawSparkle(Stage& stage, Int16 x, Int16 y)
{
    const Int16 y2 = y + 20;
    const Int16 x2 = x + 20;
    stage.line({x, y}, {x2, y2}, kWhite);
    stage.setFill(kWhite);
}

} // namespace q3
