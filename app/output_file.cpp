#include "app/output_file.h"

#include "app/stop_signals.h"
#include "core/option_values.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

// A hidden name beside the destination that no other program is likely to choose; its length
// stays within a file name's limit whatever the destination's.
std::string temporaryNameFor(const std::string& destination)
{
    static std::mt19937 random{std::random_device{}()};
    constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::string suffix;
    for (int i = 0; i < 8; ++i)
        suffix += kLetters[random() % kLetters.size()];
    constexpr std::size_t kKeptNameBytes = 100;
    return folderOf(destination) + "/." + nameOf(destination).substr(0, kKeptNameBytes) + "." +
           suffix + ".part";
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
    : shown_(destination), destination_(QFile::encodeName(followLinks(destination)).toStdString()),
      existing_(existing)
{
    for (int attempt = 0; attempt < 100 && fd_ < 0; ++attempt) {
        temporary_ = temporaryNameFor(destination_);
        fd_ = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd_ < 0 && errno != EEXIST)
            break;
    }
    if (fd_ < 0) {
        const int error = errno;
        temporary_.clear();
        noteError(error);
        return;
    }
    slot_ = rememberTemporary(temporary_.c_str());
    // A replaced file keeps who may read it.
    struct stat old = {};
    if (existing_ == Existing::Replace && ::stat(destination_.c_str(), &old) == 0)
        ::fchmod(fd_, old.st_mode & 07777);
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
    if (!place())
        return false;
    forgetTemporary(slot_);
    slot_ = -1;
    temporary_.clear();
    notePlacedOutput();
    return true;
}

bool OutputFile::place()
{
    if (existing_ == Existing::Replace) {
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
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty())
        ::unlink(temporary_.c_str());
    temporary_.clear();
    forgetTemporary(slot_);
    slot_ = -1;
}

QString followLinks(const QString& path)
{
    std::string current = QFile::encodeName(path).toStdString();
    // As many links as the system itself follows before it gives up.
    constexpr int kMaxLinks = 40;
    for (int i = 0; i < kMaxLinks; ++i) {
        struct stat info = {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode))
            break;
        std::array<char, PATH_MAX> target{};
        const ssize_t length = ::readlink(current.c_str(), target.data(), target.size() - 1);
        if (length <= 0)
            break;
        const std::string_view next(target.data(), static_cast<std::size_t>(length));
        if (next.starts_with('/')) {
            current = next;
        } else {
            std::string joined = folderOf(current);
            joined += '/';
            joined += next;
            current = std::move(joined);
        }
    }
    return QFile::decodeName(QByteArray::fromStdString(current));
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

} // namespace q3
