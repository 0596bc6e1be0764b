#pragma once
// The page's still (`?at=MS`): the show played on virtual time from a click at 0 ms, as a
// screenshot sees it, and the look at MS painted on the canvas. It takes no input.

#include "core/player.h"
#include "web/page_canvas.h"
#include "web/page_front.h"
#include "web/page_options.h"

#include <cstdint>

namespace q3 {

class PageStill final : public PageFront, private PlayerOutput, private StageListener
{
public:
    // `options.atMs` is the still's moment.
    PageStill(const PageOptions& options, std::uint32_t seed);

    void start() override;
    void resize(double cssWidth, double cssHeight, double devicePixelRatio) override;
    void frame() override { canvas_.paint(player_.stage()); }
    [[nodiscard]] double currentTime() const override { return player_.now(); }

private:
    void pausedChanged() override { player_.setPaused(pausedNow()); }
    // PlayerOutput
    void frameDue(FrameDue when) override;
    [[nodiscard]] std::optional<double> nextLook() const override;
    void look(double atMs, const Stage& stage) override;
    // StageListener
    void onEvent(const Event& event) override;

    PageOptions options_;
    Player player_;
    PageCanvas canvas_;
    EventBus::Subscription following_;
    bool taken_ = false;
};

} // namespace q3
