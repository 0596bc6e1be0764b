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
#include <grp.h>
#include <gtest/gtest.h>
#include <map>
#include <sstream>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
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

// Runs the program with its files limited to `limit` bytes (none if negative), as `ulimit -f`
// does: a write past the limit must fail as on a full disk, not end the program by SIGXFSZ.
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
            // The signal that ends a program past the limit, as a shell leaves it.
            std::signal(SIGXFSZ, SIG_DFL);
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

// A recording and its subtitles are placed as a pair: when one of them cannot take its name,
// because another program made a file or a folder there meanwhile, neither is placed, and files
// they were to replace are as they were.
struct PairCase
{
    const char* name;
    q3::Existing existing;
    int madeMeanwhile; // 0: the first file's destination, 1: the second's
};

class PlacedAsAPair : public testing::TestWithParam<PairCase>
{
protected:
    QTemporaryDir dir;
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(none)");
}

TEST_P(PlacedAsAPair, OrNotAtAll)
{
    const PairCase& pair = GetParam();
    const bool replacing = pair.existing == q3::Existing::Replace;
    const std::array<QString, 2> paths{dir.filePath(QStringLiteral("v.mp4")),
                                       dir.filePath(QStringLiteral("s.vtt"))};
    if (replacing) {
        for (const QString& path : paths) {
            QFile old(path);
            ASSERT_TRUE(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
    }
    q3::OutputFile first(paths[0], pair.existing);
    q3::OutputFile second(paths[1], pair.existing);
    ASSERT_TRUE(first.write("new video") && second.write("new subtitles"));
    // Made meanwhile: a file, which is not replaced without --overwrite; a folder with something
    // in it, which no file replaces.
    const QString theirs = paths[static_cast<std::size_t>(pair.madeMeanwhile)];
    if (replacing) {
        ASSERT_TRUE(QFile::remove(theirs));
        ASSERT_TRUE(QDir(dir.path()).mkpath(theirs + QStringLiteral("/inside")));
    } else {
        QFile file(theirs);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("theirs");
    }
    const std::array<q3::OutputFile*, 2> files{&first, &second};
    const q3::OutputFile* failed = q3::OutputFile::commitTogether(files);
    ASSERT_EQ(failed, files[static_cast<std::size_t>(pair.madeMeanwhile)]);
    if (!replacing) {
        EXPECT_EQ(failed->message(),
                  "'" + theirs.toStdString() + "' already exists; add --overwrite to replace it");
    }
    const QString other = paths[static_cast<std::size_t>(1 - pair.madeMeanwhile)];
    EXPECT_EQ(contents(other), replacing ? QByteArray("old") : QByteArray("(none)"));
    EXPECT_EQ(contents(theirs), replacing ? QByteArray("(none)") : QByteArray("theirs"));
    QStringList expected{QStringLiteral("s.vtt"), QStringLiteral("v.mp4")};
    if (!replacing)
        expected.removeAll(QFileInfo(other).fileName());
    EXPECT_EQ(entries(dir.path()), expected) << "nothing half-placed, no temporary file";
}

const PairCase kPairs[] = {
    {"VideoMadeMeanwhile", q3::Existing::Keep, 0},
    {"SubtitlesMadeMeanwhile", q3::Existing::Keep, 1},
    {"VideoCannotBeReplaced", q3::Existing::Replace, 0},
    {"SubtitlesCannotBeReplaced", q3::Existing::Replace, 1},
};

INSTANTIATE_TEST_SUITE_P(Pair, PlacedAsAPair, testing::ValuesIn(kPairs),
                         [](const testing::TestParamInfo<PairCase>& param) {
                             return std::string(param.param.name);
                         });

// A file replaced with --overwrite keeps who may read and write it, but not the right to run as
// its owner or its group, as cp and install do.
struct ModeCase
{
    mode_t before;
    mode_t after;
};

class ReplacedFile : public testing::TestWithParam<ModeCase>
{
protected:
    QTemporaryDir dir;
};

TEST_P(ReplacedFile, KeepsItsPermissionsButNotSetId)
{
    const QString path = dir.filePath(QStringLiteral("s.vtt"));
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), GetParam().before), 0);
    // Something the user's file-creation mask would not give a new file.
    const mode_t mask = ::umask(077);
    ::umask(mask);
    ASSERT_NE(GetParam().after, 0666 & ~mask);
    const Outcome outcome = q3::test::runProgram(
        q3::test::args({"--seed", "1", "--overwrite", "--duration", "5000", "--subtitles"})
        << path);
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    struct stat info = {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, GetParam().after)
        << std::oct << (info.st_mode & 07777) << " from " << GetParam().before;
    EXPECT_TRUE(contents(path).startsWith("WEBVTT"));
}

INSTANTIATE_TEST_SUITE_P(Mode, ReplacedFile,
                         testing::Values(ModeCase{0600, 0600}, ModeCase{0640, 0640},
                                         ModeCase{0604, 0604}, ModeCase{04755, 0755},
                                         ModeCase{02755, 0755}, ModeCase{06740, 0740}),
                         [](const testing::TestParamInfo<ModeCase>& param) {
                             std::ostringstream name;
                             name << "From" << std::oct << param.param.before;
                             return name.str();
                         });

