// The real window on an X server: clicks, keys, pause, resizing and repainting.
#include "app/window_mode.h"
#include "core/script/cues.h"
#include "core/script/show.h"
#include "render/compositor.h"
#include "render/fonts.h"
#include "tests/locales.h"
#include "tests/player_inspector.h"
#include "window/window_show.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <array>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace q3 {
namespace {

// A seek on the wall clock ends a moment after the moment it was sent to: the time its last
// steps take.
constexpr double kSeekSettlesMs = 20;

struct TickCounter final : StageListener
{
    void onEvent(const Event& event) override
    {
        ticks += event.kind == EventKind::Tick ? 1 : 0;
        clicks += event.kind == EventKind::Click ? 1 : 0;
        if (event.kind == EventKind::Seek) {
            ++seeks;
            seekedTo = event.toMs;
        }
    }
    int ticks = 0;
    int clicks = 0;
    int seeks = 0;
    double seekedTo = -1;
};

// Runs the event loop for a while as the program does (QTest::qWait sleeps between passes,
// which would throttle the 1 ms rain).
void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds, for at most `ms`; whether it held.
bool waitFor(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < ms)
        runEventLoop(5);
    return done();
}

// How many pixels of two pictures of one size differ.
int differingPixels(const QImage& shown, const QImage& expected)
{
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            differing += shown.pixel(x, y) != expected.pixel(x, y) ? 1 : 0;
    return differing;
}

// The stage is 12000 x 9000 units, fitted into the window whole and centred, with black bars
// on the two sides it does not fill.
struct Fitted
{
    double scale;
    double left;
    double top;
};

Fitted fittedStage(QSize window)
{
    const double scale = std::min(window.width() / 12000.0, window.height() / 9000.0);
    return {scale, (window.width() - 12000 * scale) / 2, (window.height() - 9000 * scale) / 2};
}

// A colour the design fixes at a point of the stage, in units.
struct Probe
{
    const char* what;
    int x;
    int y;
    QRgb colour;
};

// Cue 4's picture, from its design: the hero on a dark blue background, his head a skin disc of
// radius 600 at (1500, 4500), a white box (500, 5120)-(2500, 5620) under a grey one
// (500, 5600)-(2500, 7100).
const std::vector<Probe> kCueFour{
    {"background", 6000, 4500, qRgb(0, 0, 80)},
    {"background, lower right", 11000, 8500, qRgb(0, 0, 80)},
    {"head", 1200, 4700, qRgb(235, 185, 130)},
    {"white box", 1500, 5350, qRgb(255, 255, 255)},
    {"grey box", 1500, 6500, qRgb(100, 100, 100)},
};

bool near(QRgb found, QRgb want)
{
    return std::abs(qRed(found) - qRed(want)) <= 6 && std::abs(qGreen(found) - qGreen(want)) <= 6 &&
           std::abs(qBlue(found) - qBlue(want)) <= 6;
}

// The probes of the picture where the stage lies in the image, and black in the middle of each
// bar; what differs, or nothing.
std::string differencesFromTheDesign(const QImage& image, const std::vector<Probe>& probes)
{
    const Fitted fitted = fittedStage(image.size());
    std::vector<Probe> all = probes;
    if (fitted.left >= 2) {
        all.push_back({"left bar", int(-fitted.left / 2 / fitted.scale), 4500, qRgb(0, 0, 0)});
        all.push_back(
            {"right bar", int(12000 + fitted.left / 2 / fitted.scale), 4500, qRgb(0, 0, 0)});
    }
    if (fitted.top >= 2) {
        all.push_back({"top bar", 6000, int(-fitted.top / 2 / fitted.scale), qRgb(0, 0, 0)});
        all.push_back(
            {"bottom bar", 6000, int(9000 + fitted.top / 2 / fitted.scale), qRgb(0, 0, 0)});
    }
    std::ostringstream differences;
    for (const Probe& probe : all) {
        const QPoint at(int(fitted.left + probe.x * fitted.scale),
                        int(fitted.top + probe.y * fitted.scale));
        const QRgb found = image.pixel(at);
        if (!near(found, probe.colour))
            differences << probe.what << " at (" << at.x() << ", " << at.y() << ") is "
                        << QColor(found).name().toStdString() << ", not "
                        << QColor(probe.colour).name().toStdString() << "; ";
    }
    return differences.str();
}

