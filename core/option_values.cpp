#include "core/option_values.h"

#include "core/messages.h"
#include "core/speed.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <limits>
#include <locale>
#include <sstream>

namespace q3 {

std::string optionProblem(std::string_view text)
{
    return std::string(text) + " (see '" + std::string(kProgramName) + " --help')";
}

std::string escapedText(std::string_view text)
{
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (byte < 0x20 || byte == 0x7f) {
            std::array<char, 8> code{};
            std::snprintf(code.data(), code.size(), "\\x%02x", byte);
            out += code.data();
        } else {
            out += c;
        }
    }
    return out;
}

std::string quotedText(std::string_view text)
{
    return "'" + escapedText(text) + "'";
}

bool readWhole(std::string_view text, std::uint64_t max, std::uint64_t& value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos)
        return false;
    std::uint64_t read = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), read);
    if (error != std::errc() || end != text.data() + text.size() || read > max)
        return false;
    value = read;
    return true;
}

OptionValue<int> readMs(std::string_view option, std::string_view text)
{
    constexpr int kMost = std::numeric_limits<int>::max();
    std::uint64_t value = 0;
    if (!readWhole(text, kMost, value))
        return {.problem = "--" + std::string(option) +
                           " takes a whole number of milliseconds from 0 to " +
                           std::to_string(kMost) + ", not " + quotedText(text)};
    return {.value = static_cast<int>(value)};
}

OptionValue<std::uint32_t> readSeed(std::string_view text)
{
    std::uint64_t value = 0;
    if (!readWhole(text, std::numeric_limits<std::uint32_t>::max(), value))
        return {.problem =
                    "--seed takes a whole number from 0 to 4294967295, not " + quotedText(text)};
    return {.value = static_cast<std::uint32_t>(value)};
}

std::string speedRangeText()
{
    return speedText(kMinSpeed) + " to " + speedText(kMaxSpeed);
}

OptionValue<double> readSpeed(std::string_view text)
{
    // Read through the classic locale's stream: the floating-point std::from_chars is not in
    // every C++ library the core is built with.
    double value = 0;
    bool read = !text.empty() && text.find_first_not_of("0123456789.") == std::string_view::npos;
    if (read) {
        std::istringstream in{std::string(text)};
        in.imbue(std::locale::classic());
        in >> value;
        read = !in.fail() && in.peek() == std::char_traits<char>::eof();
    }
    if (!read || value < kMinSpeed || value > kMaxSpeed)
        return {.problem = "--speed takes a number from " + speedRangeText() + ", not " +
                           quotedText(text)};
    return {.value = value};
}

std::string qualityProblem(std::string_view quoted)
{
    return "--quality takes crisp or smooth, not " + std::string(quoted);
}

std::string startPastEndProblem(int startMs, int endMs)
{
    return "--start " + std::to_string(startMs) + " must be before the end of the show at " +
           std::to_string(endMs) + " ms";
}

std::string screenshotBeforeStartProblem(int atMs, int startMs)
{
    return "the screenshot at " + std::to_string(atMs) + " ms is before the start of the run at " +
           std::to_string(startMs) + " ms";
}

} // namespace q3
