// The program's command line, run as a user runs it.
#include "tests/locales.h"
#include "tests/program_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using q3::test::args;
using q3::test::Outcome;
using q3::test::runProgram;
using q3::test::runShell;

struct BadInput
{
    const char* why;
    QStringList arguments;
    // 2 for a command line refused before the show starts, 1 for an output that fails later.
    int status = 2;
    // Run through sh instead, for what arguments alone cannot say: $Q is the program, $D the
    // test's folder.
    const char* shell = nullptr;
    // The problem as the one line says it, where the row checks the words.
    const char* says = nullptr;
};

void PrintTo(const BadInput& input, std::ostream* os)
{
    *os << input.why;
}

class RefusedCommandLine : public testing::TestWithParam<BadInput>
{
protected:
    QTemporaryDir dir;
};

// Paths inside the test's own folder are written as "@/name".
QStringList resolve(const QStringList& arguments, const QString& folder)
{
    QStringList out;
    for (QString a : arguments)
        out << a.replace(QStringLiteral("@/"), folder + QStringLiteral("/"));
    return out;
}

TEST_P(RefusedCommandLine, WithOneLineTheExitStatusAndNothingWritten)
{
    ASSERT_TRUE(dir.isValid());
    QDir(dir.path()).mkdir(QStringLiteral("folder.png"));
    const QString pipe = dir.filePath(QStringLiteral("pipe.png"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const BadInput& input = GetParam();
    const Outcome outcome = input.shell != nullptr
                                ? runShell(input.shell, dir.path())
                                : runProgram(resolve(input.arguments, dir.path()));
    EXPECT_EQ(outcome.status, input.status) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.startsWith(QStringLiteral("quillet3: error: ")))
        << outcome.err.toStdString();
    if (input.status == 2) {
        EXPECT_TRUE(outcome.err.contains(QStringLiteral("--help"))) << outcome.err.toStdString();
    }
    EXPECT_EQ(outcome.err.count(u'\n'), 1) << outcome.err.toStdString();
    if (input.says != nullptr) {
        EXPECT_EQ(outcome.err, QStringLiteral("quillet3: error: ") + QString::fromUtf8(input.says) +
                                   QStringLiteral(" (see 'quillet3 --help')\n"));
    }
    EXPECT_TRUE(outcome.out.isEmpty());
    const QStringList left =
        QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot | QDir::Hidden);
    EXPECT_EQ(left, (QStringList{QStringLiteral("folder.png"), QStringLiteral("pipe.png")}));
    EXPECT_FALSE(QFileInfo(pipe).isFile()) << "the pipe was replaced by a file";
}

// Longer than a file name may be, and longer than a whole path may be.
const QString kLongName = QStringLiteral("@/") + QString(300, u'n') + QStringLiteral(".jsonl");
const QString kLongPath =
    QStringLiteral("@/") + QStringLiteral("d/").repeated(2100) + QStringLiteral("t.jsonl");