// The pixels of a rectangle that are none of the colours given: the blended pixels of an
// antialiased edge.
int blendedPixels(const QImage& image, QRect within, const std::vector<QRgb>& colours)
{
    int blended = 0;
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x)
            blended += std::none_of(colours.begin(), colours.end(),
                                    [&](QRgb c) { return near(image.pixel(x, y), c); })
                           ? 1
                           : 0;
    return blended;
}

class RealWindow : public testing::Test
{
protected:
    RealWindow()
    {
        following = show.player().stage().events().subscribe(counter);
        show.start();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&show.window()));
        EXPECT_TRUE(waitFor([this] { return window().framesPainted() > 0; }));
    }

    StageWindow& window() { return show.window(); }
    QImage grab() { return window().grab().toImage().convertToFormat(QImage::Format_RGB32); }
    // What has reached the display, rather than the window painted afresh.
    QImage onDisplay()
    {
        return window()
            .screen()
            ->grabWindow(window().winId())
            .toImage()
            .convertToFormat(QImage::Format_RGB32);
    }
    QPoint pixelOf(int xUnits, int yUnits) { return {xUnits / 15, yUnits / 15}; }
    // Runs the cue clock fast: the show's own pace is not what these tests are about.
    void runCuesQuickly()
    {
        if (!show.player().startedAt())
            show.player().click();
        show.player().stage().setPeriod(Timer::tmrTime, 20);
    }
    // Runs the cues quickly until `count` have run, and stops the cue clock there.
    bool runCuesUntil(int count)
    {
        runCuesQuickly();
        const bool reached = waitFor(
            [&] { return test::PlayerInspector::show(show.player()).cueCount().value() >= count; });
        show.player().stage().setPeriod(Timer::tmrTime, 0);
        return reached;
    }
    // Waits until the window shows cue 4's picture as its design has it; what differs, if it
    // never does.
    std::string waitForCueFour()
    {
        waitFor([this] { return differencesFromTheDesign(grab(), kCueFour).empty(); });
        return differencesFromTheDesign(grab(), kCueFour);
    }
    // The pixels around the hero's head, a skin disc at (1500, 4500) with a black mouth and eyes,
    // that are neither skin, background nor black.
    int blendedAroundTheHead()
    {
        const QImage image = grab();
        const Fitted fitted = fittedStage(image.size());
        const QRect head(
            QPoint(int(fitted.left + 800 * fitted.scale), int(fitted.top + 3800 * fitted.scale)),
            QPoint(int(fitted.left + 2200 * fitted.scale), int(fitted.top + 5050 * fitted.scale)));
        return blendedPixels(image, head, {qRgb(235, 185, 130), qRgb(0, 0, 80), qRgb(0, 0, 0)});
    }
    void key(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(&window(), key, modifiers);
    }

    std::ostringstream errors;
    WindowShow show{makeQuilletShow(1), errors};
    TickCounter counter;
    EventBus::Subscription following;
};

TEST_F(RealWindow, OpensWhiteWithTheOpeningNoteAndIcon)
{
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3"));
    EXPECT_EQ(window().size(), QSize(493, 449));
    const QImage image = grab();
    EXPECT_EQ(image.pixel(pixelOf(6500, 5000)), qRgb(255, 255, 255));
    EXPECT_EQ(image.pixel(pixelOf(1230, 1100)), qRgb(192, 192, 192));
    const QIcon icon = window().windowIcon();
    ASSERT_FALSE(icon.isNull());
    EXPECT_EQ(icon.pixmap(32, 32).size(), QSize(32, 32));
}

TEST_F(RealWindow, ClickOnTheNoteDoesNothingAndOnTheWhiteAreaStartsTheShow)
{
    QTest::mouseClick(&window(), Qt::LeftButton, {}, pixelOf(2000, 1500));
    EXPECT_EQ(show.player().nextDue(), std::nullopt) << "no timer runs";
    QTest::mouseClick(&window(), Qt::LeftButton, {}, pixelOf(6500, 5000));
    ASSERT_TRUE(show.player().startedAt() && show.player().nextDue());
    // The click's time and its handler's are read from the wall clock a moment apart.
    EXPECT_NEAR(*show.player().nextDue() - *show.player().startedAt(), 3000, 1) << "cue 0";
}

