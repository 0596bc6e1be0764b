#pragma once

#include "raster/quality.h"

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
    Quality quality = Quality::Crisp; // of the window, screenshots and recordings
    // Recording: a video (.mp4 or .webm) and/or WebVTT subtitles of the headless show.
    std::optional<QString> recordPath;
    std::optional<QString> subtitlesPath;
    int fps = 30;
    // Every frame of the grid (false), or a frame only where the picture changes (true).
    bool variableFrameRate = false;
    bool quiet = false;     // no progress while recording
    bool overwrite = false; // replace an existing recording or subtitles file
    // Steering: where the show begins (as if played there from the click at 0 ms), starting
    // again after its end, and the window's speed.
    std::optional<int> startMs;
    bool loop = false;
    double speed = 1;
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

inline constexpr int kMaxOutputSide = 16384;
// Videos are at least a few blocks of the encoder and at most 8K: larger ones are beyond what
// players and encoders handle.
inline constexpr int kMinVideoSide = 16;
inline constexpr int kMaxVideoWidth = 7680;
inline constexpr int kMaxVideoHeight = 4320;
inline constexpr int kMaxFps = 120;

} // namespace q3
