#pragma once
// The page's live front: one Player on the browser's clock, fed with the page's clicks, keys,
// resizes and visibility, painting what the player says changed and the timeline over it, and
// naming what the viewer set in the page's title.

#include "core/player.h"
#include "steering/pointer.h"
#include "steering/steering.h"
#include "steering/timeline.h"
#include "steering/view_state.h"
#include "web/page_canvas.h"
#include "web/page_front.h"
#include "web/page_options.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace q3 {

class PageShow final : public PageFront, private PlayerOutput, private StageListener
{
public:
    PageShow(const PageOptions& options, std::uint32_t seed);

    // Waiting for the click, or played from a click at 0 ms to `start`.
    void start() override;
    void resize(double cssWidth, double cssHeight, double devicePixelRatio) override;
    void pointer(Pointer what, double x, double y, bool touch) override;
    bool key(std::string_view name, bool shift, bool otherModifiers, bool repeat) override;
    void runDue() override;
    void frame() override;

    [[nodiscard]] double currentTime() const override { return player_.now(); }
    void play() override;
    void seek(double ms) override;

private:
    void pausedChanged() override;
    // PlayerOutput
    void frameDue(FrameDue when) override;
    void timersChanged() override { rearm(); }
    // StageListener
    void onEvent(const Event& event) override;

    void steer(Steer steer);
    // The speed, the quality, the loop and the viewer's pause (not the hidden page's).
    [[nodiscard]] ViewState viewState() const;
    // The title names the state, and the page tells of what changed since it last did.
    void stateChanged();
    [[nodiscard]] std::optional<TimelineShow> timelineShow();
    void rearm();
    void paint();

    PageOptions options_;
    Player player_;
    PageCanvas canvas_;
    Timeline timeline_;
    PointerSteering pointer_{true};
    std::optional<ViewState> titled_; // what the title names, once started
    EventBus::Subscription following_;
};

} // namespace q3