const BadInput kBadInputs[] = {
    {"unknown option", {"--frobnicate"}},
    {"misspelt option", {"--headles"}},
    {"missing seed", {"--headless", "--seed"}},
    {"seed not a number", {"--headless", "--seed", "abc"}},
    {"negative seed", {"--headless", "--seed", "-1"}},
    {"seed past 32 bits", {"--headless", "--seed", "4294967296"}},
    {"huge seed", {"--headless", "--seed", "99999999999999999999"}},
    {"seed given twice", {"--headless", "--seed", "1", "--seed", "2"}},
    {"unknown quality", {"--headless", "--quality", "sharp"}},
    {"quality in capitals", {"--headless", "--quality", "SMOOTH"}},
    {"negative duration", {"--headless", "--duration", "-1"}},
    {"fractional duration", {"--headless", "--duration", "1.5"}},
    {"empty duration", {"--headless", "--duration", ""}},
    {"overflowing duration", {"--headless", "--duration", "2147483648"}},
    {"negative click", {"--headless", "--click", "-5"}},
    {"click with sign", {"--headless", "--click", "+5"}},
    {"zero size", {"--headless", "--size", "0x0", "--screenshot", "0:@/a.png"}},
    {"absurd size", {"--headless", "--size", "100000x2", "--screenshot", "0:@/a.png"}},
    {"size just too large", {"--headless", "--size", "16385x16"}},
    {"size without height", {"--headless", "--size", "640"}},
    {"size with letters", {"--headless", "--size", "axb"}},
    {"screenshot without time", {"--screenshot", "@/a.png"}},
    {"screenshot time not a number", {"--screenshot", "x:@/a.png"}},
    {"screenshot not png", {"--screenshot", "1000:@/a.jpg"}},
    {"screenshot into missing folder", {"--screenshot", "1000:@/missing/a.png"}},
    {"screenshot onto a folder", {"--screenshot", "1000:@/folder.png"}},
    {"screenshot past the duration", {"--duration", "100", "--screenshot", "200:@/a.png"}},
    {"same file twice", {"--screenshot", "1:@/a.png", "--screenshot", "2:@/a.png"}},
    {"trace into missing folder", {"--headless", "--trace", "@/missing/t.jsonl"}},
    {"trace onto a folder", {"--headless", "--trace", "@/folder.png"}},
    {"duration without headless", {"--duration", "100"}},
    {"click without headless", {"--click", "100"}},
    {"stray argument", {"--headless", "show"}},
    {"help with an unknown option", {"--help", "--frobnicate"}},
    {"size given twice", {"--headless", "--size", "640x480", "--size", "800x600"}},
    {"screenshot time past 32 bits", {"--screenshot", "99999999999:@/a.png"}},
    {"trace given twice", {"--headless", "--trace", "@/a.jsonl", "--trace", "@/b.jsonl"}},
    {"trace and screenshot to one file", {"--screenshot", "10:@/a.png", "--trace", "@/a.png"}},
    {"empty trace name", {"--headless", "--trace", ""}},
    {"trace name too long", {"--headless", "--trace", kLongName}},
    {"trace path too long", {"--headless", "--trace", kLongPath}},
    {"screenshot onto a pipe", {"--screenshot", "10:@/pipe.png", "--duration", "20"}},
    {"trace name not in the locale's encoding",
     {},
     2,
     R"(exec "$Q" --headless --duration 10 --trace "$D/$(printf 'a\377').jsonl")"},
    {"screenshot name not in the locale's encoding",
     {},
     2,
     R"(exec "$Q" --duration 10 --screenshot "10:$D/$(printf 'a\377').png")"},
    {"trace to a closed standard output",
     {},
     2,
     R"(exec >&-; exec "$Q" --headless --trace - --duration 100)"},
    {"trace onto a full device", {"--headless", "--duration", "3000", "--trace", "/dev/full"}, 1},
    // Steering: a start inside the run and the show, a loop where the run has an end, a speed
    // only in the window and in its range, written with a point whatever the locale.
    {"start at the show's end",
     {"--headless", "--start", "89000", "--trace", "@/t.jsonl"},
     2,
     nullptr,
     "--start 89000 must be before the end of the show at 89000 ms"},
    {"start at the end of the run",
     {"--record", "@/a.mp4", "--start", "70000", "--duration", "70000"},
     2,
     nullptr,
     "--start 70000 must be before the end of the run at 70000 ms"},
    {"negative start",
     {"--headless", "--start", "-1"},
     2,
     nullptr,
     "--start takes a whole number of milliseconds from 0 to 2147483647, not '-1'"},
    {"screenshot before the start",
     {"--start", "5000", "--screenshot", "4999:@/a.png"},
     2,
     nullptr,
     "the screenshot at 4999 ms is before the start of the run at 5000 ms"},
    {"screenshot a looping run never reaches",
     {"--loop", "--duration", "100000", "--screenshot", "89001:@/a.png"},
     2,
     nullptr,
     "the screenshot at 89001 ms is past the end of the show at 89000 ms, where --loop starts it "
     "again"},
    {"loop with a recording",
     {"--loop", "--record", "@/a.mp4", "--duration", "1000"},
     2,
     nullptr,
     "--loop does not work with --record or --subtitles: a recording needs an end"},
    {"loop headless without a duration",
     {"--loop", "--headless", "--trace", "@/t.jsonl"},
     2,
     nullptr,
     "--loop needs --duration when headless: a looping show has no end"},
    {"speed headless",
     {"--headless", "--speed", "2", "--duration", "10"},
     2,
     nullptr,
     "--speed works only in the window: headless runs take no time to play"},
    {"speed too fast",
     {"--speed", "4.01"},
     2,
     nullptr,
     "--speed takes a number from 0.25 to 4, not '4.01'"},
    {"speed with a decimal comma in a comma locale",
     {},
     2,
     "LOCPATH=" QUILLET3_LOCALES R"( LC_ALL=de_DE.UTF-8 exec "$Q" --speed 0,5)",
     "--speed takes a number from 0.25 to 4, not '0,5'"},
    // The speed is read, and only the duration refused.
    {"speed with a point in a comma locale",
     {},
     2,
     "LOCPATH=" QUILLET3_LOCALES R"( LC_ALL=de_DE.UTF-8 exec "$Q" --speed 0.5 --duration 100)",
     "--duration works only with --headless or --screenshot"},
    {"speed too slow",
     {"--speed", "0.2499"},
     2,
     nullptr,
     "--speed takes a number from 0.25 to 4, not '0.2499'"},
    // The ends of each range are taken: the run is refused for something else.
    {"speed at its slowest",
     {"--speed", "0.25", "--duration", "100"},
     2,
     nullptr,
     "--duration works only with --headless or --screenshot"},
    {"speed at its fastest",
     {"--speed", "4", "--duration", "100"},
     2,
     nullptr,
     "--duration works only with --headless or --screenshot"},
    {"start and duration at their largest",
     {"--headless", "--start", "2147483647", "--duration", "2147483647"},
     2,
     nullptr,
     "--start 2147483647 must be before the end of the run at 2147483647 ms"},
    {"start past 32 bits",
     {"--headless", "--start", "2147483648"},
     2,
     nullptr,
     "--start takes a whole number of milliseconds from 0 to 2147483647, not '2147483648'"},
    {"click past 32 bits",
     {"--headless", "--click", "2147483648"},
     2,
     nullptr,
     "--click takes a whole number of milliseconds from 0 to 2147483647, not '2147483648'"},
    {"size with no width",
     {"--size", "0x16", "--screenshot", "0:@/a.png"},
     2,
     nullptr,
     "--size takes WIDTHxHEIGHT in pixels, each from 1 to 16384, not '0x16'"},
    {"size with no height",
     {"--size", "16x0", "--screenshot", "0:@/a.png"},
     2,
     nullptr,
     "--size takes WIDTHxHEIGHT in pixels, each from 1 to 16384, not '16x0'"},
    {"size just too tall",
     {"--size", "16x16385", "--screenshot", "0:@/a.png"},
     2,
     nullptr,
     "--size takes WIDTHxHEIGHT in pixels, each from 1 to 16384, not '16x16385'"},
    // Descriptors named as files are written into as they are open.
    {"trace to a closed descriptor",
     {},
     2,
     R"(exec 7>&-; exec "$Q" --headless --duration 10 --trace /dev/fd/7)",
     "cannot write '/dev/fd/7': it is closed"},
    {"trace to a descriptor open for reading",
     {},
     2,
     R"(exec "$Q" --headless --duration 10 --trace /proc/self/fd/7 7</dev/null)",
     "cannot write '/proc/self/fd/7': it is open only for reading"},
    {"trace to /dev/stdout when it is closed",
     {},
     2,
     R"(exec >&-; exec "$Q" --headless --duration 10 --trace /dev/stdout)",
     "cannot write '/dev/stdout': it is closed"},
    // A destination that fits in a path, but whose file written beside it first would not.
    {"trace path too long for the file written beside it",
     {},
     2,
     R"sh(d="$D/long"; while [ ${#d} -lt 3800 ]; do d="$d/$(printf '%0100d' 0)"; done; )sh"
     R"sh(d="$d/$(printf "%0$((3994 - ${#d}))d" 0)"; mkdir -p "$d"; n=$(printf '%094d' 0); )sh"
     R"sh("$Q" --headless --duration 10 --trace "$d/$n"; s=$?; rm -r "$D/long"; exit $s)sh"},
    // The help and the version are output too: one that cannot be written is an error.
    {"help into a full device", {}, 1, R"(exec "$Q" --help >/dev/full)"},
    {"version to a closed standard output", {}, 1, R"(exec >&-; exec "$Q" --version)"},
    {"screenshot named with a newline into a missing folder",
     {"--screenshot", "10:@/missing/a\nb.png"}},
    // One file under two names: the links are removed again after the run, so that the folder
    // shows whether anything was written.
    {"subtitles through a link to the recording",
     {},
     2,
     R"(ln -s rec.mp4 "$D/same.vtt"; "$Q" --record "$D/rec.mp4" --subtitles "$D/same.vtt" )"
     R"(--duration 100; s=$?; rm "$D/same.vtt"; exit $s)"},
    {"screenshot through a second name of the trace",
     {},
     2,
     R"(: >"$D/t.jsonl"; ln "$D/t.jsonl" "$D/h.png"; "$Q" --trace "$D/t.jsonl" )"
     R"(--screenshot "10:$D/h.png" --duration 20; s=$?; rm "$D/t.jsonl" "$D/h.png"; exit $s)"},
    {"screenshot into the file that is standard output",
     {},
     2,
     R"("$Q" --headless --trace - --screenshot "10:$D/o.png" --duration 20 >"$D/o.png"; )"
     R"(s=$?; rm "$D/o.png"; exit $s)"},
    {"trace through a link into a missing folder",
     {},
     2,
     R"(ln -s missing/t.jsonl "$D/l.jsonl"; "$Q" --headless --trace "$D/l.jsonl" )"
     R"(--duration 20; s=$?; rm "$D/l.jsonl"; exit $s)"},
};

