#include "app/output_file.h"

#include "app/stop_signals.h"
#include "core/option_values.h"

#include <QFile>
#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <linux/magic.h>
#include <random>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace q3 {
namespace {

std::string folderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

constexpr std::size_t kKeptNameBytes = 100;
constexpr std::size_t kSuffixLetters = 8;
constexpr std::string_view kTemporaryEnd = ".part";

// A hidden name beside the destination that no other program is likely to choose; its length
// stays within a file name's limit whatever the destination's.
std::string temporaryNameFor(const std::string& destination)
{
    static std::mt19937 random{std::random_device{}()};
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (std::size_t i = 0; i < kSuffixLetters; ++i)
        suffix += kLetters[random() % kLetters.size()];
    return folderOf(destination) + "/." + nameOf(destination).substr(0, kKeptNameBytes) + "." +
           suffix + std::string(kTemporaryEnd);
}

std::string escaped(const QString& path)
{
    return escapedText(path.toStdString());
}

// Gives the temporary file the destination's name unless something is there already.
int placeWithoutReplacing(const char* temporary, const char* destination)
{
    if (::renameat2(AT_FDCWD, temporary, AT_FDCWD, destination, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return errno;
    // File systems without that kind of rename: a second name and the first one removed, which
    // never replaces either.
    if (::link(temporary, destination) != 0)
        return errno;
    ::unlink(temporary);
    return 0;
}

} // namespace

OutputFile::OutputFile(const QString& destination, Existing existing)
    : shown_(destination), existing_(existing)
{
    const FollowedPath followed = followLinks(destination);
    if (!followed.refused.empty()) {
        abandon(followed.refused);
        return;
    }
    destination_ = QFile::encodeName(followed.path).toStdString();
    // The file is known to the stop signals before it exists, so that no signal can come between
    // the two and leave it behind.
    const SignalsHeld held;
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = temporaryNameFor(destination_);
        slot_ = rememberTemporary(temporary_.c_str());
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0) {
            const int error = errno;
            forgetTemporary(slot_);
            slot_ = -1;
            errno = error;
            if (error != EEXIST)
                break;
        }
    }
    if (fd_ < 0) {
        const int error = errno;
        temporary_.clear();
        noteError(error);
        return;
    }
    // A replaced file keeps who may read it, but not the right to run as its owner or group.
    struct stat old = {};
    if (existing_ == Existing::Replace && ::stat(destination_.c_str(), &old) == 0)
        ::fchmod(fd_, old.st_mode & 07777 & ~mode_t(S_ISUID | S_ISGID));
}

OutputFile::~OutputFile()
{
    removeTemporary();
}

bool OutputFile::write(std::string_view bytes)
{
    if (failed())
        return false;
    if (const int error = writeAll(fd_, bytes); error != 0) {
        noteError(error);
        return false;
    }
    return true;
}

bool OutputFile::commit()
{
    const std::array<OutputFile*, 1> self{this};
    return commitTogether(self) == nullptr;
}

OutputFile* OutputFile::commitTogether(std::span<OutputFile* const> files)
{
    OutputFile* failure = nullptr;
    for (OutputFile* file : files)
        if (failure == nullptr && !file->close())
            failure = file;
    // Placed together, or not at all: a signal waits until the files are placed or put back.
    const SignalsHeld held;
    std::vector<OutputFile*> placed;
    for (OutputFile* file : files) {
        if (failure != nullptr)
            break;
        if (file->place())
            placed.push_back(file);
        else
            failure = file;
    }
    if (failure != nullptr) {
        for (auto file = placed.rbegin(); file != placed.rend(); ++file)
            (*file)->unplace();
        for (OutputFile* file : files)
            file->abandon("another file written with it could not be written");
        return failure;
    }
    for (OutputFile* file : files)
        file->settle();
    return nullptr;
}

// Flushes the file to the disk and closes it.
bool OutputFile::close()
{
    if (failed())
        return false;
    if (::fsync(fd_) != 0) {
        noteError(errno);
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) {
        noteError(errno);
        return false;
    }
    return true;
}

bool OutputFile::place()
{
    if (existing_ == Existing::Replace) {
        // A second name for the file about to be replaced, so that it can be put back.
        previous_ = temporaryNameFor(destination_);
        if (::link(destination_.c_str(), previous_.c_str()) != 0)
            previous_.clear();
        if (::rename(temporary_.c_str(), destination_.c_str()) != 0) {
            noteError(errno);
            return false;
        }
        return true;
    }
    const int error = placeWithoutReplacing(temporary_.c_str(), destination_.c_str());
    if (error == EEXIST) {
        fail(quotedPath(shown_) + " already exists; add --overwrite to replace it");
        return false;
    }
    if (error != 0) {
        noteError(error);
        return false;
    }
    return true;
}

// Takes a placed file away again, and puts back the one it replaced.
void OutputFile::unplace()
{
    if (!previous_.empty())
        ::rename(previous_.c_str(), destination_.c_str());
    else
        ::unlink(destination_.c_str());
    previous_.clear();
    temporary_.clear();
}

void OutputFile::settle()
{
    if (!previous_.empty())
        ::unlink(previous_.c_str());
    previous_.clear();
    forgetTemporary(slot_);
    slot_ = -1;
    temporary_.clear();
    notePlacedOutput();
}

