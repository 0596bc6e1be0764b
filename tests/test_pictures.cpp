// The two duckling pictures: the GIF files as embedded, as Qt reads them, and on the stage.
#include "render/assets/duck_palette.h"
#include "render/compositor.h"
#include "support.h"

#include <QByteArray>
#include <QColor>
#include <QFile>
#include <QImage>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace q3::test {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kSide = 55;
constexpr int kTransparent = 7;
// The pictures are checked against the palette table that the encoder writes them with, which is
// checked against the ducklings' design once, here.
const std::array<Rgb, 8>& kPalette = kDuckPalette;
constexpr Rgb kYellow{255, 255, 0};
constexpr Rgb kOrange{255, 102, 0};

TEST(DuckPictures, PaletteIsTheDesignsEightColours)
{
    EXPECT_EQ(kDuckPalette, (std::array<Rgb, 8>{{{0, 0, 0},
                                                 {255, 255, 255},
                                                 {205, 255, 188},
                                                 {255, 255, 0},
                                                 {255, 102, 0},
                                                 {223, 223, 223},
                                                 {195, 195, 195},
                                                 {255, 255, 255}}}));
    EXPECT_EQ(kDuckTransparentIndex, kTransparent);
    EXPECT_EQ(kDuckSide, kSide);
}

struct Picture
{
    Control control;
    const char* resource;
};
constexpr std::array<Picture, 2> kPictures{{
    {Control::imgDuck, ":/assets/imgDuck.gif"},
    {Control::imgDuck2, ":/assets/imgDuck2.gif"},
}};

Bytes resourceBytes(const char* path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray data = file.readAll();
    return {data.begin(), data.end()};
}

int word(const Bytes& b, std::size_t at)
{
    return b.at(at) | (b.at(at + 1) << 8);
}

// The file's layout up to the image data, field by field.
constexpr std::size_t kScreen = 6;
constexpr std::size_t kColourTable = 13;
constexpr std::size_t kControlExtension = kColourTable + 8 * 3;
constexpr std::size_t kImageDescriptor = kControlExtension + 8;
constexpr std::size_t kCodeSize = kImageDescriptor + 10;

TEST(DuckPictures, HeaderPaletteAndControlFieldsAsTheWindowNeedsThem)
{
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.resource);
        const Bytes gif = resourceBytes(picture.resource);
        ASSERT_GT(gif.size(), kCodeSize);
        EXPECT_EQ(std::string(gif.begin(), gif.begin() + 6), "GIF89a");
        EXPECT_EQ(word(gif, kScreen), kSide);
        EXPECT_EQ(word(gif, kScreen + 2), kSide);
        // Global table present, colour resolution 3 bits, 8 entries.
        const int packed = gif.at(kScreen + 4);
        EXPECT_EQ(packed & 0x80, 0x80);
        EXPECT_EQ(((packed >> 4) & 7) + 1, 3);
        EXPECT_EQ(2 << (packed & 7), 8);
        for (std::size_t i = 0; i < kPalette.size(); ++i) {
            const Rgb entry{gif.at(kColourTable + 3 * i), gif.at(kColourTable + 3 * i + 1),
                            gif.at(kColourTable + 3 * i + 2)};
            EXPECT_EQ(entry, kPalette.at(i)) << "palette entry " << i;
        }
        // Graphic control: transparency on, delay 0, transparent index 7.
        const Bytes control(gif.begin() + kControlExtension, gif.begin() + kControlExtension + 8);
        EXPECT_EQ(control, (Bytes{0x21, 0xf9, 0x04, 0x01, 0, 0, kTransparent, 0}));
        // One image at (0, 0), 55 x 55, no local table, not interlaced.
        const Bytes image(gif.begin() + kImageDescriptor, gif.begin() + kImageDescriptor + 10);
        EXPECT_EQ(image, (Bytes{0x2c, 0, 0, 0, 0, kSide, 0, kSide, 0, 0}));
        EXPECT_EQ(gif.at(kCodeSize), 3);
    }
}

