// What a viewer sees and does, whatever the front: the timeline's showing and hiding over the
// wall clock, the rectangles of its picture, the pointer's presses and drags, and the captions
// a live region or the subtitles hear of. Expected values are worked out by hand from the look:
// a bar 14 px high along the bottom (44 px after a touch), its track inset 8 px, shown for
// 2000 ms after a move over the lower quarter.
#include "core/captions.h"
#include "steering/pointer.h"
#include "steering/timeline.h"

#include <gtest/gtest.h>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace q3::test {
namespace {

std::string wake(const Timeline& timeline)
{
    const std::optional<double> at = timeline.wakeAt();
    return at ? std::to_string(static_cast<int>(*at)) : "none";
}

TEST(ViewerKit, TimelineShowsForTwoSecondsAndWhileHeld)
{
    enum class Do : std::uint8_t
    {
        Reveal,
        PointerAt, // y of a 600 px high output: the lower quarter starts at 450
        Hold,
        Release,
        Expire,
    };
    struct Row
    {
        Do what;
        double wallMs;
        double y;
        bool justHid; // of Expire
        bool shown;
        std::string wakeAt;
    };
    const std::vector<Row> rows{
        {Do::Expire, 0, 0, false, false, "none"},
        {Do::PointerAt, 100, 449, false, false, "none"},
        {Do::PointerAt, 100, 450, false, true, "2100"},
        {Do::Expire, 2099, 0, false, true, "2100"},
        {Do::Expire, 2100, 0, true, false, "none"},
        {Do::Expire, 2101, 0, false, false, "none"},
        {Do::Reveal, 3000, 0, false, true, "5000"},
        {Do::PointerAt, 4000, 599, false, true, "6000"},
        {Do::Hold, 4500, 0, false, true, "none"},
        {Do::Expire, 9000, 0, false, true, "none"},
        {Do::Release, 10000, 0, false, true, "12000"},
        {Do::Expire, 11999, 0, false, true, "12000"},
        {Do::Expire, 12000, 0, true, false, "none"},
    };
    Timeline timeline;
    timeline.setOutput(800, 600, 1);
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message()
                     << "step " << static_cast<int>(row.what) << " at " << row.wallMs);
        bool hid = false;
        switch (row.what) {
        case Do::Reveal:
            timeline.reveal(row.wallMs);
            break;
        case Do::PointerAt:
            timeline.pointerAt(row.y, row.wallMs);
            break;
        case Do::Hold:
        case Do::Release:
            timeline.hold(row.what == Do::Hold, row.wallMs);
            break;
        case Do::Expire:
            hid = timeline.expire(row.wallMs);
            break;
        }
        EXPECT_EQ(hid, row.justHid);
        EXPECT_EQ(timeline.shown(), row.shown);
        EXPECT_EQ(wake(timeline), row.wakeAt);
    }
}

std::string fills(const std::vector<BarFill>& picture)
{
    std::ostringstream out;
    for (const BarFill& f : picture)
        out << f.rect.x << ',' << f.rect.y << ' ' << f.rect.width << 'x' << f.rect.height << " #"
            << std::hex << f.colour.rgb << std::dec << '/' << f.colour.alpha << '\n';
    return out.str();
}

