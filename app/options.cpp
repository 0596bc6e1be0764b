#include "app/options.h"

#include "app/output_file.h"
#include "app/standard_streams.h"
#include "app/version.h"
#include "app/video_encoder.h"
#include "core/messages.h"
#include "core/option_values.h"
#include "core/player.h"
#include "core/script/show.h"
#include "core/speed.h"

#include <QCommandLineParser>
#include <QFile>
#include <array>
#include <charconv>
#include <climits>
#include <cmath>
#include <fcntl.h>
#include <iostream>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace q3 {
namespace {

std::string quoted(const QString& text)
{
    return quotedPath(text);
}

// A whole number from 0 to `max`, digits only.
std::optional<std::uint64_t> parseWhole(const QString& text, std::uint64_t max)
{
    std::uint64_t value = 0;
    if (!readWhole(text.toStdString(), max, value))
        return std::nullopt;
    return value;
}

struct Failure
{
    std::string message;
};

// The folder of a path ("." for a bare name) and the name in it.
QString folderPart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString namePart(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// Reading the values of the options.

int parseMs(const QString& option, const QString& text)
{
    const OptionValue<int> ms = readMs(option.toStdString(), text.toStdString());
    if (!ms)
        throw Failure{ms.problem};
    return ms.value;
}

QSize parseSize(const QString& text)
{
    const QStringList parts = text.split(u'x');
    std::optional<std::uint64_t> w;
    std::optional<std::uint64_t> h;
    if (parts.size() == 2) {
        w = parseWhole(parts[0], kMaxOutputSide);
        h = parseWhole(parts[1], kMaxOutputSide);
    }
    if (!w || !h || *w == 0 || *h == 0)
        throw Failure{"--size takes WIDTHxHEIGHT in pixels, each from 1 to " +
                      std::to_string(kMaxOutputSide) + ", not " + quoted(text)};
    return {static_cast<int>(*w), static_cast<int>(*h)};
}

ScreenshotRequest parseScreenshot(const QString& text)
{
    const qsizetype colon = text.indexOf(u':');
    if (colon <= 0 || colon == text.size() - 1)
        throw Failure{"--screenshot takes MS:FILE.png, not " + quoted(text)};
    ScreenshotRequest shot{parseMs(QStringLiteral("screenshot"), text.left(colon)),
                           text.mid(colon + 1)};
    if (!shot.path.endsWith(QStringLiteral(".png"), Qt::CaseInsensitive))
        throw Failure{"--screenshot writes PNG files: " + quoted(shot.path) +
                      " does not end in .png"};
    return shot;
}

std::uint32_t parseSeed(const QString& text)
{
    const OptionValue<std::uint32_t> seed = readSeed(text.toStdString());
    if (!seed)
        throw Failure{seed.problem};
    return seed.value;
}

int parseFps(const QString& text)
{
    const auto value = parseWhole(text, kMaxFps);
    if (!value || *value == 0)
        throw Failure{"--fps takes a whole number from 1 to " + std::to_string(kMaxFps) + ", not " +
                      quoted(text)};
    return static_cast<int>(*value);
}

// The help's line for --speed, its range filled in.
std::string speedHelp()
{
    std::string text = "Window: play at X times the usual speed, RANGE (default 1).";
    return text.replace(text.find("RANGE"), 5, speedRangeText());
}

double parseSpeed(const QString& text)
{
    const OptionValue<double> speed = readSpeed(text.toStdString());
    if (!speed)
        throw Failure{speed.problem};
    return speed.value;
}

Quality parseQuality(const QString& text)
{
    const auto named = qualityNamed(text.toStdString());
    if (!named)
        throw Failure{qualityProblem(quoted(text))};
    return *named;
}

// The options, in the order the help lists them.
enum class Opt : std::uint8_t
{
    Help,
    Version,
    Headless,
    Duration,
    Click,
    Start,
    Loop,
    Speed,
    Seed,
    Trace,
    Screenshot,
    Size,
    Record,
    Subtitles,
    Fps,
    VariableRate,
    Quality,
    Quiet,
    Overwrite,
};

// One row for each value of Opt, in its order.
QList<QCommandLineOption> optionTable()
{
    const auto flag = [](const char* name, const char* description) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromUtf8(description));
    };
    const auto valued = [](const char* name, const std::string& description, const char* value) {
        return QCommandLineOption(QString::fromLatin1(name), QString::fromStdString(description),
                                  QString::fromLatin1(value));
    };
    return {
        QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                           QStringLiteral("Show this help and exit.")),
        flag("version", "Show the version and exit."),
        flag("headless", "Run without a window, on virtual time."),
        valued("duration", "Headless: stop at MS (default: 5000 ms after the last cue).", "MS"),
        valued("click", "Headless: one more click at MS (repeatable).", "MS"),
        valued("start",
               "Begin the show at MS, as if played there from the click at 0 ms (in the window, "
               "headless and recording).",
               "MS"),
        flag("loop", "Start the show again after its end (headless: until --duration)."),
        valued("speed", speedHelp(), "X"),
        valued("seed", "Seed of the random source, 0 to 4294967295 (default: from the clock).",
               "N"),
        valued("trace", "Write every stage event as JSON lines to FILE (- for standard output).",
               "FILE"),
        valued("screenshot", "A PNG of the window at MS (repeatable; implies --headless).",
               "MS:FILE.png"),
        valued("size", "Size of screenshots and recordings (default 1280x960).", "WxH"),
        valued("record",
               "Record the show to " + videoFormatChoices("FILE") + " (implies --headless).",
               "FILE"),
        valued("subtitles", "Write the captions of the show as WebVTT (implies --headless).",
               "FILE.vtt"),
        valued("fps",
               "Frames per second of the recording, 1 to " + std::to_string(kMaxFps) +
                   " (default 30): a constant rate.",
               "N"),
        flag("variable-frame-rate", "Record a frame only where the picture changes: a smaller "
                                    "file, which some editors do not take."),
        valued("quality",
               "crisp: hard pixels (default); smooth: antialiased shapes and pictures. In the "
               "window Q switches between them.",
               "crisp|smooth"),
        flag("quiet", "No progress while recording."),
        flag("overwrite", "Replace an existing recording or subtitles file."),
    };
}

