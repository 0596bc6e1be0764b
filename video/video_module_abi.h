#pragma once

// The video module's interface: a table of functions that take and give plain C types only, so
// that the program and a module built apart from it agree on every byte that crosses between
// them. The program calls nothing in a module whose table has another size, another interface tag
// or another version (app/video_module.cpp). The tag is a hash of this file, made by CMake when it
// configures the build (app/version.h): any change here changes it.

#include <cstddef>
#include <cstdint>
#include <type_traits>

extern "C" {

// An open encoder, known to the program only by its address.
struct Quillet3VideoEncoder;

struct Quillet3VideoSettings
{
    int format; // a q3::VideoFormat
    int width;
    int height;
    int fps;
    int constantRate; // 1: a frame at every step of the grid; 0: only where the picture changes
};

// The first three fields never move, so that the check can read them from any module.
struct Quillet3VideoModule
{
    std::size_t tableSize;      // sizeof(Quillet3VideoModule) where the module was built
    std::uint32_t interfaceTag; // the tag of this file where the module was built
    const char* version;        // the project's version where the module was built

    // A new encoder writing into `fd`, or null with the reason in `error`. Every text is copied
    // into a buffer of `errorBytes` bytes that the caller owns, cut to fit and terminated.
    Quillet3VideoEncoder* (*open)(int fd, const Quillet3VideoSettings* settings, char* error,
                                  std::size_t errorBytes);
    // The picture from grid step `index` on: `width` x `height` pixels of three bytes (blue,
    // green, red), rows `stride` bytes apart. 1 where it was taken, 0 after a failure.
    int (*addFrame)(Quillet3VideoEncoder* encoder, const std::uint8_t* pixels, int width,
                    int height, std::ptrdiff_t stride, long long index);
    // Ends the last picture at grid step `endIndex` and completes the file. 1 or 0 as above.
    int (*finish)(Quillet3VideoEncoder* encoder, long long endIndex);
    // The reason for the first failure; empty while there is none.
    void (*error)(const Quillet3VideoEncoder* encoder, char* error, std::size_t errorBytes);
    // The errno of a write into the file that failed, or 0 where the failure was another.
    int (*writeError)(const Quillet3VideoEncoder* encoder);
    long long (*framesEncoded)(const Quillet3VideoEncoder* encoder);
    void (*close)(Quillet3VideoEncoder* encoder);
};

} // extern "C"

static_assert(std::is_standard_layout_v<Quillet3VideoModule> &&
              std::is_trivially_copyable_v<Quillet3VideoModule>);
static_assert(std::is_standard_layout_v<Quillet3VideoSettings> &&
              std::is_trivially_copyable_v<Quillet3VideoSettings>);

namespace q3 {

// The one function the module exports, and what it returns.
inline constexpr const char* kVideoModuleEntry = "quillet3_video_module";
using VideoModuleEntry = const Quillet3VideoModule* (*)();
// Long enough for any reason the module gives.
inline constexpr std::size_t kVideoModuleErrorBytes = 1024;

} // namespace q3
