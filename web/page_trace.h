#pragma once
// The trace the page keeps for quillet3.trace(), bounded: a show played for long, or a still
// far into it, would otherwise take more memory than the page may have.

#include "core/event.h"

#include <cstddef>
#include <string>
#include <string_view>

namespace q3 {

class PageTrace
{
public:
    // The most bytes of lines kept; past them the trace stops with one line that says so.
    static constexpr std::size_t kLimitBytes = std::size_t{32} << 20;
    // That line, also written once to the console's warnings.
    static constexpr std::string_view kStopped =
        "quillet3: warning: the trace stops here: the page keeps at most 32 MiB of it";

    // Keeps a line, newline included, unless the trace has stopped.
    void append(std::string_view line);
    [[nodiscard]] bool stopped() const { return stopped_; }
    [[nodiscard]] const std::string& text() const { return text_; }

private:
    std::string text_;
    bool stopped_ = false;
};

// The trace's lines (core/event_json.h) kept in a PageTrace.
void appendTraceLine(PageTrace& out, double ms, int decimals, const Event& event);
void appendTraceLine(PageTrace& out, double ms, int decimals, std::string_view json);

} // namespace q3
