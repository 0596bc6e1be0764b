// Cue 18: the concert picture as its operations, their counts, and the finished frame.
#include "pixel_probe.h"
#include "support.h"

#include <QImage>
#include <array>
#include <string>

namespace q3::test {
namespace {

// Built with std::string("[") rather than "[" + ...: GCC 12 at -O3 wrongly warns (-Wrestrict)
// about the latter.
std::string json(Rgb c)
{
    return std::string("[") + std::to_string(c.r) + "," + std::to_string(c.g) + "," +
           std::to_string(c.b) + "]";
}

std::string json(int x, int y)
{
    return std::string("[") + std::to_string(x) + "," + std::to_string(y) + "]";
}

// The events a drawing should produce, written row by row. Every box and disc names the fill
// colour that must be in force when it is drawn; a black disc also leaves the fill black.
struct Drawing
{
    Drawing& fill(Rgb c)
    {
        lines.push_back(R"({"ev":"fill","rgb":)" + json(c) + "}");
        return *this;
    }
    Drawing& box(int x1, int y1, int x2, int y2, Rgb fillInForce)
    {
        lines.push_back(R"({"ev":"box","p1":)" + json(x1, y1) + R"(,"p2":)" + json(x2, y2) +
                        R"(,"rgb":[0,0,0],"fill":)" + json(fillInForce) + "}");
        return *this;
    }
    Drawing& line(int x1, int y1, int x2, int y2, Rgb colour)
    {
        lines.push_back(R"({"ev":"line","p1":)" + json(x1, y1) + R"(,"p2":)" + json(x2, y2) +
                        R"(,"rgb":)" + json(colour) + "}");
        return *this;
    }
    Drawing& foreLine(int x1, int y1, int x2, int y2)
    {
        lines.push_back(R"({"ev":"line","p1":)" + json(x1, y1) + R"(,"p2":)" + json(x2, y2) +
                        R"(,"rgb":[0,0,0],"fore":true})");
        return *this;
    }
    Drawing& disc(int x, int y, int r, Rgb fillInForce)
    {
        lines.push_back(R"({"ev":"circle","c":)" + json(x, y) + R"(,"r":)" + std::to_string(r) +
                        R"(,"rgb":[0,0,0],"fill":)" + json(fillInForce) + "}");
        lines.push_back(R"({"ev":"fill","rgb":[0,0,0]})");
        return *this;
    }
    Drawing& then(const std::vector<std::string>& more)
    {
        lines.insert(lines.end(), more.begin(), more.end());
        return *this;
    }

