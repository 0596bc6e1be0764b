#pragma once

#include "core/rgb.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace q3 {

// The labels and pictures of the stage window, in stacking order: front first. Where two
// visible controls overlap, the one listed earlier is drawn in front.
enum class Control : std::uint8_t
{
    imgDuck2,
    imgDuck,
    lblTheEnd,
    lblCountDown2,
    lblCountDown,
    lblZ,
    lblStarring,
    lblTitle,
    lblOpening,
    lblScreen,
    lblBanner,
    lblContinue,
    lblTalk,
    lblShirt,
    lblWasteTime,
};
inline constexpr std::size_t kControlCount = 15;

// The four timers of the stage window.
enum class Timer : std::uint8_t
{
    tmrTime,
    tmrTime2,
    tmrSL,
    tmrBL,
};
inline constexpr std::size_t kTimerCount = 4;
inline constexpr std::array<Timer, kTimerCount> kTimers{Timer::tmrTime, Timer::tmrTime2,
                                                        Timer::tmrSL, Timer::tmrBL};

enum class ControlKind : std::uint8_t
{
    Label,
    Picture,
};

enum class Align : std::uint8_t
{
    Centre,
    Left,
};

// A rectangle on the stage, in units.
struct UnitRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    [[nodiscard]] bool contains(double x, double y) const
    {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
};

// A font as the design names it. An empty face is the platform's default font.
struct DesignFont
{
    std::string_view face;
    double pointSize = 0;
    bool bold = false;
    bool italic = false;
};

// One row of the window's control table: what a control is at design time.
struct ControlDesign
{
    std::string_view name;
    ControlKind kind = ControlKind::Label;
    UnitRect rect;
    std::string_view caption;
    DesignFont font;
    Rgb textColor;
    Rgb backColor;
    Align align = Align::Centre;
};

// What the show can change about a control while it runs.
struct ControlState
{
    bool visible = true;
    std::string caption;
    Rgb backColor;
    double pointSize = 0;

    friend bool operator==(const ControlState&, const ControlState&) = default;
};

[[nodiscard]] const ControlDesign& designOf(Control control);
[[nodiscard]] std::string_view name(Control control);
[[nodiscard]] std::string_view name(Timer timer);
[[nodiscard]] constexpr std::size_t index(Control control)
{
    return static_cast<std::size_t>(control);
}
[[nodiscard]] constexpr std::size_t index(Timer timer)
{
    return static_cast<std::size_t>(timer);
}
[[nodiscard]] constexpr Control controlAt(std::size_t i)
{
    return static_cast<Control>(i);
}

// The controls as the window holds them at design time, before the load runs.
[[nodiscard]] std::array<ControlState, kControlCount> designControls();

// The opening note: the caption of lblOpening.
inline constexpr std::string_view kOpeningNote =
    "Before you start:  For maximum visual quality, please set your screen settings to 800 by "
    "600 pixels. Click on the white area only once to begin.";

// The window itself.
inline constexpr std::string_view kWindowCaption = "Quillet 3";
inline constexpr UnitRect kDesignClientArea{2205, 1635, 7395, 6735};
inline constexpr int kUnitsPerPixel = 15;
inline constexpr int kUnitsPerPoint = 20;
inline constexpr int kStageWidth = 12000;
inline constexpr int kStageHeight = 9000;

} // namespace q3