// The parser with the program's options, asked by Opt.
class CommandLine
{
public:
    CommandLine() : options_(optionTable())
    {
        parser_.setApplicationDescription(
            QStringLiteral("Quillet 3: the cartoon show, in its window or headless."));
        parser_.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser_.addOptions(options_);
    }

    [[nodiscard]] QCommandLineParser& parser() { return parser_; }
    [[nodiscard]] const QCommandLineParser& parser() const { return parser_; }
    [[nodiscard]] bool isSet(Opt option) const { return parser_.isSet(row(option)); }
    [[nodiscard]] QStringList values(Opt option) const { return parser_.values(row(option)); }

    // "--name", as the user types it.
    [[nodiscard]] std::string name(Opt option) const
    {
        return "--" + row(option).names().last().toStdString();
    }

    // The value of an option that may be given once.
    [[nodiscard]] std::optional<QString> single(Opt option) const
    {
        const QStringList given = values(option);
        if (given.isEmpty())
            return std::nullopt;
        if (given.size() > 1)
            throw Failure{name(option) + " is given more than once"};
        return given.first();
    }

private:
    [[nodiscard]] const QCommandLineOption& row(Opt option) const
    {
        return options_[static_cast<qsizetype>(option)];
    }

    QList<QCommandLineOption> options_;
    QCommandLineParser parser_;
};

