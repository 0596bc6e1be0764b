// Captions, the stacking of labels and the click on the window.
#include "render/compositor.h"
#include "render/fonts.h"
#include "render/text_layout.h"
#include "support.h"
#include "window/stage_window.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>

namespace q3::test {
namespace {

TEST(CaptionWrap, BreaksAtTheLastSpaceThatFits)
{
    const CaptionMetrics metrics(stageFont({"Arial", 10, true, false}, 200));
    const double width = metrics.width(QStringLiteral("aaa bbb"));
    const auto lines = wrapCaption(QStringLiteral("aaa bbb ccc"), metrics, width);
    EXPECT_EQ(lines, (std::vector<QString>{QStringLiteral("aaa bbb"), QStringLiteral("ccc")}));
}

TEST(CaptionWrap, RunOfSpacesFillsWholeLines)
{
    const CaptionMetrics metrics(stageFont({"Arial", 10, true, false}, 200));
    const double space = metrics.space();
    const QString text = QString(25, u' ') + QStringLiteral("x");
    const auto lines = wrapCaption(text, metrics, space * 10.5);
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_EQ(lines[0], QString(10, u' '));
    EXPECT_EQ(lines[1], QString(10, u' '));
    EXPECT_EQ(lines[2], QString(3, u' ') + QStringLiteral("x"));
}

TEST(CaptionWrap, WordWiderThanTheLineKeepsALineOfItsOwn)
{
    const CaptionMetrics metrics(stageFont({"Arial", 10, true, false}, 200));
    const double width = metrics.width(QStringLiteral("ab"));
    const auto lines = wrapCaption(QStringLiteral("a abcdef b"), metrics, width);
    EXPECT_EQ(lines, (std::vector<QString>{QStringLiteral("a"), QStringLiteral("abcdef"),
                                           QStringLiteral("b")}));
}

const TextLayout layoutOf(Control control)
{
    const ControlState state = designControls().at(index(control));
    return layoutCaption(designOf(control), QString::fromStdString(state.caption), state.pointSize);
}

TEST(DesignCaptions, StarringStandsOnTheThirdLineOrLower)
{
    const TextLayout layout = layoutOf(Control::lblStarring);
    ASSERT_GE(layout.lines.size(), 3U);
    EXPECT_TRUE(layout.lines.back().endsWith(QStringLiteral("Starring")));
    EXPECT_EQ(layout.lines.back().trimmed(), QStringLiteral("Starring"));
    // Every line before it is spaces only.
    for (std::size_t i = 0; i + 1 < layout.lines.size(); ++i)
        EXPECT_TRUE(layout.lines[i].trimmed().isEmpty()) << i;
    EXPECT_EQ(layout.font.pixelSize(), 405) << "20.25 points, 20 units each";
    // ...and all of it inside the yellow card.
    EXPECT_LE(layout.lineHeight * double(layout.lines.size()),
              designOf(Control::lblStarring).rect.height);
}

TEST(DesignCaptions, ShirtLetteringStartsBelowTheFirstLine)
{
    const TextLayout layout = layoutOf(Control::lblShirt);
    ASSERT_GE(layout.lines.size(), 2U);
    EXPECT_TRUE(layout.lines[0].trimmed().isEmpty());
}

TEST(DesignCaptions, TitleTooWideForItsCardIsSetSmallerToFit)
{
    const ControlDesign& title = designOf(Control::lblTitle);
    const TextLayout layout = layoutCaption(title, QStringLiteral("ZEVRANOVA"), 99.75);
    ASSERT_EQ(layout.lines.size(), 1U);
    EXPECT_LT(layout.font.pixelSize(), 1995);
    EXPECT_LE(layout.widths[0], title.rect.width);
    EXPECT_GT(layout.widths[0], title.rect.width * 0.95) << "as large as still fits";
}

TEST(DesignCaptions, CaptionsThatFitKeepTheirDesignSize)
{
    EXPECT_EQ(layoutOf(Control::lblZ).font.pixelSize(), 72 * 20);
    EXPECT_EQ(layoutOf(Control::lblOpening).font.pixelSize(), 315);
}

// What the window shows at 800 x 600 (15 units to a pixel), at a time of the show.
QImage frameAt(double t)
{
    RecordedRun r;
    QImage frame;
    r.looks.add(t, [&](double) { frame = Compositor().render(r.stage(), QSize(800, 600)); });
    r.run.runUntil(t);
    return frame;
}

int countPixels(const QImage& image, QRect area, const std::function<bool(QColor)>& test)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += test(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

bool isDark(QColor c)
{
    return c.red() < 60 && c.green() < 60 && c.blue() < 60;
}

TEST(TitleCardFrames, OpeningWindowIsWhiteWithTheGreyNote)
{
    const QImage frame = frameAt(1000);
    // Before the maximise the client area (7395 x 6735 units) is fitted to the output.
    const StageView view = StageView::fit(7395, 6735, frame.size());
    const auto at = [&](int x, int y) {
        return frame.pixel((view.origin + QPointF(x, y) * view.scale).toPoint());
    };
    EXPECT_EQ(at(6500, 5000), qRgb(255, 255, 255));
    EXPECT_EQ(at(1230, 1100), qRgb(192, 192, 192));
}

TEST(TitleCardFrames, StageIsBlackAfterCueZero)
{
    const QImage frame = frameAt(slowCueTime(0));
    // Only the one-pixel lblWasteTime, which stays until the first frame loop hides it.
    EXPECT_EQ(countPixels(frame, frame.rect(), [](QColor c) { return c != Qt::black; }), 1);
    EXPECT_EQ(frame.pixel(1560 / 15, 6240 / 15), qRgb(192, 192, 192));
}

TEST(TitleCardFrames, TitleCardIsYellowWithDarkLettersInside)
{
    const QImage frame = frameAt(slowCueTime(1));
    const QRect card(2280 / 15, 1920 / 15, 7455 / 15, 4815 / 15);
    EXPECT_EQ(frame.pixel(card.center().x(), card.bottom() - 5), qRgb(255, 255, 0));
    const int dark = countPixels(frame, card.adjusted(2, 2, -2, -2), isDark);
    EXPECT_GT(dark, 3000) << "the title's letters";
    EXPECT_EQ(countPixels(frame, QRect(0, 0, 800, card.top() - 1),
                          [](QColor c) { return c != Qt::black; }),
              0);
    // The letters reach both sides of the card: the whole word is shown, not a fragment of it.
    const QRect leftQuarter(card.left(), card.top(), card.width() / 8, card.height());
    const QRect rightQuarter(card.right() - card.width() / 8, card.top(), card.width() / 8,
                             card.height());
    EXPECT_GT(countPixels(frame, leftQuarter, isDark), 100);
    EXPECT_GT(countPixels(frame, rightQuarter, isDark), 100);
}

TEST(TitleCardFrames, ZStandsInFrontOfTheStarringCard)
{
    const QImage starring = frameAt(slowCueTime(2));
    const QImage withZ = frameAt(slowCueTime(3));
    const QRect z(6240 / 15, 4200 / 15, 1695 / 15, 1575 / 15);
    EXPECT_EQ(countPixels(starring, z, isDark), 0);
    EXPECT_GT(countPixels(withZ, z, isDark), 500);
    // "Starring" stands below the first two lines of the card.
    const TextLayout layout = layoutOf(Control::lblStarring);
    const QRect firstTwoLines(2280 / 15, 1920 / 15, 7455 / 15, int(2 * layout.lineHeight / 15));
    EXPECT_EQ(countPixels(starring, firstTwoLines, isDark), 0);
    EXPECT_GT(countPixels(starring, QRect(2280 / 15, 1920 / 15, 7455 / 15, 4815 / 15), isDark),
              200);
}

struct WindowClick : testing::Test
{
    WindowClick() : window(run, {[this](double x, double y) { run.show().clickAt(x, y); }, {}})
    {
        run.runUntil(0);
        window.setGeometry(0, 0, 493, 449);
    }
    void clickAt(QPointF pixel)
    {
        QMouseEvent press(QEvent::MouseButtonPress, pixel, window.mapToGlobal(pixel),
                          Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&window, &press);
    }
    std::ostringstream errors;
    Player run{TimeSource::Virtual, makeQuilletShow(1), errors};
    StageWindow window;
};

TEST_F(WindowClick, OnTheOpeningNoteDoesNotStartTheShow)
{
    clickAt({1500.0 / 15, 1500.0 / 15});
    EXPECT_EQ(run.scheduler().period(Timer::tmrTime), 0);
}

TEST_F(WindowClick, OnTheWhiteAreaStartsTheClock)
{
    clickAt({6500.0 / 15, 5000.0 / 15});
    EXPECT_EQ(run.scheduler().period(Timer::tmrTime), 3000);
}

TEST_F(WindowClick, OnTheOnePixelWasteLabelIsNotAClick)
{
    clickAt({1560.0 / 15 + 0.5, 6240.0 / 15 + 0.5});
    EXPECT_EQ(run.scheduler().period(Timer::tmrTime), 0);
}

} // namespace
} // namespace q3::test
