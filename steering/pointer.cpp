#include "steering/pointer.h"

namespace q3 {
namespace {

double seekUnder(double x, const Timeline& timeline, const PointerScene& scene)
{
    return timeline.msAt(x, scene.span());
}

} // namespace

PointerDid PointerSteering::handle(PointerEvent event, PointerKind kind, double x, double y,
                                   double wallMs, Timeline& timeline, const PointerScene& scene)
{
    // A bar that changes its height while it shows is painted again.
    const bool resized = timeline.setTouch(kind == PointerKind::Touch) && timeline.shown();
    PointerDid did;
    switch (event) {
    case PointerEvent::Press:
        did = press(kind, x, y, wallMs, timeline, scene);
        break;
    case PointerEvent::Move:
        if (dragging_)
            did.seekTo = seekUnder(x, timeline, scene);
        else if (scene.started)
            did.timelineChanged = timeline.pointerAt(y, wallMs);
        break;
    case PointerEvent::Release:
        if (dragging_) {
            dragging_ = false;
            timeline.hold(false, wallMs);
            did.timelineChanged = true;
        }
        break;
    }
    did.timelineChanged = did.timelineChanged || resized;
    return did;
}

PointerDid PointerSteering::press(PointerKind kind, double x, double y, double wallMs,
                                  Timeline& timeline, const PointerScene& scene)
{
    if (timeline.takes(y) && scene.started) {
        dragging_ = true;
        timeline.hold(true, wallMs);
        return {.seekTo = seekUnder(x, timeline, scene), .timelineChanged = true};
    }
    const bool touch = kind == PointerKind::Touch;
    const bool hidden = !timeline.shown();
    const bool revealed = (pressReveals_ || touch) && timeline.pointerAt(y, wallMs);
    // A finger can show the timeline only by touching: that touch is not also a click on the
    // show, which would set its cue clock's pace back. The touch that starts the show is the
    // show's, as is a mouse's press, which had a move to show the timeline before it.
    if (touch && hidden && revealed && scene.started)
        return {.timelineChanged = true};
    const double dpr = timeline.devicePixelRatio();
    return {.pressAt = scene.fit.toUnits(x * dpr, y * dpr), .timelineChanged = revealed};
}

} // namespace q3
