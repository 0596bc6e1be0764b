#pragma once

// The program's name and the lines it writes about itself on the error stream. Header-only, so
// that every part of the program (the show, the painting and a signal handler) can use it.

#include <iostream>
#include <string>
#include <string_view>

namespace q3 {

// The program's name, as the user types it.
inline constexpr std::string_view kProgramName = "quillet3";
// What follows the name at the start of every message. Kept apart so that a signal handler,
// which can only write constant texts, writes the same prefix.
inline constexpr std::string_view kPrefixSeparator = ": ";

// "quillet3: TEXT\n".
[[nodiscard]] inline std::string messageLine(std::string_view text)
{
    std::string line(kProgramName);
    line += kPrefixSeparator;
    line += text;
    line += '\n';
    return line;
}

// "quillet3: error: TEXT\n".
[[nodiscard]] inline std::string errorLine(std::string_view text)
{
    return messageLine("error: " + std::string(text));
}

// "quillet3: warning: TEXT\n".
[[nodiscard]] inline std::string warningLine(std::string_view text)
{
    return messageLine("warning: " + std::string(text));
}

// Each line is written whole in one piece, so that lines from elsewhere never land inside it.
inline void printMessage(std::string_view text)
{
    std::cerr << messageLine(text) << std::flush;
}

inline void printError(std::string_view text)
{
    std::cerr << errorLine(text) << std::flush;
}

inline void printWarning(std::string_view text)
{
    std::cerr << warningLine(text) << std::flush;
}

} // namespace q3
