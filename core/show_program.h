#pragma once
// What the player needs of a show: its handlers and a few facts about it. A show implements
// ShowProgram; the player gets a ShowFactory, since every seek starts a fresh run of the show.

#include "core/controls.h"
#include "core/int16.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace q3 {

class Scheduler;
class Stage;
class StageHost;

// One run of a show, from before its load: the handlers of the window it plays in. Each
// handler runs to completion; an error ends it at the step that raised it, is reported to the
// stage's listeners and to the host (StageHost::handlerFailed), and the show goes on.
class ShowProgram
{
public:
    ShowProgram() = default;
    ShowProgram(const ShowProgram&) = delete;
    ShowProgram& operator=(const ShowProgram&) = delete;
    virtual ~ShowProgram() = default;

    virtual void load() = 0;
    // A click on the window's surface.
    virtual void click() = 0;
    // A press at (x, y), in units: a visible label or picture there takes it, since a click on a
    // control is not a click on the window; anywhere else it is the window's click. True when it
    // was.
    virtual bool clickAt(double x, double y) = 0;
    virtual void tick(Timer timer) = 0;

    [[nodiscard]] virtual Stage& stage() = 0;
    [[nodiscard]] virtual const Stage& stage() const = 0;
    // How many ticks of the cue timer (tmrTime) the show has counted: cues run, and after the
    // last cue ticks that only count.
    [[nodiscard]] virtual Int16 cueCount() const = 0;
};

// What the player knows of a show without playing it, and how to start a run of it.
struct ShowFactory
{
    // How many cues the show has: once cueCount() reaches it the last cue has run.
    int cueTotal = 0;
    // When the last cue runs in a show clicked once, at 0 ms.
    double usualLastCueMs = 0;
    // A fresh run, on the player's scheduler and host, before its load.
    std::function<std::unique_ptr<ShowProgram>(Scheduler& scheduler, StageHost& host)> make;
};

} // namespace q3
