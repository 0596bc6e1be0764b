#pragma once

#include "stage/clock.h"
#include "stage/stage.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

namespace q3 {

// Writes every stage event as one JSON line with its time since the window loaded: whole
// milliseconds on virtual time, fractions of a millisecond on the wall clock.
class TraceWriter final : public StageListener
{
public:
    // "-" is standard output. Returns null with the reason in `error` if the file cannot be opened.
    static std::unique_ptr<TraceWriter> open(const std::string& path, const Clock& clock,
                                             std::string& error);
    ~TraceWriter() override;

    void start(std::uint32_t seed, std::string_view mode);
    void onEvent(const Event& event) override;
    // Flushes and closes; false if anything could not be written, with the reason in error().
    // A file the trace created is removed then, so that no half trace is left behind.
    bool finish();
    [[nodiscard]] const std::string& error() const { return error_; }

private:
    TraceWriter(std::FILE* file, std::string path, const Clock& clock);
    void writeLine(const std::string& body);
    void noteFailure();

    std::FILE* file_;
    std::string path_; // empty for standard output
    std::string error_;
    const Clock& clock_;
    std::string line_;
    double lastFlush_ = 0;
};

// Opens the trace at `path`, writes its first line and has it follow the stage. Where the file
// cannot be opened, says why on stderr and returns null.
[[nodiscard]] std::unique_ptr<TraceWriter> startTrace(const std::string& path, Stage& stage,
                                                      const Clock& clock, std::uint32_t seed,
                                                      std::string_view mode);

} // namespace q3