TEST_F(RealWindow, AfterCueZeroTheBlackStageIsFittedWithBars)
{
    ASSERT_TRUE(runCuesUntil(1));
    // The stage is 4:3; the window is taller than that, so the bars are above and below.
    const auto nonBlack = [this] {
        QImage black = grab();
        black.fill(qRgb(0, 0, 0));
        return differingPixels(grab(), black);
    };
    EXPECT_TRUE(waitFor([&] { return nonBlack() <= 1; }))
        << nonBlack() << " pixels are not black: only the one-pixel waste label may be";
}

TEST_F(RealWindow, ResizedWindowShowsTheWholePictureAtItsNewSize)
{
    // Cue 4 has run.
    ASSERT_TRUE(runCuesUntil(5));
    window().resize(900, 500);
    EXPECT_TRUE(waitFor([this] { return grab().size() == QSize(900, 500); }));
    EXPECT_EQ(waitForCueFour(), "");
}

TEST_F(RealWindow, SpacePausesWithTheTimeLeftKept)
{
    QTest::mouseClick(&window(), Qt::LeftButton, {}, pixelOf(6500, 5000));
    runEventLoop(100);
    const double leftBefore = *show.player().nextDue() - show.player().now();
    QTest::keyClick(&window(), Qt::Key_Space);
    const double pausedAt = show.player().now();
    EXPECT_TRUE(show.player().paused());
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3 (paused)"));
    QTest::mouseClick(&window(), Qt::LeftButton, {}, pixelOf(6500, 5000));
    const int ticks = counter.ticks;
    // Something that must not happen has no condition to wait for: the loop runs for a while.
    runEventLoop(400);
    EXPECT_EQ(counter.ticks, ticks) << "nothing runs while paused";
    QTest::keyClick(&window(), Qt::Key_Space);
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3"));
    // The show's time goes on from where it paused, as the chart and the seeks count it.
    EXPECT_NEAR(show.player().now(), pausedAt, kSeekSettlesMs);
    const double leftAfter = *show.player().nextDue() - show.player().now();
    EXPECT_NEAR(leftAfter, leftBefore, 60);
}

TEST_F(RealWindow, QSwitchesQualityAndTheTitleNamesItBesideThePause)
{
    // Cue 4 has run: crisp, the hero's head has hard edges; smooth, blended ones.
    ASSERT_TRUE(runCuesUntil(5));
    ASSERT_EQ(waitForCueFour(), "");
    EXPECT_EQ(blendedAroundTheHead(), 0);
    QTest::keyClick(&window(), Qt::Key_Q);
    EXPECT_EQ(window().quality(), Quality::Smooth);
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3 (smooth)"));
    EXPECT_TRUE(waitFor([this] { return blendedAroundTheHead() > 10; })) << blendedAroundTheHead();
    EXPECT_EQ(waitForCueFour(), "");
    QTest::keyClick(&window(), Qt::Key_Space);
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3 (smooth, paused)"));
    QTest::keyClick(&window(), Qt::Key_Q);
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3 (paused)"));
    QTest::keyClick(&window(), Qt::Key_Space);
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3"));
    EXPECT_TRUE(window().isVisible()) << "Q alone does not close the window";
}

// Before the show has started, Enter and Space start it as the click does; then Enter does
// nothing and Space pauses.
TEST_F(RealWindow, EnterOrSpaceStartsTheShowAndThenSpacePauses)
{
    for (const Qt::Key starting : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        SCOPED_TRACE(testing::Message() << "key " << QTest::toString(QKeySequence(starting)));
        WindowShow other{makeQuilletShow(1), errors};
        other.start();
        QTest::keyClick(&other.window(), starting);
        ASSERT_TRUE(other.player().startedAt() && other.player().nextDue());
        EXPECT_NEAR(*other.player().nextDue() - *other.player().startedAt(), 3000, 1) << "cue 0";
        EXPECT_FALSE(other.player().paused());
        QTest::keyClick(&other.window(), Qt::Key_Return);
        EXPECT_FALSE(other.player().paused());
        QTest::keyClick(&other.window(), Qt::Key_Space);
        EXPECT_TRUE(other.player().paused());
        EXPECT_EQ(other.window().windowTitle(), QStringLiteral("Quillet 3 (paused)"));
    }
}

