#pragma once
// The values the program takes on its command line and in its page's address, read the same way
// in both, with the same one-line reasons where they cannot be read.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace q3 {

// A value read, or why it could not be: `problem` is the error line's text without the
// program's name, empty when the value was read.
template <typename T> struct OptionValue
{
    T value{};
    std::string problem;

    [[nodiscard]] explicit operator bool() const { return problem.empty(); }
};

// Whom a problem is worded for: the command line names its options "--start", the page's address
// "start"; the page also shortens a long value it quotes.
enum class OptionFront : std::uint8_t
{
    CommandLine,
    Page,
};

// A problem with the options as the error line says it: "TEXT (see 'quillet3 --help')".
[[nodiscard]] std::string optionProblem(std::string_view text);

// `text` in single quotes, with line breaks and other unprintable bytes escaped, so that a
// message about it stays on one line: 'a\nb', 'x\x01'. Characters that turn or hide text (the
// bidirectional controls, zero-width ones, C1 controls) are unprintable too, escaped byte by
// byte as they are in UTF-8 ('\xe2\x80\xae'), and so is a byte that is not UTF-8.
[[nodiscard]] std::string quotedText(std::string_view text);
// The same escapes without the quotes.
[[nodiscard]] std::string escapedText(std::string_view text);

// An option as `front` names it: "--start" or "start".
[[nodiscard]] std::string optionName(OptionFront front, std::string_view name);
// A value as a problem about it quotes it: quotedText, on the page only its first
// kPageQuotedCharacters characters and "…" after the quotes.
[[nodiscard]] std::string quotedValue(OptionFront front, std::string_view text);
inline constexpr std::size_t kPageQuotedCharacters = 40;

// A whole number from 0 to `max`, digits only.
[[nodiscard]] bool readWhole(std::string_view text, std::uint64_t max, std::uint64_t& value);
// Milliseconds of the option `name`: a whole number from 0 to the largest int.
[[nodiscard]] OptionValue<int> readMs(OptionFront front, std::string_view name,
                                      std::string_view text);
// The seed of the random source: 0 to 4294967295.
[[nodiscard]] OptionValue<std::uint32_t> readSeed(OptionFront front, std::string_view text);
// A speed written with a point, whatever the locale: "0.5", "2", "1.25"; from 0.25 to 4.
[[nodiscard]] OptionValue<double> readSpeed(OptionFront front, std::string_view text);
// A switch of the page's address (`loop`, `trace`): on without a value or with 1, true, yes or
// on; off with 0, false, no or off, in any case.
[[nodiscard]] OptionValue<bool> readSwitch(OptionFront front, std::string_view name,
                                           std::string_view text);
// The seed of a run given none: from the clock, so that each run plays another show.
[[nodiscard]] std::uint32_t seedFromTheClock();
// The speeds a viewer may choose: "0.25 to 4".
[[nodiscard]] std::string speedRangeText();

// The problem with a quality's name. `quoted` is the value as a message quotes it.
[[nodiscard]] std::string qualityProblem(OptionFront front, std::string_view quoted);

} // namespace q3