QString helpText(const QCommandLineParser& parser)
{
    // The parser runs before the application exists, so it cannot know the program's name.
    QString text = parser.helpText().replace(QStringLiteral("<executable_name>"),
                                             QString::fromUtf8(kProgramName));

    text += QStringLiteral(
        "\nWithout options the show opens in its window: click the white area once to begin.\n"
        "--headless runs the show without a window on virtual time, with a click at 0 ms.\n"
        "--record and --subtitles play it headless from the load to 5000 ms after the last cue\n"
        "(or --duration); the same --seed gives the same files, and without one the seed is\n"
        "printed so that a recording can be made again.\n"
        "--start MS begins the show at MS, in the window or headless, as if played there:\n"
        "--record clip.mp4 --start 60000 --duration 70000 records those 10 s, with the\n"
        "captions of --subtitles timed from the clip's start; screenshots keep the show's\n"
        "times. --loop starts the show again after its end; headless, --duration ends the run.\n"
        "\nKeys in the window:\n"
        "  F11      toggle fullscreen\n"
        "  Escape   leave fullscreen\n"
        "  Enter    start the show, as a click on the window does\n"
        "  Space    start the show, then pause and resume it\n"
        "  Left     5 s back (Shift: to the previous cue)\n"
        "  Right    5 s forward (Shift: to the next cue)\n"
        "  Home     back to 0 ms of the show, just after the starting click\n"
        "  End      to the last cue\n"
        "  0 … 9    to 0 %, 10 %, … 90 % of the show\n"
        "  , .      while paused: one step back / forward to where the picture changes\n");
    text += QString::fromStdString("  [ ]      speed halves / doubles, between " +
                                   speedText(kMinSpeed) + "× and " + speedText(kMaxSpeed) + "×\n");
    text += QStringLiteral(
        "  L        loop on or off: after the show's end, start again from 0 ms\n"
        "  Q        switch between crisp and smooth quality\n"
        "  Ctrl+Q   close the window\n"
        "The timeline along the bottom edge shows while the pointer moves there; click or drag\n"
        "on it to go to that moment.\n");
    return text;
}

// The options' values, each read and checked on its own.
Options readOptions(const CommandLine& line)
{
    Options o;
    for (const QString& s : line.values(Opt::Screenshot))
        o.screenshots.push_back(parseScreenshot(s));
    const bool recording = line.isSet(Opt::Record) || line.isSet(Opt::Subtitles);
    o.headless = line.isSet(Opt::Headless) || !o.screenshots.empty() || recording;
    if (auto v = line.single(Opt::Duration))
        o.durationMs = parseMs(QStringLiteral("duration"), *v);
    for (const QString& v : line.values(Opt::Click))
        o.clicks.push_back(parseMs(QStringLiteral("click"), v));
    if (auto v = line.single(Opt::Start))
        o.startMs = parseMs(QStringLiteral("start"), *v);
    o.loop = line.isSet(Opt::Loop);
    if (auto v = line.single(Opt::Speed))
        o.speed = parseSpeed(*v);
    if (auto v = line.single(Opt::Seed))
        o.seed = parseSeed(*v);
    if (auto v = line.single(Opt::Size))
        o.size = parseSize(*v);
    o.tracePath = line.single(Opt::Trace);
    o.recordPath = line.single(Opt::Record);
    o.subtitlesPath = line.single(Opt::Subtitles);
    if (auto v = line.single(Opt::Fps))
        o.fps = parseFps(*v);
    o.variableFrameRate = line.isSet(Opt::VariableRate);
    if (auto v = line.single(Opt::Quality))
        o.quality = parseQuality(*v);
    o.quiet = line.isSet(Opt::Quiet);
    o.overwrite = line.isSet(Opt::Overwrite);
    return o;
}

// Checking the options together, without the file system.

void checkVideo(const QString& path, QSize size)
{
    if (!videoFormatFor(path))
        throw Failure{"--record writes " + videoFormatChoices({}) + " files: " + quoted(path) +
                      " ends in neither"};
    // The encoders store colour at half resolution, in pairs of pixels.
    const auto fits = [](int side, int max) {
        return side % 2 == 0 && side >= kMinVideoSide && side <= max;
    };
    if (!fits(size.width(), kMaxVideoWidth) || !fits(size.height(), kMaxVideoHeight))
        throw Failure{"--record needs an even width from " + std::to_string(kMinVideoSide) +
                      " to " + std::to_string(kMaxVideoWidth) + " and an even height from " +
                      std::to_string(kMinVideoSide) + " to " + std::to_string(kMaxVideoHeight) +
                      ", not " + std::to_string(size.width()) + "x" +
                      std::to_string(size.height())};
}

