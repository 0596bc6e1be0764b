#pragma once
// The page's front: one Player on the browser's clock (or, for a still, on virtual time), fed
// with the page's clicks, keys, resizes and visibility, painting what the player says changed.

#include "core/player.h"
#include "steering/steering.h"
#include "web/page_canvas.h"
#include "web/page_options.h"
#include "web/page_timeline.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace q3 {

class PageShow final : public PlayerOutput, private StageListener
{
public:
    PageShow(const PageOptions& options, std::uint32_t seed);

    // Loads the show and starts it as the options say: waiting for the click, at a moment, or
    // as a still.
    void start();

    // The page in CSS pixels and its device pixels per CSS pixel.
    void resize(double cssWidth, double cssHeight, double devicePixelRatio);
    // A press, a move or a release of the pointer or a touch, in CSS pixels.
    enum class Pointer : std::uint8_t
    {
        Down,
        Move,
        Up,
    };
    void pointer(Pointer what, double x, double y);
    // A key as the browser names it (KeyboardEvent.key); true when the show took it.
    bool key(std::string_view name, bool shift, bool otherModifiers, bool repeat);
    // While the page is hidden the show's time stands still.
    void setHidden(bool hidden);
    // The timer the front set has fired.
    void runDue();
    // The display refreshes.
    void frame();

    // The script's controls, as a video element's.
    [[nodiscard]] double currentTime() const;
    [[nodiscard]] bool paused() const { return userPaused_; }
    void play();
    void pause();
    void seek(double ms);
    [[nodiscard]] const std::string& trace() const { return trace_; }

private:
    // PlayerOutput
    void frameDue(FrameDue when) override;
    void timersChanged() override { rearm(); }
    [[nodiscard]] std::optional<double> nextLook() const override;
    void look(double atMs, const Stage& stage) override;
    // StageListener
    void onEvent(const Event& event) override;

    void setPausedState();
    void steer(Steer steer);
    void seekFromTimeline(double x);
    [[nodiscard]] std::optional<PageTimelineModel> timelineModel();
    void rearm();
    void paint();
    void announceCaptions();

    PageOptions options_;
    std::uint32_t seed_;
    Player player_;
    PageCanvas canvas_;
    PageTimeline timeline_;
    bool dragging_ = false;
    EventBus::Subscription following_;
    std::string trace_;
    std::set<std::string> onScreen_;
    std::map<std::string, double> leftAt_; // when each caption last left the screen
    double dpr_ = 1;
    bool userPaused_ = false;
    bool hidden_ = false;
    bool stillTaken_ = false;
};

} // namespace q3
