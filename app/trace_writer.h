#pragma once

#include "app/output_file.h"
#include "core/clock.h"
#include "core/stage.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace q3 {

// Writes every stage event as one JSON line with its time since the window loaded: whole
// milliseconds on virtual time, fractions of a millisecond on the wall clock.
//
// A trace to a file is an output like the others: written whole when the run ends, or not at
// all (a failure or a stop signal leaves nothing at the destination). A trace to standard output
// ("-", /dev/stdout, /dev/fd/N and the like, written into as the descriptors they name), or into
// a pipe or a device that already exists, is streamed as it goes and only ever handed over in
// whole lines, even when a signal ends the program. A FIFO that nobody reads yet is opened
// without waiting for a reader. On the wall clock it never holds up the show: lines that the
// reader does not take wait in memory, and if too many wait, the trace stops.
//
// The first failure is reported at once, on the error stream, in one line; nothing more is
// written after it.
class TraceWriter final : public StageListener
{
public:
    // On the wall clock someone may be reading the trace while the show plays: lines reach the
    // stream at least this often.
    static constexpr int kFlushEveryMs = 200;

    // Returns null, having said why, if the trace cannot be started.
    static std::unique_ptr<TraceWriter> open(const QString& path, const Clock& clock);
    ~TraceWriter() override;
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    void start(std::uint32_t seed, std::string_view mode);
    void onEvent(const Event& event) override;
    // On the wall clock: hands over the lines that have waited, so that a reader sees them while
    // the show is quiet. Called now and then by the event loop.
    void flushWaiting();
    // Writes what is left and places the file; false if anything could not be written.
    bool finish();
    [[nodiscard]] bool failed() const { return failed_; }

    // A descriptor the trace is streamed into.
    struct Stream
    {
        int fd = -1;
        bool owned = false;          // opened by the trace, and closed by it
        bool readerOfItsOwn = false; // a FIFO opened before anyone read it
    };

private:
    TraceWriter(const Clock& clock, std::unique_ptr<OutputFile> file, Stream stream,
                std::string shown);
    void writeLine(const std::string& body);
    void flush();
    void awaitReader(int waitMs);
    // Hands the reader of a stream what it takes without waiting, or waits up to `waitMs`.
    void pump(int waitMs);
    void fail(const std::string& message);

    friend std::unique_ptr<TraceWriter> startTrace(const QString& path, Stage& stage,
                                                   const Clock& clock, std::uint32_t seed,
                                                   std::string_view mode);

    const Clock& clock_;
    EventBus::Subscription following_;
    std::unique_ptr<OutputFile> file_;
    Stream stream_;
    bool nonBlocking_ = false;
    std::string shown_;
    std::string waiting_; // whole lines not yet written
    std::string line_;
    double lastFlush_ = 0;
    bool failed_ = false;
    bool finished_ = false;
};

// Opens the trace at `path`, writes its first line and has it follow the stage. Where it cannot
// be started, says why on stderr and returns null.
[[nodiscard]] std::unique_ptr<TraceWriter> startTrace(const QString& path, Stage& stage,
                                                      const Clock& clock, std::uint32_t seed,
                                                      std::string_view mode);

} // namespace q3
