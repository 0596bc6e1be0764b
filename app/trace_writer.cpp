#include "app/trace_writer.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <utility>

namespace q3 {

std::unique_ptr<TraceWriter> TraceWriter::open(const std::string& path, const Clock& clock,
                                               std::string& error)
{
    if (path == "-")
        return std::unique_ptr<TraceWriter>(new TraceWriter(stdout, {}, clock));
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<TraceWriter>(new TraceWriter(file, path, clock));
}

TraceWriter::TraceWriter(std::FILE* file, std::string path, const Clock& clock)
    : file_(file), path_(std::move(path)), clock_(clock)
{
    // The trace must not slow the show: write in large blocks.
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

TraceWriter::~TraceWriter()
{
    finish();
}

void TraceWriter::noteFailure()
{
    if (error_.empty())
        error_ = errno != 0 ? std::strerror(errno) : "write error";
}

void TraceWriter::writeLine(const std::string& body)
{
    // After the first failure nothing more is written: the trace is lost either way.
    if (file_ == nullptr || !error_.empty())
        return;
    line_.clear();
    line_ += "{\"t\":";
    const double t = clock_.now();
    // Milliseconds with a point whatever the locale: whole on virtual time, to the microsecond
    // on the wall clock.
    std::array<char, 32> number{};
    const int decimals = clock_.isVirtual() ? 0 : 3;
    char* end = std::to_chars(number.data(), number.data() + number.size(), t,
                              std::chars_format::fixed, decimals)
                    .ptr;
    line_.append(number.data(), end);
    line_ += ',';
    line_.append(body, 1); // the body's own "{" is replaced by the time
    line_ += '\n';
    errno = 0;
    if (std::fwrite(line_.data(), 1, line_.size(), file_) != line_.size())
        noteFailure();
    // On the wall clock someone may be reading the trace while the show plays.
    constexpr double kFlushEveryMs = 200;
    if (!clock_.isVirtual() && t - lastFlush_ >= kFlushEveryMs) {
        if (std::fflush(file_) != 0)
            noteFailure();
        lastFlush_ = t;
    }
}

void TraceWriter::start(std::uint32_t seed, std::string_view mode)
{
    writeLine("{\"ev\":\"start\",\"seed\":" + std::to_string(seed) + ",\"mode\":\"" +
              std::string(mode) + "\"}");
}

void TraceWriter::onEvent(const Event& event)
{
    writeLine(toJson(event));
}

bool TraceWriter::finish()
{
    if (file_ == nullptr)
        return error_.empty();
    errno = 0;
    if (std::fflush(file_) != 0 || std::ferror(file_) != 0)
        noteFailure();
    if (!path_.empty()) {
        errno = 0;
        if (std::fclose(file_) != 0)
            noteFailure();
        struct stat info
        {
        };
        if (!error_.empty() && ::stat(path_.c_str(), &info) == 0 && S_ISREG(info.st_mode))
            std::remove(path_.c_str());
    }
    file_ = nullptr;
    return error_.empty();
}

std::unique_ptr<TraceWriter> startTrace(const std::string& path, Stage& stage, const Clock& clock,
                                        std::uint32_t seed, std::string_view mode)
{
    std::string error;
    std::unique_ptr<TraceWriter> trace = TraceWriter::open(path, clock, error);
    if (!trace) {
        std::cerr << "quillet3: error: cannot write " << path << ": " << error << '\n';
        return nullptr;
    }
    trace->start(seed, mode);
    stage.addListener(trace.get());
    return trace;
}

} // namespace q3