// A strict reader of the image data: the sub-blocks must end in the terminator followed by the
// trailer and nothing else, and the codes must end in the end code at the width a reader uses
// at that point, with nothing after it. Gives the palette index of every pixel.
std::optional<Bytes> strictDecode(const Bytes& gif, std::string& fault)
{
    std::size_t at = kCodeSize + 1;
    Bytes data;
    while (at < gif.size() && gif[at] != 0) {
        const std::size_t length = gif[at];
        if (at + 1 + length > gif.size()) {
            fault = "sub-block runs past the end";
            return std::nullopt;
        }
        data.insert(data.end(), gif.begin() + at + 1, gif.begin() + at + 1 + length);
        at += 1 + length;
    }
    if (at + 2 != gif.size() || gif[at + 1] != 0x3b) {
        fault = "the image data is not followed by the trailer alone";
        return std::nullopt;
    }

    const int clear = 1 << gif.at(kCodeSize);
    const int end = clear + 1;
    std::size_t bit = 0;
    int width = gif.at(kCodeSize) + 1;
    auto read = [&]() -> std::optional<int> {
        if (bit + width > data.size() * 8)
            return std::nullopt;
        int code = 0;
        for (int i = 0; i < width; ++i, ++bit)
            code |= ((data[bit / 8] >> (bit % 8)) & 1) << i;
        return code;
    };
    std::vector<Bytes> table;
    int previous = -1; // none since the last clear code
    Bytes pixels;
    for (;;) {
        const auto code = read();
        if (!code) {
            fault = "the codes run out before the end code";
            return std::nullopt;
        }
        if (*code == clear) {
            table.assign(static_cast<std::size_t>(end + 1), {});
            for (int i = 0; i < clear; ++i)
                table[static_cast<std::size_t>(i)] = {static_cast<std::uint8_t>(i)};
            width = gif.at(kCodeSize) + 1;
            previous = -1;
            continue;
        }
        if (*code == end)
            break;
        if (table.empty() || *code > static_cast<int>(table.size()) ||
            (*code == static_cast<int>(table.size()) && previous < 0)) {
            fault = "code " + std::to_string(*code) + " is not in the table";
            return std::nullopt;
        }
        Bytes entry;
        if (previous >= 0) {
            const Bytes& before = table[static_cast<std::size_t>(previous)];
            entry = *code < static_cast<int>(table.size()) ? table[static_cast<std::size_t>(*code)]
                                                           : before;
            if (*code == static_cast<int>(table.size()))
                entry.push_back(before.front());
            Bytes added = before;
            added.push_back(entry.front());
            if (table.size() < 4096)
                table.push_back(added);
            if (static_cast<int>(table.size()) == (1 << width) && width < 12)
                ++width;
        } else {
            entry = table[static_cast<std::size_t>(*code)];
        }
        pixels.insert(pixels.end(), entry.begin(), entry.end());
        previous = *code;
    }
    if (data.size() * 8 - bit >= 8) {
        fault = "whole bytes of data after the end code";
        return std::nullopt;
    }
    return pixels;
}

TEST(DuckPictures, ImageDataDecodesStrictlyToPixelsOfTheAllowedEntries)
{
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.resource);
        std::string fault;
        const auto pixels = strictDecode(resourceBytes(picture.resource), fault);
        ASSERT_TRUE(pixels) << fault;
        ASSERT_EQ(pixels->size(), std::size_t{kSide * kSide});
        const std::set<int> used(pixels->begin(), pixels->end());
        EXPECT_EQ(used, (std::set<int>{0, 3, 4, 5, 6, 7}));

        // Qt's own reader, which the window shows them with, sees the same pixels.
        const QImage& image = pictureOf(picture.control);
        ASSERT_EQ(image.size(), QSize(kSide, kSide));
        int mismatches = 0;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const int index = pixels->at(static_cast<std::size_t>(y * kSide + x));
                const QColor c = image.pixelColor(x, y);
                const Rgb want = kPalette.at(static_cast<std::size_t>(index));
                const bool same = index == kTransparent
                                      ? c.alpha() == 0
                                      : c.alpha() == 255 && c.red() == want.r &&
                                            c.green() == want.g && c.blue() == want.b;
                mismatches += same ? 0 : 1;
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

// Where the pixels of one colour lie in a picture.
struct Spread
{
    int count = 0;
    int minX = kSide;
    int maxX = -1;
    int minY = kSide;
    int maxY = -1;
    double meanX = 0;
};

Spread spreadOf(const QImage& image, Rgb colour, int belowY = kSide)
{
    Spread s;
    double sumX = 0;
    for (int y = 0; y < belowY; ++y) {
        for (int x = 0; x < kSide; ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.alpha() != 255 || c.red() != colour.r || c.green() != colour.g ||
                c.blue() != colour.b)
                continue;
            ++s.count;
            sumX += x;
            s.minX = std::min(s.minX, x);
            s.maxX = std::max(s.maxX, x);
            s.minY = std::min(s.minY, y);
            s.maxY = std::max(s.maxY, y);
        }
    }
    s.meanX = s.count ? sumX / s.count : 0;
    return s;
}

