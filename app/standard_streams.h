#pragma once

#include <QString>
#include <optional>
#include <string>

namespace q3 {

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed, before anything else is
// opened: otherwise the next file the program opens takes that number, and whatever is written to
// the error stream or standard output ends up inside it. Called first thing in main().
void openClosedStandardDescriptors();
// Whether `fd` (0, 1 or 2) was closed when the program started.
[[nodiscard]] bool wasClosedAtStart(int fd);

// The descriptor a name stands for, written into as it is open rather than replaced: "-" and
// /dev/stdout for 1, /dev/stderr for 2, /dev/fd/N and /proc/self/fd/N for N.
[[nodiscard]] std::optional<int> namedDescriptor(const QString& path);
// Why the descriptor cannot be written into: closed (or closed at the start), or open only for
// reading.
[[nodiscard]] std::optional<std::string> whyNotWritableDescriptor(int fd);

} // namespace q3