    std::vector<std::string> lines;
};

constexpr Rgb kGrey{210, 210, 210};
constexpr Rgb kCabinet{133, 88, 40};
constexpr Rgb kPanel{187, 130, 68};
constexpr Rgb kBackdrop{99, 32, 155};

constexpr std::array kBulbX{2380, 2580, 2780, 2980, 3180, 3380, 3580, 3780, 3980, 4180,
                            4380, 4580, 4780, 4980, 5180, 5380, 5580, 5780, 6010, 6240,
                            6440, 6640, 6840, 7040, 7240, 7440, 7640, 7840, 8040, 8240,
                            8440, 8640, 8840, 9040, 9240, 9440, 9640};
constexpr std::array kLampColumnX{350, 950, 1550, 10400, 11000, 11600};
constexpr std::array kLampRowY{350, 950, 1550, 2150, 2750, 3350, 3950, 4550, 5150};

std::vector<std::string> stageSet()
{
    Drawing d;
    d.fill({0, 0, 0})
        .box(0, 7000, 12000, 8500, {0, 0, 0})
        .fill(kGrey)
        .box(9975, 6990, 11975, 0, kGrey)
        .fill(kGrey)
        .box(0, 0, 2025, 6990, kGrey)
        .foreLine(3000, 5750, 9000, 5750)
        .foreLine(3000, 5750, 2025, 7000)
        .foreLine(9000, 5750, 9975, 7000)
        .foreLine(2260, 860, 2260, 6690)
        .foreLine(9730, 860, 9730, 6690)
        .foreLine(2150, 860, 2150, 6860)
        .foreLine(9850, 860, 9850, 6860);
    for (const int y : {5060, 5260, 5460, 5660, 5860, 6060, 6260, 6460, 6660})
        d.foreLine(9740, y, 9990, y);
    d.foreLine(9850, 6860, 9990, 6860);
    for (const int y : {4650, 4640, 4630, 4620, 4610, 4600, 4590, 4580})
        d.line(2280, y, 9730, y, {255, 255, 255});
    for (int y = 860; y <= 4860; y += 200)
        d.foreLine(2040, y, 9970, y);
    for (const int y : {5060, 5260, 5460, 5660, 5860, 6060, 6260, 6460, 6660})
        d.foreLine(2040, y, 2260, y);
    d.foreLine(2040, 6860, 2160, 6860);
    return d.lines;
}

std::vector<std::string> cabinetsAndFloorBoxes()
{
    return Drawing{}
        .fill(kCabinet)
        .box(1500, 5960, 2000, 6990, kCabinet)
        .box(10000, 5960, 10500, 6990, kCabinet)
        .line(1500, 6160, 2000, 6160, {0, 0, 0})
        .line(10000, 6160, 10500, 6160, {0, 0, 0})
        .fill(kPanel)
        .box(1550, 6210, 1950, 6940, kPanel)
        .box(10050, 6210, 10450, 6940, kPanel)
        .fill({0, 0, 0})
        .disc(1600, 6050, 50, {0, 0, 0})
        .fill({0, 0, 0})
        .disc(10100, 6050, 50, {0, 0, 0})
        .fill(kCabinet)
        .box(3500, 6800, 4000, 7000, kCabinet)
        .box(6250, 6700, 5750, 7000, kCabinet)
        .box(8000, 6800, 8500, 7000, kCabinet)
        .lines;
}

// White bulbs and lamps: each has its own white fill, since the disc before left it black.
std::vector<std::string> bulbsAndLamps()
{
    Drawing d;
    for (const int y : {960, 4770}) {
        for (const int x : kBulbX)
            d.fill({255, 255, 255}).disc(x, y, 100, {255, 255, 255});
    }
    for (const int x : kLampColumnX) {
        for (const int y : kLampRowY)
            d.fill({255, 255, 255}).disc(x, y, 250, {255, 255, 255});
    }
    return d.lines;
}

// The drummer and the drum kit.
void drummer(Drawing& d)
{
    d.fill({0, 0, 0})
        .disc(6000, 5050, 100, {0, 0, 0})
        .foreLine(6000, 5000, 6000, 5500)
        .foreLine(6000, 5175, 6150, 5200)
        .foreLine(6150, 5200, 6300, 5150)
        .line(6300, 5200, 6200, 4950, {196, 153, 70})
        .foreLine(6000, 5175, 5850, 5150)
        .foreLine(5850, 5150, 5700, 5000)
        .line(5700, 5050, 5950, 4900, {196, 153, 70})
        .foreLine(6475, 5250, 6475, 5750)
        .foreLine(6475, 5600, 6375, 5750)
        .foreLine(6475, 5600, 6575, 5750)
        .fill({234, 195, 28})
        .disc(6475, 5250, 75, {234, 195, 28})
        .fill({100, 97, 85})
        .disc(6000, 5500, 250, {100, 97, 85})
        .fill({255, 255, 255})
        .disc(6000, 5500, 175, {255, 255, 255})
        .fill({188, 174, 146})
        .disc(6250, 5300, 75, {188, 174, 146})
        .fill({188, 174, 146})
        .disc(6400, 5300, 75, {188, 174, 146})
        .fill({188, 174, 146})
        .disc(5750, 5300, 75, {188, 174, 146})
        .fill({188, 174, 146})
        .disc(5600, 5300, 75, {188, 174, 146})
        .fill({234, 195, 28})
        .disc(5575, 5100, 100, {234, 195, 28})
        .foreLine(5575, 5100, 5325, 5250)
        .foreLine(5400, 5200, 5400, 5750)
        .foreLine(5400, 5600, 5550, 5750)
        .foreLine(5400, 5600, 5250, 5750)
        .fill({234, 195, 28})
        .disc(6550, 5050, 150, {234, 195, 28})
        .foreLine(6550, 5050, 6800, 5200)
        .foreLine(6725, 5150, 6725, 5750)
        .foreLine(6725, 5600, 6575, 5750)
        .foreLine(6725, 5600, 6875, 5750)
        .fill({255, 255, 255})
        .box(6275, 5400, 6475, 5525, {255, 255, 255})
        .foreLine(6375, 5525, 6375, 5750)
        .foreLine(6375, 5650, 6275, 5750)
        .foreLine(6375, 5650, 6475, 5750)
        .box(5525, 5400, 5725, 5650, {255, 255, 255})
        .foreLine(5525, 5400, 5525, 5750)
        .foreLine(5725, 5400, 5725, 5750)
        .foreLine(5625, 5400, 5625, 5750);
}

// The keyboard player.
void keyboardPlayer(Drawing& d)
{
    d.fill({0, 0, 0})
        .disc(8000, 5000, 100, {0, 0, 0})
        .foreLine(8000, 5000, 8000, 5400)
        .foreLine(8000, 5150, 8100, 5250)
        .foreLine(8100, 5250, 8050, 5400)
        .foreLine(8000, 5150, 7900, 5300)
        .foreLine(7900, 5300, 7775, 5400)
        .foreLine(8000, 5400, 7900, 5550)
        .foreLine(7900, 5550, 7850, 5750)
        .foreLine(8000, 5400, 8100, 5550)
        .foreLine(8100, 5550, 8150, 5750)
        .fill({90, 103, 151})
        .box(7450, 5300, 7650, 5750, {90, 103, 151})
        .box(8350, 5300, 8550, 5750, {90, 103, 151})
        .foreLine(7700, 5375, 8300, 5750)
        .foreLine(8300, 5375, 7700, 5750)
        .fill({56, 72, 128})
        .box(7675, 5375, 8325, 5425, {56, 72, 128});
}

// The singer.
void singer(Drawing& d)
{
    d.fill({0, 0, 0})
        .disc(6000, 6100, 100, {0, 0, 0})
        .foreLine(6000, 6100, 6000, 6550)
        .foreLine(6000, 6250, 6100, 6350)
        .foreLine(6100, 6350, 6250, 6300)
        .foreLine(6000, 6250, 5850, 6300)
        .foreLine(5850, 6300, 5750, 6150)
        .foreLine(5650, 6200, 5800, 6150)
        .fill({0, 255, 0})
        .disc(5800, 6150, 30, {0, 255, 0})
        .foreLine(6000, 6550, 6050, 6700)
        .foreLine(6000, 6550, 5850, 6500)
        .foreLine(5850, 6500, 5850, 6700);
}

// The player with the blue guitar.
void blueGuitarPlayer(Drawing& d)
{
    d.fill({0, 0, 0})
        .disc(3200, 6150, 100, {0, 0, 0})
        .foreLine(3200, 6150, 3200, 6600)
        .foreLine(3200, 6300, 3250, 6450)
        .foreLine(3250, 6450, 3400, 6400)
        .foreLine(3200, 6300, 3125, 6450)
        .foreLine(3200, 6600, 3250, 6800)
        .foreLine(3250, 6800, 3400, 7000)
        .foreLine(3200, 6600, 3125, 6800)
        .foreLine(3125, 6800, 3075, 7000)
        .foreLine(3200, 6550, 3500, 6325)
        .fill({100, 100, 255})
        .disc(3500, 6325, 40, {100, 100, 255})
        .fill({0, 0, 255})
        .disc(3200, 6550, 100, {0, 0, 255})
        .foreLine(3125, 6450, 3200, 6550);
}

// The player with the pale-yellow guitar.
void paleGuitarPlayer(Drawing& d)
{
    d.fill({0, 0, 0})
        .disc(4500, 6200, 100, {0, 0, 0})
        .foreLine(4500, 6200, 4425, 6650)
        .foreLine(4475, 6350, 4575, 6500)
        .foreLine(4575, 6500, 4675, 6575)
        .foreLine(4475, 6350, 4350, 6500)
        .foreLine(4425, 6550, 4600, 6800)
        .foreLine(4600, 6800, 4600, 7000)
        .foreLine(4425, 6550, 4325, 7000)
        .fill({255, 255, 120})
        .foreLine(4400, 6575, 4850, 6575)
        .box(4300, 6500, 4500, 6650, {255, 255, 120})
        .box(4825, 6550, 4900, 6600, {255, 255, 120})
        .foreLine(4350, 6500, 4450, 6600);
}

// The player with the red guitar.
void redGuitarPlayer(Drawing& d)
{
    d.fill({0, 0, 0})
        .disc(7200, 6150, 100, {0, 0, 0})
        .foreLine(7200, 6150, 7350, 6600)
        .foreLine(7350, 6600, 7475, 7000)
        .foreLine(7350, 6600, 7250, 7000)
        .foreLine(7350, 6550, 7350, 6150)
        .foreLine(7250, 6300, 7400, 6375)
        .foreLine(7400, 6375, 7345, 6225)
        .foreLine(7250, 6300, 7200, 6450)
        .fill({255, 0, 0})
        .disc(7350, 6550, 100, {255, 0, 0})
        .fill({255, 0, 100})
        .disc(7350, 6150, 40, {255, 0, 100})
        .foreLine(7200, 6450, 7350, 6575);
}

std::vector<std::string> band()
{
    Drawing d;
    drummer(d);
    keyboardPlayer(d);
    singer(d);
    blueGuitarPlayer(d);
    paleGuitarPlayer(d);
    redGuitarPlayer(d);
    return d.lines;
}

std::vector<std::string> cueEighteen()
{
    return Drawing{}
        .then({
            R"({"ev":"clear"})",
            R"({"ev":"hide","control":"lblContinue"})",
            R"({"ev":"show","control":"lblScreen"})",
            R"({"ev":"show","control":"lblBanner"})",
            R"({"ev":"background","rgb":[99,32,155]})",
        })
        .then(stageSet())
        .then(cabinetsAndFloorBoxes())
        .then(bulbsAndLamps())
        .then(band())
        .then({
            R"({"ev":"period","timer":"tmrTime","ms":300})",
            R"({"ev":"period","timer":"tmrSL","ms":500})",
            R"({"ev":"hide","control":"lblScreen"})",
            R"({"ev":"show","control":"lblCountDown"})",
            R"({"ev":"caption","control":"lblCountDown","text":"5"})",
            R"({"ev":"show","control":"imgDuck"})",
            R"({"ev":"show","control":"imgDuck2"})",
        })
        .lines;
}

constexpr double kCue18 = 57000;

TEST(ConcertStage, CueEighteenPerformsEveryRowWithTheFillInForce)
{
    RecordedRun r;
    r.run.runUntil(kCue18);
    EXPECT_TRUE(sameEvents(eventsOfCue(r.recorder.lines, 18), cueEighteen()));
}

TEST(ConcertStage, CountsOfLinesBoxesDiscsAndFills)
{
    RecordedRun r;
    r.run.runUntil(kCue18);
    const std::vector<std::string> events = eventsOfCue(r.recorder.lines, 18);
    const std::string blackFill = R"({"ev":"fill","rgb":[0,0,0]})";
    int linesAndBoxes = 0;
    int discs = 0;
    int fills = 0;
    for (std::size_t i = 0; i < events.size(); ++i) {
        const std::string& e = events[i];
        if (e.starts_with(R"({"ev":"line")") || e.starts_with(R"({"ev":"box")"))
            ++linesAndBoxes;
        if (e.starts_with(R"({"ev":"circle")")) {
            // Every circle of the cue is a black disc, which sets the fill black right after.
            EXPECT_NE(e.find(R"("rgb":[0,0,0],"fill")"), std::string::npos) << e;
            ASSERT_LT(i + 1, events.size());
            EXPECT_EQ(events[i + 1], blackFill) << "after " << e;
            ++discs;
        }
        if (e.starts_with(R"({"ev":"fill")"))
            ++fills;
    }
    EXPECT_EQ(linesAndBoxes, 146);
    EXPECT_EQ(discs, 150);
    // The fills the disc routine makes on its own are not the cue's Set fill steps.
    EXPECT_EQ(fills - discs, 160);
}

TEST(ConcertStage, LeavesTheCountdownRegimeAndTheLabelsInPlace)
{
    RecordedRun r;
    r.run.runUntil(kCue18);
    const Stage& stage = r.stage();
    EXPECT_EQ(stage.background(), kBackdrop);
    EXPECT_EQ(stage.fill(), (Rgb{0, 0, 0}));
    EXPECT_EQ(stage.period(Timer::tmrTime), 300);
    EXPECT_EQ(stage.period(Timer::tmrSL), 500);
    EXPECT_EQ(stage.period(Timer::tmrBL), 0);
    EXPECT_EQ(stage.period(Timer::tmrTime2), 0);
    for (const Control c :
         {Control::lblBanner, Control::lblCountDown, Control::imgDuck, Control::imgDuck2})
        EXPECT_TRUE(stage.control(c).visible) << name(c);
    for (const Control c : {Control::lblContinue, Control::lblScreen, Control::lblCountDown2,
                            Control::lblTheEnd, Control::lblTalk, Control::lblShirt})
        EXPECT_FALSE(stage.control(c).visible) << name(c);
    EXPECT_EQ(stage.control(Control::lblCountDown).caption, "5");
}

TEST(ConcertPicture, RegionsShowTheirColours)
{
    RecordedRun r;
    r.run.runUntil(kCue18);
    const QImage frame = frameOf(r.stage());
    struct Probe
    {
        const char* what;
        int x;
        int y;
        Rgb colour;
    };
    const std::array probes{
        Probe{"bare backdrop below the stage", 6000, 8800, kBackdrop},
        Probe{"backdrop above the stage floor", 2700, 5400, kBackdrop},
        Probe{"front of the stage", 6000, 7750, {0, 0, 0}},
        Probe{"left tower", 1000, 6500, kGrey},
        // Given with its corners the other way round, the right tower is the same rectangle.
        Probe{"right tower", 11000, 6500, kGrey},
        Probe{"left cabinet", 1900, 6100, kCabinet},
        Probe{"right cabinet panel", 10250, 6600, kPanel},
        Probe{"middle floor box, corners given the other way round", 6150, 6900, kCabinet},
        Probe{"countdown label", 5000, 4000, {255, 255, 255}},
        Probe{"banner", 2500, 100, {255, 0, 0}},
        Probe{"bass drum head", 6000, 5550, {255, 255, 255}},
        Probe{"blue guitar body", 3150, 6580, {0, 0, 255}},
        Probe{"red guitar body", 7380, 6520, {255, 0, 0}},
        Probe{"keyboard speaker", 7550, 5600, {90, 103, 151}},
    };
    for (const Probe& p : probes)
        EXPECT_TRUE(colourAt(frame, p.x, p.y, p.colour)) << p.what;
}

TEST(ConcertPicture, BulbsAndLampsAreWhiteUntilTheLightsStart)
{
    RecordedRun r;
    r.run.runUntil(kCue18);
    const QImage frame = frameOf(r.stage());
    for (const int x : kBulbX)
        EXPECT_TRUE(colourAt(frame, x, 960, {255, 255, 255})) << "upper bulb";
    // The lower row is half covered by the countdown label; its lower half shows.
    for (const int x : kBulbX)
        EXPECT_TRUE(colourAt(frame, x, 4800, {255, 255, 255})) << "lower bulb";

    // The marquee bulbs change from the first tick of their timer on; the lamps stay white
    // through the countdown until the light columns start with the first introduction.
    r.run.runUntil(66000 - 1);
    const QImage beforeLights = frameOf(r.stage());
    for (const int x : kLampColumnX)
        for (const int y : kLampRowY)
            EXPECT_TRUE(colourAt(beforeLights, x, y, {255, 255, 255})) << "lamp";
}

} // namespace
} // namespace q3::test
