#include "app/standard_streams.h"

#include <QFile>
#include <array>
#include <charconv>
#include <fcntl.h>
#include <string_view>
#include <unistd.h>

namespace q3 {
namespace {

std::array<bool, 3> closedAtStart{};

bool isOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

// N in "PREFIXN", digits only.
std::optional<int> numberAfter(std::string_view name, std::string_view prefix)
{
    if (!name.starts_with(prefix))
        return std::nullopt;
    name.remove_prefix(prefix.size());
    int fd = -1;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), fd);
    if (name.empty() || error != std::errc() || end != name.data() + name.size() || fd < 0 ||
        name.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    return fd;
}

} // namespace

void openClosedStandardDescriptors()
{
    for (int fd = 0; fd <= STDERR_FILENO; ++fd) {
        if (isOpen(fd))
            continue;
        closedAtStart[static_cast<std::size_t>(fd)] = true;
        // The lowest free number is this one, as every lower one is open.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd && opened >= 0) {
            ::dup2(opened, fd);
            ::close(opened);
        }
    }
}

bool wasClosedAtStart(int fd)
{
    return fd >= 0 && fd <= STDERR_FILENO && closedAtStart[static_cast<std::size_t>(fd)];
}

std::optional<int> namedDescriptor(const QString& path)
{
    const QByteArray encoded = QFile::encodeName(path);
    const std::string_view name(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    if (name == "-" || name == "/dev/stdout")
        return STDOUT_FILENO;
    if (name == "/dev/stderr")
        return STDERR_FILENO;
    if (auto fd = numberAfter(name, "/dev/fd/"))
        return fd;
    if (auto fd = numberAfter(name, "/proc/self/fd/"))
        return fd;
    return numberAfter(name, "/proc/" + std::to_string(::getpid()) + "/fd/");
}

std::optional<std::string> whyNotWritableDescriptor(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || wasClosedAtStart(fd))
        return "it is closed";
    if ((flags & O_ACCMODE) == O_RDONLY)
        return "it is open only for reading";
    return std::nullopt;
}

} // namespace q3