// A link planted in a folder that anyone may write and that has the sticky bit, such as /tmp, is
// followed only where the system's guard against such links would follow it: when it belongs to
// the user running the program or to the folder's owner. Run as root and as a second user.
constexpr uid_t kRoot = 0;
constexpr uid_t kNobody = 65534;
constexpr uid_t kDaemon = 1;

struct LinkCase
{
    const char* name;
    uid_t runAs;
    uid_t linkOwner;
    uid_t folderOwner;
    mode_t folderMode;
    const char* option; // the output, written to a link named "x" with the extension
    bool followed;
};

class PlantedLink : public testing::TestWithParam<LinkCase>
{
protected:
    QTemporaryDir dir;
};

TEST_P(PlantedLink, IsFollowedOnlyWhereTheSystemWould)
{
    const LinkCase& link = GetParam();
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root, to make files of a second user";
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    // The file the link leads to, in a folder the runner may write.
    const QString targets = dir.filePath(QStringLiteral("targets"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("targets")));
    ASSERT_EQ(::chmod(QFile::encodeName(targets).constData(), 0777), 0);
    const QString secret = targets + QStringLiteral("/secret.conf");
    QFile file(secret);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("secret");
    file.close();
    ASSERT_EQ(::chown(QFile::encodeName(secret).constData(), link.runAs, link.runAs), 0);
    const QString shared = dir.filePath(QStringLiteral("shared"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("shared")));
    const QByteArray sharedName = QFile::encodeName(shared);
    ASSERT_EQ(::chown(sharedName.constData(), link.folderOwner, link.folderOwner), 0);
    ASSERT_EQ(::chmod(sharedName.constData(), link.folderMode), 0);
    const QString option = QString::fromUtf8(link.option);
    const QString planted = shared + (option == QStringLiteral("--screenshot")  ? "/x.png"
                                      : option == QStringLiteral("--subtitles") ? "/x.vtt"
                                                                                : "/x.jsonl");
    const QByteArray plantedName = QFile::encodeName(planted);
    ASSERT_EQ(::symlink(QFile::encodeName(secret).constData(), plantedName.constData()), 0);
    ASSERT_EQ(::lchown(plantedName.constData(), link.linkOwner, link.linkOwner), 0);

    QStringList arguments = q3::test::args({"--seed", "1", "--duration", "3000"});
    if (option == QStringLiteral("--screenshot"))
        arguments << option << QStringLiteral("1000:") + planted;
    else if (option == QStringLiteral("--subtitles"))
        arguments << option << planted << QStringLiteral("--overwrite");
    else
        arguments << option << planted << QStringLiteral("--headless");
    const uid_t user = link.runAs;
    const Outcome outcome =
        q3::test::runProgram(arguments, QProcessEnvironment::systemEnvironment(), [user] {
            // As the second user, or not at all.
            if (user != 0 &&
                (::setgroups(0, nullptr) != 0 || ::setgid(user) != 0 || ::setuid(user) != 0))
                ::_exit(99);
        });
    EXPECT_TRUE(QFileInfo(planted).isSymLink());
    if (link.followed) {
        EXPECT_EQ(outcome.status, 0) << outcome.err.toStdString();
        EXPECT_NE(contents(secret), QByteArray("secret"));
    } else {
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(outcome.err.toStdString(),
                  "quillet3: error: cannot write '" + planted.toStdString() +
                      "': it is a link in a folder that others may write, and it belongs to "
                      "neither you nor the folder's owner (see 'quillet3 --help')\n");
        EXPECT_EQ(contents(secret), QByteArray("secret"));
    }
}

const LinkCase kLinks[] = {
    {"OfAnotherUserInTmp_Screenshot", kRoot, kNobody, kRoot, 01777, "--screenshot", false},
    {"OfAnotherUserInTmp_Trace", kRoot, kNobody, kRoot, 01777, "--trace", false},
    {"OfAnotherUserInTmp_Subtitles", kRoot, kNobody, kRoot, 01777, "--subtitles", false},
    {"OfAnotherUserAsNobody", kNobody, kDaemon, kRoot, 01777, "--trace", false},
    {"OfTheUserInTmp", kRoot, kRoot, kRoot, 01777, "--trace", true},
    {"OfTheFolderOwner", kRoot, kNobody, kNobody, 01777, "--trace", true},
    {"OfTheFolderOwnerAsNobody", kNobody, kRoot, kRoot, 01777, "--trace", true},
    {"InAFolderWithoutTheStickyBit", kRoot, kNobody, kRoot, 0777, "--trace", true},
    {"InAStickyFolderOnlyItsOwnerWrites", kRoot, kNobody, kRoot, 01755, "--trace", true},
};

INSTANTIATE_TEST_SUITE_P(Link, PlantedLink, testing::ValuesIn(kLinks),
                         [](const testing::TestParamInfo<LinkCase>& param) {
                             return std::string(param.param.name);
                         });

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
