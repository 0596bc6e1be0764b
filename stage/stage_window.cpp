#include "stage/stage_window.h"

#include "stage/stage.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace q3 {

StageWindow::StageWindow(Stage& stage, std::function<void()> onClick)
    : stage_(stage), onClick_(std::move(onClick))
{
    setWindowTitle(QString::fromUtf8(kWindowCaption.data(), qsizetype(kWindowCaption.size())));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setGeometry(kDesignClientArea.left / kUnitsPerPixel, kDesignClientArea.top / kUnitsPerPixel,
                kDesignClientArea.width / kUnitsPerPixel,
                kDesignClientArea.height / kUnitsPerPixel);
}

void StageWindow::presentNow()
{
    repaint();
}

void StageWindow::paintEvent(QPaintEvent* /*event*/)
{
    const qreal dpr = devicePixelRatioF();
    const QSize device(static_cast<int>(std::lround(width() * dpr)),
                       static_cast<int>(std::lround(height() * dpr)));
    if (frame_.size() != device)
        frame_ = QImage(device, QImage::Format_RGB32);
    compositor_.render(stage_, frame_);
    frame_.setDevicePixelRatio(dpr);
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), frame_);
}

void StageWindow::resizeEvent(QResizeEvent* event)
{
    // Until the window is maximised the surface is the client area itself.
    stage_.setClientSize(width() * kUnitsPerPixel, height() * kUnitsPerPixel);
    QWidget::resizeEvent(event);
}

void StageWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const qreal dpr = devicePixelRatioF();
    const StageView view = StageView::fit(stage_.surfaceWidth(), stage_.surfaceHeight(),
                                          QSize(static_cast<int>(std::lround(width() * dpr)),
                                                static_cast<int>(std::lround(height() * dpr))));
    const QPointF units = view.toUnits(event->position() * dpr);
    if (stage_.controlAt(units.x(), units.y()))
        return;
    onClick_();
    update();
}

} // namespace q3
