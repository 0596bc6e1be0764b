#pragma once

#include "core/effects/effects.h"
#include "core/int16.h"
#include "core/scheduler.h"
#include "core/stage.h"

#include <cstdint>
#include <iosfwd>
#include <string_view>

namespace q3 {

// The stage window's handlers: the load, the click and the ticks of the four timers, with the
// state the window holds for them. Each handler runs to completion; an error ends it at the
// step that raised it and is reported on the error stream and to the stage's listeners, and
// the show goes on.
class Show
{
public:
    Show(Scheduler& scheduler, StageHost& host, std::uint32_t seed, std::ostream& errors);

    void load();
    void click();
    // A press on the window's surface at (x, y), in units: a visible label or picture there takes
    // it, since a click on a control is not a click on the window; anywhere else it is the
    // window's click. True when it was.
    bool clickAt(double x, double y);
    void tick(Timer timer);

    [[nodiscard]] Stage& stage() { return stage_; }
    [[nodiscard]] const Stage& stage() const { return stage_; }
    [[nodiscard]] Int16 cueCount() const { return CueCount_; }
    [[nodiscard]] const EffectState& effects() const { return effects_; }
    [[nodiscard]] std::uint32_t seed() const { return seed_; }

private:
    void cueTick();
    // Runs a handler for an event at `eventTime`, reporting its error if it raises one.
    template <typename Body>
    void runHandler(std::string_view handler, double eventTime, Body&& body);

    Scheduler& scheduler_;
    StageHost& host_;
    Stage stage_;
    std::uint32_t seed_;
    std::ostream& errors_;
    Int16 CueCount_ = 0;
    EffectState effects_;
};

} // namespace q3
