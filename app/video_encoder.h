#pragma once

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>
#include <string>

namespace q3 {

enum class VideoFormat
{
    Mp4H264,
    WebmVp9,
};

// The format a file name asks for, by its extension; none for any other name.
[[nodiscard]] std::optional<VideoFormat> videoFormatFor(const QString& path);

struct VideoSettings
{
    VideoFormat format = VideoFormat::Mp4H264;
    QSize size{1280, 960};
    int fps = 30;
};

// Encodes frames of one size into an MP4 or WebM file, in yuv420p so that every player can show
// it. Frames have times on a grid of 1/fps s and each lasts until the next: a picture that does
// not change is stored once, however long it stays, so a still scene costs nothing to encode.
// The same frames give the same bytes: the encoders run with a fixed number of threads and the
// file carries no dates or library versions.
//
// The file is written beside the destination under a temporary name and takes the destination's
// name only when finish() succeeds; an encoder destroyed before that removes what it wrote.
class VideoEncoder
{
public:
    // Nullptr, with the reason in `error`, when the file or the encoder cannot be opened.
    [[nodiscard]] static std::unique_ptr<VideoEncoder>
    open(const QString& path, const VideoSettings& settings, std::string& error);
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // The picture from grid step `index` on (later than the last one): an image of the
    // settings' size in QImage::Format_BGR888, which the converter reads fastest.
    [[nodiscard]] bool addFrame(const QImage& image, long long index);
    // Ends the last picture at grid step `endIndex`, completes the file and gives it its name.
    [[nodiscard]] bool finish(long long endIndex);

    [[nodiscard]] const std::string& error() const;
    [[nodiscard]] long long framesEncoded() const;

    struct Parts;
    // Through open() only: Parts is what it prepared.
    explicit VideoEncoder(std::unique_ptr<Parts> parts);

private:
    std::unique_ptr<Parts> parts_;
};

} // namespace q3
