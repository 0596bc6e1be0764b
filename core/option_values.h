#pragma once
// The values the program takes on its command line and in its page's address, read the same way
// in both, with the same one-line reasons where they cannot be read.

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

// A problem with the options as the error line says it: "TEXT (see 'quillet3 --help')".
[[nodiscard]] std::string optionProblem(std::string_view text);

// `text` in single quotes, with line breaks and other unprintable bytes escaped, so that a
// message about it stays on one line: 'a\nb', 'x\x01'.
[[nodiscard]] std::string quotedText(std::string_view text);
// The same escapes without the quotes.
[[nodiscard]] std::string escapedText(std::string_view text);

// A whole number from 0 to `max`, digits only.
[[nodiscard]] bool readWhole(std::string_view text, std::uint64_t max, std::uint64_t& value);
// Milliseconds of `--option`: a whole number from 0 to the largest int.
[[nodiscard]] OptionValue<int> readMs(std::string_view option, std::string_view text);
// The seed of the random source: 0 to 4294967295.
[[nodiscard]] OptionValue<std::uint32_t> readSeed(std::string_view text);
// A speed written with a point, whatever the locale: "0.5", "2", "1.25"; from 0.25 to 4.
[[nodiscard]] OptionValue<double> readSpeed(std::string_view text);
// The speeds a viewer may choose: "0.25 to 4".
[[nodiscard]] std::string speedRangeText();

// Problems the command line and the page word alike. `quoted` is the value as a message quotes it.
[[nodiscard]] std::string qualityProblem(std::string_view quoted);
[[nodiscard]] std::string startPastEndProblem(int startMs, int endMs);
[[nodiscard]] std::string screenshotBeforeStartProblem(int atMs, int startMs);

} // namespace q3
