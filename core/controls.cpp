#include "core/controls.h"

namespace q3 {
namespace {

// The desktop's system colours, in the standard scheme.
constexpr Rgb kHighlightText{255, 255, 255};
constexpr Rgb kMenuText{0, 0, 0};
constexpr Rgb kWindowText{0, 0, 0};
constexpr Rgb kButtonText{0, 0, 0};
constexpr Rgb kButtonFace{192, 192, 192};
constexpr Rgb kInactiveBorder{192, 192, 192};
constexpr Rgb kYellow{255, 255, 0};

// "Starring" after a long run of spaces that fills the first lines of the yellow card, so the
// word stands low in the box.
const std::string kStarringCaption = std::string(249, ' ') + "Starring";
// The shirt lettering after twelve spaces that push it down below the collar.
const std::string kShirtCaption = std::string(12, ' ') + "VREL EXPO 2001 ";

const std::array<ControlDesign, kControlCount> kTable{{
    {"imgDuck2", ControlKind::Picture, {4200, 4920, 825, 825}, "", {}, {}, {}},
    {"imgDuck", ControlKind::Picture, {3000, 4920, 825, 825}, "", {}, {}, {}},
    {"lblTheEnd",
     ControlKind::Label,
     {2280, 840, 7455, 1095},
     "THE END",
     {"Impact", 48, true, false},
     kButtonText,
     {255, 255, 255}},
    {"lblCountDown2",
     ControlKind::Label,
     {2280, 1080, 7455, 3615},
     "",
     {"Comic Sans MS", 120, true, false},
     kHighlightText,
     kMenuText},
    {"lblCountDown",
     ControlKind::Label,
     {2280, 1080, 7455, 3615},
     "",
     {"Comic Sans MS", 120, true, false},
     kButtonText,
     kHighlightText},
    {"lblZ",
     ControlKind::Label,
     {6240, 4200, 1695, 1575},
     "Z",
     {"Impact", 72, true, false},
     kButtonText,
     kYellow},
    {"lblStarring",
     ControlKind::Label,
     {2280, 1920, 7455, 4815},
     kStarringCaption,
     {"Impact", 20.25, true, false},
     kButtonText,
     kYellow},
    {"lblTitle",
     ControlKind::Label,
     {2280, 1920, 7455, 4815},
     "",
     {"Impact", 99.75, true, false},
     kButtonText,
     kYellow},
    {"lblOpening",
     ControlKind::Label,
     {1200, 1080, 5055, 1815},
     kOpeningNote,
     {"Arial", 15.75, true, false},
     kButtonText,
     kButtonFace},
    {"lblScreen",
     ControlKind::Label,
     {2280, 1080, 7455, 3615},
     "",
     {"Impact", 60, true, false},
     kButtonText,
     kHighlightText},
    {"lblBanner",
     ControlKind::Label,
     {2040, 0, 7935, 855},
     "VREL EXPO 2001",
     {"Lucida Console", 44.25, true, false},
     kHighlightText,
     {255, 0, 0}},
    {"lblContinue",
     ControlKind::Label,
     {2880, 2280, 5895, 2295},
     "to be continued...",
     {"Verdana", 27.75, false, true},
     kHighlightText,
     kWindowText},
    {"lblTalk",
     ControlKind::Label,
     {2640, 4320, 1335, 1095},
     "",
     {"Lucida Console", 8.25, true, false},
     kButtonText,
     {128, 128, 255}},
    {"lblShirt",
     ControlKind::Label,
     {1080, 5280, 855, 1215},
     kShirtCaption,
     {"Garamond", 8.25, true, false},
     kHighlightText,
     {255, 0, 0}},
    {"lblWasteTime",
     ControlKind::Label,
     {1560, 6240, 15, 15},
     "",
     {"", 8.25, false, false},
     kButtonText,
     kInactiveBorder,
     Align::Left},
}};

constexpr std::array<std::string_view, kTimerCount> kTimerNames{"tmrTime", "tmrTime2", "tmrSL",
                                                                "tmrBL"};

} // namespace

const ControlDesign& designOf(Control control)
{
    return kTable.at(index(control));
}

std::string_view name(Control control)
{
    return designOf(control).name;
}

std::string_view name(Timer timer)
{
    return kTimerNames.at(index(timer));
}

std::array<ControlState, kControlCount> designControls()
{
    std::array<ControlState, kControlCount> controls;
    for (std::size_t i = 0; i < kControlCount; ++i) {
        const ControlDesign& row = kTable.at(i);
        controls.at(i) = {true, std::string(row.caption), row.backColor, row.font.pointSize};
    }
    return controls;
}

} // namespace q3
