// The band on the concert stage: six stick figures with their instruments.
#include "core/script/band.h"

#include "core/script/shape_rows.h"

#include <array>

namespace q3 {
namespace {

constexpr Rgb kDrumstick{196, 153, 70};
constexpr Rgb kCymbal{234, 195, 28};
constexpr Rgb kBassDrum{100, 97, 85};
constexpr Rgb kTom{188, 174, 146};
constexpr Rgb kSpeaker{90, 103, 151};
constexpr Rgb kKeyboard{56, 72, 128};
constexpr Rgb kMicrophone{0, 255, 0};
constexpr Rgb kBlueGuitarHead{100, 100, 255};
constexpr Rgb kBlueGuitar{0, 0, 255};
constexpr Rgb kPaleGuitar{255, 255, 120};
constexpr Rgb kRedGuitar{255, 0, 0};
constexpr Rgb kRedGuitarHead{255, 0, 100};

// Every disc is given its fill just before it, even where the colour is already in force:
// the black disc routine leaves the fill black behind it.

constexpr std::array kDrummer{
    setFill(kBlack),
    blackDisc(6000, 5050, 100), // head
    line(6000, 5000, 6000, 5500),
    line(6000, 5175, 6150, 5200), // right arm
    line(6150, 5200, 6300, 5150),
    line(6300, 5200, 6200, 4950, kDrumstick),
    line(6000, 5175, 5850, 5150), // left arm
    line(5850, 5150, 5700, 5000),
    line(5700, 5050, 5950, 4900, kDrumstick),
    line(6475, 5250, 6475, 5750), // stand of the small cymbal
    line(6475, 5600, 6375, 5750),
    line(6475, 5600, 6575, 5750),
    setFill(kCymbal),
    blackDisc(6475, 5250, 75), // small cymbal
    setFill(kBassDrum),
    blackDisc(6000, 5500, 250), // bass drum, over the drummer's lower body
    setFill(kWhite),
    blackDisc(6000, 5500, 175), // its head
    setFill(kTom),
    blackDisc(6250, 5300, 75), // four toms
    setFill(kTom),
    blackDisc(6400, 5300, 75),
    setFill(kTom),
    blackDisc(5750, 5300, 75),
    setFill(kTom),
    blackDisc(5600, 5300, 75),
    setFill(kCymbal),
    blackDisc(5575, 5100, 100), // left cymbal on its boom and stand
    line(5575, 5100, 5325, 5250),
    line(5400, 5200, 5400, 5750),
    line(5400, 5600, 5550, 5750),
    line(5400, 5600, 5250, 5750),
    setFill(kCymbal),
    blackDisc(6550, 5050, 150), // right cymbal on its boom and stand
    line(6550, 5050, 6800, 5200),
    line(6725, 5150, 6725, 5750),
    line(6725, 5600, 6575, 5750),
    line(6725, 5600, 6875, 5750),
    setFill(kWhite),
    box(6275, 5400, 6475, 5525), // snare drum on its stand
    line(6375, 5525, 6375, 5750),
    line(6375, 5650, 6275, 5750),
    line(6375, 5650, 6475, 5750),
    // The floor drum is white too: no disc has changed the fill since the snare.
    box(5525, 5400, 5725, 5650),
    line(5525, 5400, 5525, 5750), // its legs, the last one through the middle of the drum
    line(5725, 5400, 5725, 5750),
    line(5625, 5400, 5625, 5750),
};

constexpr std::array kKeyboardPlayer{
    setFill(kBlack),
    blackDisc(8000, 5000, 100), // head
    line(8000, 5000, 8000, 5400),
    line(8000, 5150, 8100, 5250), // arms
    line(8100, 5250, 8050, 5400),
    line(8000, 5150, 7900, 5300),
    line(7900, 5300, 7775, 5400),
    line(8000, 5400, 7900, 5550), // legs
    line(7900, 5550, 7850, 5750),
    line(8000, 5400, 8100, 5550),
    line(8100, 5550, 8150, 5750),
    setFill(kSpeaker),
    box(7450, 5300, 7650, 5750), // two speakers
    box(8350, 5300, 8550, 5750),
    line(7700, 5375, 8300, 5750), // the X of the keyboard stand
    line(8300, 5375, 7700, 5750),
    setFill(kKeyboard),
    box(7675, 5375, 8325, 5425), // keyboard, over the player's hands
};

constexpr std::array kSinger{
    setFill(kBlack),
    blackDisc(6000, 6100, 100), // head
    line(6000, 6100, 6000, 6550),
    line(6000, 6250, 6100, 6350), // arms, the left one raised
    line(6100, 6350, 6250, 6300),
    line(6000, 6250, 5850, 6300),
    line(5850, 6300, 5750, 6150),
    line(5650, 6200, 5800, 6150), // microphone handle
    setFill(kMicrophone),
    blackDisc(5800, 6150, 30),    // microphone head, over the handle's end
    line(6000, 6550, 6050, 6700), // legs, the left one lifted
    line(6000, 6550, 5850, 6500),
    line(5850, 6500, 5850, 6700),
};

constexpr std::array kBlueGuitarist{
    setFill(kBlack),
    blackDisc(3200, 6150, 100), // head
    line(3200, 6150, 3200, 6600),
    line(3200, 6300, 3250, 6450), // right arm, to the neck
    line(3250, 6450, 3400, 6400),
    line(3200, 6300, 3125, 6450), // left upper arm
    line(3200, 6600, 3250, 6800), // legs
    line(3250, 6800, 3400, 7000),
    line(3200, 6600, 3125, 6800),
    line(3125, 6800, 3075, 7000),
    line(3200, 6550, 3500, 6325), // guitar neck
    setFill(kBlueGuitarHead),
    blackDisc(3500, 6325, 40),
    setFill(kBlueGuitar),
    blackDisc(3200, 6550, 100),   // guitar body, over the hip and the neck's end
    line(3125, 6450, 3200, 6550), // left forearm, to the strings
};

constexpr std::array kPaleGuitarist{
    setFill(kBlack), blackDisc(4500, 6200, 100),                // head
    line(4500, 6200, 4425, 6650),                               // body, leaning
    line(4475, 6350, 4575, 6500),                               // right arm, to the neck
    line(4575, 6500, 4675, 6575), line(4475, 6350, 4350, 6500), // left upper arm
    line(4425, 6550, 4600, 6800),                               // legs
    line(4600, 6800, 4600, 7000), line(4425, 6550, 4325, 7000), setFill(kPaleGuitar),
    line(4400, 6575, 4850, 6575), // guitar neck
    // Body and head share the fill set above the neck.
    box(4300, 6500, 4500, 6650), box(4825, 6550, 4900, 6600),
    line(4350, 6500, 4450, 6600), // left forearm, across the body
};

constexpr std::array kRedGuitarist{
    setFill(kBlack),
    blackDisc(7200, 6150, 100),   // head
    line(7200, 6150, 7350, 6600), // body, leaning
    line(7350, 6600, 7475, 7000), // legs
    line(7350, 6600, 7250, 7000),
    line(7350, 6550, 7350, 6150), // guitar neck, upright
    line(7250, 6300, 7400, 6375), // arm to the neck; the hand stops just left of it
    line(7400, 6375, 7345, 6225),
    line(7250, 6300, 7200, 6450), // other upper arm
    setFill(kRedGuitar),
    blackDisc(7350, 6550, 100), // guitar body
    setFill(kRedGuitarHead),
    blackDisc(7350, 6150, 40),
    line(7200, 6450, 7350, 6575), // other forearm, to the strings
};

} // namespace

void drawBand(Stage& stage)
{
    drawRows(stage, kDrummer);
    drawRows(stage, kKeyboardPlayer);
    drawRows(stage, kSinger);
    drawRows(stage, kBlueGuitarist);
    drawRows(stage, kPaleGuitarist);
    drawRows(stage, kRedGuitarist);
}

} // namespace q3
