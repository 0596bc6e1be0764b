#pragma once

#include "render/compositor.h"
#include "steering/pointer.h"
#include "window/steering.h"
#include "window/timeline.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace q3 {

class Player;

// What the window asks of the program around it.
struct WindowActions
{
    std::function<void(double x, double y)> press; // a left press at (x, y) in units
    std::function<void(int w, int h)> resize;      // the client area, in units
    std::function<Steered(Steer)> steer;           // a steering key, Space and Enter
    std::function<void(double ms)> seek;           // a press or drag on the timeline
    WindowTimeline::Shows timeline;                // what the timeline shows
};

// The window frmQuillet3: shows what the compositor paints and passes on where the viewer
// pressed, in the stage's units.
//
// Keys as in desktop players: F11 toggles fullscreen, Escape leaves it, Ctrl+Q closes the window;
// the steering keys (steering/steering.h) start the show (Enter or Space before it has started),
// pause and resume it (Space), send it to other moments, change its speed and its looping, and
// switch between crisp and smooth quality (Q).
// The title names the speed while it is not 1×, the quality while it is not crisp, the loop and
// the pause: "Quillet 3 (2×, smooth, looping, paused)" (steering/view_state.h). A timeline along
// the bottom edge shows where the show is; a press or a drag on it sends the show there.
class StageWindow final : public QWidget
{
public:
    // The window shows the stage the player plays on, whichever that is after a seek.
    StageWindow(const Player& player, WindowActions actions);

    // Something on the stage changed: the window repaints at the next display refresh, once
    // however many handlers changed it meanwhile.
    void requestFrame();
    // Paints the stage now, without waiting for the event loop: a frame of an animation must
    // reach the screen while its handler still runs.
    void presentNow();
    // The player's speed, loop or pause changed: the title names them.
    void updateCaption();
    // The timeline's marks changed.
    void refreshTimeline() { timeline_.refresh(); }
    [[nodiscard]] bool timelineShown() const { return timeline_.shown(); }
    void setQuality(Quality quality);
    [[nodiscard]] Quality quality() const { return compositor_.quality(); }

    [[nodiscard]] int framesPainted() const { return framesPainted_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    [[nodiscard]] QSize deviceSize() const;
    [[nodiscard]] QRegion changedArea();
    [[nodiscard]] double refreshIntervalMs() const;

    [[nodiscard]] const Stage& stage() const;
    void pointer(PointerEvent event, QPointF at);

    const Player& player_;
    WindowActions actions_;
    Compositor compositor_;
    WindowTimeline timeline_;
    PointerSteering pointer_{false};
    QTimer frameTimer_;
    QElapsedTimer sinceLastPaint_;
    bool framePending_ = false;
    int framesPainted_ = 0;
};

} // namespace q3
