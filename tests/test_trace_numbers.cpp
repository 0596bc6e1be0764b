// Numbers in the trace: the shortest decimal that reads back as the same double, with a point in
// every locale, written the same by every C++ library the core is built with.

#include "core/event_json.h"
#include "locales.h"

#include <array>
#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <gtest/gtest.h>
#include <locale>
#include <random>
#include <string>

namespace q3 {
namespace {

// The speed event writes its number bare: {"ev":"speed","x":NUMBER}.
std::string numberOf(double value)
{
    const std::string json = toJson({.kind = EventKind::Speed, .speed = value});
    const std::string head = R"({"ev":"speed","x":)";
    EXPECT_EQ(json.substr(0, head.size()), head);
    return json.substr(head.size(), json.size() - head.size() - 1);
}

// What the desktop build wrote before: whole numbers as integers, others as printf's %.*g in the C
// locale at the least precision that reads back, through the floating-point std::to_chars of the
// system's C++ library.
std::string desktopNumber(double value)
{
    if (value == std::floor(value) && std::abs(value) < 1e15)
        return std::to_string(static_cast<long long>(value));
    std::array<char, 64> buffer{};
    char* end = buffer.data();
    for (int precision = 1; precision <= 17; ++precision) {
        end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                            std::chars_format::general, precision)
                  .ptr;
        double back = 0;
        std::from_chars(buffer.data(), end, back);
        if (back == value)
            break;
    }
    return {buffer.data(), end};
}

struct NumberRow
{
    double value;
    const char* text;
};

TEST(TraceNumbers, ShortestDecimalThatReadsBack)
{
    const std::array<NumberRow, 14> rows{{
        {160, "160"},
        {-3, "-3"},
        {0, "0"},
        {20.25, "20.25"},
        {0.1, "0.1"},
        {0.5, "0.5"},
        {0.25, "0.25"},
        {1.0 / 3, "0.3333333333333333"},
        {2.0 / 3, "0.6666666666666666"},
        {1234.567, "1234.567"},
        {0.1 + 0.2, "0.30000000000000004"},
        {2.5e-7, "2.5e-07"},
        {1e15, "1e+15"},
        {123456789.125, "123456789.125"},
    }};
    for (const NumberRow& row : rows)
        EXPECT_EQ(numberOf(row.value), row.text) << row.text;
}

// Every double the trace writes reads as the desktop wrote it: times with fractions of a
// millisecond, speeds and font sizes, and doubles of every magnitude.
TEST(TraceNumbers, SameAsTheDesktopsFormat)
{
    std::mt19937_64 random(7);
    std::uniform_real_distribution<double> ms(0, 200000);
    std::uniform_int_distribution<std::uint64_t> bits;
    for (int i = 0; i < 20000; ++i) {
        const double microseconds = std::round(ms(random) * 1000) / 1000;
        ASSERT_EQ(numberOf(microseconds), desktopNumber(microseconds));
        double any = 0;
        const std::uint64_t pattern = bits(random);
        std::memcpy(&any, &pattern, sizeof any);
        if (!std::isfinite(any) || std::fpclassify(any) == FP_SUBNORMAL)
            continue;
        ASSERT_EQ(numberOf(any), desktopNumber(any));
    }
}

TEST(TraceNumbers, PointInACommaLocale)
{
    const std::string point = test::decimalPointOf(test::kCommaLocales[0]);
    ASSERT_EQ(point, ",") << "the tests' locales are missing";
    qputenv("LOCPATH", QUILLET3_LOCALES);
    const std::string before = std::setlocale(LC_ALL, nullptr);
    ASSERT_NE(std::setlocale(LC_ALL, test::kCommaLocales[0]), nullptr);
    const std::locale previous = std::locale::global(std::locale(test::kCommaLocales[0]));
    const std::string written = numberOf(20.25);
    std::locale::global(previous);
    std::setlocale(LC_ALL, before.c_str());
    qunsetenv("LOCPATH");
    EXPECT_EQ(written, "20.25");
}

} // namespace
} // namespace q3