INSTANTIATE_TEST_SUITE_P(BadInput, RefusedCommandLine, testing::ValuesIn(kBadInputs),
                         [](const testing::TestParamInfo<BadInput>& param) {
                             std::string name = param.param.why;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

TEST(CommandLine, HelpNamesEveryOption)
{
    const Outcome outcome = runProgram({QStringLiteral("--help")});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.startsWith(QStringLiteral("Usage: quillet3 ")))
        << outcome.out.toStdString();
    for (const char* option : {"--headless", "--duration",   "--click",     "--seed",
                               "--trace",    "--screenshot", "--size",      "--version",
                               "--record",   "--subtitles",  "--fps",       "--variable-frame-rate",
                               "--quality",  "--quiet",      "--overwrite", "--start",
                               "--loop",     "--speed",      "F11",         "Escape",
                               "Space",      "Q  ",          "Ctrl+Q"})
        EXPECT_TRUE(outcome.out.contains(QLatin1String(option))) << option;
}

TEST(CommandLine, VersionIsOneLine)
{
    const Outcome outcome = runProgram({QStringLiteral("--version")});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.startsWith(QStringLiteral("quillet3 ")));
}

TEST(CommandLine, ScreenshotIsThePictureAtItsTime)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("title.png"));
    const Outcome outcome = runProgram(
        {QStringLiteral("--screenshot"), QStringLiteral("6000:") + path, QStringLiteral("--size"),
         QStringLiteral("800x600"), QStringLiteral("--seed"), QStringLiteral("3")});
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const QImage image(path);
    ASSERT_EQ(image.size(), QSize(800, 600));
    EXPECT_EQ(image.pixel(400, 420), qRgb(255, 255, 0)) << "the yellow title card";
    EXPECT_EQ(image.pixel(50, 50), qRgb(0, 0, 0));
}

