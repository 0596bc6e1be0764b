#pragma once

#include "video/video_format.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

namespace q3 {

// The format a file name asks for, by its extension; none for any other name.
[[nodiscard]] std::optional<VideoFormat> videoFormatFor(const QString& path);

struct VideoSettings
{
    VideoFormat format = VideoFormat::Mp4H264;
    QSize size{1280, 960};
    int fps = 30;
    // A frame at every step of the grid, as editors expect; otherwise only where the picture
    // changes.
    bool constantRate = true;
};

// Encodes frames of one size into an MP4 or WebM file, in yuv420p so that every player can show
// it. Frames have times on a grid of 1/fps s and each picture lasts until the next. At a constant
// rate the picture is stored again at every step until the next one: it is converted once, and
// an H.264 stream repeats the frame before in a few bytes of its own, without the encoder; a VP9
// encoder is handed the converted picture again.
// At a variable rate a picture is stored once, however long it stays.
// The same frames give the same bytes: the encoders run with a fixed number of threads and the
// file carries no dates or library versions.
//
// The encoder writes into a file the program has opened (an OutputFile's temporary file, which
// the program places once finish() has succeeded), and leaves it open.
//
// The encoder lives in a module of its own, loaded on the first recording, so that playing the
// show does not load FFmpeg's libraries and every codec they pull in.
class VideoEncoder
{
public:
    virtual ~VideoEncoder() = default;
    VideoEncoder() = default;
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;
    VideoEncoder(VideoEncoder&&) = delete;
    VideoEncoder& operator=(VideoEncoder&&) = delete;

    // The picture from grid step `index` on (later than the last one): an image of the
    // settings' size in QImage::Format_BGR888, which the converter reads fastest.
    [[nodiscard]] virtual bool addFrame(const QImage& image, long long index) = 0;
    // Ends the last picture at grid step `endIndex`, completes the file and gives it its name.
    [[nodiscard]] virtual bool finish(long long endIndex) = 0;

    [[nodiscard]] virtual const std::string& error() const = 0;
    // The errno of a write into the file that failed, or 0 where the failure was another.
    [[nodiscard]] virtual int writeError() const = 0;
    [[nodiscard]] virtual long long framesEncoded() const = 0;
};

// Opens an encoder that writes into `fd`, a new empty file open for writing; nullptr, with the
// reason in `error`, when the module or the encoder cannot be opened.
[[nodiscard]] std::unique_ptr<VideoEncoder> openVideoEncoder(int fd, const VideoSettings& settings,
                                                             std::string& error);

// Where the module may be, in the order tried, for a program in `programDir`: where the package
// installs it, then beside the program (in a build tree).
[[nodiscard]] QStringList videoModuleCandidates(const QString& programDir);

// Loads the module from the first candidate that exists and opens an encoder with it.
[[nodiscard]] std::unique_ptr<VideoEncoder> openVideoEncoderFrom(const QStringList& candidates,
                                                                 int fd,
                                                                 const VideoSettings& settings,
                                                                 std::string& error);

} // namespace q3
