// The program's command line, run as a user runs it.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

Outcome runProgram(const QStringList& arguments,
                   QProcessEnvironment env = QProcessEnvironment::systemEnvironment())
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUILLET3_BINARY), arguments);
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

struct BadInput
{
    const char* why;
    QStringList arguments;
    // 2 for a command line refused before the show starts, 1 for an output that fails later.
    int status = 2;
    // Run through sh instead, for what arguments alone cannot say: $Q is the program, $D the
    // test's folder.
    const char* shell = nullptr;
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

Outcome runShell(const char* command, const QString& folder)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("Q"), QStringLiteral(QUILLET3_BINARY));
    env.insert(QStringLiteral("D"), folder);
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), QString::fromUtf8(command)});
    process.waitForFinished(60000);
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
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
    for (const char* option :
         {"--headless", "--duration", "--click", "--seed", "--trace", "--screenshot", "--size",
          "--version", "--record", "--subtitles", "--fps", "--quiet", "--overwrite", "F11",
          "Escape", "Space", "Ctrl+Q"})
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

TEST(CommandLine, WindowWithoutADisplayExplainsAndExitsOne)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    const Outcome outcome = runProgram({}, env);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("--headless"))) << outcome.err.toStdString();
    EXPECT_EQ(outcome.err.count(u'\n'), 1) << outcome.err.toStdString();
}

} // namespace
