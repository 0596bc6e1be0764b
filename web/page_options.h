#pragma once
// The page's address parameters, named like the command line's options: seed=N, start=MS,
// speed=X, loop, quality=crisp|smooth, at=MS (a still, like --screenshot) and trace.

#include "raster/quality.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace q3 {

struct PageOptions
{
    std::optional<std::uint32_t> seed;
    std::optional<int> startMs;
    double speed = 1;
    bool loop = false;
    Quality quality = Quality::Crisp;
    // A still of this moment, played to on virtual time.
    std::optional<int> atMs;
    bool trace = false;
};

struct ParsedPage
{
    PageOptions options;
    // The problem with the address, as the program's error line says it; empty when none.
    std::string problem;
};

// Reads the query part of the address ("?seed=3&loop"), its names and values percent-decoded.
// Names the page does not know are left alone, as an embedding site may add its own.
[[nodiscard]] ParsedPage parsePageQuery(std::string_view query);

} // namespace q3
