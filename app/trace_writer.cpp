#include "app/trace_writer.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace q3 {

std::unique_ptr<TraceWriter> TraceWriter::open(const std::string& path, const Clock& clock,
                                               std::string& error)
{
    if (path == "-")
        return std::unique_ptr<TraceWriter>(new TraceWriter(stdout, false, clock));
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        error = std::strerror(errno);
        return nullptr;
    }
    return std::unique_ptr<TraceWriter>(new TraceWriter(file, true, clock));
}

TraceWriter::TraceWriter(std::FILE* file, bool owned, const Clock& clock)
    : file_(file), owned_(owned), clock_(clock)
{
    // The trace must not slow the show: write in large blocks.
    std::setvbuf(file_, nullptr, _IOFBF, 1 << 16);
}

TraceWriter::~TraceWriter()
{
    finish();
}

void TraceWriter::writeLine(const std::string& body)
{
    line_.clear();
    line_ += "{\"t\":";
    const double t = clock_.now();
    std::array<char, 32> number{};
    if (clock_.isVirtual())
        std::snprintf(number.data(), number.size(), "%.0f", t);
    else
        std::snprintf(number.data(), number.size(), "%.3f", t);
    line_ += number.data();
    line_ += ',';
    line_.append(body, 1); // the body's own "{" is replaced by the time
    line_ += '\n';
    std::fwrite(line_.data(), 1, line_.size(), file_);
    // On the wall clock someone may be reading the trace while the show plays.
    constexpr double kFlushEveryMs = 200;
    if (!clock_.isVirtual() && t - lastFlush_ >= kFlushEveryMs) {
        std::fflush(file_);
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
        return true;
    bool ok = std::fflush(file_) == 0 && std::ferror(file_) == 0;
    if (owned_)
        ok = std::fclose(file_) == 0 && ok;
    file_ = nullptr;
    return ok;
}

} // namespace q3