// An output 100 x 20 px: the bar's top at 20 - 14 = 6, its track from 8 to 92 (84 px), bands
// centred on the bar's middle. A quarter of the show played: the position at 8 + 21 = 29.
TEST(ViewerKit, TimelinePictureIsTheseRectangles)
{
    struct Row
    {
        double dpr;
        std::string expected;
        bool touch = false;
    };
    const std::vector<Row> rows{
        {1,
         "0,6 100x14 #0/150\n"     // the bar's back
         "8,11 21x4 #ffb000/255\n" // played, 4 px high: (14 - 4) / 2 below the top
         "29,11 63x4 #ffffff/90\n" // unplayed, to 92
         "8,9 1x8 #ffffff/210\n"   // the cues at 0, 500 and 1000 ms
         "50,9 1x8 #ffffff/210\n"
         "92,9 1x8 #ffffff/210\n"
         "28,7 3x12 #ffffff/255\n"}, // the position, 3 px wide, 12 high
        // Twice the device pixels: the track from 16 to 184, the marks 2 px wide, centred by
        // starting a pixel to the left.
        {2, "0,12 200x28 #0/150\n"
            "16,22 42x8 #ffb000/255\n"
            "58,22 126x8 #ffffff/90\n"
            "15,18 2x16 #ffffff/210\n"
            "99,18 2x16 #ffffff/210\n"
            "183,18 2x16 #ffffff/210\n"
            "55,14 6x24 #ffffff/255\n"},
        // After a touch, in an output 100 x 60 px: a finger's bar, 44 px high from 16, with the
        // same bands across its middle at 16 + (44 - 4) / 2 = 36 and so on.
        {1,
         "0,16 100x44 #0/150\n"
         "8,36 21x4 #ffb000/255\n"
         "29,36 63x4 #ffffff/90\n"
         "8,34 1x8 #ffffff/210\n"
         "50,34 1x8 #ffffff/210\n"
         "92,34 1x8 #ffffff/210\n"
         "28,32 3x12 #ffffff/255\n",
         true},
    };
    const std::vector<double> cues{0, 500, 1000};
    const TimelineShow show{.span = {0, 1000}, .now = 250, .cues = cues};
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "dpr " << row.dpr << (row.touch ? " touch" : ""));
        Timeline timeline;
        timeline.setOutput(100, row.touch ? 60 : 20, row.dpr);
        timeline.setTouch(row.touch);
        EXPECT_EQ(fills(timeline.picture(show)), "") << "hidden, it paints nothing";
        timeline.reveal(0);
        EXPECT_EQ(fills(timeline.picture(show)), row.expected);
    }
}

std::string did(const PointerDid& d)
{
    std::ostringstream out;
    if (d.seekTo)
        out << "seek " << *d.seekTo << ' ';
    if (d.pressAt)
        out << "press " << d.pressAt->x << ',' << d.pressAt->y << ' ';
    if (d.timelineChanged)
        out << "timeline";
    const std::string text = out.str();
    return text.empty() ? "nothing" : text;
}

