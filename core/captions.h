#pragma once

#include "core/stage.h"

#include <set>
#include <string>
#include <string_view>

namespace q3 {

// A caption as it reads: every run of spaces and line breaks as one space, the ends trimmed,
// since they only place the words on the label.
[[nodiscard]] std::string readableCaption(std::string_view caption);

// The captions on screen: those of the visible labels on the surface, as they read.
[[nodiscard]] std::set<std::string> captionsOnScreen(const Stage& stage);

} // namespace q3
