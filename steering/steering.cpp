#include "steering/steering.h"

#include "core/speed.h"

#include <algorithm>
#include <iterator>

namespace q3 {
namespace {

constexpr double kJumpMs = 5000;

std::optional<Steer> steerForKey(const KeyPress& press, bool started)
{
    switch (press.key) {
    case ViewerKey::Left:
        return Steer{press.shift ? SteerKind::PreviousCue : SteerKind::Back};
    case ViewerKey::Right:
        return Steer{press.shift ? SteerKind::NextCue : SteerKind::Forward};
    case ViewerKey::Home:
        return Steer{SteerKind::Home};
    case ViewerKey::End:
        return Steer{SteerKind::End};
    case ViewerKey::Digit:
        if (press.digit < 0 || press.digit > 9)
            return std::nullopt;
        return Steer{SteerKind::Tenth, press.digit};
    case ViewerKey::Comma:
        return Steer{SteerKind::StepBack};
    case ViewerKey::Period:
        return Steer{SteerKind::StepForward};
    case ViewerKey::BracketLeft:
        return Steer{SteerKind::Slower};
    case ViewerKey::BracketRight:
        return Steer{SteerKind::Faster};
    case ViewerKey::L:
        return Steer{SteerKind::Loop};
    case ViewerKey::Space:
        return Steer{started ? SteerKind::TogglePause : SteerKind::Start};
    case ViewerKey::Enter:
        return started ? std::nullopt : std::optional<Steer>(Steer{SteerKind::Start});
    case ViewerKey::Q:
        return press.shift ? std::nullopt : std::optional<Steer>(Steer{SteerKind::Quality});
    }
    return std::nullopt;
}

} // namespace

std::optional<Steer> steerFor(const KeyPress& press, bool started)
{
    // Shortcuts of other programs and of the desktop use Control, Alt and Meta. A key held down
    // repeats only where repeating means something: the pause, the start and the loop would
    // flicker.
    if (press.command)
        return std::nullopt;
    const bool toggles = press.key == ViewerKey::Space || press.key == ViewerKey::Enter ||
                         press.key == ViewerKey::L || press.key == ViewerKey::Q;
    if (press.autoRepeat && toggles)
        return std::nullopt;
    return steerForKey(press, started);
}

bool seeks(Steer steer)
{
    switch (steer.kind) {
    case SteerKind::Start:
    case SteerKind::TogglePause:
    case SteerKind::Slower:
    case SteerKind::Faster:
    case SteerKind::Loop:
    case SteerKind::Quality:
        return false;
    default:
        return true;
    }
}

double ShowSpan::clamp(double ms) const
{
    return std::clamp(ms, start, end);
}

ShowSpan spanOf(const ShowChart& chart, double start)
{
    return {start, std::max(start, chart.end)};
}

std::optional<double> previousChange(const ShowChart& chart, double now)
{
    // The picture on screen appeared at the last change up to now; the one before it is the
    // step back.
    const auto current = std::upper_bound(chart.changes.begin(), chart.changes.end(), now);
    if (current == chart.changes.begin() || std::prev(current) == chart.changes.begin())
        return std::nullopt;
    return *std::prev(current, 2);
}

std::optional<double> nextChange(const ShowChart& chart, double now)
{
    const auto next = std::upper_bound(chart.changes.begin(), chart.changes.end(), now);
    if (next == chart.changes.end())
        return std::nullopt;
    return *next;
}

std::optional<double> previousCue(const ShowChart& chart, double now)
{
    const auto before = std::lower_bound(chart.cues.begin(), chart.cues.end(), now - kCueRestartMs);
    if (before == chart.cues.begin())
        return std::nullopt;
    return *std::prev(before);
}

std::optional<double> nextCue(const ShowChart& chart, double now)
{
    const auto next = std::upper_bound(chart.cues.begin(), chart.cues.end(), now);
    if (next == chart.cues.end())
        return std::nullopt;
    return *next;
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

Steered applySteer(Player& player, Steer steer)
{
    switch (steer.kind) {
    case SteerKind::Start:
        clickToStart(player);
        return {};
    case SteerKind::TogglePause:
        player.setPaused(!player.paused());
        return {.stateChanged = true};
    case SteerKind::Slower:
    case SteerKind::Faster:
        player.setSpeed(steppedSpeed(player.speed(), steer.kind == SteerKind::Faster));
        return {.stateChanged = true};
    case SteerKind::Loop:
        player.setLoop(!player.loop());
        return {.stateChanged = true};
    case SteerKind::Quality:
        return {.toggleQuality = true};
    default:
        break;
    }
    const bool step = steer.kind == SteerKind::StepBack || steer.kind == SteerKind::StepForward;
    if (step && !player.paused())
        return {.revealTimeline = player.startedAt().has_value()};
    // The starting click, made by the key.
    clickToStart(player);
    const std::optional<double> to =
        seekTarget(steer, player.chart(), *player.startedAt(), player.now(), player.paused());
    if (!to)
        return {.revealTimeline = true};
    player.seek(*to);
    return {.seeked = true, .revealTimeline = true};
}

void clickToStart(Player& player)
{
    if (!player.startedAt())
        player.click();
}

void seekClicked(Player& player, double ms)
{
    clickToStart(player);
    player.seek(std::max(ms, *player.startedAt()));
}

} // namespace q3
