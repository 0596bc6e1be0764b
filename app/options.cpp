#include "app/options.h"

#include "app/output_checks.h"
#include "app/output_file.h"
#include "app/version.h"
#include "app/video_encoder.h"
#include "core/messages.h"
#include "core/option_rules.h"
#include "core/option_values.h"
#include "core/player.h"
#include "core/script/show.h"
#include "core/speed.h"

#include <QCommandLineParser>
#include <utility>
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

// Reading the values of the options.

int parseMs(const QString& option, const QString& text)
{
    const OptionValue<int> ms =
        readMs(OptionFront::CommandLine, option.toStdString(), text.toStdString());
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
    const OptionValue<std::uint32_t> seed = readSeed(OptionFront::CommandLine, text.toStdString());
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
    const OptionValue<double> speed = readSpeed(OptionFront::CommandLine, text.toStdString());
    if (!speed)
        throw Failure{speed.problem};
    return speed.value;
}

Quality parseQuality(const QString& text)
{
    const auto named = qualityNamed(text.toStdString());
    if (!named)
        throw Failure{qualityProblem(OptionFront::CommandLine, quoted(text))};
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

// The options that steer the run, as the rules between them take them.
RunRequest runRequest(const CommandLine& line, const Options& o)
{
    RunRequest run{.show = makeQuilletShow(o.seed.value_or(0)),
                   .clicks = o.clicks,
                   .startMs = o.startMs,
                   .durationMs = o.durationMs,
                   .loop = o.loop,
                   .speedGiven = line.isSet(Opt::Speed),
                   .onVirtualTime = o.headless,
                   .recording = o.recordPath || o.subtitlesPath};
    for (const ScreenshotRequest& shot : o.screenshots)
        run.stillsMs.push_back(shot.atMs);
    return run;
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
    const RunRequest run = runRequest(line, o);
    for (const auto& rule : {stillsPastRunProblem, steeringProblem})
        if (std::string problem = rule(run, OptionFront::CommandLine); !problem.empty())
            throw Failure{std::move(problem)};
}

} // namespace

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
        if (std::string problem = outputsProblem(result.options); !problem.empty())
            return fail(problem);
    } catch (const Failure& failure) {
        return fail(failure.message);
    }
    return result;
}

} // namespace q3
