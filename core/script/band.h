#pragma once

#include "core/stage.h"

namespace q3 {

// The six musicians of the concert picture with their instruments, drummer first, each over
// what was drawn before. Starts and ends with the fill colour black.
void drawBand(Stage& stage);

} // namespace q3
