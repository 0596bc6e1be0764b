#pragma once
// The command line's outputs checked on the file system before anything is written: each can be
// written (see whyNotWritable), a recording does not replace a file unless told to, screenshots
// and recordings go to regular files, and no two outputs are one file, under one name or two
// (a link, another path, a descriptor's /dev/fd name).

#include "app/options.h"

#include <string>

namespace q3 {

// The problem with the outputs, as the error line says it; empty when none.
[[nodiscard]] std::string outputsProblem(const Options& options);

} // namespace q3
