#pragma once

#include "video/video_format.h"
#include "video/video_module_abi.h"

#include <QImage>
#include <QSize>
#include <QString>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
// The encoder lives in a module of its own, loaded only to record, so that playing the show does
// not load FFmpeg's libraries and every codec they pull in.
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

// The video module, loaded and checked: its table of functions, which stays valid as long as
// the program runs.
struct VideoModule
{
    const Quillet3VideoModule* table = nullptr;
};

// The folders the module is looked for in, in the order tried, fixed when the program is built:
// its build folder, for the program the build made when it runs from there (`program` is the
// running program's file, as the kernel names it), then the folders it is installed in. Never
// a folder found from where the program or the user happens to be.
[[nodiscard]] std::vector<std::string> videoModuleFolders(const std::string& program);
// The same for the running program.
[[nodiscard]] std::vector<std::string> videoModuleFolders();

// Loads the module from the first of `folders` that holds one that can be trusted (see
// untrustedReason) and was built with this interface and this version; a module that fails in
// one folder does not stop the search. Nothing, with the reason in `error` (the first folder's
// fault, or that no folder has the module), when none does. A module is looked at before it is
// loaded: no code of an untrusted one runs.
[[nodiscard]] std::optional<VideoModule> loadVideoModule(const std::vector<std::string>& folders,
                                                         std::string& error);

// Opens an encoder of `module` that writes into `fd`, a new empty file open for writing; nullptr,
// with the reason in `error`, when the encoder cannot be opened.
[[nodiscard]] std::unique_ptr<VideoEncoder> openVideoEncoder(const VideoModule& module, int fd,
                                                             const VideoSettings& settings,
                                                             std::string& error);

} // namespace q3
