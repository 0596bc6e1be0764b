#pragma once

#include <string_view>

namespace q3 {

// Writes all of `bytes` to `fd`, going on after short writes; 0, or the errno of the failure.
[[nodiscard]] int writeAll(int fd, std::string_view bytes);

} // namespace q3
