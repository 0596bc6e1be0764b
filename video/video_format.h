#pragma once

// The formats a recording can have, each in one row: the file name's extension, the codec as the
// user knows it, and FFmpeg's names for the encoder and the container. Plain C++ without Qt, so
// that the program and the video module read the same rows.

#include <algorithm>
#include <array>
#include <cctype>
#include <optional>
#include <string>
#include <string_view>

namespace q3 {

enum class VideoFormat
{
    Mp4H264,
    WebmVp9,
};

struct VideoFormatRow
{
    VideoFormat format;
    std::string_view extension; // with its dot; any case in a file name
    std::string_view codec;     // as the user knows it
    const char* encoder;        // FFmpeg's encoder
    const char* muxer;          // FFmpeg's container
};

inline constexpr std::array<VideoFormatRow, 2> kVideoFormats{{
    {VideoFormat::Mp4H264, ".mp4", "H.264", "libx264", "mp4"},
    {VideoFormat::WebmVp9, ".webm", "VP9", "libvpx-vp9", "webm"},
}};

// The row of a format; none for a number that names none, as one from another build might.
[[nodiscard]] constexpr const VideoFormatRow* videoFormatRow(VideoFormat format)
{
    for (const VideoFormatRow& row : kVideoFormats)
        if (row.format == format)
            return &row;
    return nullptr;
}

// The format a file name asks for by its extension; none for any other name.
[[nodiscard]] inline std::optional<VideoFormat> videoFormatOfName(std::string_view name)
{
    const auto sameLetter = [](char a, char b) {
        return std::tolower(static_cast<unsigned char>(a)) ==
               std::tolower(static_cast<unsigned char>(b));
    };
    for (const VideoFormatRow& row : kVideoFormats)
        if (name.size() >= row.extension.size() &&
            std::equal(row.extension.begin(), row.extension.end(),
                       name.end() - static_cast<std::ptrdiff_t>(row.extension.size()), sameLetter))
            return row.format;
    return std::nullopt;
}

// The formats for the user: "STEM.mp4 (H.264) or STEM.webm (VP9)".
[[nodiscard]] inline std::string videoFormatChoices(std::string_view stem)
{
    std::string text;
    for (const VideoFormatRow& row : kVideoFormats) {
        if (!text.empty())
            text += &row == &kVideoFormats.back() ? " or " : ", ";
        text +=
            std::string(stem) + std::string(row.extension) + " (" + std::string(row.codec) + ")";
    }
    return text;
}

} // namespace q3
