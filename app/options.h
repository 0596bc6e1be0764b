#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace q3 {

struct ScreenshotRequest
{
    int atMs = 0;
    QString path;
};

struct Options
{
    bool headless = false;
    std::optional<int> durationMs;
    std::vector<int> clicks;
    std::optional<std::uint32_t> seed;
    std::optional<QString> tracePath; // "-" is standard output
    std::vector<ScreenshotRequest> screenshots;
    QSize size{1280, 960};
};

struct ParsedCommandLine
{
    enum class Action
    {
        Run,
        Help,
        Version,
        Error,
    };
    Action action = Action::Run;
    Options options;
    // The help or version text, or the problem with the command line (one line).
    std::string text;
};

// Reads the command line (arguments[0] is the program). Nothing is written and no file is
// touched: paths are only checked for whether they could be written.
[[nodiscard]] ParsedCommandLine parseCommandLine(const QStringList& arguments);

// Whether a file could be created or replaced at `path`; the reason where it could not.
[[nodiscard]] std::optional<std::string> whyNotWritable(const QString& path);

inline constexpr int kMaxOutputSide = 16384;

} // namespace q3
