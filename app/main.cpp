// quillet3: plays the show in its window, or headless on virtual time.
#include "app/headless.h"
#include "app/options.h"
#include "app/output_file.h"
#include "app/recording.h"
#include "app/standard_streams.h"
#include "app/stop_signals.h"
#include "app/window_mode.h"
#include "core/messages.h"
#include "core/option_values.h"
#include "window/window_platform.h"

#include <QApplication>
#include <QGuiApplication>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <unistd.h>

namespace {

// The application object sets every category of the C library's locale from the environment.
// Numbers are written for programs (the trace, the encoder's settings), so they keep a point
// whatever the locale; texts keep the user's encoding.
void keepNumbersInTheCLocale()
{
    std::setlocale(LC_NUMERIC, "C");
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

// While the platform is probed, its complaints are expected: we explain its failure ourselves.
// Qt gives up on a platform it cannot start with a fatal message and an abort; say why in one
// line instead and end as for any other missing display.
void explainPlatformFailure(QtMsgType type, const QMessageLogContext& /*context*/,
                            const QString& /*message*/)
{
    if (type == QtFatalMsg) {
        q3::printError(q3::platformStartFailure());
        std::_Exit(1);
    }
}

// The help or the version on standard output; like other tools, a failure to write them is an
// error ("write error: No space left on device" into /dev/full).
int printText(const std::string& text)
{
    const int error =
        q3::wasClosedAtStart(STDOUT_FILENO) ? EBADF : q3::writeAll(STDOUT_FILENO, text);
    if (error == 0)
        return 0;
    q3::printError("write error: " + std::string(std::strerror(error)));
    return 1;
}

// A headless run draws on Qt's offscreen platform; where its plugin is missing Qt would abort.
void explainHeadlessFailure(QtMsgType type, const QMessageLogContext& /*context*/,
                            const QString& /*message*/)
{
    if (type == QtFatalMsg) {
        q3::printError("cannot play headless: no installed Qt plugin provides the Qt platform "
                       "\"offscreen\"");
        std::_Exit(1);
    }
}

} // namespace

int main(int argc, char* argv[])
{
    // Before anything is opened, so that no file takes the number of a closed standard stream.
    q3::openClosedStandardDescriptors();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    const q3::ParsedCommandLine parsed = q3::parseCommandLine(arguments);
    switch (parsed.action) {
    case q3::ParsedCommandLine::Action::Help:
    case q3::ParsedCommandLine::Action::Version:
        return printText(parsed.text);
    case q3::ParsedCommandLine::Action::Error:
        q3::printError(q3::optionProblem(parsed.text));
        return 2;
    case q3::ParsedCommandLine::Action::Run:
        break;
    }

    q3::installStopSignals();
    const q3::Options& options = parsed.options;
    const std::uint32_t seed = options.seed.value_or(q3::seedFromTheClock());
    QCoreApplication::setApplicationName(QString::fromUtf8(q3::kProgramName));

    qInstallMessageHandler(printQtMessage);
    if (options.headless) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(explainHeadlessFailure);
        QGuiApplication app(argc, argv);
        qInstallMessageHandler(printQtMessage);
        keepNumbersInTheCLocale();
        if (options.recordPath || options.subtitlesPath) {
            // So that a recording made without a seed can be made again.
            if (!options.seed)
                q3::printMessage("seed " + std::to_string(seed));
            return q3::runRecording(options, seed);
        }
        return q3::runHeadless(options, seed);
    }

    const bool platformChosen = q3::chooseWindowPlatform();
    qInstallMessageHandler(explainPlatformFailure);
    QApplication app(argc, argv);
    qInstallMessageHandler(printQtMessage);
    if (const auto why =
            q3::platformWithoutWindow(QGuiApplication::platformName(), platformChosen)) {
        q3::printError(*why);
        return 1;
    }
    keepNumbersInTheCLocale();
    return q3::runWindow(options, seed);
}
