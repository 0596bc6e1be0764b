#pragma once

#include "core/stage_error.h"

#include <cstdint>

namespace q3 {

// The show's 16-bit signed integer: positions, radii, counters and table entries. A value or
// sum outside -32768..32767 raises OverflowError instead of wrapping.
class Int16
{
public:
    static constexpr int kMin = -32768;
    static constexpr int kMax = 32767;

    constexpr Int16() = default;
    // Implicit on purpose: the cues pass their constants straight to the stage.
    constexpr Int16(int value) : value_(checked(value)) {} // NOLINT(google-explicit-constructor)

    [[nodiscard]] constexpr int value() const { return value_; }

    friend constexpr Int16 operator+(Int16 a, Int16 b) { return {a.value_ + b.value_}; }
    friend constexpr Int16 operator-(Int16 a, Int16 b) { return {a.value_ - b.value_}; }
    constexpr Int16& operator+=(Int16 other) { return *this = *this + other; }
    constexpr Int16& operator-=(Int16 other) { return *this = *this - other; }
    friend constexpr bool operator==(Int16, Int16) = default;
    friend constexpr auto operator<=>(Int16, Int16) = default;

private:
    static constexpr std::int16_t checked(int value)
    {
        if (value < kMin || value > kMax)
            throw OverflowError();
        return static_cast<std::int16_t>(value);
    }

    std::int16_t value_ = 0;
};

// A position on the stage surface, in units (15 to a pixel of the 800 x 600 design).
struct Point
{
    Int16 x;
    Int16 y;

    friend constexpr bool operator==(Point, Point) = default;
};

} // namespace q3