TEST(DuckPictures, SeatedYellowDucklingsWithBillsWhereTheyFace)
{
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.resource);
        const QImage& image = pictureOf(picture.control);
        ASSERT_EQ(image.size(), QSize(kSide, kSide));
        // Mostly yellow, filling the frame, with the corners left to the stage.
        const Spread yellow = spreadOf(image, kYellow);
        EXPECT_GT(yellow.count, kSide * kSide * 2 / 5);
        EXPECT_GE(yellow.maxX - yellow.minX, 44);
        EXPECT_GE(yellow.maxY - yellow.minY, 44);
        for (const QPoint corner : {QPoint(0, 0), QPoint(54, 0), QPoint(0, 54), QPoint(54, 54)})
            EXPECT_EQ(image.pixelColor(corner).alpha(), 0);
        // Two small black eyes in the head, one on each side of its middle.
        const Spread eyes = spreadOf(image, {0, 0, 0});
        EXPECT_GE(eyes.count, 4);
        EXPECT_LE(eyes.count, 20);
        EXPECT_LT(eyes.maxY, 27);
        EXPECT_GE(eyes.maxX - eyes.minX, 6);
        // Orange feet on the bottom edge.
        EXPECT_GT(spreadOf(image, kOrange).maxY, 53);
    }
    // The bill is the orange in the upper half: to the right in imgDuck, in the middle of
    // imgDuck2.
    const Spread bill = spreadOf(pictureOf(Control::imgDuck), kOrange, 30);
    EXPECT_GT(bill.minX, 38);
    const Spread frontBill = spreadOf(pictureOf(Control::imgDuck2), kOrange, 30);
    EXPECT_NEAR(frontBill.meanX, 27, 2);
}

TEST(DuckPictures, OnStageAtNaturalSizeWithTheStageShowingThrough)
{
    RecordedRun r;
    r.run.runUntil(57000);
    const QImage frame = Compositor().render(r.stage(), QSize(800, 600));
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.resource);
        const QImage& image = pictureOf(picture.control);
        const UnitRect place = designOf(picture.control).rect;
        ASSERT_EQ(place.width, kSide * 15);
        // At 15 units to a pixel every picture pixel is one pixel of the frame.
        const int left = place.left / 15;
        const int top = place.top / 15;
        int yellow = 0;
        int wrong = 0;
        int hidden = 0;
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const QColor shown = frame.pixelColor(left + x, top + y);
                const QColor pixel = image.pixelColor(x, y);
                if (pixel.alpha() == 0) {
                    // The backdrop shows through; the bottom row touches the floor's back edge.
                    if (y < kSide - 1 && shown != QColor(99, 32, 155))
                        ++hidden;
                } else {
                    yellow += pixel == QColor(255, 255, 0) ? 1 : 0;
                    wrong += shown == pixel ? 0 : 1;
                }
            }
        }
        EXPECT_GT(yellow, kSide * kSide / 3);
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(hidden, 0);
    }
}

// A picture in which every pixel has a colour of its own: red and green give its column and row.
QImage numberedPicture()
{
    QImage picture(kSide, kSide, QImage::Format_ARGB32);
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x)
            picture.setPixel(x, y, qRgba(x * 4, y * 4, 77, 255));
    return picture;
}

// The picture pixel that each device pixel along one side shows, or -1 where it shows a
// colour of none (a blend).
std::vector<int> sourcesAlong(const QImage& scaled, bool columns)
{
    const int length = columns ? scaled.width() : scaled.height();
    std::vector<int> sources;
    for (int i = 0; i < length; ++i) {
        const QRgb c =
            columns ? scaled.pixel(i, scaled.height() / 2) : scaled.pixel(scaled.width() / 2, i);
        const int value = columns ? qRed(c) : qGreen(c);
        const bool exact = value % 4 == 0 && qBlue(c) == 77 && qAlpha(c) == 255;
        sources.push_back(exact ? value / 4 : -1);
    }
    return sources;
}

// The duckling's size at an output size: 825 units, at the scale that fits the stage whole.
int duckSide(QSize output)
{
    const double scale = std::min(output.width() / 12000.0, output.height() / 9000.0);
    return static_cast<int>(std::lround(825 * scale));
}

class DuckFrames : public testing::TestWithParam<QSize>
{
};

TEST_P(DuckFrames, CrispBlocksAreWholePixelsOfOneOrTheNextSize)
{
    const int side = duckSide(GetParam());
    const QImage scaled = scalePixelArt(numberedPicture(), {side, side}, Quality::Crisp);
    ASSERT_EQ(scaled.size(), QSize(side, side));
    for (const bool columns : {true, false}) {
        SCOPED_TRACE(columns ? "columns" : "rows");
        const std::vector<int> sources = sourcesAlong(scaled, columns);
        // Every picture pixel in turn, each a block of whole pixels, unblended.
        std::vector<int> blocks(kSide, 0);
        int previous = 0;
        for (const int source : sources) {
            ASSERT_GE(source, previous) << "a blend or a step back";
            ASSERT_LE(source, previous + 1) << "a picture pixel left out";
            ++blocks.at(static_cast<std::size_t>(source));
            previous = source;
        }
        EXPECT_EQ(previous, kSide - 1);
        const auto [smallest, largest] = std::minmax_element(blocks.begin(), blocks.end());
        EXPECT_EQ(*smallest, side / kSide);
        EXPECT_LE(*largest - *smallest, 1);
    }
}