std::string cannotWrite(const std::string& shownName, std::string_view reason)
{
    return "cannot write " + shownName + ": " + std::string(reason);
}

void OutputFile::abandon(const std::string& reason)
{
    fail(cannotWrite(shownPath(shown_), reason));
}

void OutputFile::noteError(int error)
{
    abandon(std::strerror(error));
}

void OutputFile::fail(const std::string& message)
{
    if (message_.empty())
        message_ = message;
    removeTemporary();
}

void OutputFile::removeTemporary()
{
    const SignalsHeld held;
    if (!previous_.empty())
        ::unlink(previous_.c_str());
    previous_.clear();
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    forgetTemporary(slot_);
    slot_ = -1;
}

namespace {

// Whether the system's guard against planted links would let the user follow `link`, which
// stands in `folder`.
bool mayFollow(const struct stat& link, const std::string& folder)
{
    struct stat parent = {};
    if (::stat(folder.c_str(), &parent) != 0)
        return true; // the folder is gone: the write fails on its own
    const bool shared = (parent.st_mode & S_ISVTX) != 0 && (parent.st_mode & S_IWOTH) != 0;
    return !shared || link.st_uid == ::geteuid() || link.st_uid == parent.st_uid;
}

// A link of /proc that stands for an open file of a process rather than a path, such as
// /proc/PID/fd/1 -> "pipe:[123]": only the link itself, opened, reaches that file.
bool standsForAnOpenFile(const std::string& folder, std::string_view target)
{
    struct statfs system = {};
    return !target.starts_with('/') && ::statfs(folder.c_str(), &system) == 0 &&
           system.f_type == PROC_SUPER_MAGIC;
}

} // namespace

FollowedPath followLinks(const QString& path)
{
    std::string current = QFile::encodeName(path).toStdString();
    std::string refused;
    // As many links as the system itself follows before it gives up.
    constexpr int kMaxLinks = 40;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat info = {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        if (!mayFollow(info, folderOf(current))) {
            refused = "it is a link in a folder that others may write, and it belongs to "
                      "neither you nor the folder's owner";
            break;
        }
        std::array<char, PATH_MAX> target{};
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size() - 1);
        if (length <= 0)
            break;
        const std::string_view next(target.data(), static_cast<std::size_t>(length));
        if (standsForAnOpenFile(folderOf(current), next))
            break;
        if (next.starts_with('/')) {
            current = next;
        } else {
            std::string joined = folderOf(current);
            joined += '/';
            joined += next;
            current = std::move(joined);
        }
    }
    return {QFile::decodeName(QByteArray::fromStdString(current)), refused};
}

std::size_t temporaryPathLength(const QByteArray& destination)
{
    const std::string path = destination.toStdString();
    return folderOf(path).size() + 2 + std::min(nameOf(path).size(), kKeptNameBytes) + 1 +
           kSuffixLetters + kTemporaryEnd.size();
}

std::string shownPath(const QString& path)
{
    const std::string plain = path.toStdString();
    return escaped(path) == plain ? plain : quotedPath(path);
}

std::string quotedPath(const QString& path)
{
    return "'" + escaped(path) + "'";
}

QString folderPart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString namePart(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

bool statPath(const QString& path, struct stat& info)
{
    return ::stat(QFile::encodeName(path).constData(), &info) == 0;
}

std::optional<std::string> whyNotWritable(const QString& path)
{
    if (path.isEmpty())
        return "the file name is empty";
    // Bytes the locale cannot decode arrive as U+FFFD: writing would create another name.
    if (path.contains(QChar::ReplacementCharacter))
        return "the name is not valid in the locale's encoding";
    const QByteArray encoded = QFile::encodeName(path);
    if (encoded.size() > PATH_MAX - 1)
        return "the path is longer than " + std::to_string(PATH_MAX - 1) + " bytes";
    for (const QByteArray& part : encoded.split('/'))
        if (part.size() > NAME_MAX)
            return "a name in the path is longer than " + std::to_string(NAME_MAX) + " bytes";
    // A link is written through: what matters is where it leads.
    const FollowedPath followed = followLinks(path);
    if (!followed.refused.empty())
        return followed.refused;
    const QByteArray target = QFile::encodeName(followed.path);
    struct stat info = {};
    const bool exists = ::stat(target.constData(), &info) == 0;
    if (exists && S_ISDIR(info.st_mode))
        return "it is a folder";
    // A device or a pipe is written into where it is.
    if (exists && !S_ISREG(info.st_mode))
        return ::access(target.constData(), W_OK) == 0
                   ? std::nullopt
                   : std::optional<std::string>("permission denied");
    const QString folder = folderPart(followed.path);
    struct stat folderInfo = {};
    if (!statPath(folder, folderInfo))
        return "the folder " + quotedPath(folder) + " does not exist";
    if (!S_ISDIR(folderInfo.st_mode))
        return quotedPath(folder) + " is not a folder";
    if (exists && ::access(target.constData(), W_OK) != 0)
        return "permission denied";
    // The file is made beside its destination and renamed over it.
    if (::access(QFile::encodeName(folder).constData(), W_OK) != 0)
        return "the folder " + quotedPath(folder) + " is not writable";
    if (temporaryPathLength(target) > PATH_MAX - 1)
        return "the path is too long for the file written beside it first (" +
               std::to_string(PATH_MAX - 1) + " bytes at most)";
    return std::nullopt;
}

} // namespace q3