// An MP4 file's index takes about 60 bytes a frame, kept in memory until the end. At a constant
// rate it is refused past 1 GiB, some 17.9 million frames (6.9 days at 30 fps); a WebM file's
// index stays small whatever the length.
constexpr long long kMp4IndexBytesPerFrame = 60;
constexpr long long kMaxMp4IndexBytes = 1LL << 30;

void checkMp4Index(const QString& path, const Options& o)
{
    if (videoFormatFor(path) != VideoFormat::Mp4H264 || o.variableFrameRate || !o.durationMs)
        return;
    const long long clipMs = *o.durationMs - o.startMs.value_or(0);
    const long long frames = (clipMs * o.fps + 999) / 1000;
    if (frames * kMp4IndexBytesPerFrame > kMaxMp4IndexBytes)
        throw Failure{"--record: " + std::to_string(frames) +
                      " frames are too many for an MP4 "
                      "file, whose index would pass 1 GiB; record a run this long as WebM "
                      "(.webm), whose index stays small"};
}

// Where the show ends with the clicks given: 5000 ms after its last cue (its chart, played
// through on virtual time in a few milliseconds). The cue clock does not depend on the seed.
int showEndMs(const Options& o)
{
    Player player(TimeSource::Virtual, makeQuilletShow(o.seed.value_or(0)), std::cerr);
    player.addClick(0);
    for (const int click : o.clicks)
        player.addClick(click);
    return static_cast<int>(std::lround(player.chart().end));
}

// --start, --loop and --speed: a start within the run and the show, a loop only where the run
// has an end of its own, a speed only where time is the wall clock's.
void checkSteering(const CommandLine& line, const Options& o)
{
    const bool recording = o.recordPath || o.subtitlesPath;
    if (line.isSet(Opt::Speed) && o.headless)
        throw Failure{"--speed works only in the window: headless runs take no time to play"};
    if (o.loop && recording)
        throw Failure{
            "--loop does not work with --record or --subtitles: a recording needs an end"};
    if (o.loop && o.headless && !o.durationMs)
        throw Failure{"--loop needs --duration when headless: a looping show has no end"};
    if (o.startMs) {
        if (o.durationMs && *o.startMs >= *o.durationMs)
            throw Failure{"--start " + std::to_string(*o.startMs) +
                          " must be before the end of the run at " + std::to_string(*o.durationMs) +
                          " ms"};
        for (const ScreenshotRequest& shot : o.screenshots)
            if (shot.atMs < *o.startMs)
                throw Failure{screenshotBeforeStartProblem(shot.atMs, *o.startMs)};
    }
    if (!o.startMs && !(o.loop && !o.screenshots.empty()))
        return;
    const int end = showEndMs(o);
    if (o.startMs && *o.startMs >= end)
        throw Failure{startPastEndProblem(*o.startMs, end)};
    if (o.loop)
        for (const ScreenshotRequest& shot : o.screenshots)
            if (shot.atMs > end)
                throw Failure{"the screenshot at " + std::to_string(shot.atMs) +
                              " ms is past the end of the show at " + std::to_string(end) +
                              " ms, where --loop starts it again"};
}

