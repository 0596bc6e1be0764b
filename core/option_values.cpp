#include "core/option_values.h"

#include "core/messages.h"
#include "core/speed.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <limits>
#include <locale>
#include <sstream>

namespace q3 {

std::string optionProblem(std::string_view text)
{
    return std::string(text) + " (see '" + std::string(kProgramName) + " --help')";
}

namespace {

// The length of the UTF-8 sequence at the start of `text` and its code point; 0 where the bytes
// are not one.
std::size_t utf8Sequence(std::string_view text, char32_t& point)
{
    const auto lead = static_cast<unsigned char>(text[0]);
    std::size_t length = 0;
    if (lead < 0x80) {
        point = lead;
        return 1;
    }
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2;
        point = lead & 0x1fU;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3;
        point = lead & 0x0fU;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4;
        point = lead & 0x07U;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[i]);
        if ((next & 0xc0U) != 0x80)
            return 0;
        point = (point << 6U) | (next & 0x3fU);
    }
    // Overlong forms, surrogates and points past Unicode's last are not UTF-8.
    constexpr std::array<char32_t, 5> kLeast = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kLeast[length] || (point >= 0xd800 && point <= 0xdfff) || point > 0x10ffff)
        return 0;
    return length;
}

// Characters a terminal or a browser does not show as themselves: C1 controls, and those that
// turn text around, hide in it or break its line.
bool unprintable(char32_t point)
{
    return point < 0x20 || (point >= 0x7f && point <= 0x9f) || point == 0x061c ||
           (point >= 0x200b && point <= 0x200f) || (point >= 0x2028 && point <= 0x202e) ||
           (point >= 0x2060 && point <= 0x206f) || point == 0xfeff ||
           (point >= 0xfff9 && point <= 0xfffb);
}

void appendEscapedBytes(std::string& out, std::string_view bytes)
{
    for (const char c : bytes) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else {
            std::array<char, 8> code{};
            std::snprintf(code.data(), code.size(), "\\x%02x", static_cast<unsigned char>(c));
            out += code.data();
        }
    }
}

} // namespace

std::string escapedText(std::string_view text)
{
    std::string out;
    while (!text.empty()) {
        char32_t point = 0;
        const std::size_t length = utf8Sequence(text, point);
        const std::size_t taken = length == 0 ? 1 : length;
        if (length == 0 || unprintable(point))
            appendEscapedBytes(out, text.substr(0, taken));
        else
            out += text.substr(0, taken);
        text.remove_prefix(taken);
    }
    return out;
}

std::string quotedText(std::string_view text)
{
    return "'" + escapedText(text) + "'";
}

std::string optionName(OptionFront front, std::string_view name)
{
    return (front == OptionFront::CommandLine ? "--" : "") + std::string(name);
}

std::string quotedValue(OptionFront front, std::string_view text)
{
    if (front == OptionFront::CommandLine)
        return quotedText(text);
    // Cut after whole UTF-8 sequences; a byte that is not one counts as a character.
    std::size_t cut = 0;
    for (std::size_t characters = 0; cut < text.size() && characters < kPageQuotedCharacters;
         ++characters) {
        char32_t point = 0;
        cut += std::max<std::size_t>(1, utf8Sequence(text.substr(cut), point));
    }
    if (cut == text.size())
        return quotedText(text);
    return quotedText(text.substr(0, cut)) + "…";
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

OptionValue<int> readMs(OptionFront front, std::string_view name, std::string_view text)
{
    constexpr int kMost = std::numeric_limits<int>::max();
    std::uint64_t value = 0;
    if (!readWhole(text, kMost, value))
        return {.problem = optionName(front, name) +
                           " takes a whole number of milliseconds from 0 to " +
                           std::to_string(kMost) + ", not " + quotedValue(front, text)};
    return {.value = static_cast<int>(value)};
}

OptionValue<std::uint32_t> readSeed(OptionFront front, std::string_view text)
{
    std::uint64_t value = 0;
    if (!readWhole(text, std::numeric_limits<std::uint32_t>::max(), value))
        return {.problem = optionName(front, "seed") +
                           " takes a whole number from 0 to 4294967295, not " +
                           quotedValue(front, text)};
    return {.value = static_cast<std::uint32_t>(value)};
}

std::string speedRangeText()
{
    return speedText(kMinSpeed) + " to " + speedText(kMaxSpeed);
}

OptionValue<double> readSpeed(OptionFront front, std::string_view text)
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
        return {.problem = optionName(front, "speed") + " takes a number from " + speedRangeText() +
                           ", not " + quotedValue(front, text)};
    return {.value = value};
}

OptionValue<bool> readSwitch(OptionFront front, std::string_view name, std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (const std::string_view on : {"", "1", "true", "yes", "on"})
        if (lower == on)
            return {.value = true};
    for (const std::string_view off : {"0", "false", "no", "off"})
        if (lower == off)
            return {.value = false};
    return {.problem = optionName(front, name) + " takes no value, or true or false, not " +
                       quotedValue(front, text)};
}

std::uint32_t seedFromTheClock()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ns = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    return static_cast<std::uint32_t>(ns ^ (ns >> 32U));
}

std::string qualityProblem(OptionFront front, std::string_view quoted)
{
    return optionName(front, "quality") + " takes crisp or smooth, not " + std::string(quoted);
}

} // namespace q3
