#include "steering/pointer.h"

namespace q3 {
namespace {

double seekUnder(double x, const Timeline& timeline, const PointerScene& scene)
{
    return timeline.msAt(x, scene.span());
}

} // namespace

PointerDid PointerSteering::handle(PointerEvent event, double x, double y, double wallMs,
                                   Timeline& timeline, const PointerScene& scene)
{
    switch (event) {
    case PointerEvent::Press:
        return press(x, y, wallMs, timeline, scene);
    case PointerEvent::Move:
        if (dragging_)
            return {.seekTo = seekUnder(x, timeline, scene)};
        if (!scene.started)
            return {};
        return {.timelineChanged = timeline.pointerAt(y, wallMs)};
    case PointerEvent::Release:
        if (!dragging_)
            return {};
        dragging_ = false;
        timeline.hold(false, wallMs);
        return {.timelineChanged = true};
    }
    return {};
}

PointerDid PointerSteering::press(double x, double y, double wallMs, Timeline& timeline,
                                  const PointerScene& scene)
{
    if (timeline.takes(y) && scene.started) {
        dragging_ = true;
        timeline.hold(true, wallMs);
        return {.seekTo = seekUnder(x, timeline, scene), .timelineChanged = true};
    }
    const double dpr = timeline.devicePixelRatio();
    PointerDid did{.pressAt = scene.fit.toUnits(x * dpr, y * dpr)};
    if (pressReveals_)
        did.timelineChanged = timeline.pointerAt(y, wallMs);
    return did;
}

} // namespace q3
