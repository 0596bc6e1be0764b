#pragma once

#include "core/control_board.h"
#include "core/controls.h"
#include "core/display_list.h"
#include "core/event.h"
#include "core/event_bus.h"
#include "core/int16.h"
#include "core/random_source.h"
#include "core/rgb.h"
#include "core/scheduler.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace q3 {

// What the show asks of the player around its stage.
class StageHost
{
public:
    StageHost() = default;
    StageHost(const StageHost&) = delete;
    StageHost& operator=(const StageHost&) = delete;
    virtual ~StageHost() = default;

    // The pause of a frame loop, after its writes: the frame reaches the output, then 100 ms pass
    // from the handler's time, handling nothing.
    virtual void busyPause() = 0;
    // The window is maximised now.
    virtual void maximised() = 0;
    // A timer's period was set: when the next tick falls due may have changed.
    virtual void periodSet() = 0;
    // A handler ended with an error, already reported to the listeners: the host reports it on
    // the error stream.
    virtual void handlerFailed(std::string_view handler, std::string_view message) = 0;
};

// The stage window as the show sees it: the drawing vocabulary on the one surface, the
// operations on the labels, pictures and timers, the random source and the surface size.
// Everything the show does goes through here, in the same way in the window, headless, in
// tests and while recording.
class Stage
{
public:
    Stage(Scheduler& scheduler, StageHost& host);

    // Drawing. Each operation is on the surface as soon as it returns.
    void clear();
    void setBackground(Rgb colour);
    void setFill(Rgb colour);
    void line(Point p1, Point p2, Rgb colour);
    void line(Point p1, Point p2); // in the fore colour
    void box(Point p1, Point p2, Rgb outline);
    void circle(Point centre, Int16 radius, Rgb outline);
    void circle(Point centre, Int16 radius); // outlined in the fore colour

    // Labels and pictures.
    void show(Control control);
    void hide(Control control);
    void setCaption(Control control, std::string_view text);
    void setBackColor(Control control, Rgb colour);
    void setFontSize(Control control, double points);

    // Timers: 0 stops one.
    void setPeriod(Timer timer, int ms);
    [[nodiscard]] int period(Timer timer) const { return scheduler_.period(timer); }

    void maximise();

    // The pause of a frame loop: 32000 writes hiding lblWasteTime, then the player presents the
    // frame and lets 100 ms pass since the pause began, handling nothing.
    void busyPause();

    void seedRandom(std::uint32_t seed) { random_.seed(seed); }
    [[nodiscard]] double random() { return random_.next(); }

    // The surface size in units: the client area until the window is maximised, then the
    // 12000 x 9000 stage.
    [[nodiscard]] int surfaceWidth() const;
    [[nodiscard]] int surfaceHeight() const;

    // Unique to this stage in the process: a painter that saw another starts over.
    [[nodiscard]] std::uint64_t id() const { return id_; }
    // What the stage holds, for the compositor and for tests.
    [[nodiscard]] Rgb background() const { return background_; }
    [[nodiscard]] Rgb fill() const { return fill_; }
    [[nodiscard]] const DisplayList& displayList() const { return displayList_; }
    [[nodiscard]] const ControlState& control(Control c) const { return controls_[c]; }
    [[nodiscard]] bool maximised() const { return maximised_; }
    // Counts every change of a label, a picture or the surface's size: a compositor that saw
    // another count paints the labels and pictures again.
    [[nodiscard]] std::uint64_t lookVersion() const { return controls_.changes() + windowChanges_; }
    // The visible label or picture at a point of the surface, front first.
    [[nodiscard]] std::optional<Control> controlAt(double x, double y) const
    {
        return controls_.at(x, y);
    }

    // Everything the stage does, as events, for whoever follows them (the trace, subtitles).
    [[nodiscard]] EventBus& events() { return events_; }
    // Handler markers and errors, reported by the show.
    void report(const Event& event) { events_.publish(event); }
    // The window's client area in units, as the player was told it.
    void setClientSize(int widthUnits, int heightUnits);
    [[nodiscard]] int clientWidth() const { return clientWidth_; }
    [[nodiscard]] int clientHeight() const { return clientHeight_; }

private:
    void draw(const Shape& shape, EventKind kind, bool fore);
    void erase(Rgb background);

    std::uint64_t id_;
    Scheduler& scheduler_;
    StageHost& host_;
    EventBus events_;
    DisplayList displayList_;
    ControlBoard controls_;
    // Maximising and resizes: they change where the labels and pictures land.
    std::uint64_t windowChanges_ = 0;
    Rgb background_ = kWhite;
    Rgb fill_ = kBlack;
    bool maximised_ = false;
    int clientWidth_ = kDesignClientArea.width;
    int clientHeight_ = kDesignClientArea.height;
    RandomSource random_;
};

} // namespace q3
