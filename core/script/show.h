#pragma once

#include "core/effects/effects.h"
#include "core/int16.h"
#include "core/scheduler.h"
#include "core/show_program.h"
#include "core/stage.h"

#include <cstdint>
#include <string_view>

namespace q3 {

// The show: the stage window's handlers (the load, the click and the ticks of the four timers),
// with the state the window holds for them. Each handler runs to completion; an error ends it
// at the step that raised it and is reported to the stage's listeners and to the host, and the
// show goes on.
class Show final : public ShowProgram
{
public:
    Show(Scheduler& scheduler, StageHost& host, std::uint32_t seed);

    void load() override;
    void click() override;
    bool clickAt(double x, double y) override;
    void tick(Timer timer) override;

    [[nodiscard]] Stage& stage() override { return stage_; }
    [[nodiscard]] const Stage& stage() const override { return stage_; }
    [[nodiscard]] Int16 cueCount() const override { return CueCount_; }
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
    Int16 CueCount_ = 0;
    EffectState effects_;
};

// This show, with the random source seeded with `seed`, for a Player to play: what every front
// hands its player.
[[nodiscard]] ShowFactory makeQuilletShow(std::uint32_t seed);

} // namespace q3