// Options that work only with others, and values that must agree.
void checkCombinations(const CommandLine& line, const Options& o)
{
    const bool recording = o.recordPath || o.subtitlesPath;
    if (!o.headless) {
        for (const Opt option : {Opt::Duration, Opt::Click, Opt::Size})
            if (line.isSet(option))
                throw Failure{line.name(option) + " works only with --headless or --screenshot"};
    }
    for (const Opt option : {Opt::Fps, Opt::VariableRate})
        if (!o.recordPath && line.isSet(option))
            throw Failure{line.name(option) + " works only with --record"};
    if (!recording && line.isSet(Opt::Overwrite))
        throw Failure{"--overwrite works only with --record or --subtitles"};
    if (recording && (!o.screenshots.empty() || o.tracePath))
        throw Failure{"--record and --subtitles run on their own: take screenshots or a "
                      "trace in another run with the same --seed"};
    if (o.recordPath) {
        checkVideo(*o.recordPath, o.size);
        checkMp4Index(*o.recordPath, o);
    }
    if (o.subtitlesPath && !o.subtitlesPath->endsWith(QStringLiteral(".vtt"), Qt::CaseInsensitive))
        throw Failure{"--subtitles writes WebVTT files: " + quoted(*o.subtitlesPath) +
                      " does not end in .vtt"};
    if (o.durationMs) {
        for (const ScreenshotRequest& shot : o.screenshots)
            if (shot.atMs > *o.durationMs)
                throw Failure{"the screenshot at " + std::to_string(shot.atMs) +
                              " ms is past the end of the run at " + std::to_string(*o.durationMs) +
                              " ms"};
    }
    checkSteering(line, o);
}

// Probing the file system for the outputs.

void requireWritable(const QString& path)
{
    if (auto why = whyNotWritable(path))
        throw Failure{"cannot write " + quoted(path) + ": " + *why};
}

