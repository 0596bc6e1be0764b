#include "app/trace_writer.h"

#include "app/standard_streams.h"
#include "app/stop_signals.h"
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
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace q3 {
namespace {

// The trace must not slow the show: it is written in large blocks.
constexpr std::size_t kBlockBytes = 1 << 16;
// What a stream's reader may leave waiting before the trace stops: minutes of the busiest scenes.
constexpr std::size_t kMostWaitingBytes = 32u << 20;
// How long the end of the show waits for a reader that takes nothing.
constexpr int kLastWaitMs = 2000;
// How often the end of a run looks whether a FIFO's reader has taken its lines.
constexpr int kReaderPollMs = 10;

std::string nothingReadFor(int waitMs)
{
    return "nothing has read it for " + std::to_string(waitMs / 1000) + " s";
}

bool isRegularFile(int fd)
{
    struct stat info = {};
    return ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
}

// The first `limit` bytes or fewer of `text`, ending after a line where one ends in them.
std::size_t wholeLinesWithin(std::string_view text, std::size_t limit)
{
    if (text.size() <= limit)
        return text.size();
    const std::size_t end = text.rfind('\n', limit - 1);
    return end == std::string_view::npos ? text.find('\n') + 1 : end + 1;
}

// Opens a pipe, a FIFO or a device that is already there, without waiting: a FIFO that nobody
// reads yet is opened for reading as well, so that its lines wait in it for a reader as in a
// pipe that is not read.
TraceWriter::Stream openStream(const char* name)
{
    TraceWriter::Stream stream{::open(name, O_WRONLY | O_NONBLOCK | O_CLOEXEC), true, false};
    if (stream.fd < 0 && errno == ENXIO) {
        stream.fd = ::open(name, O_RDWR | O_NONBLOCK | O_CLOEXEC);
        stream.readerOfItsOwn = stream.fd >= 0;
    }
    // The descriptor is the program's own: waiting for room in it is chosen write by write.
    if (stream.fd >= 0)
        ::fcntl(stream.fd, F_SETFL, ::fcntl(stream.fd, F_GETFL) & ~O_NONBLOCK);
    return stream;
}

// Waits until the lines of a stream have been handed over whole and it can take more.
bool waitForRoom(int fd, int waitMs)
{
    pollfd ready{fd, POLLOUT, 0};
    int polled = 0;
    do {
        polled = ::poll(&ready, 1, waitMs);
    } while (polled < 0 && errno == EINTR);
    return polled > 0;
}

// Writes `piece`, whole lines, all of it: the signals that end the program wait meanwhile, so
// that a stream always ends at the end of a line. A piece is at most what a pipe takes in one step
// once it has room (PIPE_BUF), so that the signals seldom wait at all.
int writePiece(int fd, std::string_view piece)
{
    const SignalsHeld held;
    return writeAll(fd, piece);
}

} // namespace

std::unique_ptr<TraceWriter> TraceWriter::open(const QString& path, const Clock& clock)
{
    if (const std::optional<int> fd = namedDescriptor(path)) {
        std::string shown = path == QStringLiteral("-")
                                ? std::string("the trace to standard output")
                                : shownPath(path);
        if (const auto why = whyNotWritableDescriptor(*fd)) {
            printError(cannotWrite(shown, *why));
            return nullptr;
        }
        return std::unique_ptr<TraceWriter>(
            new TraceWriter(clock, nullptr, Stream{*fd, false, false}, std::move(shown)));
    }
    const FollowedPath followed = followLinks(path);
    if (!followed.refused.empty()) {
        printError(cannotWrite(shownPath(path), followed.refused));
        return nullptr;
    }
    const QByteArray name = QFile::encodeName(followed.path);
    struct stat info = {};
    if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
        const Stream stream = openStream(name.constData());
        if (stream.fd < 0) {
            printError(cannotWrite(shownPath(path), std::strerror(errno)));
            return nullptr;
        }
        return std::unique_ptr<TraceWriter>(
            new TraceWriter(clock, nullptr, stream, shownPath(path)));
    }
    auto file = std::make_unique<OutputFile>(path, Existing::Replace);
    if (file->failed()) {
        printError(file->message());
        return nullptr;
    }
    return std::unique_ptr<TraceWriter>(new TraceWriter(clock, std::move(file), Stream{}, {}));
}

TraceWriter::TraceWriter(const Clock& clock, std::unique_ptr<OutputFile> file, Stream stream,
                         std::string shown)
    : clock_(clock), file_(std::move(file)), stream_(stream), shown_(std::move(shown))
{
    nonBlocking_ = stream_.fd >= 0 && !clock_.isVirtual() && !isRegularFile(stream_.fd);
}

TraceWriter::~TraceWriter()
{
    if (stream_.owned)
        ::close(stream_.fd);
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
    appendTraceLine(line_, t, traceDecimals(clock_), body);
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
    } else {
        std::string_view rest = waiting_;
        while (!rest.empty()) {
            waitForRoom(stream_.fd, -1);
            const std::string_view piece = rest.substr(0, wholeLinesWithin(rest, PIPE_BUF));
            if (const int error = writePiece(stream_.fd, piece); error != 0) {
                fail(cannotWrite(shown_, std::strerror(error)));
                break;
            }
            rest.remove_prefix(piece.size());
        }
    }
    waiting_.clear();
}

void TraceWriter::pump(int waitMs)
{
    while (!failed_ && !waiting_.empty()) {
        if (!waitForRoom(stream_.fd, waitMs)) {
            if (waitMs > 0)
                fail(cannotWrite(shown_, nothingReadFor(waitMs)));
            return;
        }
        // Up to what a pipe takes in one piece when it has room at all, so that the write
        // cannot wait; and in whole lines, so that the stream never ends inside one.
        const std::size_t size = wholeLinesWithin(waiting_, PIPE_BUF);
        if (const int error = writePiece(stream_.fd, std::string_view(waiting_).substr(0, size));
            error != 0)
            return fail(cannotWrite(shown_, std::strerror(error)));
        waiting_.erase(0, size);
    }
}

// A FIFO opened with a reader of its own: the lines in it are lost when the program ends unless
// another reader takes them first.
void TraceWriter::awaitReader(int waitMs)
{
    for (int waited = 0; !failed_ && (waitMs < 0 || waited < waitMs); waited += kReaderPollMs) {
        int unread = 0;
        if (::ioctl(stream_.fd, FIONREAD, &unread) != 0 || unread == 0)
            return;
        ::poll(nullptr, 0, kReaderPollMs);
    }
    fail(cannotWrite(shown_, nothingReadFor(waitMs)));
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
    if (stream_.readerOfItsOwn)
        awaitReader(clock_.isVirtual() ? -1 : kLastWaitMs);
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