// Each seek key, one after the other from where the one before landed, paused so that the show
// stands where it lands. Where each lands follows from the show's design: cue n runs 3000 ms
// after the click times n + 1 up to cue 18, then every 300 ms up to cue 38, then every 3000 ms to
// the last, cue 45, 84000 ms after the click; the show ends 5000 ms after that. Up to cue 13 the
// picture changes only at the cues; cue 14 draws nothing but starts the rain, 1 ms a sparkle.
TEST_F(RealWindow, SeekKeysLandWhereTheShowsDesignSays)
{
    key(Qt::Key_Return);
    ASSERT_TRUE(show.player().startedAt());
    const double start = *show.player().startedAt();
    key(Qt::Key_Space);
    struct Row
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        double landing; // after the starting click
    };
    const std::vector<Row> rows{
        {Qt::Key_5, {}, 44500},                    // half of the 89000 ms
        {Qt::Key_Right, {}, 49500},                // 5 s on
        {Qt::Key_Left, {}, 44500},                 // 5 s back
        {Qt::Key_Right, Qt::ShiftModifier, 45000}, // cue 14
        {Qt::Key_Left, Qt::ShiftModifier, 42000},  // cue 13: less than a second into cue 14
        {Qt::Key_Period, {}, 45001},               // the next picture: the rain's first
        {Qt::Key_Comma, {}, 42000},                // the picture before: cue 13's
        {Qt::Key_End, {}, 84000},                  // the last cue
        {Qt::Key_Right, {}, 89000},                // no further than the end
        {Qt::Key_Home, {}, 0},
        {Qt::Key_Left, {}, 0}, // no further back than the start
        {Qt::Key_9, {}, 80100},
        {Qt::Key_2, {}, 17800}, // after cue 4, before cue 5
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "key " << QTest::toString(QKeySequence(row.key | row.modifiers)));
        key(row.key, row.modifiers);
        // Paused, the show stands where it landed. The starting click fell at a wall-clock time
        // with a fraction, so the sums may differ in their last bits: a nanosecond is nothing.
        EXPECT_NEAR(show.player().now(), start + row.landing, 1e-6);
        EXPECT_NEAR(counter.seekedTo, start + row.landing, 1e-6) << "the seek is reported";
        EXPECT_TRUE(show.player().paused());
        EXPECT_TRUE(window().timelineShown());
    }
    // The window shows the picture of the moment it was sent to.
    EXPECT_EQ(waitForCueFour(), "");
}

// Speed keys halve and double between 0.25× and 4×, and the title names the speed beside the
// quality, the loop and the pause. Looping, the show starts again at its 0 ms after its end.
TEST_F(RealWindow, SpeedKeysAndLoopingAfterTheEnd)
{
    QTest::mouseClick(&window(), Qt::LeftButton, {}, pixelOf(6500, 5000));
    const double start = *show.player().startedAt();
    const std::vector<std::pair<Qt::Key, double>> steps{
        {Qt::Key_BracketRight, 2},   {Qt::Key_BracketRight, 4},   {Qt::Key_BracketRight, 4},
        {Qt::Key_BracketLeft, 2},    {Qt::Key_BracketLeft, 1},    {Qt::Key_BracketLeft, 0.5},
        {Qt::Key_BracketLeft, 0.25}, {Qt::Key_BracketLeft, 0.25}, {Qt::Key_BracketRight, 0.5},
    };
    for (const auto& [pressed, speed] : steps) {
        key(pressed);
        EXPECT_EQ(show.player().speed(), speed);
        EXPECT_EQ(window().windowTitle(), speed == 1
                                              ? QStringLiteral("Quillet 3")
                                              : QStringLiteral("Quillet 3 (%1×)").arg(speed));
    }
    key(Qt::Key_Q);
    key(Qt::Key_Space);
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3 (0.5×, smooth, paused)"));
    key(Qt::Key_Space);
    key(Qt::Key_BracketRight);
    key(Qt::Key_BracketRight);
    key(Qt::Key_BracketRight);
    key(Qt::Key_L);
    EXPECT_TRUE(show.player().loop());
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3 (4×, smooth, looping)"));
    key(Qt::Key_End);
    const int seeks = counter.seeks;
    ASSERT_TRUE(waitFor([&] { return counter.seeks > seeks; }));
    EXPECT_NEAR(counter.seekedTo, start, kSeekSettlesMs) << "the show started again at its 0 ms";
    EXPECT_EQ(show.player().speed(), 4);
    key(Qt::Key_L);
    EXPECT_FALSE(show.player().loop());
    EXPECT_EQ(window().windowTitle(), QStringLiteral("Quillet 3 (4×, smooth)"));
}