// Plain file-system calls, so that every name is a path: Qt reads names that begin with ":" as
// its resources.
bool statPath(const QString& path, struct stat& info)
{
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

// A recording is only written whole, so an existing file is kept unless the user said otherwise.
void requireNew(const QString& path, bool overwrite)
{
    struct stat info = {};
    if (!overwrite && statPath(path, info) && !S_ISDIR(info.st_mode))
        throw Failure{quoted(path) + " already exists; add --overwrite to replace it"};
}

// Which file a path names, so that one file under two names is found: its device and inode, or
// for a file not made yet, its folder's and its own name.
struct FileIdentity
{
    dev_t device = 0;
    ino_t inode = 0;
    QString name;

    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

std::optional<FileIdentity> identityOf(const QString& path)
{
    struct stat info = {};
    if (const std::optional<int> fd = namedDescriptor(path)) {
        // A stream matters only where it is a file another output could name.
        if (::fstat(*fd, &info) == 0 && S_ISREG(info.st_mode))
            return FileIdentity{info.st_dev, info.st_ino, {}};
        return std::nullopt;
    }
    const QString target = followLinks(path).path;
    if (statPath(target, info))
        return FileIdentity{info.st_dev, info.st_ino, {}};
    if (statPath(folderPart(target), info))
        return FileIdentity{info.st_dev, info.st_ino, namePart(target)};
    return std::nullopt;
}

void refuseNonRegular(const QString& path)
{
    // These files are written beside their destination and renamed over it, which would replace
    // a device or a pipe (even /dev/full, for root) instead of writing into it.
    struct stat info = {};
    if (statPath(followLinks(path).path, info) && !S_ISREG(info.st_mode))
        throw Failure{"cannot write " + quoted(path) + ": it is not a regular file"};
}

// A trace into a descriptor: it must be open for writing. One that was closed when the program
// started has /dev/null in its place, which would swallow the trace.
void requireWritableDescriptor(const QString& path, int fd)
{
    if (const auto why = whyNotWritableDescriptor(fd))
        throw Failure{"cannot write " +
                      (path == QStringLiteral("-") ? std::string("the trace to standard output")
                                                   : quoted(path)) +
                      ": " + *why};
}

// The outputs named so far, so that no two of them are one file.
class OutputClaims
{
public:
    // `path` can be written, and is no file claimed before.
    void claim(const QString& path)
    {
        if (const std::optional<int> fd = namedDescriptor(path))
            requireWritableDescriptor(path, *fd);
        else
            requireWritable(path);
        const std::optional<FileIdentity> identity = identityOf(path);
        if (!identity)
            return;
        for (const auto& [other, otherPath] : claimed_) {
            if (other != *identity)
                continue;
            if (otherPath == path)
                throw Failure{quoted(path) + " is named as output more than once"};
            throw Failure{shown(otherPath) + " and " + shown(path) + " are the same file"};
        }
        claimed_.emplace_back(*identity, path);
    }

private:
    static std::string shown(const QString& path)
    {
        return path == QStringLiteral("-") ? std::string("standard output") : quoted(path);
    }

    std::vector<std::pair<FileIdentity, QString>> claimed_;
};

// Every output can be written, and no two of them are one file.
void checkOutputs(const Options& o)
{
    OutputClaims claims;
    for (const ScreenshotRequest& shot : o.screenshots) {
        claims.claim(shot.path);
        refuseNonRegular(shot.path);
    }
    if (o.tracePath)
        claims.claim(*o.tracePath);
    for (const auto& path : {o.recordPath, o.subtitlesPath}) {
        if (path) {
            claims.claim(*path);
            requireNew(*path, o.overwrite);
            refuseNonRegular(*path);
        }
    }
}

} // namespace

std::optional<std::string> whyNotWritable(const QString& path)
{
    if (path.isEmpty())
        return "the file name is empty";
    // Bytes the locale cannot decode arrive as U+FFFD: writing would create another name.
    if (path.contains(QChar::ReplacementCharacter))
        return "the name is not valid in the locale's encoding";
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.size() > PATH_MAX - 1)
        return "the path is longer than " + std::to_string(PATH_MAX - 1) + " bytes";
    for (const QByteArray& part : encoded.split('/'))
        if (part.size() > NAME_MAX)
            return "a name in the path is longer than " + std::to_string(NAME_MAX) + " bytes";
    // A link is written through: what matters is where it leads.
    const FollowedPath followed = followLinks(path);
    if (!followed.refused.empty())
        return followed.refused;
    const QByteArray target = QFile::encodeName(followed.path);
    struct stat info = {};
    const bool exists = ::stat(target.constData(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
        return "it is a folder";
    // A device or a pipe is written into where it is.
    if (exists && !S_ISREG(info.st_mode))
        return ::access(target.constData(), W_OK) == 0
                   ? std::nullopt
                   : std::optional<std::string>("permission denied");
    const QString folder = folderPart(followed.path);
    struct stat folderInfo = {};
    if (!statPath(folder, folderInfo))
        return "the folder " + quoted(folder) + " does not exist";
    if (!S_ISDIR(folderInfo.st_mode))
        return quoted(folder) + " is not a folder";
    if (exists && ::access(target.constData(), W_OK) != 0)
        return "permission denied";
    // The file is made beside its destination and renamed over it.
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return "the folder " + quoted(folder) + " is not writable";
    if (temporaryPathLength(target) > PATH_MAX - 1)
        return "the path is too long for the file written beside it first (" +
               std::to_string(PATH_MAX - 1) + " bytes at most)";
    return std::nullopt;
}

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    CommandLine line;
    ParsedCommandLine result;
    const auto fail = [&](const std::string& message) {
        result.action = ParsedCommandLine::Action::Error;
        result.text = message;
        return result;
    };
    if (!line.parser().parse(arguments))
        return fail(line.parser().errorText().toStdString());
    if (line.isSet(Opt::Help)) {
        result.action = ParsedCommandLine::Action::Help;
        result.text = helpText(line.parser()).toStdString();
        return result;
    }
    if (line.isSet(Opt::Version)) {
        result.action = ParsedCommandLine::Action::Version;
        result.text = std::string(kProgramName) + " " + std::string(kVersion) + "\n";
        return result;
    }
    if (!line.parser().positionalArguments().isEmpty())
        return fail("unexpected argument " + quoted(line.parser().positionalArguments().first()));
    try {
        result.options = readOptions(line);
        checkCombinations(line, result.options);
        checkOutputs(result.options);
    } catch (const Failure& failure) {
        return fail(failure.message);
    }
    return result;
}

} // namespace q3
