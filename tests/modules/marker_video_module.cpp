// A video module whose code runs as soon as it is loaded: it leaves a file at the path in
// QUILLET3_TEST_MARKER (MARKER_SIGNAL 0), or ends the program with a signal (MARKER_SIGNAL, such
// as SIGBUS for a module whose file was cut short). Its table is of another version, so that the
// program, having loaded it, refuses it.

#include "video/video_module_abi.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

[[gnu::constructor]] void announce()
{
    if (MARKER_SIGNAL != 0)
        std::raise(MARKER_SIGNAL);
    if (const char* path = std::getenv("QUILLET3_TEST_MARKER"); path != nullptr) {
        if (std::FILE* marker = std::fopen(path, "w"); marker != nullptr) {
            std::fputs("the module's code ran\n", marker);
            std::fclose(marker);
        }
    }
}

const Quillet3VideoModule kModule{
    .tableSize = sizeof(Quillet3VideoModule),
    .interfaceTag = 0,
    .version = "0.0.0-marker",
};

} // namespace

extern "C" [[gnu::visibility("default")]] const Quillet3VideoModule* quillet3_video_module()
{
    return &kModule;
}
