#include "window/steering.h"

#include <QKeyEvent>
#include <algorithm>

namespace q3 {
namespace {

constexpr double kJumpMs = 5000;

std::optional<Steer> steerForText(int key)
{
    switch (key) {
    case Qt::Key_Comma:
        return Steer{SteerKind::StepBack};
    case Qt::Key_Period:
        return Steer{SteerKind::StepForward};
    case Qt::Key_BracketLeft:
        return Steer{SteerKind::Slower};
    case Qt::Key_BracketRight:
        return Steer{SteerKind::Faster};
    default:
        break;
    }
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return Steer{SteerKind::Tenth, key - Qt::Key_0};
    return std::nullopt;
}

} // namespace

std::optional<Steer> steerFor(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    // Shortcuts of other programs and of the desktop use Control, Alt and Meta.
    if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return std::nullopt;
    const bool shift = modifiers == Qt::ShiftModifier;
    switch (event.key()) {
    case Qt::Key_Left:
        return Steer{shift ? SteerKind::PreviousCue : SteerKind::Back};
    case Qt::Key_Right:
        return Steer{shift ? SteerKind::NextCue : SteerKind::Forward};
    case Qt::Key_Home:
        return Steer{SteerKind::Home};
    case Qt::Key_End:
        return Steer{SteerKind::End};
    case Qt::Key_L:
        if (event.isAutoRepeat())
            return std::nullopt;
        return Steer{SteerKind::Loop};
    default:
        // `,` `.` `[` `]` and the digits may need Shift on some keyboard layouts.
        return steerForText(event.key());
    }
}

bool seeks(Steer steer)
{
    return steer.kind != SteerKind::Slower && steer.kind != SteerKind::Faster &&
           steer.kind != SteerKind::Loop;
}

double ShowSpan::clamp(double ms) const
{
    return std::clamp(ms, start, end);
}

ShowSpan spanOf(const ShowChart& chart, double start)
{
    return {start, std::max(start, chart.end)};
}

std::optional<double> seekTarget(Steer steer, const ShowChart& chart, double start, double now,
                                 bool paused)
{
    const ShowSpan span = spanOf(chart, start);
    std::optional<double> to;
    switch (steer.kind) {
    case SteerKind::Back:
        to = now - kJumpMs;
        break;
    case SteerKind::Forward:
        to = now + kJumpMs;
        break;
    case SteerKind::PreviousCue:
        to = previousCue(chart, now).value_or(start);
        break;
    case SteerKind::NextCue:
        to = nextCue(chart, now);
        break;
    case SteerKind::Home:
        to = start;
        break;
    case SteerKind::End:
        to = chart.cues.empty() ? span.end : chart.cues.back();
        break;
    case SteerKind::Tenth:
        to = start + (span.end - start) * steer.tenths / 10;
        break;
    case SteerKind::StepBack:
        to = paused ? previousChange(chart, now).value_or(start) : std::optional<double>();
        break;
    case SteerKind::StepForward:
        to = paused ? nextChange(chart, now) : std::nullopt;
        break;
    default:
        break;
    }
    // Before the starting click the show has not begun: no seek goes there.
    if (to)
        to = span.clamp(*to);
    return to;
}

double steppedSpeed(double speed, bool faster)
{
    return std::clamp(faster ? speed * 2 : speed / 2, kMinSpeed, kMaxSpeed);
}

QString speedText(double speed)
{
    return QString::number(speed) + QStringLiteral("×");
}

} // namespace q3
