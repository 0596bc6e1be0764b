#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace q3 {

// Writes the show's errors on the error stream, one line each ("quillet3: tmrTime: overflow").
// An error that repeats is written once: how many more times it came is said in one line when
// another error comes, or at the end ("quillet3: tmrTime: overflow (repeated 9 more times)").
// A show left running past its counter's limit then writes two lines, not one every 3 s.
class ErrorReport
{
public:
    explicit ErrorReport(std::ostream& out) : out_(out) {}
    ErrorReport(const ErrorReport&) = delete;
    ErrorReport& operator=(const ErrorReport&) = delete;
    ~ErrorReport() { finish(); }

    void report(std::string_view handler, std::string_view message);
    // Says how often the last error repeated, if it did.
    void finish();

private:
    std::ostream& out_;
    std::string last_;
    std::uint64_t repeats_ = 0;
};

} // namespace q3