// The concert with its two ducklings, and the same moment with them hidden.
struct ConcertFrames
{
    QImage withDucks;
    QImage without;
};

ConcertFrames concertAt(QSize size)
{
    RecordedRun r;
    r.run.runUntil(57100);
    ConcertFrames frames{Compositor(Quality::Crisp).render(r.stage(), size), {}};
    r.stage().hide(Control::imgDuck);
    r.stage().hide(Control::imgDuck2);
    frames.without = Compositor(Quality::Crisp).render(r.stage(), size);
    return frames;
}

// Where a duckling's picture pixels show: its left and top edges scaled and rounded, the stage
// fitted whole and centred in the output.
QPoint duckCorner(Control duck, QSize output)
{
    const double scale = std::min(output.width() / 12000.0, output.height() / 9000.0);
    const QPoint origin((output.width() - static_cast<int>(std::lround(12000 * scale))) / 2,
                        (output.height() - static_cast<int>(std::lround(9000 * scale))) / 2);
    const UnitRect place = designOf(duck).rect;
    return origin + QPoint(static_cast<int>(std::lround(place.left * scale)),
                           static_cast<int>(std::lround(place.top * scale)));
}

TEST_P(DuckFrames, CrispDucklingsHoldOnlyPaletteColoursAndAreTheSameSize)
{
    const ConcertFrames frames = concertAt(GetParam());
    const int side = duckSide(GetParam());
    for (const Picture& picture : kPictures) {
        SCOPED_TRACE(picture.resource);
        const QPoint corner = duckCorner(picture.control, GetParam());
        // The picture's own opaque pixels, and where they must show at this size.
        const Spread art = [&] {
            Spread s;
            const QImage& image = pictureOf(picture.control);
            for (int y = 0; y < kSide; ++y)
                for (int x = 0; x < kSide; ++x)
                    if (image.pixelColor(x, y).alpha() == 255) {
                        s.minX = std::min(s.minX, x);
                        s.maxX = std::max(s.maxX, x + 1);
                        s.minY = std::min(s.minY, y);
                        s.maxY = std::max(s.maxY, y + 1);
                    }
            return s;
        }();
        const auto edge = [side](int pixel) {
            return static_cast<int>(std::lround(double(pixel) * side / kSide));
        };
        const QRect want(QPoint(corner.x() + edge(art.minX), corner.y() + edge(art.minY)),
                         QPoint(corner.x() + edge(art.maxX) - 1, corner.y() + edge(art.maxY) - 1));
        QRect shown;
        int strange = 0;
        const QRect around = QRect(corner, QSize(side, side)).adjusted(-2, -2, 2, 2);
        for (int y = around.top(); y <= around.bottom(); ++y) {
            for (int x = around.left(); x <= around.right(); ++x) {
                const QRgb c = frames.withDucks.pixel(x, y);
                if (c == frames.without.pixel(x, y))
                    continue;
                shown |= QRect(x, y, 1, 1);
                const Rgb rgb{static_cast<std::uint8_t>(qRed(c)),
                              static_cast<std::uint8_t>(qGreen(c)),
                              static_cast<std::uint8_t>(qBlue(c))};
                const bool inPalette =
                    std::find(kPalette.begin(), kPalette.end() - 1, rgb) != kPalette.end() - 1;
                strange += inPalette ? 0 : 1;
            }
        }
        EXPECT_EQ(strange, 0) << "pixels of no palette colour";
        EXPECT_EQ(shown, want);
    }
}

TEST(DuckPictures, ShownInTheQualityTheCompositorIsSwitchedTo)
{
    RecordedRun r;
    r.run.runUntil(57100);
    const QSize size(1280, 960);
    Compositor switched(Quality::Smooth);
    const QImage smooth = switched.render(r.stage(), size);
    switched.setQuality(Quality::Crisp);
    EXPECT_EQ(switched.render(r.stage(), size), Compositor(Quality::Crisp).render(r.stage(), size));
    switched.setQuality(Quality::Smooth);
    EXPECT_EQ(switched.render(r.stage(), size), smooth);
}

INSTANTIATE_TEST_SUITE_P(Sizes, DuckFrames,
                         testing::Values(QSize(800, 600), QSize(1280, 960), QSize(1366, 768),
                                         QSize(1920, 1080), QSize(3840, 2160)),
                         [](const testing::TestParamInfo<QSize>& param) {
                             return std::to_string(param.param.width()) + "x" +
                                    std::to_string(param.param.height());
                         });

} // namespace
} // namespace q3::test