// A press on the timeline seeks, and a drag on it seeks as it goes; the show never sees those
// presses. A press just above the bar is the show's. Before the starting click there is no
// timeline.
TEST_F(RealWindow, TimelineTakesPressesOnItsBarOnly)
{
    const int w = window().width();
    const int h = window().height();
    // Moves to where the pointer was are dropped: each goes somewhere new.
    QTest::mouseMove(&window(), QPoint(w / 3, h - 30));
    runEventLoop(50);
    EXPECT_FALSE(window().timelineShown());
    QTest::mouseClick(&window(), Qt::LeftButton, {}, pixelOf(6500, 5000));
    QTest::mouseMove(&window(), QPoint(w / 2, h - 30));
    ASSERT_TRUE(waitFor([this] { return window().timelineShown(); }));
    const int clicks = counter.clicks;
    QTest::mouseClick(&window(), Qt::LeftButton, {}, QPoint(w / 2, h - 20));
    EXPECT_EQ(counter.clicks, clicks + 1) << "a press above the bar is the show's";
    EXPECT_EQ(counter.seeks, 0);

    const double start = *show.player().startedAt();
    const double end = show.player().chart().end;
    // Paused, the show stands where the drag leaves it.
    key(Qt::Key_Space);
    QTest::mousePress(&window(), Qt::LeftButton, {}, QPoint(w / 2, h - 4));
    EXPECT_EQ(counter.seeks, 1);
    EXPECT_NEAR(counter.seekedTo, (start + end) / 2, (end - start) / 50);
    QTest::mouseMove(&window(), QPoint(0, h - 4));
    EXPECT_NEAR(counter.seekedTo, start, kSeekSettlesMs) << "dragged to the start";
    QTest::mouseRelease(&window(), Qt::LeftButton, {}, QPoint(0, h - 4));
    EXPECT_EQ(counter.clicks, clicks + 1) << "the show never saw the presses on the bar";
    EXPECT_TRUE(window().timelineShown());
    EXPECT_TRUE(waitFor([this] { return !window().timelineShown(); }));
    // Hidden, it leaves the picture on the display whole: at the show's 0 ms the window is as it
    // opened, white down to its bottom edge, where the timeline was.
    const auto marked = [this] {
        const QImage image = onDisplay();
        return blendedPixels(image, QRect(0, image.height() - 20, image.width(), 20),
                             {qRgb(255, 255, 255)});
    };
    const auto whole = [&] { return marked() == 0; };
    EXPECT_TRUE(waitFor(whole)) << marked() << " pixels of the bottom rows are not white";
}

TEST_F(RealWindow, F11TogglesFullscreenAndEscapeLeavesItAndSeeksKeepIt)
{
    QTest::keyClick(&window(), Qt::Key_F11);
    EXPECT_TRUE(window().windowState() & Qt::WindowFullScreen);
    QTest::keyClick(&window(), Qt::Key_Escape);
    EXPECT_FALSE(window().windowState() & Qt::WindowFullScreen);
    QTest::keyClick(&window(), Qt::Key_F11);
    QTest::keyClick(&window(), Qt::Key_F11);
    EXPECT_FALSE(window().windowState() & Qt::WindowFullScreen);
    // A seek to a moment after the show maximised the window keeps fullscreen.
    QTest::keyClick(&window(), Qt::Key_F11);
    QTest::keyClick(&window(), Qt::Key_End);
    ASSERT_TRUE(show.player().stage().maximised());
    EXPECT_TRUE(window().windowState() & Qt::WindowFullScreen);
    QTest::keyClick(&window(), Qt::Key_Escape);
    EXPECT_EQ(window().windowState(), Qt::WindowMaximized);
}

