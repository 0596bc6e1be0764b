#include "core/error_report.h"

#include "core/messages.h"

#include <ostream>

namespace q3 {

void ErrorReport::report(std::string_view handler, std::string_view message)
{
    std::string text(handler);
    text += ": ";
    text += message;
    if (text == last_) {
        ++repeats_;
        return;
    }
    finish();
    last_ = std::move(text);
    out_ << messageLine(last_) << std::flush;
}

void ErrorReport::finish()
{
    if (repeats_ == 0)
        return;
    out_ << messageLine(last_ + " (repeated " + std::to_string(repeats_) + " more " +
                        (repeats_ == 1 ? "time)" : "times)"))
         << std::flush;
    repeats_ = 0;
}

} // namespace q3
