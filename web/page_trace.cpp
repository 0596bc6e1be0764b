#include "web/page_trace.h"

#include "core/event_json.h"
#include "web/page_js.h"

#include <string>

namespace q3 {

void PageTrace::append(std::string_view line)
{
    if (stopped_)
        return;
    // Room for every line kept and the last one, taken at once: a string that grew by doubling
    // would hold its old and its new copy at the same moment.
    if (text_.capacity() < kLimitBytes + kStopped.size() + 1)
        text_.reserve(kLimitBytes + kStopped.size() + 1);
    if (text_.size() + line.size() <= kLimitBytes) {
        text_ += line;
        return;
    }
    stopped_ = true;
    const std::string stopped(kStopped);
    text_ += stopped;
    text_ += '\n';
    q3js_warning(stopped.c_str());
}

void appendTraceLine(PageTrace& out, double ms, int decimals, const Event& event)
{
    if (!out.stopped())
        appendTraceLine(out, ms, decimals, toJson(event));
}

void appendTraceLine(PageTrace& out, double ms, int decimals, std::string_view json)
{
    if (out.stopped())
        return;
    std::string line;
    appendTraceLine(line, ms, decimals, json);
    out.append(line);
}

} // namespace q3