TEST_F(RealWindow, CtrlQClosesTheWindow)
{
    QTest::keyClick(&window(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(window().isVisible());
}

// The window paints only what changed since its last frame: what reaches the display must
// still be the whole picture, after the lamps and bulbs have flashed many frames.
TEST_F(RealWindow, DisplayShowsTheWholePictureAfterFramesOfChangesOnly)
{
    window().resize(1000, 700);
    // The cues set the cue clock's own period as they go: it is made fast again at every pass.
    ASSERT_TRUE(waitFor(
        [&] {
            runCuesQuickly();
            return test::PlayerInspector::show(show.player()).cueCount().value() >= kCueTotal;
        },
        30000))
        << "every cue ran";
    // In both qualities: smooth edges painted again over themselves would darken.
    for (const Quality quality : {Quality::Crisp, Quality::Smooth}) {
        window().setQuality(quality);
        if (show.player().paused())
            show.togglePause();
        const int before = window().framesPainted();
        EXPECT_TRUE(waitFor([&] { return window().framesPainted() - before > 5; }))
            << "the lamps and bulbs were painted";
        show.player().setPaused(true);
        const auto differing = [&] {
            const QImage shown = window()
                                     .screen()
                                     ->grabWindow(window().winId())
                                     .toImage()
                                     .convertToFormat(QImage::Format_RGB32);
            if (shown.size() != QSize(1000, 700))
                return -1;
            return differingPixels(shown,
                                   Compositor(quality).render(show.player().stage(), shown.size()));
        };
        EXPECT_TRUE(waitFor([&] { return differing() == 0; }))
            << qualityName(quality) << ": " << differing() << " pixels differ";
    }
}

TEST_F(RealWindow, RainDoesNotRepaintTheWindowOncePerTick)
{
    show.player().stage().setPeriod(Timer::tmrTime2, 1);
    const int before = window().framesPainted();
    const int ticksBefore = counter.ticks;
    QElapsedTimer elapsed;
    elapsed.start();
    ASSERT_TRUE(waitFor([&] { return counter.ticks - ticksBefore > 250; }));
    show.player().stage().setPeriod(Timer::tmrTime2, 0);
    const double seconds = double(elapsed.elapsed()) / 1000;
    const int frames = window().framesPainted() - before;
    const double refreshRate = window().screen()->refreshRate();
    EXPECT_LE(frames, seconds * refreshRate + 3) << "at most one frame per display refresh";
    EXPECT_GT(frames, 5);
}

// Closing the window ends the trace file and gives it its name, whole and with nothing beside it.
TEST(WindowTrace, ClosingTheWindowPlacesTheWholeTrace)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trace.jsonl"));
    QTimer::singleShot(300, [] {
        for (QWidget* widget : QApplication::topLevelWidgets())
            widget->close();
    });
    // From 60 s, looping, at twice the speed.
    EXPECT_EQ(runWindow({.tracePath = path, .startMs = 60000, .loop = true, .speed = 2}, 4), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList{QStringLiteral("trace.jsonl")});
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines.first().endsWith(R"(,"ev":"start","seed":4,"mode":"window"})"))
        << lines.first().toStdString();
    EXPECT_TRUE(lines.last().isEmpty()) << "the last line is complete";
    const QByteArray all = lines.join('\n');
    for (const char* steering :
         {R"("ev":"loop","on":true})", R"("ev":"speed","x":2})", R"("ev":"seek","from":)"})
        EXPECT_TRUE(all.contains(steering)) << steering;
    EXPECT_TRUE(all.contains(R"(,"to":60000)")) << "the show began at 60 s";
}

// A FIFO that nobody reads yet: the window opens and plays without waiting for a reader, and a
// reader that comes while it plays gets the whole trace from its first line once it closes. The
// reader comes once the window is on the screen and has taken a click, which the trace records.
TEST(WindowTrace, IntoAFifoOpensWithoutAReaderAndALateReaderGetsItAll)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("trace"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QByteArray trace;
    std::thread reading;
    bool clicked = false;
    QTimer looking;
    QElapsedTimer waited;
    waited.start();
    QObject::connect(&looking, &QTimer::timeout, [&] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        const bool shown = !windows.isEmpty() && windows.first()->windowHandle() != nullptr &&
                           windows.first()->windowHandle()->isExposed();
        if (!shown && waited.elapsed() < 20000)
            return;
        looking.stop();
        if (shown) {
            // The click that starts the show, on its white area.
            QTest::mouseClick(windows.first(), Qt::LeftButton, {}, QPoint(433, 333));
            clicked = true;
        }
        const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_CLOEXEC);
        reading = std::thread([&trace, reader] {
            std::array<char, 4096> piece{};
            for (ssize_t got = 0; (got = ::read(reader, piece.data(), piece.size())) > 0;)
                trace.append(piece.data(), got);
            ::close(reader);
        });
        for (QWidget* widget : windows)
            widget->close();
    });
    looking.start(10);
    EXPECT_EQ(runWindow({.tracePath = fifo}, 4), 0);
    ASSERT_TRUE(reading.joinable()) << "the window never ran";
    reading.join();
    EXPECT_TRUE(clicked) << "the window was not open while nobody read its trace";
    const QList<QByteArray> lines = trace.split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_TRUE(lines.first().endsWith(R"(,"ev":"start","seed":4,"mode":"window"})"))
        << lines.first().toStdString();
    EXPECT_TRUE(trace.contains(R"(,"ev":"click"})")) << "the click made before the reader came";
    EXPECT_TRUE(lines.last().isEmpty()) << "the last line is whole";
}

