#pragma once
// The viewer's pointer, whatever the front: a press on the shown timeline takes hold of it and
// seeks, a drag seeks as it goes and a release lets go; a move elsewhere shows the timeline over
// the lower part of the output; a press elsewhere is the show's, at its point of the stage. A
// touch has no move before its press: the press shows the timeline, and one that shows it is
// only that; while the last pointer was a touch the bar is a finger's height. A front passes its
// pointer's events in its own pixels and carries out what it is told.

#include "raster/stage_fit.h"
#include "steering/timeline.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace q3 {

enum class PointerEvent : std::uint8_t
{
    Press,
    Move,
    Release,
};

// What points: a mouse (or a pen, as precise), or a finger.
enum class PointerKind : std::uint8_t
{
    Mouse,
    Touch,
};

// What the pointer meets: whether the show has started, its span (asked only for a seek, since
// it may take the show's chart to work out), and where the stage lies in the output's device
// pixels.
struct PointerScene
{
    bool started = false;
    std::function<ShowSpan()> span;
    StageFit fit;
};

// What the front does after a pointer event; nothing when all are empty.
struct PointerDid
{
    std::optional<double> seekTo;      // the show goes to that moment (seekClicked)
    std::optional<StagePoint> pressAt; // the show's press, in units
    // The timeline showed, was let go or changed its height: paint its area.
    bool timelineChanged = false;
};

class PointerSteering
{
public:
    // `pressReveals`: a mouse's press shows the timeline as a move does, as a touch's always
    // does since it has no move before it; the press that starts the show too, so the timeline
    // shows whenever there is a show.
    explicit PointerSteering(bool pressReveals) : pressReveals_(pressReveals) {}

    // The pointer's event at (x, y) of the output's own pixels, at the wall clock's `wallMs`.
    PointerDid handle(PointerEvent event, PointerKind kind, double x, double y, double wallMs,
                      Timeline& timeline, const PointerScene& scene);
    [[nodiscard]] bool dragging() const { return dragging_; }

private:
    PointerDid press(PointerKind kind, double x, double y, double wallMs, Timeline& timeline,
                     const PointerScene& scene);

    bool pressReveals_;
    bool dragging_ = false;
};

} // namespace q3