TEST(CommandLine, QualityReachesTheScreenshot)
{
    // The hero at night: crisp, only the colours of the shapes; smooth, their edges blended.
    QTemporaryDir dir;
    for (const char* quality : {"crisp", "smooth"}) {
        const QString path = dir.filePath(QStringLiteral("hero-%1.png").arg(quality));
        const Outcome outcome =
            runProgram({QStringLiteral("--screenshot"), QStringLiteral("15000:") + path,
                        QStringLiteral("--quality"), QLatin1String(quality),
                        QStringLiteral("--seed"), QStringLiteral("3")});
        ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
        const QImage image(path);
        std::set<QRgb> colours;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                colours.insert(image.pixel(x, y));
        if (std::string_view(quality) == "crisp")
            EXPECT_LE(colours.size(), 6U) << quality;
        else
            EXPECT_GT(colours.size(), 20U) << quality;
    }
}

// The face files the show loads, all there or with a folder of them hidden by an empty tmpfs in
// a mount namespace of the program's own: each missing file costs one warning line naming it,
// and the picture is still made.
struct FontFolder
{
    const char* why;
    const char* hidden = nullptr;
    QStringList missing;
};

void PrintTo(const FontFolder& folder, std::ostream* os)
{
    *os << folder.why;
}

class FaceFiles : public testing::TestWithParam<FontFolder>
{
};

TEST_P(FaceFiles, EachMissingOneIsNamedInAWarning)
{
    const FontFolder& folder = GetParam();
    QTemporaryDir dir;
    const QStringList show{QStringLiteral("--screenshot"),
                           QStringLiteral("20000:") + dir.filePath(QStringLiteral("x.png")),
                           QStringLiteral("--size"),
                           QStringLiteral("160x120"),
                           QStringLiteral("--seed"),
                           QStringLiteral("1")};
    QProcess process;
    if (folder.hidden == nullptr) {
        process.start(QStringLiteral(QUILLET3_BINARY), show);
    } else {
        const QStringList hide{QStringLiteral("-rm"), QStringLiteral("sh"), QStringLiteral("-c"),
                               QStringLiteral("mount -t tmpfs tmpfs \"$0\" && exec \"$@\""),
                               QLatin1String(folder.hidden)};
        QProcess probe;
        probe.start(QStringLiteral("unshare"), hide + QStringList{QStringLiteral("true")});
        if (!probe.waitForFinished(10000) || probe.exitCode() != 0)
            GTEST_SKIP() << "no mount namespace here: "
                         << probe.readAllStandardError().toStdString();
        process.start(QStringLiteral("unshare"),
                      hide + QStringList{QStringLiteral(QUILLET3_BINARY)} + show);
    }
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitCode(), 0) << err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("x.png"))));
    QStringList expected;
    for (const QString& file : folder.missing)
        expected << QStringLiteral("quillet3: warning: the font file ") + folder.hidden + u'/' +
                        file + QStringLiteral(" is missing; its text is drawn in another face");
    EXPECT_EQ(err.split(u'\n', Qt::SkipEmptyParts), expected) << err.toStdString();
}

const FontFolder kFontFolders[] = {
    {"all_installed"},
    {"dejavu_hidden",
     "/usr/share/fonts/truetype/dejavu",
     {QStringLiteral("DejaVuSansMono-Bold.ttf"), QStringLiteral("DejaVuSans-Oblique.ttf"),
      QStringLiteral("DejaVuSans.ttf")}},
};

INSTANTIATE_TEST_SUITE_P(Fonts, FaceFiles, testing::ValuesIn(kFontFolders),
                         [](const testing::TestParamInfo<FontFolder>& row) {
                             return std::string(row.param.why);
                         });

TEST(CommandLine, TraceStartsWithTheSeedAndMode)
{
    const Outcome outcome =
        runProgram({QStringLiteral("--headless"), QStringLiteral("--duration"),
                    QStringLiteral("3000"), QStringLiteral("--seed"), QStringLiteral("42"),
                    QStringLiteral("--trace"), QStringLiteral("-")});
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const QStringList lines = outcome.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral(R"({"t":0,"ev":"start","seed":42,"mode":"headless"})"));
    EXPECT_EQ(lines[1], QStringLiteral(R"({"t":0,"ev":"load"})"));
    EXPECT_EQ(lines.last(), QStringLiteral(R"({"t":3000,"ev":"background","rgb":[0,0,0]})"));
}

// The ends of each numeric range, taken and carried out. Run through sh in the test's folder:
// $Q is the program.
struct Accepted
{
    const char* why;
    const char* shell;
    const char* out = nullptr;  // the start of standard output, where the row checks it
    const char* made = nullptr; // a file the run makes in the folder
};

void PrintTo(const Accepted& accepted, std::ostream* os)
{
    *os << accepted.why;
}

class AcceptedCommandLine : public testing::TestWithParam<Accepted>
{
protected:
    QTemporaryDir dir;
};

