#include "web/page_steering.h"

#include <algorithm>

namespace q3 {
namespace {

constexpr double kJumpMs = 5000;

} // namespace

std::optional<PageSteer> steerForKey(std::string_view key, bool shift, bool repeat)
{
    if (key == "ArrowLeft")
        return PageSteer{shift ? PageSteerKind::PreviousCue : PageSteerKind::Back};
    if (key == "ArrowRight")
        return PageSteer{shift ? PageSteerKind::NextCue : PageSteerKind::Forward};
    if (key == "Home")
        return PageSteer{PageSteerKind::Home};
    if (key == "End")
        return PageSteer{PageSteerKind::End};
    if ((key == "l" || key == "L") && !repeat)
        return PageSteer{PageSteerKind::Loop};
    if (key == ",")
        return PageSteer{PageSteerKind::StepBack};
    if (key == ".")
        return PageSteer{PageSteerKind::StepForward};
    if (key == "[")
        return PageSteer{PageSteerKind::Slower};
    if (key == "]")
        return PageSteer{PageSteerKind::Faster};
    if (key.size() == 1 && key[0] >= '0' && key[0] <= '9')
        return PageSteer{PageSteerKind::Tenth, key[0] - '0'};
    return std::nullopt;
}

double PageSpan::clamp(double ms) const
{
    return std::clamp(ms, start, end);
}

PageSpan pageSpanOf(const ShowChart& chart, double start)
{
    return {start, std::max(start, chart.end)};
}

std::optional<double> pageSeekTarget(PageSteer steer, const ShowChart& chart, double start,
                                     double now, bool paused)
{
    const PageSpan span = pageSpanOf(chart, start);
    std::optional<double> to;
    switch (steer.kind) {
    case PageSteerKind::Back:
        to = now - kJumpMs;
        break;
    case PageSteerKind::Forward:
        to = now + kJumpMs;
        break;
    case PageSteerKind::PreviousCue:
        to = previousCue(chart, now).value_or(start);
        break;
    case PageSteerKind::NextCue:
        to = nextCue(chart, now);
        break;
    case PageSteerKind::Home:
        to = start;
        break;
    case PageSteerKind::End:
        to = chart.cues.empty() ? span.end : chart.cues.back();
        break;
    case PageSteerKind::Tenth:
        to = start + (span.end - start) * steer.tenths / 10;
        break;
    case PageSteerKind::StepBack:
        to = paused ? previousChange(chart, now).value_or(start) : std::optional<double>();
        break;
    case PageSteerKind::StepForward:
        to = paused ? nextChange(chart, now) : std::nullopt;
        break;
    default:
        break;
    }
    if (to)
        to = span.clamp(*to);
    return to;
}

double pageSteppedSpeed(double speed, bool faster)
{
    return std::clamp(faster ? speed * 2 : speed / 2, kMinSpeed, kMaxSpeed);
}

} // namespace q3
