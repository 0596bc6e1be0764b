// The captions of the show as subtitles: what is on screen, when, and the WebVTT written.
#include "app/subtitles.h"
#include "core/player.h"
#include "core/script/cues.h"
#include "core/script/show.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sstream>
#include <tuple>

namespace q3 {

void PrintTo(const SubtitleCue& cue, std::ostream* os)
{
    *os << "{" << cue.startMs << ", " << cue.endMs << ", \"" << cue.text << "\"}";
}

namespace {

// A bare stage on virtual time, with every label hidden at 0 as the load leaves them.
struct LabelStage
{
    LabelStage()
    {
        for (std::size_t i = 0; i < kControlCount; ++i)
            stage.hide(controlAt(i));
    }

    std::ostringstream errors;
    std::unique_ptr<VirtualClock> ownClock = std::make_unique<VirtualClock>();
    VirtualClock& clock = *ownClock;
    Player player{std::move(ownClock), makeQuilletShow(1), errors};
    Stage& stage = player.stage();
    CaptionFollower follower{player};
    EventBus::Subscription following = stage.events().subscribe(follower);
};

TEST(CaptionFollower, ACaptionLastsWhileItsLabelIsVisibleOnTheSurface)
{
    LabelStage s;
    s.clock.advanceTo(1000);
    s.stage.setCaption(Control::lblTalk, "Hello");
    s.clock.advanceTo(1500);
    s.stage.show(Control::lblTalk); // shown after its caption was set
    s.clock.advanceTo(2500);
    s.stage.setCaption(Control::lblTalk, "Goodbye");
    s.clock.advanceTo(3000);
    s.stage.hide(Control::lblTalk);
    s.stage.show(Control::imgDuck);      // pictures have no captions
    s.stage.show(Control::lblWasteTime); // nor do empty labels
    s.clock.advanceTo(4000);
    s.stage.setCaption(Control::lblTalk, "Never seen");
    const std::vector<SubtitleCue> expected{{1500, 2500, "Hello"}, {2500, 3000, "Goodbye"}};
    EXPECT_EQ(s.follower.finish(5000), expected);
}

TEST(CaptionFollower, SpacesOnlyPlaceTheWordsAndOneTextIsOneCue)
{
    LabelStage s;
    s.clock.advanceTo(100);
    s.stage.setCaption(Control::lblScreen, "        THE         END\r\n");
    s.stage.show(Control::lblScreen);
    // The countdown hands its digit from one label to the other in the same instant.
    s.stage.setCaption(Control::lblCountDown, "5");
    s.stage.show(Control::lblCountDown);
    s.clock.advanceTo(400);
    s.stage.hide(Control::lblCountDown);
    s.stage.setCaption(Control::lblCountDown2, "5");
    s.stage.show(Control::lblCountDown2);
    s.clock.advanceTo(700);
    s.stage.hide(Control::lblCountDown2);
    // Shown and taken down within one handler: never on a frame.
    s.stage.show(Control::lblZ);
    s.stage.hide(Control::lblZ);
    const std::vector<SubtitleCue> expected{{100, 700, "5"}, {100, 900, "THE END"}};
    EXPECT_EQ(s.follower.finish(900), expected);
}

TEST(CaptionFollower, LabelsOffTheSurfaceAreNotOnScreen)
{
    LabelStage s;
    // The window's client area before it is maximised: the title card lies beyond it.
    s.player.resize(2000, 2000);
    s.stage.setCaption(Control::lblTitle, "ZEVRANOVA");
    s.stage.show(Control::lblTitle);
    s.clock.advanceTo(1000);
    s.stage.maximise();
    s.clock.advanceTo(2000);
    const std::vector<SubtitleCue> expected{{1000, 2000, "ZEVRANOVA"}};
    EXPECT_EQ(s.follower.finish(2000), expected);
}

// The captions of a show played from 0, and of clips begun by a seek (which the follower
// survives): the same cues, cut to the clip and timed from its start, those on screen at the
// start beginning at 0.
std::vector<SubtitleCue> captionsFrom(double startMs)
{
    std::ostringstream errors;
    Player run(TimeSource::Virtual, makeQuilletShow(1), errors);
    CaptionFollower follower(run);
    EventBus::Subscription followFollower = run.stage().events().subscribe(follower);
    run.addClick(0);
    if (startMs > 0) {
        run.seek(startMs);
        follower.startClipAt(startMs);
    }
    const double end = *run.runToEnd();
    EXPECT_EQ(end, 89000);
    return follower.finish(end);
}

TEST(CaptionFollower, EveryCaptionOfTheShowAtItsCueTimes)
{
    // Cues 0 to 18 every 3000 ms from 3000 ms, the countdown every 300 ms from 57300 ms, then
    // every 3000 ms again from 63000 ms.
    std::string note(kOpeningNote); // with two spaces after "start:"
    note.replace(note.find("  "), 2, " ");
    const std::vector<SubtitleCue> expected{
        {0, 3000, note},
        {6000, 9000, "ZEVRANOVA"},
        {9000, 15000, "Starring"},
        {12000, 15000, "Z"},
        {24000, 27000, "October 11, 2001"},
        {33000, 36000, "Man, I can't wait till the concert starts!"},
        {36000, 39000, "I better get ready."},
        {39000, 54000, "VREL EXPO 2001"},
        {42000, 48000, "This concert is gonna ROCK!"},
        {48000, 51000, "I don't believe this. It's rainning."},
        {51000, 54000, "It better stop soon or the concert is gonna be ruin."},
        {54000, 57000, "The rain stopped 4 minutes later."},
        {57000, 58200, "5"},
        {57000, 89000, "VREL EXPO 2001"},
        {58200, 59400, "4"},
        {59400, 60600, "3"},
        {60600, 61800, "2"},
        {61800, 63000, "1"},
        {63000, 66000, "Are you ready?"},
        {66000, 69000, "Guitar: ZENIPPA"},
        {69000, 72000, "Guitar: BOLVEK"},
        {72000, 75000, "Bass: QUMO"},
        {75000, 78000, "Vocal: DAXI"},
        {78000, 81000, "They are..."},
        {81000, 84000, "VREL"},
        {84000, 89000, "THE END"},
    };
    EXPECT_EQ(captionsFrom(0), expected);
    for (const double start : {12500.0, 40000.0, 58000.0}) {
        std::vector<SubtitleCue> clipped;
        for (const SubtitleCue& cue : expected)
            if (cue.endMs > start)
                clipped.push_back(
                    {std::max(cue.startMs, start) - start, cue.endMs - start, cue.text});
        std::sort(clipped.begin(), clipped.end(), [](const auto& a, const auto& b) {
            return std::tie(a.startMs, a.endMs, a.text) < std::tie(b.startMs, b.endMs, b.text);
        });
        EXPECT_EQ(captionsFrom(start), clipped) << "from " << start;
    }
}

TEST(WebVtt, CuesAreNumberedTimedAndEscaped)
{
    const std::vector<SubtitleCue> cues{{0, 1500, "Rock & roll <loud> --> on"},
                                        {3723004, 3725000, "Late"}};
    EXPECT_EQ(toWebVtt(cues), "WEBVTT\n"
                              "\n"
                              "1\n"
                              "00:00:00.000 --> 00:00:01.500\n"
                              "Rock &amp; roll &lt;loud&gt; --&gt; on\n"
                              "\n"
                              "2\n"
                              "01:02:03.004 --> 01:02:05.000\n"
                              "Late\n");
    EXPECT_EQ(toWebVtt({}), "WEBVTT\n");
}

// What a WebVTT reader requires of the file, and the cues it finds there.
std::vector<SubtitleCue> parseWebVtt(const QString& text, std::string& problem)
{
    std::vector<SubtitleCue> cues;
    const QStringList blocks = text.split(QStringLiteral("\n\n"));
    if (blocks.isEmpty() || blocks.first() != QStringLiteral("WEBVTT")) {
        problem = "no WEBVTT header";
        return cues;
    }
    const QRegularExpression timing(
        QStringLiteral(R"(^(\d\d):(\d\d):(\d\d)\.(\d\d\d) --> (\d\d):(\d\d):(\d\d)\.(\d\d\d)$)"));
    for (qsizetype i = 1; i < blocks.size(); ++i) {
        const QStringList lines = blocks[i].split(u'\n', Qt::SkipEmptyParts);
        if (lines.size() != 3) {
            problem = "a cue without an identifier, timing and one line of text";
            return cues;
        }
        const QRegularExpressionMatch m = timing.match(lines[1]);
        if (!m.hasMatch()) {
            problem = "bad timing line " + lines[1].toStdString();
            return cues;
        }
        const auto ms = [&](int first) {
            return ((m.captured(first).toInt() * 60 + m.captured(first + 1).toInt()) * 60 +
                    m.captured(first + 2).toInt()) *
                       1000.0 +
                   m.captured(first + 3).toInt();
        };
        cues.push_back({ms(1), ms(5), lines[2].toStdString()});
        if (cues.back().endMs <= cues.back().startMs ||
            (cues.size() > 1 && cues.back().startMs < cues[cues.size() - 2].startMs))
            problem = "cue " + std::to_string(cues.size()) + " out of order";
    }
    return cues;
}

TEST(WebVtt, TheProgramWritesTheShowsCaptionsAloneOrWithAVideo)
{
    QTemporaryDir dir;
    const QString alone = dir.filePath(QStringLiteral("alone.vtt"));
    const QString withVideo = dir.filePath(QStringLiteral("with.vtt"));
    for (const QStringList& arguments :
         {QStringList{QStringLiteral("--subtitles"), alone},
          QStringList{QStringLiteral("--subtitles"), withVideo, QStringLiteral("--record"),
                      dir.filePath(QStringLiteral("show.mp4")), QStringLiteral("--size"),
                      QStringLiteral("160x120"), QStringLiteral("--quiet")}}) {
        QProcess process;
        process.start(QStringLiteral(QUILLET3_BINARY),
                      arguments + QStringList{QStringLiteral("--seed"), QStringLiteral("1")});
        ASSERT_TRUE(process.waitForFinished(60000));
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    }
    QFile a(alone);
    QFile b(withVideo);
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray text = a.readAll();
    EXPECT_EQ(text, b.readAll());
    std::string problem;
    const std::vector<SubtitleCue> cues = parseWebVtt(QString::fromUtf8(text), problem);
    EXPECT_EQ(problem, "");
    ASSERT_EQ(cues.size(), 26U);
    EXPECT_EQ(cues[1], (SubtitleCue{6000, 9000, "ZEVRANOVA"}));
    EXPECT_EQ(cues.back(), (SubtitleCue{84000, 89000, "THE END"}));
}

} // namespace
} // namespace q3