TEST_P(AcceptedCommandLine, RunsAndMakesItsOutput)
{
    const Accepted& accepted = GetParam();
    const Outcome outcome =
        runShell(("cd \"$D\" && " + std::string(accepted.shell)).c_str(), dir.path());
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.isEmpty()) << outcome.err.toStdString();
    if (accepted.out != nullptr) {
        EXPECT_TRUE(outcome.out.startsWith(QString::fromUtf8(accepted.out)))
            << outcome.out.left(200).toStdString();
    }
    if (accepted.made != nullptr) {
        // Not QDir::filePath, which takes a name that begins with ":" for a resource.
        struct stat info = {};
        EXPECT_TRUE(::stat((dir.path().toStdString() + "/" + accepted.made).c_str(), &info) == 0 &&
                    S_ISREG(info.st_mode))
            << accepted.made;
    }
}

const Accepted kAccepted[] = {
    {"smallest seed", R"("$Q" --headless --duration 0 --seed 0 --trace -)",
     R"({"t":0,"ev":"start","seed":0,"mode":"headless"})"},
    {"largest seed", R"("$Q" --headless --duration 0 --seed 4294967295 --trace -)",
     R"({"t":0,"ev":"start","seed":4294967295,"mode":"headless"})"},
    {"earliest start", R"("$Q" --headless --start 0 --duration 1 --seed 1)"},
    {"shortest duration", R"("$Q" --headless --duration 0 --seed 1 --trace -)",
     "{\"t\":0,\"ev\":\"start\",\"seed\":1,\"mode\":\"headless\"}\n{\"t\":0,\"ev\":\"load\"}"},
    {"latest start in the show", R"("$Q" --headless --start 88999 --seed 1 --trace -)",
     "{\"t\":0,\"ev\":\"start\",\"seed\":1,\"mode\":\"headless\"}\n"
     "{\"t\":88999,\"ev\":\"seek\",\"from\":0,\"to\":"},
    {"latest click", R"("$Q" --headless --duration 10 --click 2147483647 --seed 1)"},
    {"smallest size", R"("$Q" --size 1x1 --screenshot 0:a.png)", nullptr, "a.png"},
    {"widest size", R"("$Q" --size 16384x1 --screenshot 0:a.png)", nullptr, "a.png"},
    {"tallest size", R"("$Q" --size 1x16384 --screenshot 0:a.png)", nullptr, "a.png"},
    {"fewest frames a second",
     R"("$Q" --record v.mp4 --size 16x16 --duration 1000 --fps 1 --quiet --seed 1)", nullptr,
     "v.mp4"},
    {"most frames a second",
     R"("$Q" --record v.webm --size 16x16 --duration 100 --fps 120 --quiet --seed 1)", nullptr,
     "v.webm"},
    // A name that begins with ":" is a path like any other.
    {"screenshot named with a leading colon", R"("$Q" --duration 20 --screenshot 10::a.png)",
     nullptr, ":a.png"},
    {"trace named with a leading colon", R"("$Q" --headless --duration 20 --trace :t.jsonl)",
     nullptr, ":t.jsonl"},
};

