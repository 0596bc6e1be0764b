// Cue 18: the concert stage, its lights and the band.
#include "core/effects/position_tables.h"
#include "core/figures.h"
#include "core/script/band.h"
#include "core/script/cues.h"
#include "core/script/shape_rows.h"

#include <array>

namespace q3 {
namespace {

constexpr Rgb kBackdrop{99, 32, 155};
constexpr Rgb kTowerGrey{210, 210, 210};
constexpr Rgb kCabinet{133, 88, 40};
constexpr Rgb kCabinetPanel{187, 130, 68};

// Fore-colour lines from (x1, y) to (x2, y), every 200 units from `top` down to `bottom`.
void rungs(Stage& stage, Int16 x1, Int16 x2, int top, int bottom)
{
    for (int y = top; y <= bottom; y += 200)
        stage.line({x1, y}, {x2, y});
}

void drawStageSet(Stage& stage)
{
    stage.setFill(kBlack);
    stage.box({0, 7000}, {12000, 8500}, kBlack); // front of the stage
    stage.setFill(kTowerGrey);
    stage.box({9975, 6990}, {11975, 0}, kBlack); // right light tower
    stage.setFill(kTowerGrey);
    stage.box({0, 0}, {2025, 6990}, kBlack); // left light tower
    stage.line({3000, 5750}, {9000, 5750});  // the stage floor: back, left and right edges
    stage.line({3000, 5750}, {2025, 7000});
    stage.line({9000, 5750}, {9975, 7000});
    stage.line({2260, 860}, {2260, 6690}); // scaffold poles, inner then outer
    stage.line({9730, 860}, {9730, 6690});
    stage.line({2150, 860}, {2150, 6860});
    stage.line({9850, 860}, {9850, 6860});
    rungs(stage, 9740, 9990, 5060, 6660); // right scaffold rungs
    stage.line({9850, 6860}, {9990, 6860});
    // Lines 10 units apart, finer than a pixel: together one solid white bar under the screen.
    for (int y = 4650; y >= 4580; y -= 10)
        stage.line({2280, y}, {9730, y}, kWhite);
    rungs(stage, 2040, 9970, 860, 4860);  // bars across the gap between the towers
    rungs(stage, 2040, 2260, 5060, 6660); // left scaffold rungs
    stage.line({2040, 6860}, {2160, 6860});
}

constexpr std::array kCabinetsAndFloorBoxes{
    setFill(kCabinet),
    box(1500, 5960, 2000, 6990), // amplifier cabinets at the feet of the towers
    box(10000, 5960, 10500, 6990),
    line(1500, 6160, 2000, 6160, kBlack), // their top strips
    line(10000, 6160, 10500, 6160, kBlack),
    setFill(kCabinetPanel),
    box(1550, 6210, 1950, 6940), // their front panels
    box(10050, 6210, 10450, 6940),
    setFill(kBlack),
    blackDisc(1600, 6050, 50), // a knob in each top strip
    setFill(kBlack),
    blackDisc(10100, 6050, 50),
    setFill(kCabinet),
    box(3500, 6800, 4000, 7000), // floor boxes on the front edge of the stage
    box(6250, 6700, 5750, 7000),
    box(8000, 6800, 8500, 7000),
};

// White bulbs and lamps, each with its own fill: the disc routine leaves the fill black.
void drawBulbs(Stage& stage, const EffectState& tables)
{
    for (const Int16 y : {kUpperBulbRowY, kLowerBulbRowY}) {
        for (const Int16 x : tables.BulbX) {
            stage.setFill(kWhite);
            DrawBlackDisc(stage, x, y, kBulbRadius);
        }
    }
}

void drawLamps(Stage& stage, const EffectState& tables)
{
    for (const Int16 x : kLampColumnX) {
        for (const Int16 y : tables.LightRowY) {
            stage.setFill(kWhite);
            DrawBlackDisc(stage, x, y, kLampRadius);
        }
    }
}

} // namespace

void cue18(Stage& stage)
{
    stage.clear();
    stage.hide(Control::lblContinue);
    stage.show(Control::lblScreen);
    stage.show(Control::lblBanner);
    stage.setBackground(kBackdrop);
    drawStageSet(stage);
    drawRows(stage, kCabinetsAndFloorBoxes);
    const EffectState tables = positionTables();
    drawBulbs(stage, tables);
    drawLamps(stage, tables);
    drawBand(stage);
    stage.setPeriod(Timer::tmrTime, kCountdownPaceMs);
    stage.setPeriod(Timer::tmrSL, 500);
    // The countdown label takes the screen's place; the screen comes back after the countdown.
    stage.hide(Control::lblScreen);
    stage.show(Control::lblCountDown);
    stage.setCaption(Control::lblCountDown, "5");
    stage.show(Control::imgDuck);
    stage.show(Control::imgDuck2);
}

} // namespace q3
