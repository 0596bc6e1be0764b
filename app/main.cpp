// quillet3: plays the show in its window, or headless on virtual time.
#include "app/headless.h"
#include "app/options.h"
#include "app/recording.h"
#include "app/window_show.h"

#include <QApplication>
#include <QGuiApplication>
#include <chrono>
#include <cstdlib>
#include <iostream>

namespace {

std::uint32_t seedFromClock()
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto ns = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count());
    return static_cast<std::uint32_t>(ns ^ (ns >> 32));
}

// Qt aborts when no display can be opened. Offer it the usual platforms and then the
// offscreen one, so that a missing display is noticed here and explained.
void chooseWindowPlatform()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return;
    if (qEnvironmentVariableIsSet("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "wayland;xcb;offscreen");
    else
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
}

// Qt's note about a missing runtime folder (it makes one itself) is only noise to a viewer.
bool isNoise(const QString& message)
{
    return message.startsWith(QStringLiteral("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

void printQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!isNoise(message))
        std::cerr << qFormatLogMessage(type, context, message).toStdString() << '\n';
}

// While the platform is probed, its failures are expected: we explain them ourselves.
void printQtMessageWhileProbing(QtMsgType type, const QMessageLogContext& context,
                                const QString& message)
{
    if (context.category == nullptr || !std::string_view(context.category).starts_with("qt.qpa"))
        printQtMessage(type, context, message);
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    const q3::ParsedCommandLine parsed = q3::parseCommandLine(arguments);
    switch (parsed.action) {
    case q3::ParsedCommandLine::Action::Help:
    case q3::ParsedCommandLine::Action::Version:
        std::cout << parsed.text << std::flush;
        return 0;
    case q3::ParsedCommandLine::Action::Error:
        std::cerr << "quillet3: error: " << parsed.text << " (see 'quillet3 --help')\n";
        return 2;
    case q3::ParsedCommandLine::Action::Run:
        break;
    }

    const q3::Options& options = parsed.options;
    const std::uint32_t seed = options.seed.value_or(seedFromClock());
    QCoreApplication::setApplicationName(QStringLiteral("quillet3"));

    qInstallMessageHandler(printQtMessage);
    if (options.headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        if (options.recordPath || options.subtitlesPath) {
            // So that a recording made without a seed can be made again.
            if (!options.seed)
                std::cerr << "quillet3: seed " << seed << '\n';
            return q3::runRecording(options, seed);
        }
        return q3::runHeadless(options, seed);
    }

    chooseWindowPlatform();
    q3::blockStopSignals();
    qInstallMessageHandler(printQtMessageWhileProbing);
    QApplication app(argc, argv);
    qInstallMessageHandler(printQtMessage);
    if (QGuiApplication::platformName() == QStringLiteral("offscreen") &&
        qgetenv("QT_QPA_PLATFORM") != "offscreen") {
        std::cerr << "quillet3: error: no display to open the window on; use --headless or "
                     "--screenshot MS:FILE.png to play the show without one\n";
        return 1;
    }
    return q3::runWindow(options.tracePath, seed, options.quality);
}