INSTANTIATE_TEST_SUITE_P(Edge, AcceptedCommandLine, testing::ValuesIn(kAccepted),
                         [](const testing::TestParamInfo<Accepted>& param) {
                             std::string name = param.param.why;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N are the descriptors they name: the
// trace goes into them as into standard output with "-", after what was there and before what
// comes next, never in place of it.
struct IntoDescriptor
{
    const char* why;
    const char* shell; // $T is the trace's arguments; the file $D/f is compared
    const char* before;
    const char* after;
};

void PrintTo(const IntoDescriptor& into, std::ostream* os)
{
    *os << into.why;
}

class TraceIntoADescriptor : public testing::TestWithParam<IntoDescriptor>
{
protected:
    QTemporaryDir dir;
};

TEST_P(TraceIntoADescriptor, IsWrittenIntoItWhereItStands)
{
    const QStringList trace = args({"--headless", "--duration", "3000", "--seed", "4", "--trace"});
    const Outcome reference = runProgram(QStringList(trace) << QStringLiteral("-"));
    ASSERT_EQ(reference.status, 0);
    ASSERT_GT(reference.out.size(), 500);
    const std::string command =
        std::string("T='--headless --duration 3000 --seed 4 --trace'; ") + GetParam().shell;
    const Outcome outcome = runShell(command.c_str(), dir.path());
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    QFile file(dir.filePath(QStringLiteral("f")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()), QString::fromUtf8(GetParam().before) +
                                                     reference.out +
                                                     QString::fromUtf8(GetParam().after));
}

const IntoDescriptor kDescriptors[] = {
    {"stdout appended to", R"(echo OLD >"$D/f"; "$Q" $T /dev/stdout >>"$D/f")", "OLD\n", ""},
    {"stdout between two lines", R"({ echo before; "$Q" $T /dev/stdout; echo after; } >"$D/f")",
     "before\n", "after\n"},
    {"stderr", R"({ echo before; "$Q" $T /dev/stderr; echo after; } 2>"$D/f" >&2)", "before\n",
     "after\n"},
    {"a numbered descriptor", R"({ echo before >&3; "$Q" $T /dev/fd/3; } 3>"$D/f")", "before\n",
     ""},
    {"standard output by its number in /proc",
     R"({ echo before; "$Q" $T /proc/self/fd/1; echo after; } >"$D/f")", "before\n", "after\n"},
};

INSTANTIATE_TEST_SUITE_P(Named, TraceIntoADescriptor, testing::ValuesIn(kDescriptors),
                         [](const testing::TestParamInfo<IntoDescriptor>& param) {
                             std::string name = param.param.why;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// Another process's descriptor, named by its number in /proc: the shell's pipe to the test. The
// program's own is elsewhere, so the lines can come only through the one named; they arrive
// whole, as they would through standard output.
struct IntoAnotherProcess
{
    const char* why;
    const char* shell;  // $T is the trace's arguments
    bool onErrorStream; // where the shell's output is read
};

void PrintTo(const IntoAnotherProcess& into, std::ostream* os)
{
    *os << into.why;
}

class TraceIntoAnotherProcess : public testing::TestWithParam<IntoAnotherProcess>
{
protected:
    QTemporaryDir dir;
};

TEST_P(TraceIntoAnotherProcess, ArrivesWholeThroughItsPipe)
{
    const Outcome reference =
        runProgram(args({"--headless", "--duration", "20000", "--seed", "4", "--trace", "-"}));
    ASSERT_EQ(reference.status, 0);
    ASSERT_GT(reference.out.size(), 5000);
    // The subshell takes the redirection, so that the shell's own descriptor stays the pipe.
    const std::string command =
        std::string("T='--headless --duration 20000 --seed 4 --trace'; ") + GetParam().shell;
    const Outcome outcome = runShell(command.c_str(), dir.path());
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(GetParam().onErrorStream ? outcome.err : outcome.out, reference.out);
}

const IntoAnotherProcess kOtherProcesses[] = {
    {"standard output", R"(( "$Q" $T /proc/$$/fd/1 ) >"$D/own")", false},
    {"error stream", R"(( "$Q" $T /proc/$$/fd/2 ) 2>"$D/own")", true},
};

INSTANTIATE_TEST_SUITE_P(Named, TraceIntoAnotherProcess, testing::ValuesIn(kOtherProcesses),
                         [](const testing::TestParamInfo<IntoAnotherProcess>& param) {
                             std::string name = param.param.why;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             return name;
                         });

// A FIFO that nobody reads yet: the show goes on without waiting for a reader (its screenshot is
// taken), and a reader that comes later gets the whole trace from its first line.
TEST(CommandLine, TraceIntoAFifoDoesNotWaitForAReader)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath(QStringLiteral("f"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString shot = dir.filePath(QStringLiteral("shot.png"));
    const QStringList common = args({"--duration", "3000", "--seed", "4", "--screenshot"})
                               << QStringLiteral("1000:") + shot << QStringLiteral("--trace");
    QProcess process;
    process.start(QStringLiteral(QUILLET3_BINARY), QStringList(common) << fifo);
    ASSERT_TRUE(process.waitForStarted());
    for (int i = 0; i < 3000 && !QFileInfo::exists(shot) && process.state() == QProcess::Running;
         ++i)
        process.waitForFinished(10);
    ASSERT_TRUE(QFileInfo::exists(shot)) << "the show waited for a reader";
    // Without waiting for a writer, should the program have gone.
    const int reader = ::open(QFile::encodeName(fifo).constData(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ::fcntl(reader, F_SETFL, ::fcntl(reader, F_GETFL) & ~O_NONBLOCK);
    QByteArray trace;
    std::array<char, 4096> piece{};
    for (ssize_t got = 0; (got = ::read(reader, piece.data(), piece.size())) > 0;)
        trace.append(piece.data(), got);
    ::close(reader);
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    const Outcome reference =
        runProgram(QStringList(common).replaceInStrings(shot, shot + QStringLiteral("2.png"))
                   << QStringLiteral("-"));
    EXPECT_TRUE(trace.startsWith(R"({"t":0,"ev":"start","seed":4,"mode":"headless"})"));
    EXPECT_EQ(QString::fromUtf8(trace), reference.out);
}

// The trace's lines, each with its time.
std::vector<std::pair<double, QString>> timedLines(const QString& trace)
{
    std::vector<std::pair<double, QString>> lines;
    for (const QString& line : trace.split(u'\n', Qt::SkipEmptyParts))
        lines.emplace_back(
            QJsonDocument::fromJson(line.toUtf8()).object().value(QStringLiteral("t")).toDouble(),
            line);
    return lines;
}

// A show begun with --start at T is the show played straight there: the same picture 250 ms on,
// and after the seek the same trace. At a cue, inside a frame loop (the seek lands where the
// loop ends, and the screenshot is still taken inside it), mid-rain, in the countdown and in
// the concert.
TEST(CommandLine, StartIsTheShowPlayedStraightThere)
{
    struct Moment
    {
        int ms;
        int landsAt;
    };
    const Moment moments[] = {
        {6000, 6000}, {18450, 19000}, {49999, 49999}, {58050, 58050}, {70130, 70130}};
    constexpr int kLookAfterMs = 250;
    constexpr int kTracedMs = 1500;
    QTemporaryDir dir;
    const QStringList common = args({"--seed", "3", "--size", "320x240"});
    const auto shot = [&](const char* kind, int ms) {
        return dir.filePath(QStringLiteral("%1-%2.png").arg(QLatin1String(kind)).arg(ms));
    };
    QStringList straight = common + args({"--duration", "72000", "--trace", "-"});
    for (const Moment& m : moments)
        straight << QStringLiteral("--screenshot")
                 << QStringLiteral("%1:%2").arg(m.ms + kLookAfterMs).arg(shot("straight", m.ms));
    const Outcome played = runProgram(straight);
    ASSERT_EQ(played.status, 0) << played.err.toStdString();
    const auto straightLines = timedLines(played.out);
    for (const Moment& m : moments) {
        SCOPED_TRACE(m.ms);
        const Outcome started = runProgram(
            common +
            QStringList{
                QStringLiteral("--start"), QString::number(m.ms), QStringLiteral("--duration"),
                QString::number(m.ms + kTracedMs), QStringLiteral("--trace"), QStringLiteral("-"),
                QStringLiteral("--screenshot"),
                QStringLiteral("%1:%2").arg(m.ms + kLookAfterMs).arg(shot("started", m.ms))});
        ASSERT_EQ(started.status, 0) << started.err.toStdString();
        const QStringList lines = started.out.split(u'\n', Qt::SkipEmptyParts);
        ASSERT_GE(lines.size(), 2);
        EXPECT_EQ(lines[0], QStringLiteral(R"({"t":0,"ev":"start","seed":3,"mode":"headless"})"));
        EXPECT_EQ(lines[1],
                  QStringLiteral(R"({"t":%1,"ev":"seek","from":0,"to":%1})").arg(m.landsAt));
        QStringList expected;
        for (const auto& [t, line] : straightLines)
            if (t > m.landsAt && t <= m.ms + kTracedMs)
                expected << line;
        EXPECT_EQ(lines.mid(2), expected);
        const QImage picture(shot("started", m.ms));
        ASSERT_FALSE(picture.isNull());
        EXPECT_TRUE(picture == QImage(shot("straight", m.ms)));
    }
}

// A looping run goes back to the show's 0 ms at its end and stops at the duration's moment,
// having played as long as a run that does not loop: from 0 or from --start 80000, 92000 ms
// ends at the cue 3000 ms into the second showing.
TEST(CommandLine, LoopStartsAgainAtTheEndAndStopsAtTheDuration)
{
    for (const char* start : {"0", "80000"}) {
        SCOPED_TRACE(start);
        const Outcome outcome = runProgram(args({"--headless", "--loop", "--duration", "92000",
                                                 "--start", start, "--seed", "3", "--trace", "-"}));
        ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
        const auto lines = timedLines(outcome.out);
        ASSERT_GE(lines.size(), 3U);
        EXPECT_EQ(lines[1].second, QStringLiteral(R"({"t":0,"ev":"loop","on":true})"));
        const QString restart = QStringLiteral(R"({"t":0,"ev":"seek","from":89000,"to":0})");
        const auto seeks = std::count_if(lines.begin(), lines.end(),
                                         [&](const auto& line) { return line.second == restart; });
        EXPECT_EQ(seeks, 1);
        EXPECT_EQ(lines.back().first, 3000);
        EXPECT_TRUE(lines.back().second.contains(QStringLiteral("background")))
            << lines.back().second.toStdString();
    }
}

TEST(CommandLine, SameSeedGivesTheSameTrace)
{
    const QStringList args{QStringLiteral("--headless"), QStringLiteral("--duration"),
                           QStringLiteral("70000"),      QStringLiteral("--seed"),
                           QStringLiteral("7"),          QStringLiteral("--trace"),
                           QStringLiteral("-")};
    const Outcome first = runProgram(args);
    const Outcome second = runProgram(args);
    ASSERT_EQ(first.status, 0);
    EXPECT_GT(first.out.size(), 1000);
    EXPECT_TRUE(first.out == second.out);
}

// A window asked for where none can be shown: no display, or a Qt platform that is not
// installed, cannot start or draws only into memory.
struct Platform
{
    const char* why;
    const char* platform; // QT_QPA_PLATFORM, or nullptr for none
    const char* display;  // DISPLAY, or nullptr for none
    const char* says;     // what the one line says, besides where to go instead
};

void PrintTo(const Platform& platform, std::ostream* os)
{
    *os << platform.why;
}

const Platform kPlatforms[] = {
    {"none named and no display", nullptr, nullptr, "window on; use"},
    {"empty", "", nullptr, "window on; use"},
    {"not installed", "bogus", nullptr,
     "no installed Qt plugin provides the Qt platform \"bogus\""},
    {"wayland without its plugin or compositor", "wayland", nullptr, "\"wayland\""},
    {"xcb without a display", "xcb", nullptr, "\"xcb\" (QT_QPA_PLATFORM) needs DISPLAY"},
    {"xcb with a display nobody serves", "xcb", ":4093", "could not connect to DISPLAY=:4093"},
    {"offscreen", "offscreen", nullptr, "\"offscreen\" (QT_QPA_PLATFORM) shows no window"},
    {"minimal", "minimal", nullptr, "\"minimal\" (QT_QPA_PLATFORM) shows no window"},
    // Shows Vulkan surfaces alone: a window of widgets would play on unseen.
    {"vkkhrdisplay", "vkkhrdisplay", nullptr, "\"vkkhrdisplay\" (QT_QPA_PLATFORM)"},
    {"falling back to offscreen", "xcb;offscreen", nullptr, "\"offscreen\""},
};

class WindowWithoutADisplay : public testing::TestWithParam<Platform>
{
};

TEST_P(WindowWithoutADisplay, ExplainsInOneLineAndExitsOne)
{
    const Platform& row = GetParam();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    if (row.platform != nullptr)
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QLatin1String(row.platform));
    if (row.display != nullptr)
        env.insert(QStringLiteral("DISPLAY"), QLatin1String(row.display));
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUILLET3_BINARY), {});
    ASSERT_TRUE(process.waitForFinished(20000)) << "the window played where nobody sees it";
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "no abort: " << err.toStdString();
    EXPECT_EQ(process.exitCode(), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith(QStringLiteral("quillet3: error: no display to open the window on")))
        << err.toStdString();
    EXPECT_TRUE(err.endsWith(QStringLiteral(
        "use --headless or --screenshot MS:FILE.png to play the show without one\n")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QLatin1String(row.says))) << err.toStdString();
    EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
    EXPECT_TRUE(process.readAllStandardOutput().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Platforms, WindowWithoutADisplay, testing::ValuesIn(kPlatforms),
                         [](const testing::TestParamInfo<Platform>& param) {
                             std::string name = param.param.why;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// A headless run where Qt finds no offscreen platform (its plugins' folder, as a qt.conf beside
// the program names it, is empty): one line and exit status 1, not Qt's abort.
TEST(CommandLine, HeadlessWithoutTheOffscreenPluginSaysSoInOneLine)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString program = dir.filePath(QStringLiteral("quillet3"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLET3_BINARY), program));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("plugins")));
    QFile conf(dir.filePath(QStringLiteral("qt.conf")));
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("[Paths]\nPlugins = " + dir.filePath(QStringLiteral("plugins")).toUtf8() + "\n");
    conf.close();
    QProcess process;
    process.start(program, {QStringLiteral("--headless"), QStringLiteral("--duration"),
                            QStringLiteral("100"), QStringLiteral("--seed"), QStringLiteral("1")});
    ASSERT_TRUE(process.waitForFinished(20000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit) << "no abort: " << err.toStdString();
    EXPECT_EQ(process.exitCode(), 1) << err.toStdString();
    EXPECT_EQ(err, QStringLiteral("quillet3: error: cannot play headless: no installed Qt plugin "
                                  "provides the Qt platform \"offscreen\"\n"));
}

// The program's files in a locale that writes numbers with a decimal comma are those of the C
// locale, byte for byte: the trace stays JSON, and the encoder's settings, written into the
// video, keep their points. The names are not ASCII, as a user's may be.
class EveryLocale : public testing::TestWithParam<const char*>
{
protected:
    // The trace, subtitles and recording of one seed, run in the locale.
    QList<QByteArray> filesIn(const char* locale)
    {
        const QString base = dir.filePath(QString::fromLatin1(locale) + QStringLiteral("-gösteri"));
        const QStringList shared{QStringLiteral("--seed"), QStringLiteral("11"),
                                 QStringLiteral("--size"), QStringLiteral("160x120")};
        const QStringList runs[] = {
            shared + QStringList{QStringLiteral("--headless"), QStringLiteral("--trace"),
                                 base + QStringLiteral(".jsonl")},
            shared + QStringList{QStringLiteral("--record"), base + QStringLiteral(".mp4"),
                                 QStringLiteral("--subtitles"), base + QStringLiteral(".vtt"),
                                 QStringLiteral("--fps"), QStringLiteral("2"),
                                 QStringLiteral("--quiet")}};
        for (const QStringList& arguments : runs) {
            const Outcome outcome = runProgram(arguments, q3::test::environmentIn(locale));
            EXPECT_EQ(outcome.status, 0) << locale << ": " << outcome.err.toStdString();
        }
        QList<QByteArray> files;
        for (const char* suffix : {".jsonl", ".vtt", ".mp4"}) {
            QFile file(base + QLatin1String(suffix));
            EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << locale << suffix;
            files << file.readAll();
        }
        return files;
    }

    QTemporaryDir dir;
};

TEST_P(EveryLocale, WritesTheBytesOfTheCLocale)
{
    ASSERT_EQ(q3::test::decimalPointOf(GetParam()), ",")
        << "the build makes the locale from the C library's sources (the locales package)";
    const QList<QByteArray> inC = filesIn("C");
    const QList<QByteArray> inLocale = filesIn(GetParam());
    ASSERT_EQ(inC.size(), 3);
    EXPECT_GT(inC[0].count('\n'), 10000) << "the whole show's trace";
    EXPECT_TRUE(inC[1].contains("-->")) << "captions";
    EXPECT_GT(inC[2].size(), 10000) << "a video";
    const char* const names[] = {"trace", "subtitles", "recording"};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(inLocale[i] == inC[i]) << names[i] << " differs from the C locale's";
}

INSTANTIATE_TEST_SUITE_P(Locales, EveryLocale, testing::ValuesIn(q3::test::kCommaLocales),
                         [](const testing::TestParamInfo<const char*>& param) {
                             return std::string(param.param).substr(0, 5);
                         });

} // namespace
