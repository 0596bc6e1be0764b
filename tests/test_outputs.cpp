// Every output on a disk that fills: at its first write, in its middle or at its last byte, the
// program exits 1 with one line that names the file and the reason, and leaves nothing behind.
#include "app/output_file.h"
#include "app/trace_writer.h"
#include "core/event.h"
#include "tests/program_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <array>
#include <csignal>
#include <gtest/gtest.h>
#include <map>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

struct OutputKind
{
    const char* name;
    QStringList arguments;        // "@/" is the output's folder
    const char* file;             // the destination, as named on the command line
    const char* linkTo = nullptr; // the destination is a link the user made to this name
};

const OutputKind kKinds[] = {
    {"trace",
     {"--headless", "--seed", "1", "--duration", "30000", "--trace", "@/t.jsonl"},
     "t.jsonl"},
    {"trace_through_a_link",
     {"--headless", "--seed", "1", "--duration", "30000", "--trace", "@/link.jsonl"},
     "link.jsonl",
     "t.jsonl"},
    {"screenshot", {"--seed", "1", "--size", "320x240", "--screenshot", "6000:@/s.png"}, "s.png"},
    {"subtitles", {"--seed", "1", "--subtitles", "@/s.vtt"}, "s.vtt"},
    {"mp4",
     {"--seed", "1", "--size", "320x240", "--duration", "20000", "--quiet", "--record", "@/v.mp4"},
     "v.mp4"},
    {"webm",
     {"--seed", "1", "--size", "320x240", "--duration", "20000", "--quiet", "--record", "@/v.webm"},
     "v.webm"},
};

void PrintTo(const OutputKind& kind, std::ostream* os)
{
    *os << kind.name;
}

enum class Point
{
    FirstWrite,
    Middle,
    LastByte,
};

void PrintTo(Point point, std::ostream* os)
{
    *os << (point == Point::FirstWrite ? "first write"
            : point == Point::Middle   ? "middle"
                                       : "last byte");
}

using q3::test::Outcome;

// Runs the program with its files limited to `limit` bytes (none if negative). SIGXFSZ is
// ignored, so a write past the limit fails with EFBIG as on a full disk, instead of killing.
Outcome run(const OutputKind& kind, const QString& folder, rlim_t limit)
{
    QStringList arguments;
    for (QString a : kind.arguments)
        arguments << a.replace(QStringLiteral("@/"), folder + u'/');
    return q3::test::runProgram(
        arguments, QProcessEnvironment::systemEnvironment(),
        [limit] {
            const rlimit size{limit, limit};
            ::setrlimit(RLIMIT_FSIZE, &size);
            std::signal(SIGXFSZ, SIG_IGN);
        },
        120000);
}

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot |
                                  QDir::Hidden);
}

void makeLink(const OutputKind& kind, const QString& folder)
{
    if (kind.linkTo != nullptr) {
        ASSERT_TRUE(QFile::link(QString::fromUtf8(kind.linkTo),
                                QDir(folder).filePath(QString::fromUtf8(kind.file))));
    }
}

// The size of the complete output, made once per kind.
qint64 completeSize(const OutputKind& kind)
{
    static std::map<std::string, qint64> sizes;
    if (const auto known = sizes.find(kind.name); known != sizes.end())
        return known->second;
    QTemporaryDir dir;
    makeLink(kind, dir.path());
    const Outcome outcome = run(kind, dir.path(), RLIM_INFINITY);
    EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const char* written = kind.linkTo != nullptr ? kind.linkTo : kind.file;
    return sizes[kind.name] = QFileInfo(dir.filePath(QString::fromUtf8(written))).size();
}

// What a failed output leaves: nothing but the link the user made, still a link.
void expectNothingLeft(const OutputKind& kind, const QString& folder)
{
    const QStringList expected =
        kind.linkTo != nullptr ? QStringList{QString::fromUtf8(kind.file)} : QStringList{};
    EXPECT_EQ(entries(folder), expected);
    if (kind.linkTo != nullptr) {
        EXPECT_TRUE(QFileInfo(QDir(folder).filePath(QString::fromUtf8(kind.file))).isSymLink());
    }
}

class FullDisk : public testing::TestWithParam<std::tuple<OutputKind, Point>>
{
protected:
    QTemporaryDir dir;
};

TEST_P(FullDisk, ExitsOneWithTheFileAndTheReasonAndLeavesNothing)
{
    const auto& [kind, point] = GetParam();
    const qint64 size = completeSize(kind);
    ASSERT_GT(size, 1000);
    const rlim_t limit = point == Point::FirstWrite ? 0
                         : point == Point::Middle   ? rlim_t(size / 2)
                                                    : rlim_t(size - 1);
    makeLink(kind, dir.path());
    const Outcome outcome = run(kind, dir.path(), limit);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err, QStringLiteral("quillet3: error: cannot write ") +
                               dir.filePath(QString::fromUtf8(kind.file)) +
                               QStringLiteral(": File too large\n"));
    expectNothingLeft(kind, dir.path());
}

INSTANTIATE_TEST_SUITE_P(Limit, FullDisk,
                         testing::Combine(testing::ValuesIn(kKinds),
                                          testing::Values(Point::FirstWrite, Point::Middle,
                                                          Point::LastByte)),
                         [](const testing::TestParamInfo<std::tuple<OutputKind, Point>>& param) {
                             const Point point = std::get<1>(param.param);
                             return std::string(std::get<0>(param.param).name) +
                                    (point == Point::FirstWrite ? "_FirstWrite"
                                     : point == Point::Middle   ? "_Middle"
                                                                : "_LastByte");
                         });

