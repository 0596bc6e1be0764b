// Captions, the stacking of labels and the click on the window.
#include "layout/caption_layout.h"
#include "render/compositor.h"
#include "render/fonts.h"
#include "support.h"
#include "window/stage_window.h"

#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace q3::test {
namespace {

// Measures every character as half the em, and a space as a fifth of it (narrower than the
// quarter em a caption's spaces take at least): a font whose widths a test can count. Like a real
// font, it can only measure whole characters.
class FixedAdvances final : public FontMeasure
{
public:
    [[nodiscard]] double advance(const DesignFont&, int size, std::string_view text) const override
    {
        const auto continuation = [](char c) {
            return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
        };
        const auto lead = [](char c) { return (static_cast<unsigned char>(c) & 0xC0U) == 0xC0U; };
        if (!text.empty() && (continuation(text.front()) || lead(text.back())))
            ADD_FAILURE() << "asked to measure part of a character";
        double total = 0;
        for (const char c : text)
            if ((static_cast<unsigned char>(c) & 0xC0U) != 0x80U)
                total += c == ' ' ? size / 5.0 : size / 2.0;
        return total;
    }
    [[nodiscard]] FontExtents extents(const DesignFont&, int size) const override
    {
        return {.ascent = size * 0.8, .descent = size * 0.2, .lineHeight = size * 1.25};
    }
};

// At an em of 40 units a character is 20 units wide and a space 10 (a quarter em).
const FixedAdvances kFixed;
const CaptionFont kFont(kFixed, {"Arial", 2, true, false}, 40);

TEST(CaptionWrap, SpacesAreAtLeastAQuarterEm)
{
    EXPECT_EQ(kFont.space(), 10) << "the face's space is 8";
    EXPECT_EQ(kFont.width("ab  c"), 80);
}

// A caption, the width of its label, and the lines it breaks into, in the font above.
struct WrapCase
{
    const char* name;
    std::string text;
    double width;
    std::vector<std::string> lines;
};

const std::vector<WrapCase> kWrapCases{
    {"AtTheLastSpaceThatFits", "aaa bbb ccc", 130, {"aaa bbb", "ccc"}},
    {"WordWiderThanTheLineKeepsALineOfItsOwn", "a abcdef b", 40, {"a", "abcdef", "b"}},
    // A run narrower than the label is spacing: at a break it fills the line, less the space
    // at the break, and the rest of it starts the next line.
    {"RunThatFitsTheLabelIsSpacing", "aa      bb", 100, {"aa     ", "bb"}},
    {"RunThatFitsTheLabelGoesOnAfterTheBreak", "aaaa      bb", 100, {"aaaa  ", "   bb"}},
    // A run wider than the label is blank lines of en quads (20 units: five to these lines).
    {"RunWiderThanTheLabelIsBlankLines",
     std::string(23, ' ') + "x",
     105,
     {"     ", "     ", "     ", "     ", "   ", "x"}},
    {"BlankLinesEndTheTextBeforeThem",
     "ab" + std::string(12, ' ') + "cd ef",
     100,
     {"ab", "     ", "     ", "  ", "cd ef"}},
    {"BlankLinesAtTheEnd", "ab" + std::string(11, ' '), 100, {"ab", "     ", "     ", " "}},
    // A run exactly as wide as the label is still spacing.
    {"RunExactlyAsWideAsTheLabelIsSpacing",
     "ab" + std::string(10, ' ') + "cd",
     100,
     {"ab      ", "   cd"}},
    {"OpeningRunExactlyAsWideAsTheLabelIsSpacing",
     std::string(10, ' ') + "ab",
     100,
     {"         ", "ab"}},
    // Spaces where a line ends: the one at the break goes, those before it stay on the line.
    {"WordThatFillsTheLineBreaksAtTheSpaceAfterIt", "aaaaa bb", 100, {"aaaaa", "bb"}},
    {"SpacesBeforeTheBreakStayOnTheLine", "aaa   bb", 100, {"aaa  ", "bb"}},
    {"LastSpaceOfARunIsTheBreak", "aaa  bb", 80, {"aaa ", "bb"}},
    {"SpacesAtTheCaptionsEnd", "aa bb  ", 50, {"aa", "bb "}},
    // Two-byte characters: a break never falls between the bytes of one.
    {"BetweenCharactersNotInsideThem",
     "\u00e9\u00e9 \u00e9\u00e9\u00e9",
     70,
     {"\u00e9\u00e9", "\u00e9\u00e9\u00e9"}},
};

void PrintTo(const WrapCase& c, std::ostream* os)
{
    *os << c.name;
}

class CaptionWrap : public testing::TestWithParam<WrapCase>
{
};

TEST_P(CaptionWrap, BreaksIntoTheseLines)
{
    EXPECT_EQ(wrapCaption(GetParam().text, kFont, GetParam().width), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(Rules, CaptionWrap, testing::ValuesIn(kWrapCases),
                         [](const testing::TestParamInfo<WrapCase>& param) {
                             return std::string(param.param.name);
                         });

TEST(CaptionLayout, LinesStackFromTheTopAndAreCentred)
{
    const ControlDesign row{.rect = {0, 0, 100, 100}, .font = {"Arial", 2, true, false}};
    // "aa bb ", "cc dd" and "ee", 50 units a line: the third starts at the bottom edge.
    const CaptionLayout layout = layoutCaption(row, "aa bb  cc dd ee", 2, kFixed);
    ASSERT_EQ(layout.size, 40);
    ASSERT_EQ(layout.lines.size(), 2U);
    for (std::size_t i = 0; i < layout.lines.size(); ++i) {
        EXPECT_EQ(layout.lines[i].top, 50.0 * double(i));
        EXPECT_EQ(layout.lines[i].baseline, 50.0 * double(i) + 32);
    }
    // "cc dd" is 90 wide: centred at 5, its words at 5 and 55.
    EXPECT_EQ(layout.lines[1].left, 5);
    ASSERT_EQ(layout.lines[1].runs.size(), 2U);
    EXPECT_EQ(layout.lines[1].runs[1].text, "dd");
    EXPECT_EQ(layout.lines[1].runs[1].x, 55);
    ControlDesign left = row;
    left.align = Align::Left;
    EXPECT_EQ(layoutCaption(left, "aa bb  cc dd ee", 2, kFixed).lines[1].runs[0].x, 0);
}

// Fonts whose advances do not grow in proportion to their size, as hinting makes them: each
// letter is three fifths of the em and one unit more, or three fifths rounded down to a whole
// unit. A space is a quarter em, as the captions set it.
class HintedAdvances final : public FontMeasure
{
public:
    explicit HintedAdvances(double (*letter)(int size)) : letter_(letter) {}
    [[nodiscard]] double advance(const DesignFont&, int size, std::string_view text) const override
    {
        double total = 0;
        for (const char c : text)
            total += c == ' ' ? size / 4.0 : letter_(size);
        return total;
    }
    [[nodiscard]] FontExtents extents(const DesignFont&, int size) const override
    {
        return {.ascent = size * 0.8, .descent = size * 0.2, .lineHeight = size * 1.25};
    }

private:
    double (*letter_)(int size);
};

const HintedAdvances kWideWhenSmall([](int size) { return size * 0.6 + 1; });
const HintedAdvances kRoundedDown([](int size) { return std::floor(size * 3 / 5.0); });

// A caption too wide for its label at its size is set at the largest size at which its widest
// word fits; the sizes worked out by hand from the advances.
struct ShrinkCase
{
    const char* name;
    const FontMeasure& measure;
    const char* caption;
    double points; // 20 units to a point
    int size;      // the em it is set at
};

const std::vector<ShrinkCase> kShrinkCases{
    // Half an em a letter: seven letters fit 100 units up to an em of 28.
    {"InProportion", kFixed, "ab abcdefg", 5, 28},
    {"ThatFitsIsKept", kFixed, "ab abcde", 2, 40},
    // At an em of 40 five letters are 125 wide; at 32, 101; at 31, 98.
    {"WiderWhenSmall", kWideWhenSmall, "ab abcde", 2, 31},
    // At an em of 40 five letters are 120 wide; at 35, 105; at 34, 100.
    {"RoundedDown", kRoundedDown, "ab abcde", 2, 34},
};

void PrintTo(const ShrinkCase& c, std::ostream* os)
{
    *os << c.name;
}

class CaptionShrink : public testing::TestWithParam<ShrinkCase>
{
};

TEST_P(CaptionShrink, IsSetAtTheLargestSizeAtWhichItsWidestWordFits)
{
    const ControlDesign row{.rect = {0, 0, 100, 1000}, .font = {"Arial", 2, true, false}};
    const ShrinkCase& c = GetParam();
    EXPECT_EQ(layoutCaption(row, c.caption, c.points, c.measure).size, c.size);
}

INSTANTIATE_TEST_SUITE_P(Fonts, CaptionShrink, testing::ValuesIn(kShrinkCases),
                         [](const testing::TestParamInfo<ShrinkCase>& param) {
                             return std::string(param.param.name);
                         });

CaptionLayout layoutOf(Control control)
{
    const ControlState state = designControls().at(index(control));
    return layoutCaption(designOf(control), state.caption, state.pointSize, QtFontMeasure());
}

bool blank(const std::string& line)
{
    return line.find_first_not_of(' ') == std::string::npos;
}

TEST(DesignCaptions, StarringStandsOnALowLineOfItsCard)
{
    const CaptionLayout layout = layoutOf(Control::lblStarring);
    ASSERT_GE(layout.lines.size(), 3U);
    const CaptionLine& last = layout.lines.back();
    ASSERT_EQ(last.runs.size(), 1U);
    EXPECT_EQ(last.runs[0].text, "Starring");
    // Every line before it is spaces only.
    for (std::size_t i = 0; i + 1 < layout.lines.size(); ++i)
        EXPECT_TRUE(blank(layout.lines[i].text)) << i;
    EXPECT_EQ(layout.size, 405) << "20.25 points, 20 units each";
    // In the lower half of the yellow card, and all of it inside.
    const double height = designOf(Control::lblStarring).rect.height;
    EXPECT_GE(last.top, height / 2);
    EXPECT_LE(last.top + layout.extents.lineHeight, height);
}

TEST(DesignCaptions, ShirtLetteringStartsBelowTheFirstLine)
{
    const CaptionLayout layout = layoutOf(Control::lblShirt);
    ASSERT_GE(layout.lines.size(), 2U);
    EXPECT_TRUE(blank(layout.lines[0].text));
}

TEST(DesignCaptions, TitleTooWideForItsCardIsSetSmallerToFit)
{
    const ControlDesign& title = designOf(Control::lblTitle);
    const CaptionLayout layout = layoutCaption(title, "ZEVRANOVA", 99.75, QtFontMeasure());
    ASSERT_EQ(layout.lines.size(), 1U);
    EXPECT_LT(layout.size, 1995);
    EXPECT_LE(layout.lines[0].width, title.rect.width);
    EXPECT_GT(layout.lines[0].width, title.rect.width * 0.95) << "as large as still fits";
}

TEST(DesignCaptions, CaptionsThatFitKeepTheirDesignSize)
{
    EXPECT_EQ(layoutOf(Control::lblZ).size, 72 * 20);
    EXPECT_EQ(layoutOf(Control::lblOpening).size, 315);
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
    const CaptionLayout layout = layoutOf(Control::lblStarring);
    const QRect firstTwoLines(2280 / 15, 1920 / 15, 7455 / 15,
                              int(2 * layout.extents.lineHeight / 15));
    EXPECT_EQ(countPixels(starring, firstTwoLines, isDark), 0);
    EXPECT_GT(countPixels(starring, QRect(2280 / 15, 1920 / 15, 7455 / 15, 4815 / 15), isDark),
              200);
}

// What the window shows at a size, at a time of the show.
QImage frameAt(double t, QSize size)
{
    RecordedRun r;
    QImage frame;
    r.looks.add(t, [&](double) { frame = Compositor().render(r.stage(), size); });
    r.run.runUntil(t);
    return frame;
}

// Where a label of the maximised window lies in an output of `size`: the stage fitted whole and
// centred, each edge at its units scaled and rounded.
QRect onScreen(Control control, QSize size)
{
    const double scale = std::min(size.width() / 12000.0, size.height() / 9000.0);
    const int left = (size.width() - static_cast<int>(std::lround(12000 * scale))) / 2;
    const int top = (size.height() - static_cast<int>(std::lround(9000 * scale))) / 2;
    const UnitRect r = designOf(control).rect;
    const auto at = [scale](int units) { return static_cast<int>(std::lround(units * scale)); };
    return {QPoint(left + at(r.left), top + at(r.top)),
            QPoint(left + at(r.left + r.width) - 1, top + at(r.top + r.height) - 1)};
}

// The rows of `area` that hold a pixel passing `ink`.
std::pair<int, int> inkRows(const QImage& frame, QRect area, const std::function<bool(QColor)>& ink)
{
    int first = area.bottom() + 1;
    int last = area.top() - 1;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (ink(frame.pixelColor(x, y))) {
                first = std::min(first, y);
                last = std::max(last, y);
            }
    return {first, last};
}

class LabelFrames : public testing::TestWithParam<QSize>
{
};

TEST_P(LabelFrames, StarringInkInTheLowerHalfOfItsCard)
{
    const QRect card = onScreen(Control::lblStarring, GetParam());
    const QImage frame = frameAt(slowCueTime(2) + 500, GetParam());
    const auto [first, last] = inkRows(frame, card, isDark);
    ASSERT_LE(first, last) << "no lettering";
    EXPECT_GT(first, card.top() + card.height() / 2)
        << "from " << card.top() << " to " << card.bottom();
    EXPECT_LE(last, card.bottom());
}

TEST_P(LabelFrames, ShirtLetteringBelowTheTopEdgeOfTheShirt)
{
    const QRect shirt = onScreen(Control::lblShirt, GetParam());
    const QImage frame = frameAt(slowCueTime(12) + 500, GetParam());
    // White letters on the red shirt.
    const auto [first, last] =
        inkRows(frame, shirt, [](QColor c) { return c.red() > 200 && c.green() > 100; });
    ASSERT_LE(first, last) << "no lettering";
    EXPECT_GT(first, shirt.top() + shirt.height() / 10) << "from " << shirt.top();
}

INSTANTIATE_TEST_SUITE_P(Sizes, LabelFrames,
                         testing::Values(QSize(800, 600), QSize(1280, 960), QSize(1366, 768),
                                         QSize(1920, 1080), QSize(3840, 2160)),
                         [](const testing::TestParamInfo<QSize>& param) {
                             return std::to_string(param.param.width()) + "x" +
                                    std::to_string(param.param.height());
                         });

struct WindowClick : testing::Test
{
    WindowClick() : window(run, {[this](double x, double y) { run.press(x, y); }, {}})
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
    EXPECT_EQ(PlayerInspector::scheduler(run).period(Timer::tmrTime), 0);
}

TEST_F(WindowClick, OnTheWhiteAreaStartsTheClock)
{
    clickAt({6500.0 / 15, 5000.0 / 15});
    EXPECT_EQ(PlayerInspector::scheduler(run).period(Timer::tmrTime), 3000);
}

TEST_F(WindowClick, OnTheOnePixelWasteLabelIsNotAClick)
{
    clickAt({1560.0 / 15 + 0.5, 6240.0 / 15 + 0.5});
    EXPECT_EQ(PlayerInspector::scheduler(run).period(Timer::tmrTime), 0);
}

} // namespace
} // namespace q3::test
