#pragma once
// The page's address parameters, named like the command line's options: seed=N, start=MS,
// speed=X, loop, quality=crisp|smooth, at=MS (a still, like --screenshot) and trace. loop and
// trace are switches: on bare or with a value that means on (1, true, yes, on), off with one that
// means off (0, false, no, off). The values are read and checked by the command line's own rules
// (core/option_rules.h); a still must also be within the show.

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
    bool speedGiven = false;
    bool loop = false;
    Quality quality = Quality::Crisp;
    // A still of this moment, played to on virtual time.
    std::optional<int> atMs;
    bool trace = false;
};

struct ParsedPage
{
    PageOptions options;
    // The problem with the address, as the program's error line says it with the address's
    // names ("quillet3: error: start takes ..."); empty when none.
    std::string problem;
};

// Reads the query part of the address ("?seed=3&loop"), its names and values percent-decoded.
// Names the page does not know are left alone, as an embedding site may add its own.
[[nodiscard]] ParsedPage parsePageQuery(std::string_view query);

} // namespace q3
