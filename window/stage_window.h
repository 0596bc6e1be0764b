#pragma once

#include "render/compositor.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace q3 {

class Stage;

// What the window asks of the program around it.
struct WindowActions
{
    std::function<void(double x, double y)> press; // a left press at (x, y) in units
    std::function<void()> togglePause;             // Space
    std::function<void(int w, int h)> resize;      // the client area, in units
};

// The window frmQuillet3: shows what the compositor paints and passes on where the viewer
// pressed, in the stage's units.
//
// Keys as in desktop players: F11 toggles fullscreen, Escape leaves it, Space pauses and
// resumes, Q switches between crisp and smooth quality, Ctrl+Q closes the window. The title
// names the quality while it is not crisp, and the pause: "Quillet 3 (smooth, paused)".
class StageWindow final : public QWidget
{
public:
    StageWindow(const Stage& stage, WindowActions actions);

    // Something on the stage changed: the window repaints at the next display refresh, once
    // however many handlers changed it meanwhile.
    void requestFrame();
    // Paints the stage now, without waiting for the event loop: a frame of an animation must
    // reach the screen while its handler still runs.
    void presentNow();
    void setPausedCaption(bool paused);
    void setQuality(Quality quality);
    [[nodiscard]] Quality quality() const { return compositor_.quality(); }

    [[nodiscard]] int framesPainted() const { return framesPainted_; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    [[nodiscard]] QSize deviceSize() const;
    [[nodiscard]] QRegion changedArea();
    [[nodiscard]] double refreshIntervalMs() const;
    void updateCaption();

    const Stage& stage_;
    WindowActions actions_;
    Compositor compositor_;
    QTimer frameTimer_;
    QElapsedTimer sinceLastPaint_;
    bool framePending_ = false;
    bool paused_ = false;
    int framesPainted_ = 0;
};

} // namespace q3
