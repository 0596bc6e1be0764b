#include "app/options.h"

#include "app/messages.h"
#include "app/output_file.h"
#include "app/version.h"
#include "app/video_encoder.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <charconv>
#include <climits>
#include <fcntl.h>
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
    const std::string s = text.toStdString();
    if (s.empty() || s.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (error != std::errc() || end != s.data() + s.size() || value > max)
        return std::nullopt;
    return value;
}

struct Failure
{
    std::string message;
};

int parseMs(const QString& option, const QString& text)
{
    const auto value = parseWhole(text, std::numeric_limits<int>::max());
    if (!value)
        throw Failure{"--" + option.toStdString() +
                      " takes a whole number of milliseconds from 0 to " +
                      std::to_string(std::numeric_limits<int>::max()) + ", not " + quoted(text)};
    return static_cast<int>(*value);
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

void requireWritable(const QString& path)
{
    if (auto why = whyNotWritable(path))
        throw Failure{"cannot write " + quoted(path) + ": " + *why};
}

// A recording is only written whole, so an existing file is kept unless the user said otherwise.
void requireNew(const QString& path, bool overwrite)
{
    if (!overwrite && QFileInfo::exists(path) && !QFileInfo(path).isDir())
        throw Failure{quoted(path) + " already exists; add --overwrite to replace it"};
}

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
    if (path == QStringLiteral("-")) {
        // Standard output matters only where it is a file another output could name.
        if (::fstat(STDOUT_FILENO, &info) == 0 && S_ISREG(info.st_mode))
            return FileIdentity{info.st_dev, info.st_ino, {}};
        return std::nullopt;
    }
    const QFileInfo target(followLinks(path));
    if (::stat(QFile::encodeName(target.filePath()).constData(), &info) == 0)
        return FileIdentity{info.st_dev, info.st_ino, {}};
    if (::stat(QFile::encodeName(target.absolutePath()).constData(), &info) == 0)
        return FileIdentity{info.st_dev, info.st_ino, target.fileName()};
    return std::nullopt;
}

void refuseNonRegular(const QString& path)
{
    // These files are written beside their destination and renamed over it, which would replace
    // a device or a pipe (even /dev/full, for root) instead of writing into it.
    const QFileInfo target(followLinks(path));
    if (target.exists() && !target.isFile())
        throw Failure{"cannot write " + quoted(path) + ": it is not a regular file"};
}

// Every output can be written, and no two of them are one file.
void checkOutputs(const Options& o)
{
    std::vector<std::pair<FileIdentity, QString>> claimed;
    const auto claim = [&](const QString& path) {
        if (path != QStringLiteral("-"))
            requireWritable(path);
        const std::optional<FileIdentity> identity = identityOf(path);
        if (!identity)
            return;
        for (const auto& [other, otherPath] : claimed) {
            if (other != *identity)
                continue;
            if (otherPath == path)
                throw Failure{quoted(path) + " is named as output more than once"};
            const auto name = [](const QString& p) {
                return p == QStringLiteral("-") ? std::string("standard output") : quoted(p);
            };
            throw Failure{name(otherPath) + " and " + name(path) + " are the same file"};
        }
        claimed.emplace_back(*identity, path);
    };
    for (const ScreenshotRequest& shot : o.screenshots) {
        claim(shot.path);
        refuseNonRegular(shot.path);
    }
    if (o.tracePath)
        claim(*o.tracePath);
    // With standard output closed, the next file the program opens takes its number and
    // the trace would be written into that file.
    if (o.tracePath && *o.tracePath == QStringLiteral("-") && ::fcntl(STDOUT_FILENO, F_GETFD) == -1)
        throw Failure{"cannot write the trace to standard output: it is closed"};
    for (const auto& path : {o.recordPath, o.subtitlesPath}) {
        if (path) {
            claim(*path);
            requireNew(*path, o.overwrite);
            refuseNonRegular(*path);
        }
    }
}

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
        "\nKeys in the window:\n"
        "  F11      toggle fullscreen\n"
        "  Escape   leave fullscreen\n"
        "  Space    pause and resume the show\n"
        "  Q        switch between crisp and smooth quality\n"
        "  Ctrl+Q   close the window\n");
    return text;
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
    const QFileInfo info(followLinks(path));
    if (info.isDir())
        return "it is a folder";
    // A device or a pipe is written into where it is.
    if (info.exists() && !info.isFile())
        return info.isWritable() ? std::nullopt : std::optional<std::string>("permission denied");
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return "the folder " + quoted(folder.filePath()) + " does not exist";
    if (!folder.isDir())
        return quoted(folder.filePath()) + " is not a folder";
    if (info.exists() && !info.isWritable())
        return "permission denied";
    // The file is made beside its destination and renamed over it.
    if (!folder.isWritable())
        return "the folder " + quoted(folder.filePath()) + " is not writable";
    return std::nullopt;
}

ParsedCommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Quillet 3: the cartoon show, in its window or headless."));
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Show the version and exit."));
    const QCommandLineOption headless(QStringLiteral("headless"),
                                      QStringLiteral("Run without a window, on virtual time."));
    const QCommandLineOption duration(
        QStringLiteral("duration"),
        QStringLiteral("Headless: stop at MS (default: 5000 ms after the last cue)."),
        QStringLiteral("MS"));
    const QCommandLineOption click(QStringLiteral("click"),
                                   QStringLiteral("Headless: one more click at MS (repeatable)."),
                                   QStringLiteral("MS"));
    const QCommandLineOption seed(QStringLiteral("seed"),
                                  QStringLiteral("Seed of the random source, 0 to 4294967295 "
                                                 "(default: from the clock)."),
                                  QStringLiteral("N"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write every stage event as JSON lines to FILE "
                                                  "(- for standard output)."),
                                   QStringLiteral("FILE"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("A PNG of the window at MS (repeatable; implies --headless)."),
        QStringLiteral("MS:FILE.png"));
    const QCommandLineOption size(
        QStringLiteral("size"),
        QStringLiteral("Size of screenshots and recordings (default 1280x960)."),
        QStringLiteral("WxH"));
    const QCommandLineOption record(QStringLiteral("record"),
                                    QString::fromStdString("Record the show to " +
                                                           videoFormatChoices("FILE") +
                                                           " (implies --headless)."),
                                    QStringLiteral("FILE"));
    const QCommandLineOption subtitles(
        QStringLiteral("subtitles"),
        QStringLiteral("Write the captions of the show as WebVTT (implies --headless)."),
        QStringLiteral("FILE.vtt"));
    const QCommandLineOption fps(QStringLiteral("fps"),
                                 QStringLiteral("Frames per second of the recording, 1 to 120 "
                                                "(default 30): a constant rate."),
                                 QStringLiteral("N"));
    const QCommandLineOption variableRate(
        QStringLiteral("variable-frame-rate"),
        QStringLiteral("Record a frame only where the picture changes: a smaller file, which "
                       "some editors do not take."));
    const QCommandLineOption quality(
        QStringLiteral("quality"),
        QStringLiteral("crisp: hard pixels (default); smooth: antialiased shapes and pictures. "
                       "In the window Q switches between them."),
        QStringLiteral("crisp|smooth"));
    const QCommandLineOption quiet(QStringLiteral("quiet"),
                                   QStringLiteral("No progress while recording."));
    const QCommandLineOption overwrite(
        QStringLiteral("overwrite"),
        QStringLiteral("Replace an existing recording or subtitles file."));
    parser.addOptions({help, version, headless, duration, click, seed, trace, screenshot, size,
                       record, subtitles, fps, variableRate, quality, quiet, overwrite});

    ParsedCommandLine result;
    const auto fail = [&](const std::string& message) {
        result.action = ParsedCommandLine::Action::Error;
        result.text = message;
        return result;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText().toStdString());
    if (parser.isSet(help)) {
        result.action = ParsedCommandLine::Action::Help;
        result.text = helpText(parser).toStdString();
        return result;
    }
    if (parser.isSet(version)) {
        result.action = ParsedCommandLine::Action::Version;
        result.text = std::string(kProgramName) + " " + std::string(kVersion) + "\n";
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail("unexpected argument " + quoted(parser.positionalArguments().first()));

    try {
        Options& o = result.options;
        for (const QString& s : parser.values(screenshot))
            o.screenshots.push_back(parseScreenshot(s));
        const bool recording = parser.isSet(record) || parser.isSet(subtitles);
        o.headless = parser.isSet(headless) || !o.screenshots.empty() || recording;
        const auto single = [&](const QCommandLineOption& option) -> std::optional<QString> {
            const QStringList values = parser.values(option);
            if (values.isEmpty())
                return std::nullopt;
            if (values.size() > 1)
                throw Failure{"--" + option.names().last().toStdString() +
                              " is given more than once"};
            return values.first();
        };
        if (auto v = single(duration))
            o.durationMs = parseMs(QStringLiteral("duration"), *v);
        for (const QString& v : parser.values(click))
            o.clicks.push_back(parseMs(QStringLiteral("click"), v));
        if (auto v = single(seed)) {
            const auto value = parseWhole(*v, std::numeric_limits<std::uint32_t>::max());
            if (!value)
                throw Failure{"--seed takes a whole number from 0 to 4294967295, not " +
                              quoted(*v)};
            o.seed = static_cast<std::uint32_t>(*value);
        }
        if (auto v = single(size))
            o.size = parseSize(*v);
        if (auto v = single(trace))
            o.tracePath = *v;
        if (auto v = single(record))
            o.recordPath = *v;
        if (auto v = single(subtitles))
            o.subtitlesPath = *v;
        if (auto v = single(fps)) {
            const auto value = parseWhole(*v, kMaxFps);
            if (!value || *value == 0)
                throw Failure{"--fps takes a whole number from 1 to " + std::to_string(kMaxFps) +
                              ", not " + quoted(*v)};
            o.fps = static_cast<int>(*value);
        }
        o.variableFrameRate = parser.isSet(variableRate);
        if (auto v = single(quality)) {
            const auto named = qualityNamed(v->toStdString());
            if (!named)
                throw Failure{"--quality takes crisp or smooth, not " + quoted(*v)};
            o.quality = *named;
        }
        o.quiet = parser.isSet(quiet);
        o.overwrite = parser.isSet(overwrite);

        if (!o.headless) {
            for (const auto* option : {&duration, &click, &size})
                if (parser.isSet(*option))
                    throw Failure{"--" + option->names().last().toStdString() +
                                  " works only with --headless or --screenshot"};
        }
        for (const auto* option : {&fps, &variableRate})
            if (!o.recordPath && parser.isSet(*option))
                throw Failure{"--" + option->names().last().toStdString() +
                              " works only with --record"};
        if (!recording && parser.isSet(overwrite))
            throw Failure{"--overwrite works only with --record or --subtitles"};
        if (recording && (!o.screenshots.empty() || o.tracePath))
            throw Failure{"--record and --subtitles run on their own: take screenshots or a "
                          "trace in another run with the same --seed"};
        if (o.recordPath)
            checkVideo(*o.recordPath, o.size);
        if (o.subtitlesPath &&
            !o.subtitlesPath->endsWith(QStringLiteral(".vtt"), Qt::CaseInsensitive))
            throw Failure{"--subtitles writes WebVTT files: " + quoted(*o.subtitlesPath) +
                          " does not end in .vtt"};
        if (o.durationMs) {
            for (const ScreenshotRequest& shot : o.screenshots)
                if (shot.atMs > *o.durationMs)
                    throw Failure{"the screenshot at " + std::to_string(shot.atMs) +
                                  " ms is past the end of the run at " +
                                  std::to_string(*o.durationMs) + " ms"};
        }
        checkOutputs(o);
    } catch (const Failure& failure) {
        return fail(failure.message);
    }
    return result;
}

} // namespace q3
