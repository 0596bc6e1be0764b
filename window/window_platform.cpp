#include "window/window_platform.h"

#include <QDir>
#include <QGuiApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <QStringList>

namespace q3 {
namespace {

const char* const kNoDisplay = "no display to open the window on";
const char* const kHowWithout = "; use --headless or --screenshot MS:FILE.png to play the show "
                                "without one";

std::string noDisplay(const QString& why)
{
    return std::string(kNoDisplay) + ": " + why.toStdString() + kHowWithout;
}

// The platforms QT_QPA_PLATFORM names, in the order Qt tries them, without their options.
QStringList namedPlatforms()
{
    QStringList names;
    for (const QString& entry : qEnvironmentVariable("QT_QPA_PLATFORM").split(u';'))
        names << entry.section(u':', 0, 0).trimmed();
    return names;
}

// The folders Qt looks in for platform plugins.
QStringList platformPluginFolders()
{
    QStringList folders;
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM_PLUGIN_PATH"))
        folders << qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    for (const QString& path :
         qEnvironmentVariable("QT_PLUGIN_PATH").split(QDir::listSeparator(), Qt::SkipEmptyParts))
        folders << path + QStringLiteral("/platforms");
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms");
    return folders;
}

// Whether an installed plugin provides the platform, read from the plugins' descriptions
// without loading them.
bool isInstalled(const QString& platform)
{
    for (const QString& folder : platformPluginFolders()) {
        for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files)) {
            const QJsonArray keys = QPluginLoader(file.absoluteFilePath())
                                        .metaData()
                                        .value(QStringLiteral("MetaData"))
                                        .toObject()
                                        .value(QStringLiteral("Keys"))
                                        .toArray();
            for (const auto& key : keys)
                if (key.toString().compare(platform, Qt::CaseInsensitive) == 0)
                    return true;
        }
    }
    return false;
}

QString quotedPlatform(const QString& platform)
{
    return QStringLiteral("the Qt platform \"%1\" (QT_QPA_PLATFORM)").arg(platform);
}

// The display a platform connects to, named by this variable.
const char* displayVariable(const QString& platform)
{
    if (platform.compare(QStringLiteral("xcb"), Qt::CaseInsensitive) == 0)
        return "DISPLAY";
    if (platform.startsWith(QStringLiteral("wayland"), Qt::CaseInsensitive))
        return "WAYLAND_DISPLAY";
    return nullptr;
}

} // namespace

bool chooseWindowPlatform()
{
    if (!qEnvironmentVariable("QT_QPA_PLATFORM").trimmed().isEmpty())
        return true;
    if (!qEnvironmentVariable("WAYLAND_DISPLAY").isEmpty())
        qputenv("QT_QPA_PLATFORM", "wayland;xcb;offscreen");
    else
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
    return false;
}

std::optional<std::string> platformWithoutWindow(const QString& platformName, bool chosenByUser)
{
    // Qt would abort at the first window it makes.
    if (QGuiApplication::primaryScreen() == nullptr)
        return noDisplay(quotedPlatform(platformName) + QStringLiteral(" found no screen"));
    // The first ones draw only into memory; vkkhrdisplay shows Vulkan surfaces alone, never a
    // widget, and would run on with nothing on the screen.
    static const QStringList kShowNoWindow{QStringLiteral("offscreen"), QStringLiteral("minimal"),
                                           QStringLiteral("minimalegl"),
                                           QStringLiteral("vkkhrdisplay")};
    if (!kShowNoWindow.contains(platformName, Qt::CaseInsensitive))
        return std::nullopt;
    if (!chosenByUser)
        return std::string(kNoDisplay) + kHowWithout;
    return noDisplay(quotedPlatform(platformName) + QStringLiteral(" shows no window"));
}

std::string platformStartFailure()
{
    const QString platform = namedPlatforms().value(0);
    if (platform.isEmpty() || !isInstalled(platform))
        return noDisplay(QStringLiteral("no installed Qt plugin provides ") +
                         quotedPlatform(platform));
    const char* variable = displayVariable(platform);
    if (variable == nullptr)
        return noDisplay(quotedPlatform(platform) + QStringLiteral(" could not start"));
    const QString display = qEnvironmentVariable(variable);
    if (display.isEmpty())
        return noDisplay(
            quotedPlatform(platform) +
            QStringLiteral(" needs %1, which is not set").arg(QLatin1String(variable)));
    return noDisplay(
        quotedPlatform(platform) +
        QStringLiteral(" could not connect to %1=%2").arg(QLatin1String(variable), display));
}

} // namespace q3
