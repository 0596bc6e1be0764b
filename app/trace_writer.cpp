#include "app/trace_writer.h"

#include "core/event_json.h"
#include "core/messages.h"

#include <QFile>
#include <array>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace q3 {
namespace {

// The trace must not slow the show: it is written in large blocks.
constexpr std::size_t kBlockBytes = 1 << 16;
// On the wall clock someone may be reading the trace while the show plays.
constexpr double kFlushEveryMs = 200;
// What a stream's reader may leave waiting before the trace stops: minutes of the busiest scenes.
constexpr std::size_t kMostWaitingBytes = 32u << 20;
// How long the end of the show waits for a reader that takes nothing.
constexpr int kLastWaitMs = 2000;

bool isRegularFile(int fd)
{
    struct stat info = {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// The first `limit` bytes or fewer of `text`, ending after a line where one ends in them.
std::size_t wholeLinesWithin(const std::string& text, std::size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    const std::size_t end = text.rfind('\n', limit - 1);
    return end == std::string::npos ? text.find('\n') + 1 : end + 1;
}

} // namespace

std::unique_ptr<TraceWriter> TraceWriter::open(const QString& path, const Clock& clock)
{
    if (path == QStringLiteral("-"))
        return std::unique_ptr<TraceWriter>(
            new TraceWriter(clock, nullptr, STDOUT_FILENO, "the trace to standard output"));
    const QByteArray name = QFile::encodeName(path);
    struct stat info = {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
        if (fd < 0) {
            printError(cannotWrite(shownPath(path), std::strerror(errno)));
            return nullptr;
        }
        return std::unique_ptr<TraceWriter>(new TraceWriter(clock, nullptr, fd, shownPath(path)));
    }
    auto file = std::make_unique<OutputFile>(path, Existing::Replace);
    if (file->failed()) {
        printError(file->message());
        return nullptr;
    }
    return std::unique_ptr<TraceWriter>(new TraceWriter(clock, std::move(file), -1, {}));
}

TraceWriter::TraceWriter(const Clock& clock, std::unique_ptr<OutputFile> file, int stream,
                         std::string shown)
    : clock_(clock), file_(std::move(file)), stream_(stream), shown_(std::move(shown))
{
    nonBlocking_ = stream_ >= 0 && !clock_.isVirtual() && !isRegularFile(stream_);
}

TraceWriter::~TraceWriter()
{
    if (stream_ > STDERR_FILENO)
        ::close(stream_);
}

void TraceWriter::fail(const std::string& message)
{
    if (failed_)
        return;
    failed_ = true;
    waiting_.clear();
    printError(message);
}

void TraceWriter::writeLine(const std::string& body)
{
    // After the first failure nothing more is written: the trace is lost either way.
    if (failed_ || finished_)
        return;
    line_.clear();
    const double t = clock_.now();
    appendTraceLine(line_, t, clock_.isVirtual() ? 0 : 3, body);
    waiting_ += line_;
    // A seek back moves the time back: that too is a moment to flush.
    const bool flushDue = t < lastFlush_ || t - lastFlush_ >= kFlushEveryMs;
    if (nonBlocking_) {
        if (flushDue || waiting_.size() >= kBlockBytes) {
            lastFlush_ = t;
            pump(0);
        }
        if (waiting_.size() > kMostWaitingBytes)
            fail(cannotWrite(shown_, "nothing has read it for too long"));
        return;
    }
    if (waiting_.size() >= kBlockBytes || (!clock_.isVirtual() && flushDue)) {
        lastFlush_ = t;
        flush();
    }
}

void TraceWriter::flush()
{
    if (failed_ || waiting_.empty())
        return;
    if (file_) {
        if (!file_->write(waiting_))
            fail(file_->message());
    } else if (const int error = writeAll(stream_, waiting_); error != 0) {
        fail(cannotWrite(shown_, std::strerror(error)));
    }
    waiting_.clear();
}

void TraceWriter::pump(int waitMs)
{
    while (!failed_ && !waiting_.empty()) {
        pollfd ready{stream_, POLLOUT, 0};
        const int polled = ::poll(&ready, 1, waitMs);
        if (polled == 0 && waitMs > 0)
            return fail(cannotWrite(shown_, "nothing has read it for " +
                                                std::to_string(waitMs / 1000) + " s"));
        if (polled <= 0)
            return;
        // Up to what a pipe takes in one piece when it has room at all, so that the write
        // cannot wait; and in whole lines, so that the stream never ends inside one.
        const std::size_t size = wholeLinesWithin(waiting_, PIPE_BUF);
        const ssize_t written = ::write(stream_, waiting_.data(), size);
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return fail(cannotWrite(shown_, std::strerror(errno)));
        if (written > 0)
            waiting_.erase(0, static_cast<std::size_t>(written));
    }
}

void TraceWriter::flushWaiting()
{
    if (finished_)
        return;
    lastFlush_ = clock_.now();
    if (nonBlocking_)
        pump(0);
    else
        flush();
}

void TraceWriter::start(std::uint32_t seed, std::string_view mode)
{
    writeLine(startJson(seed, mode));
}

void TraceWriter::onEvent(const Event& event)
{
    writeLine(toJson(event));
}

bool TraceWriter::finish()
{
    if (finished_)
        return !failed_;
    if (nonBlocking_)
        pump(kLastWaitMs);
    else
        flush();
    finished_ = true;
    if (file_ && !failed_ && !file_->commit())
        fail(file_->message());
    return !failed_;
}

std::unique_ptr<TraceWriter> startTrace(const QString& path, Stage& stage, const Clock& clock,
                                        std::uint32_t seed, std::string_view mode)
{
    std::unique_ptr<TraceWriter> trace = TraceWriter::open(path, clock);
    if (!trace)
        return nullptr;
    trace->start(seed, mode);
    trace->following_ = stage.events().subscribe(*trace);
    return trace;
}

} // namespace q3