// The same on a real file system that runs out of space: a small tmpfs, which only root may
// mount.
class SmallTmpfs : public testing::TestWithParam<std::tuple<OutputKind, Point>>
{
protected:
    void TearDown() override
    {
        if (mounted)
            ::umount2(QFile::encodeName(disk).constData(), MNT_DETACH);
    }
    // A tmpfs of `bytes` (whole pages) on a folder of the test's.
    bool mountTmpfs(qint64 bytes)
    {
        disk = dir.filePath(QStringLiteral("disk"));
        QDir(dir.path()).mkdir(QStringLiteral("disk"));
        const std::string options = "size=" + std::to_string(bytes);
        mounted =
            ::mount("tmpfs", QFile::encodeName(disk).constData(), "tmpfs", 0, options.c_str()) == 0;
        return mounted;
    }

    QTemporaryDir dir;
    QString disk;
    bool mounted = false;
};

TEST_P(SmallTmpfs, ExitsOneWithNoSpaceLeftAndLeavesNothing)
{
    const auto& [kind, point] = GetParam();
    const qint64 size = completeSize(kind);
    constexpr qint64 kPage = 4096;
    ASSERT_TRUE(point == Point::FirstWrite || size >= 4 * kPage) << "too small to fill up midway";
    if (!mountTmpfs(point == Point::FirstWrite ? kPage : (size / 2 + kPage - 1) / kPage * kPage))
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root)";
    if (point == Point::FirstWrite) {
        QFile filler(QDir(disk).filePath(QStringLiteral("filler")));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        filler.write(QByteArray(kPage, 'x'));
        filler.close();
    }
    makeLink(kind, disk);
    const QStringList before = entries(disk);
    const Outcome outcome = run(kind, disk, RLIM_INFINITY);
    EXPECT_EQ(outcome.status, 1);
    EXPECT_EQ(outcome.err.toStdString(),
              "quillet3: error: cannot write " +
                  QDir(disk).filePath(QString::fromUtf8(kind.file)).toStdString() +
                  ": No space left on device\n");
    EXPECT_EQ(entries(disk), before);
}

// A disk that is full from the start, for every kind; one that fills up in the middle, for the
// kinds larger than a few pages.
INSTANTIATE_TEST_SUITE_P(Space, SmallTmpfs,
                         testing::Combine(testing::ValuesIn(kKinds),
                                          testing::Values(Point::FirstWrite)),
                         [](const testing::TestParamInfo<std::tuple<OutputKind, Point>>& param) {
                             return std::string(std::get<0>(param.param).name) + "_Full";
                         });
INSTANTIATE_TEST_SUITE_P(Filling, SmallTmpfs,
                         testing::Combine(testing::Values(kKinds[0], kKinds[1], kKinds[4],
                                                          kKinds[5]),
                                          testing::Values(Point::Middle)),
                         [](const testing::TestParamInfo<std::tuple<OutputKind, Point>>& param) {
                             return std::string(std::get<0>(param.param).name) + "_FillsUp";
                         });

// Two programs that make the same new file at once: the second to finish does not replace the
// first one's file unless told to.
TEST(OutputFile, DoesNotReplaceAFileMadeMeanwhile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("show.vtt"));
    q3::OutputFile mine(path, q3::Existing::Keep);
    ASSERT_TRUE(mine.write("mine"));
    QFile theirs(path);
    ASSERT_TRUE(theirs.open(QIODevice::WriteOnly));
    theirs.write("theirs");
    theirs.close();
    EXPECT_FALSE(mine.commit());
    EXPECT_EQ(mine.message(),
              "'" + path.toStdString() + "' already exists; add --overwrite to replace it");
    ASSERT_TRUE(theirs.open(QIODevice::ReadOnly));
    EXPECT_EQ(theirs.readAll(), QByteArray("theirs"));
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("show.vtt")});

    q3::OutputFile replacing(path, q3::Existing::Replace);
    EXPECT_TRUE(replacing.write("mine") && replacing.commit());
    theirs.close();
    ASSERT_TRUE(theirs.open(QIODevice::ReadOnly));
    EXPECT_EQ(theirs.readAll(), QByteArray("mine"));
}

// A trace on the wall clock into a pipe that nobody reads: the show never waits on it; once too
// much waits, the trace stops with one line.
TEST(TraceWriter, OnTheWallClockNeverWaitsForAPipeThatIsNotRead)
{
    std::array<int, 2> pipe{};
    ASSERT_EQ(::pipe(pipe.data()), 0);
    const int savedOut = ::dup(STDOUT_FILENO);
    ::dup2(pipe[1], STDOUT_FILENO);
    const q3::RealClock clock;
    testing::internal::CaptureStderr();
    {
        const std::unique_ptr<q3::TraceWriter> trace =
            q3::TraceWriter::open(QStringLiteral("-"), clock);
        ASSERT_TRUE(trace);
        const q3::Event event{.kind = q3::EventKind::Caption, .text = std::string(4000, 'x')};
        for (int i = 0; i < 100'000 && !trace->failed(); ++i)
            trace->onEvent(event);
        EXPECT_TRUE(trace->failed());
        EXPECT_FALSE(trace->finish());
    }
    const std::string err = testing::internal::GetCapturedStderr();
    ::dup2(savedOut, STDOUT_FILENO);
    ::close(savedOut);
    ::close(pipe[0]);
    ::close(pipe[1]);
    EXPECT_EQ(err, "quillet3: error: cannot write the trace to standard output: nothing has read "
                   "it for too long\n");
}

} // namespace
