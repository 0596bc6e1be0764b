#pragma once

#include "stage/compositor.h"

#include <QImage>
#include <QWidget>
#include <functional>

namespace q3 {

class Stage;

// The window frmQuillet3: shows what the compositor paints and passes on the viewer's clicks
// on its own surface. A click on a visible label or picture is not a click on the window.
class StageWindow final : public QWidget
{
public:
    StageWindow(Stage& stage, std::function<void()> onClick);

    // Paints the stage now, without waiting for the event loop: a frame of an animation must
    // reach the screen while its handler still runs.
    void presentNow();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    Stage& stage_;
    std::function<void()> onClick_;
    Compositor compositor_;
    QImage frame_;
};

} // namespace q3
