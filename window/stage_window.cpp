#include "window/stage_window.h"

#include "core/player.h"
#include "steering/view_state.h"

#include <QIcon>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <algorithm>
#include <cmath>

namespace q3 {
namespace {

// The pixels of a grid `factor` times as fine that cover `region` (widget pixels to device
// pixels with the device pixel ratio, and back with its inverse).
QRegion covering(const QRegion& region, qreal factor)
{
    const auto low = [factor](int edge) { return static_cast<int>(std::floor(edge * factor)); };
    const auto high = [factor](int edge) {
        return static_cast<int>(std::ceil((edge + 1) * factor)) - 1;
    };
    QRegion covered;
    for (const QRect& r : region)
        covered +=
            QRect(QPoint(low(r.left()), low(r.top())), QPoint(high(r.right()), high(r.bottom())));
    return covered;
}

} // namespace

StageWindow::StageWindow(const Player& player, WindowActions actions)
    : player_(player), actions_(std::move(actions)), timeline_(*this, actions_.timeline)
{
    updateCaption();
    setWindowIcon(QIcon(QStringLiteral(":/icons/quillet3.xpm")));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::StrongFocus);
    // The timeline shows when the pointer moves over the lower part of the window.
    setMouseTracking(true);
    setGeometry(kDesignClientArea.left / kUnitsPerPixel, kDesignClientArea.top / kUnitsPerPixel,
                kDesignClientArea.width / kUnitsPerPixel,
                kDesignClientArea.height / kUnitsPerPixel);
    frameTimer_.setSingleShot(true);
    frameTimer_.setTimerType(Qt::PreciseTimer);
    connect(&frameTimer_, &QTimer::timeout, this, [this] {
        const QRegion area = changedArea();
        if (area.isEmpty())
            return;
        framePending_ = true;
        update(area);
    });
    sinceLastPaint_.start();
}

double StageWindow::refreshIntervalMs() const
{
    const QScreen* display = screen();
    const double hz = display != nullptr ? display->refreshRate() : 60.0;
    return 1000.0 / std::clamp(hz, 24.0, 500.0);
}

void StageWindow::requestFrame()
{
    if (frameTimer_.isActive() || framePending_)
        return;
    const double wait = refreshIntervalMs() - double(sinceLastPaint_.elapsed());
    frameTimer_.start(std::max(0, static_cast<int>(std::ceil(wait))));
}

void StageWindow::presentNow()
{
    frameTimer_.stop();
    repaint(changedArea());
}

QRegion StageWindow::changedArea()
{
    // Only what changed since the last frame is painted and sent to the display.
    return covering(compositor_.takeChanges(stage(), deviceSize()), 1 / devicePixelRatioF());
}

void StageWindow::setQuality(Quality quality)
{
    if (quality == compositor_.quality())
        return;
    compositor_.setQuality(quality);
    updateCaption();
    requestFrame();
}

void StageWindow::updateCaption()
{
    setWindowTitle(QString::fromStdString(captionText({.speed = player_.speed(),
                                                       .quality = compositor_.quality(),
                                                       .loop = player_.loop(),
                                                       .paused = player_.paused()})));
}

const Stage& StageWindow::stage() const
{
    return player_.stage();
}

QSize StageWindow::deviceSize() const
{
    const qreal dpr = devicePixelRatioF();
    return {static_cast<int>(std::lround(width() * dpr)),
            static_cast<int>(std::lround(height() * dpr))};
}

void StageWindow::paintEvent(QPaintEvent* event)
{
    // Painted straight into the window's backing store, in device pixels: no frame of our own
    // to copy from, and nothing scaled on the way. The backing store keeps the rest.
    QPainter painter(this);
    const qreal dpr = devicePixelRatioF();
    painter.scale(1 / dpr, 1 / dpr);
    const QSize output = deviceSize();
    compositor_.paint(stage(), painter, output,
                      covering(event->region(), dpr) & QRect(QPoint(0, 0), output));
    // Over the picture, in the window only.
    timeline_.paint(painter, dpr);
    sinceLastPaint_.restart();
    framePending_ = false;
    ++framesPainted_;
}

void StageWindow::resizeEvent(QResizeEvent* event)
{
    // Until the window is maximised the surface is the client area itself.
    if (actions_.resize)
        actions_.resize(width() * kUnitsPerPixel, height() * kUnitsPerPixel);
    QWidget::resizeEvent(event);
}

void StageWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        pointer(PointerEvent::Press, event->position());
}

void StageWindow::mouseMoveEvent(QMouseEvent* event)
{
    pointer(PointerEvent::Move, event->position());
}

void StageWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        pointer(PointerEvent::Release, event->position());
}

void StageWindow::pointer(PointerEvent event, QPointF at)
{
    const std::optional<TimelineShow> show = timeline_.show();
    const PointerScene scene{.started = show.has_value(),
                             .span = [&show] { return show ? show->span : ShowSpan{}; },
                             .fit = StageFit::of(stage().surfaceWidth(), stage().surfaceHeight(),
                                                 deviceSize().width(), deviceSize().height())};
    const PointerDid did = pointer_.handle(event, PointerKind::Mouse, at.x(), at.y(),
                                           timeline_.wallMs(), timeline_.model(), scene);
    if (did.timelineChanged)
        timeline_.changed();
    if (did.seekTo && actions_.seek)
        actions_.seek(*did.seekTo);
    if (did.pressAt) {
        if (actions_.press)
            actions_.press(did.pressAt->x, did.pressAt->y);
        requestFrame();
    }
}

void StageWindow::keyPressEvent(QKeyEvent* event)
{
    if (const std::optional<KeyPress> press = keyPressOf(*event)) {
        if (const std::optional<Steer> steer = steerFor(*press, player_.startedAt().has_value());
            steer && actions_.steer) {
            const Steered did = actions_.steer(*steer);
            if (did.revealTimeline)
                timeline_.reveal();
            if (did.toggleQuality)
                setQuality(quality() == Quality::Crisp ? Quality::Smooth : Quality::Crisp);
            return;
        }
    }
    if (event->matches(QKeySequence::Quit) ||
        (event->key() == Qt::Key_Q && event->modifiers() == Qt::ControlModifier)) {
        close();
    } else if (event->key() == Qt::Key_F11) {
        setWindowState(windowState() ^ Qt::WindowFullScreen);
    } else if (event->key() == Qt::Key_Escape) {
        if (windowState() & Qt::WindowFullScreen)
            setWindowState(windowState() & ~Qt::WindowFullScreen);
    } else {
        QWidget::keyPressEvent(event);
    }
}

} // namespace q3