// The program itself, stopped by a signal while it plays: it ends at once with 128 plus the
// signal's number, and its trace, like every output file, is whole or not there at all.
class WindowProgram : public testing::TestWithParam<int>
{
};

TEST_P(WindowProgram, StopSignalEndsItAndRemovesTheUnfinishedTrace)
{
    QTemporaryDir dir;
    const QString trace = dir.filePath(QStringLiteral("trace.jsonl"));
    QProcess program;
    program.start(QStringLiteral(QUILLET3_BINARY), {QStringLiteral("--trace"), trace});
    ASSERT_TRUE(program.waitForStarted());
    // The trace is being written once its first lines, the window's load, are in.
    const auto writing = [&] {
        const QFileInfoList files = QDir(dir.path()).entryInfoList(QDir::Files | QDir::Hidden);
        return !files.isEmpty() && files.first().size() > 0;
    };
    for (int i = 0; i < 500 && !writing() && program.state() == QProcess::Running; ++i)
        QTest::qWait(20);
    ASSERT_TRUE(writing()) << program.readAllStandardError().toStdString();
    ASSERT_EQ(program.state(), QProcess::Running) << program.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(program.processId()), GetParam());
    ASSERT_TRUE(program.waitForFinished(3000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 128 + GetParam());
    EXPECT_EQ(program.readAllStandardError(),
              QByteArray("quillet3: interrupted; nothing was written\n"));
    EXPECT_TRUE(QDir(dir.path())
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)
                    .isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Signal, WindowProgram, testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const testing::TestParamInfo<int>& param) {
                             return std::string(param.param == SIGINT    ? "CtrlC"
                                                : param.param == SIGTERM ? "Sigterm"
                                                                         : "Sighup");
                         });

// The window's trace times carry fractions of a millisecond; in a locale that writes numbers with
// a decimal comma they still keep a point, so that every line is JSON.
TEST(WindowTrace, IsJsonInEveryLocale)
{
    for (const char* locale : test::kCommaLocales) {
        ASSERT_EQ(test::decimalPointOf(locale), ",") << locale;
        QProcess program;
        program.setProcessEnvironment(test::environmentIn(locale));
        program.start(QStringLiteral(QUILLET3_BINARY),
                      {QStringLiteral("--trace"), QStringLiteral("-")});
        ASSERT_TRUE(program.waitForStarted()) << locale;
        // A streamed trace ends at a whole line when the program is stopped.
        QByteArray streamed;
        QElapsedTimer waited;
        waited.start();
        while (streamed.count('\n') < 3 && program.state() == QProcess::Running &&
               waited.elapsed() < 10000) {
            program.waitForReadyRead(100);
            streamed += program.readAllStandardOutput();
        }
        ::kill(static_cast<pid_t>(program.processId()), SIGTERM);
        ASSERT_TRUE(program.waitForFinished(5000)) << locale;
        streamed += program.readAllStandardOutput();
        const QList<QByteArray> lines = streamed.split('\n');
        ASSERT_GE(lines.size(), 3)
            << locale << ": " << program.readAllStandardError().toStdString();
        EXPECT_TRUE(lines.last().isEmpty()) << "the last line is whole";
        for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
            QJsonParseError error{};
            const QJsonDocument line = QJsonDocument::fromJson(lines[i], &error);
            ASSERT_EQ(error.error, QJsonParseError::NoError) << locale << ": " << lines[i].data();
            EXPECT_TRUE(line.object().value(QStringLiteral("t")).isDouble()) << lines[i].data();
        }
    }
}

} // namespace
} // namespace q3

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    q3::loadStageFonts();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
