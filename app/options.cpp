#include "app/options.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <charconv>
#include <limits>
#include <set>

namespace q3 {
namespace {

constexpr const char* kVersion = "3.0.0";

std::string quoted(const QString& text)
{
    return "'" + text.toStdString() + "'";
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

QString helpText(const QCommandLineParser& parser)
{
    QString text = parser.helpText();
    text += QStringLiteral(
        "\nWithout options the show opens in its window: click the white area once to begin.\n"
        "--headless runs the show without a window on virtual time, with a click at 0 ms.\n"
        "\nKeys in the window:\n"
        "  F11      toggle fullscreen\n"
        "  Escape   leave fullscreen\n"
        "  Space    pause and resume the show\n"
        "  Ctrl+Q   close the window\n");
    return text;
}

} // namespace

std::optional<std::string> whyNotWritable(const QString& path)
{
    if (path.isEmpty())
        return "the file name is empty";
    const QFileInfo info(path);
    if (info.isDir())
        return "it is a folder";
    if (info.exists())
        return info.isWritable() ? std::nullopt : std::optional<std::string>("permission denied");
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return "the folder " + quoted(folder.filePath()) + " does not exist";
    if (!folder.isDir())
        return quoted(folder.filePath()) + " is not a folder";
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
    const QCommandLineOption size(QStringLiteral("size"),
                                  QStringLiteral("Size of screenshots (default 1280x960)."),
                                  QStringLiteral("WxH"));
    parser.addOptions({help, version, headless, duration, click, seed, trace, screenshot, size});

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
        result.text = std::string("quillet3 ") + kVersion + "\n";
        return result;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail("unexpected argument " + quoted(parser.positionalArguments().first()));

    try {
        Options& o = result.options;
        for (const QString& s : parser.values(screenshot))
            o.screenshots.push_back(parseScreenshot(s));
        o.headless = parser.isSet(headless) || !o.screenshots.empty();
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

        if (!o.headless) {
            for (const auto* option : {&duration, &click, &size})
                if (parser.isSet(*option))
                    throw Failure{"--" + option->names().last().toStdString() +
                                  " works only with --headless or --screenshot"};
        }
        if (o.durationMs) {
            for (const ScreenshotRequest& shot : o.screenshots)
                if (shot.atMs > *o.durationMs)
                    throw Failure{"the screenshot at " + std::to_string(shot.atMs) +
                                  " ms is past the end of the run at " +
                                  std::to_string(*o.durationMs) + " ms"};
        }
        std::set<QString> outputs;
        const auto claim = [&](const QString& path) {
            const QString key = QFileInfo(path).absoluteFilePath();
            if (!outputs.insert(key).second)
                throw Failure{quoted(path) + " is named as output more than once"};
            requireWritable(path);
        };
        for (const ScreenshotRequest& shot : o.screenshots)
            claim(shot.path);
        if (o.tracePath && *o.tracePath != QStringLiteral("-"))
            claim(*o.tracePath);
    } catch (const Failure& failure) {
        return fail(failure.message);
    }
    return result;
}

} // namespace q3
