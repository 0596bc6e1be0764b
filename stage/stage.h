#pragma once

#include "stage/controls.h"
#include "stage/display_list.h"
#include "stage/event.h"
#include "stage/int16.h"
#include "stage/random_source.h"
#include "stage/rgb.h"
#include "stage/scheduler.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace q3 {

// Receives every event of the stage as it happens.
class StageListener
{
public:
    StageListener() = default;
    StageListener(const StageListener&) = delete;
    StageListener& operator=(const StageListener&) = delete;
    virtual ~StageListener() = default;
    virtual void onEvent(const Event& event) = 0;
};

// The stage window as the show sees it: the drawing vocabulary on the one surface, the
// operations on the labels, pictures and timers, the random source and the surface size.
// Everything the show does goes through here, in the same way in the window, headless, in
// tests and while recording.
class Stage
{
public:
    explicit Stage(Scheduler& scheduler);

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

    // The pause of a frame loop: 32000 writes hiding lblWasteTime, then the frame is presented
    // and the thread waits until 100 ms have passed since the pause began, handling nothing.
    void busyPause();

    void seedRandom(std::uint32_t seed) { random_.seed(seed); }
    [[nodiscard]] double random() { return random_.next(); }

    // The surface size in units: the client area until the window is maximised, then the
    // 12000 x 9000 stage.
    [[nodiscard]] int surfaceWidth() const;
    [[nodiscard]] int surfaceHeight() const;

    // What the stage holds, for the compositor and for tests.
    [[nodiscard]] Rgb background() const { return background_; }
    [[nodiscard]] Rgb fill() const { return fill_; }
    [[nodiscard]] const DisplayList& displayList() const { return displayList_; }
    [[nodiscard]] const ControlState& control(Control c) const { return controls_.at(index(c)); }
    [[nodiscard]] bool maximised() const { return maximised_; }
    // Labels and pictures changed since the count was last read; compositors compare it.
    [[nodiscard]] std::uint64_t controlsVersion() const { return controlsVersion_; }
    // The visible label or picture at a point of the surface, front first.
    [[nodiscard]] std::optional<Control> controlAt(double x, double y) const;

    // Wiring by the program around the show.
    void addListener(StageListener* listener);
    void removeListener(StageListener* listener);
    void setClientSize(int widthUnits, int heightUnits);
    void setPresenter(std::function<void()> present) { present_ = std::move(present); }
    // Handler markers and errors, reported by the show.
    void report(const Event& event) { publish(event); }

private:
    void publish(const Event& event);
    void draw(const Shape& shape, EventKind kind, bool fore);
    void erase(Rgb background);
    ControlState& state(Control c) { return controls_.at(index(c)); }

    Scheduler& scheduler_;
    DisplayList displayList_;
    std::array<ControlState, kControlCount> controls_ = designControls();
    std::uint64_t controlsVersion_ = 0;
    Rgb background_ = kWhite;
    Rgb fill_ = kBlack;
    bool maximised_ = false;
    int clientWidth_ = kDesignClientArea.width;
    int clientHeight_ = kDesignClientArea.height;
    RandomSource random_;
    std::vector<StageListener*> listeners_;
    std::function<void()> present_;
};

} // namespace q3
