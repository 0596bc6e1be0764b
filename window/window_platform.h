#pragma once
// The Qt platform the window opens on, and what the user is told when it can show no window.

#include <QString>
#include <optional>
#include <string>

namespace q3 {

// Offers Qt the usual platforms and then the offscreen one when the user has not named one in
// QT_QPA_PLATFORM (an empty value names none), so that a missing display is noticed and
// explained. Returns whether the user had named one.
bool chooseWindowPlatform();

// Once the application object is made: why the platform it started on shows no window (the
// offscreen and minimal ones draw only into memory, vkkhrdisplay shows no widgets), in one line;
// nothing when it shows one.
std::optional<std::string> platformWithoutWindow(const QString& platformName, bool chosenByUser);

// Why no platform QT_QPA_PLATFORM names could be started, in one line: a plugin that is not
// installed, a display that is not set, or a platform that failed to start.
std::string platformStartFailure();

} // namespace q3