// An output 1000 x 600 device pixels showing a stage of 4000 x 3000 units: 0.2 px a unit, the
// stage 800 px wide from x = 100. The show runs from 1000 to 11000 ms along the track from 8 to
// 992 px: x = 254 is a quarter of it (3500 ms), x = 500 half (6000 ms). The bar lies from
// y = 586, the lower quarter from 450.
TEST(ViewerKit, PointerPressesDragsAndReleases)
{
    struct Row
    {
        bool started;
        PointerEvent event;
        double x;
        double y;
        std::string expected;
        PointerKind kind = PointerKind::Mouse;
    };
    using enum PointerEvent;
    constexpr PointerKind kTouch = PointerKind::Touch;
    struct Sequence
    {
        std::string name;
        bool pressReveals;
        double dpr;
        std::vector<Row> rows;
    };
    const std::vector<Sequence> sequences{
        {"window",
         false,
         1,
         {
             {true, Move, 300, 300, "nothing"},             // over the upper part
             {true, Press, 254, 590, "press 770,2950 "},    // the bar is hidden: the show's press
             {true, Release, 254, 590, "nothing"},          // no drag to let go
             {true, Move, 300, 450, "timeline"},            // the lower quarter shows the bar
             {true, Press, 254, 590, "seek 3500 timeline"}, // takes hold of it
             {true, Move, 500, 100, "seek 6000 "},          // anywhere while held
             {true, Move, -50, 590, "seek 1000 "},          // clamped to the show
             {true, Release, -50, 590, "timeline"},         // let go: 2 s more
             {true, Move, 1000, 590, "timeline"},
             {true, Press, 300, 585, "press 1000,2925 "}, // just above the bar
         }},
        {"window before the start",
         false,
         1,
         {
             {false, Move, 300, 590, "nothing"},
             {false, Press, 300, 590, "press 1000,2950 "},
         }},
        // The page at 2 device pixels per CSS pixel: an output 500 x 300 CSS pixels, the bar
        // from y = 286 (a finger's from 256), the lower quarter from 225; the track from 16 to
        // 984 device pixels.
        {"page",
         true,
         2,
         {
             {false, Move, 150, 295, "nothing"},
             {false, Press, 150, 295, "press 1000,2950 timeline"}, // the starting press
             {true, Release, 150, 295, "nothing"},
             {true, Press, 129, 295, "seek 3500 timeline"},
             {true, Move, 250, 295, "seek 6000 "},
             {true, Release, 250, 295, "timeline"},
             {true, Press, 150, 75, "press 1000,750 "}, // the upper part shows nothing
         }},
        {"page, a mouse's press that shows the timeline",
         true,
         2,
         {
             {true, Press, 129, 295, "press 790,2950 timeline"}, // the show's too
         }},
        {"page, touches",
         true,
         2,
         {
             {true, Press, 150, 295, "timeline", kTouch}, // shows the timeline, and only that
             {true, Release, 150, 295, "nothing", kTouch},
             {true, Press, 129, 256, "seek 3500 timeline", kTouch}, // 44 px above the bottom
             {true, Move, 250, 100, "seek 6000 ", kTouch},
             {true, Release, 250, 100, "timeline", kTouch},
             {true, Press, 150, 255, "press 1000,2550 timeline", kTouch}, // above the bar shown
             {true, Release, 150, 255, "nothing", kTouch},
             {true, Move, 150, 75, "timeline", PointerKind::Mouse}, // a mouse's bar again
             {true, Press, 129, 260, "press 790,2600 timeline", PointerKind::Mouse},
         }},
        {"page, a touch before the start",
         true,
         2,
         {
             {false, Press, 150, 295, "press 1000,2950 timeline", kTouch}, // starts the show
             {true, Release, 150, 295, "nothing", kTouch},
             {true, Press, 129, 295, "seek 3500 timeline", kTouch},
         }},
    };
    for (const Sequence& sequence : sequences) {
        Timeline timeline;
        timeline.setOutput(1000 / sequence.dpr, 600 / sequence.dpr, sequence.dpr);
        PointerSteering pointer(sequence.pressReveals);
        double wall = 0;
        for (const Row& row : sequence.rows) {
            SCOPED_TRACE(testing::Message()
                         << sequence.name << ": event " << static_cast<int>(row.event) << " at "
                         << row.x << ',' << row.y);
            const PointerScene scene{.started = row.started,
                                     .span =
                                         [] {
                                             return ShowSpan{1000, 11000};
                                         },
                                     .fit = StageFit::of(4000, 3000, 1000, 600)};
            EXPECT_EQ(
                did(pointer.handle(row.event, row.kind, row.x, row.y, wall += 10, timeline, scene)),
                row.expected);
        }
    }
}

std::string changes(const CaptionFollow::Changes& c)
{
    std::string out;
    for (const std::string& text : c.came)
        out += "+" + text + " ";
    for (const CaptionSpell& spell : c.left)
        out += "-" + spell.text + "[" + std::to_string(static_cast<int>(spell.sinceMs)) + "," +
               std::to_string(static_cast<int>(spell.untilMs)) + ") ";
    return out;
}

// A caption that leaves and comes back within one instant never left; one that left for good is
// told once the show's time has moved on.
TEST(ViewerKit, CaptionsComeAndLeaveOncePerInstant)
{
    struct Row
    {
        std::set<std::string> onScreen;
        double at;
        std::string expected;
    };
    const std::vector<Row> rows{
        {{"A"}, 0, "+A "},
        {{"A", "B"}, 100, "+B "},
        {{"B"}, 200, ""},      // A going, unless back at 200
        {{"A", "B"}, 200, ""}, // back within the instant: it never left
        {{"B"}, 300, ""},
        {{"B", "C"}, 400, "+C -A[0,300) "},
        {{}, 500, ""},
        {{"B"}, 500, ""}, // B back; C leaving
        {{"B", "C"}, 600, "+C -C[400,500) "},
    };
    CaptionFollow follow;
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::Message() << "at " << row.at);
        EXPECT_EQ(changes(follow.update(row.onScreen, row.at)), row.expected);
    }
    std::string unsettled;
    for (const CaptionSpell& spell : follow.unsettled(700))
        unsettled += changes({.left = {spell}});
    EXPECT_EQ(unsettled, "-B[100,700) -C[600,700) ");
}

} // namespace
} // namespace q3::test
