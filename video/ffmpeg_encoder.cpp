#include "app/version.h"
#include "sys/write_all.h"
#include "video/h264_repeat.h"
#include "video/video_format.h"
#include "video/video_module_abi.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <deque>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace q3 {
namespace {

constexpr int kIoBufferBytes = 1 << 16;
// A fixed count, so that the encoders split their work, and so their output, in the same way on
// every machine.
constexpr int kEncoderThreads = 2;
// A key frame every few seconds lets players seek without making the file much larger.
constexpr int kSecondsPerKeyFrame = 5;

std::string describe(int averror)
{
    std::array<char, AV_ERROR_MAX_STRING_SIZE> text{};
    av_strerror(averror, text.data(), text.size());
    return text.data();
}

struct FormatDeleter
{
    void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};
struct CodecDeleter
{
    void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct IoDeleter
{
    void operator()(AVIOContext* io) const
    {
        if (io != nullptr)
            av_freep(static_cast<void*>(&io->buffer));
        avio_context_free(&io);
    }
};
struct FrameDeleter
{
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct PacketDeleter
{
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct ScalerDeleter
{
    void operator()(SwsContext* scaler) const { sws_freeContext(scaler); }
};

// libavformat writes through these straight into the program's file, so that a failed write is
// known by its errno.
#if LIBAVFORMAT_VERSION_MAJOR >= 61
using IoBytes = const std::uint8_t*;
#else
using IoBytes = std::uint8_t*;
#endif

struct FileSink
{
    int fd = -1;
    int error = 0; // the errno of the first failed write or seek
};

int writeToFile(void* opaque, IoBytes bytes, int count)
{
    auto* sink = static_cast<FileSink*>(opaque);
    const std::string_view data(reinterpret_cast<const char*>(bytes),
                                static_cast<std::size_t>(count));
    if (const int error = writeAll(sink->fd, data); error != 0) {
        if (sink->error == 0)
            sink->error = error;
        return AVERROR(error);
    }
    return count;
}

std::int64_t seekInFile(void* opaque, std::int64_t offset, int whence)
{
    auto* sink = static_cast<FileSink*>(opaque);
    if ((whence & AVSEEK_SIZE) != 0) {
        struct stat info = {};
        return ::fstat(sink->fd, &info) == 0 ? info.st_size : AVERROR(errno);
    }
    const off_t at = ::lseek(sink->fd, offset, whence & ~AVSEEK_FORCE);
    if (at < 0) {
        const int error = errno;
        if (sink->error == 0)
            sink->error = error;
        return AVERROR(error);
    }
    return at;
}

// Settings for drawings of flat colours with sharp edges: the "animation" tuning keeps the edges
// clean; a fast preset, since the frames that change mostly change in small places.
AVDictionary* encoderOptions(VideoFormat format, bool constantRate)
{
    AVDictionary* options = nullptr;
    switch (format) {
    case VideoFormat::Mp4H264:
        // At a constant rate most frames repeat the one before, and are written as such
        // without the encoder (video/h264_repeat.h), which needs its frames predicted from the one
        // before alone: one reference frame and no B-frames, and key frames only where they are
        // asked for, every few seconds. As it then sees little more than the frames that change,
        // a slower preset makes the file a quarter smaller for a tenth more time
        // (docs/performance.md).
        av_dict_set(&options, "preset", constantRate ? "veryfast" : "superfast", 0);
        av_dict_set(&options, "tune", "animation", 0);
        av_dict_set(&options, "crf", "20", 0);
        if (constantRate)
            av_dict_set(&options, "x264-params", "bframes=0:ref=1:weightp=0:scenecut=0", 0);
        break;
    case VideoFormat::WebmVp9:
        // The fastest fixed speed: the others take many times as long for a smaller file.
        av_dict_set(&options, "deadline", "realtime", 0);
        av_dict_set(&options, "cpu-used", "8", 0);
        av_dict_set(&options, "crf", "32", 0);
        av_dict_set(&options, "b", "0", 0);
        av_dict_set(&options, "row-mt", "1", 0);
        // Tuned for pictures of flat colours that mostly stand still, which at a constant rate
        // makes a file a quarter smaller in the same time.
        if (constantRate)
            av_dict_set(&options, "tune-content", "screen", 0);
        break;
    }
    return options;
}

using Packet = std::unique_ptr<AVPacket, PacketDeleter>;

// A frame's place in the file: its packet once the encoder has made it, or a repeat of the frame
// before, written by the program.
struct Slot
{
    std::int64_t pts = 0;
    Packet packet;
    bool repeat = false;
    bool made = false; // its packet renumbered, or made, for a stream with repeats
};

// What an open encoder holds: the file it writes, the muxer, the codec, the converter and the
// packets waiting for their durations.
struct EncoderState
{
    FileSink file;
    std::unique_ptr<AVFormatContext, FormatDeleter> format;
    std::unique_ptr<AVIOContext, IoDeleter> io;
    std::unique_ptr<AVCodecContext, CodecDeleter> codec;
    std::unique_ptr<SwsContext, ScalerDeleter> scaler;
    std::unique_ptr<AVFrame, FrameDeleter> frame;
    std::unique_ptr<AVPacket, PacketDeleter> packet;
    AVStream* stream = nullptr;
    std::int64_t lastPts = -1;
    bool constantRate = true;
    long long encoded = 0;
    // A frame lasts until the next one; its packet waits here until that is known.
    std::map<std::int64_t, std::int64_t> durations;
    std::deque<Slot> waiting;
    // Set when repeated frames are written without the encoder; the frames it is handed then
    // hold their places in `waiting` until their packets come.
    std::optional<H264Stream> repeats;
    FrameNumbers frameNumbers;
    // Set after a non-reference frame of the encoder: from then on it is handed every picture.
    bool repeatsStopped = false;
    bool failed = false;
    std::string error;

    bool fail(const std::string& what)
    {
        failed = true;
        if (error.empty())
            error = what;
        return false;
    }

    bool check(int result, const char* what)
    {
        return result >= 0 || fail(std::string(what) + ": " + describe(result));
    }

    // Hands the encoder the frame (or the end of the frames) and writes what comes out.
    bool encode(const AVFrame* input)
    {
        if (failed)
            return false;
        if (!check(avcodec_send_frame(codec.get(), input), "cannot encode a frame"))
            return false;
        for (;;) {
            const int result = avcodec_receive_packet(codec.get(), packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return true;
            if (!check(result, "cannot encode a frame"))
                return false;
            Packet out(av_packet_alloc());
            if (!out)
                return fail("out of memory");
            av_packet_move_ref(out.get(), packet.get());
            // With repeats, a frame handed to the encoder holds its place; the first place still
            // empty is this packet's, as the encoder keeps the order.
            const auto place =
                repeats
                    ? std::find_if(waiting.begin(), waiting.end(),
                                   [](const Slot& slot) { return !slot.repeat && !slot.packet; })
                    : waiting.end();
            if (place == waiting.end())
                waiting.push_back({out->pts, std::move(out)});
            else if (place->pts == out->pts)
                place->packet = std::move(out);
            else
                return fail("frames out of order");
            if (!writeWaiting())
                return false;
        }
    }

    // Hands the encoder the picture in `frame` for grid step `pts`: a key frame every few
    // seconds of the show when repeats are written without it, as it would place them itself.
    bool encodeFrame(std::int64_t pts)
    {
        frame->pts = pts;
        if (repeats) {
            frame->pict_type =
                pts % codec->gop_size == 0 ? AV_PICTURE_TYPE_I : AV_PICTURE_TYPE_NONE;
            waiting.push_back({pts, nullptr});
        }
        return encode(frame.get());
    }

    // The packet a repeat stands for, or the encoder's with its frame renumbered to follow the
    // repeats.
    bool makePacket(Slot& slot)
    {
        std::vector<std::uint8_t> bytes;
        if (slot.repeat)
            bytes = repeatedFrame(*repeats, frameNumbers);
        else
            bytes = renumberedFrame({slot.packet->data, std::size_t(slot.packet->size)}, *repeats,
                                    frameNumbers);
        if (bytes.empty())
            return fail("cannot encode a frame: the encoder made a frame that cannot be repeated");
        repeatsStopped = repeatsStopped || !frameNumbers.lastReference;
        slot.made = true;
        Packet made(av_packet_alloc());
        if (!made || av_new_packet(made.get(), static_cast<int>(bytes.size())) < 0)
            return fail("out of memory");
        std::copy(bytes.begin(), bytes.end(), made->data);
        if (slot.packet)
            av_packet_copy_props(made.get(), slot.packet.get());
        made->pts = made->dts = slot.pts;
        slot.packet = std::move(made);
        return true;
    }

    // Writes the packets, in the order they came, whose frames' durations are known.
    bool writeWaiting()
    {
        while (!waiting.empty()) {
            Slot& slot = waiting.front();
            if (!slot.repeat && !slot.packet)
                return true;
            if (repeats && !slot.made && !makePacket(slot))
                return false;
            const auto duration = durations.find(slot.pts);
            if (duration == durations.end())
                return true;
            std::int64_t length = duration->second;
            if (repeats && !frameNumbers.lastReference && !absorbRepeats(length))
                return true;
            durations.erase(slot.pts);
            AVPacket& next = *slot.packet;
            next.duration = length;
            av_packet_rescale_ts(&next, codec->time_base, stream->time_base);
            next.stream_index = stream->index;
            if (!check(av_interleaved_write_frame(format.get(), &next), "cannot write"))
                return false;
            waiting.pop_front();
        }
        return true;
    }

    // A non-reference frame at the front of `waiting` lasts over the repeats queued after it,
    // which cannot copy it (they copy the reference frame before it): a longer frame, as at a
    // variable rate. False until the run of repeats and its length are known; no repeat is
    // queued after such a frame once it is known.
    bool absorbRepeats(std::int64_t& length)
    {
        std::size_t end = 1;
        std::int64_t total = length;
        for (; end < waiting.size() && waiting[end].repeat; ++end) {
            const auto more = durations.find(waiting[end].pts);
            if (more == durations.end())
                return false;
            total += more->second;
        }
        for (std::size_t i = 1; i < end; ++i)
            durations.erase(waiting[i].pts);
        waiting.erase(waiting.begin() + 1, waiting.begin() + std::ptrdiff_t(end));
        length = total;
        return true;
    }

    // The frame before lasts until `pts`.
    bool endPrevious(std::int64_t pts)
    {
        if (lastPts < 0)
            return true;
        durations[lastPts] = pts - lastPts;
        return writeWaiting();
    }

    // At a constant rate, the picture in `frame` again at every grid step before `pts`.
    bool repeatUntil(std::int64_t pts)
    {
        while (constantRate && lastPts >= 0 && lastPts + 1 < pts) {
            if (!endPrevious(lastPts + 1))
                return false;
            ++lastPts;
            ++encoded;
            if (repeats && !repeatsStopped && lastPts % codec->gop_size != 0)
                waiting.push_back({lastPts, nullptr, true});
            else if (!encodeFrame(lastPts))
                return false;
        }
        return true;
    }
};

// The container, written through the program's file, and the encoder named for the format.
bool openMuxer(EncoderState& p, const VideoFormatRow& names)
{
    AVFormatContext* format = nullptr;
    if (!p.check(avformat_alloc_output_context2(&format, nullptr, names.muxer, nullptr),
                 "cannot start the file"))
        return false;
    p.format.reset(format);
    // No library versions or creation dates in the file: the same frames give the same bytes.
    p.format->flags |= AVFMT_FLAG_BITEXACT;
    p.codec.reset(avcodec_alloc_context3(avcodec_find_encoder_by_name(names.encoder)));
    p.frame.reset(av_frame_alloc());
    p.packet.reset(av_packet_alloc());
    return (p.codec && p.frame && p.packet) || p.fail("out of memory");
}

// The encoder's size, rate and colours, and its settings for the format.
bool openCodec(EncoderState& p, const Quillet3VideoSettings& settings)
{
    AVCodecContext& c = *p.codec;
    c.width = settings.width;
    c.height = settings.height;
    c.time_base = {1, settings.fps};
    c.framerate = {settings.fps, 1};
    c.pix_fmt = AV_PIX_FMT_YUV420P;
    c.gop_size = settings.fps * kSecondsPerKeyFrame;
    c.thread_count = kEncoderThreads;
    c.flags |= AV_CODEC_FLAG_BITEXACT;
    // The pictures are sRGB; say how they were turned into YUV so that players turn them back.
    c.color_range = AVCOL_RANGE_MPEG;
    c.colorspace = AVCOL_SPC_BT709;
    c.color_primaries = AVCOL_PRI_BT709;
    c.color_trc = AVCOL_TRC_BT709;
    if ((p.format->oformat->flags & AVFMT_GLOBALHEADER) != 0)
        c.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* options =
        encoderOptions(static_cast<VideoFormat>(settings.format), settings.constantRate != 0);
    const int opened = avcodec_open2(&c, c.codec, &options);
    av_dict_free(&options);
    if (!p.check(opened, "cannot start the encoder"))
        return false;
    if (settings.constantRate != 0 &&
        static_cast<VideoFormat>(settings.format) == VideoFormat::Mp4H264)
        p.repeats = readH264Stream({c.extradata, std::size_t(std::max(c.extradata_size, 0))});
    return true;
}

// The frame the pictures are converted into, and the converter.
bool openConversion(EncoderState& p)
{
    const AVCodecContext& c = *p.codec;
    p.frame->format = c.pix_fmt;
    p.frame->width = c.width;
    p.frame->height = c.height;
    p.frame->color_range = c.color_range;
    p.frame->colorspace = c.colorspace;
    p.frame->color_primaries = c.color_primaries;
    p.frame->color_trc = c.color_trc;
    if (!p.check(av_frame_get_buffer(p.frame.get(), 0), "cannot allocate a frame"))
        return false;
    p.scaler.reset(sws_getContext(c.width, c.height, AV_PIX_FMT_BGR24, c.width, c.height,
                                  AV_PIX_FMT_YUV420P, SWS_BILINEAR, nullptr, nullptr, nullptr));
    if (!p.scaler)
        return p.fail("cannot convert frames to YUV");
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    // Full-range RGB in, limited-range YUV out, with the BT.709 matrix the stream is tagged with.
    sws_setColorspaceDetails(p.scaler.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);
    return true;
}

// The stream in the container, and the file it is written into.
bool openStream(EncoderState& p, int fd)
{
    p.stream = avformat_new_stream(p.format.get(), nullptr);
    if (p.stream == nullptr)
        return p.fail("out of memory");
    p.stream->time_base = p.codec->time_base;
    p.stream->avg_frame_rate = p.codec->framerate;
    if (!p.check(avcodec_parameters_from_context(p.stream->codecpar, p.codec.get()),
                 "cannot describe the stream"))
        return false;
    p.file.fd = fd;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBufferBytes));
    if (buffer == nullptr)
        return p.fail("out of memory");
    p.io.reset(
        avio_alloc_context(buffer, kIoBufferBytes, 1, &p.file, nullptr, writeToFile, seekInFile));
    if (!p.io) {
        av_free(buffer);
        return p.fail("out of memory");
    }
    p.format->pb = p.io.get();
    // The start of the file is written with the first frame, where a failed write is reported
    // like any other.
    return true;
}

std::unique_ptr<EncoderState> openEncoder(int fd, const Quillet3VideoSettings& settings,
                                          std::string& error)
{
    // The libraries' own notes would only interleave with the progress; failures are reported
    // by us, in one line.
    av_log_set_level(AV_LOG_QUIET);

    const VideoFormatRow* names = videoFormatRow(static_cast<VideoFormat>(settings.format));
    if (names == nullptr) {
        error = "an unknown video format";
        return nullptr;
    }
    if (avcodec_find_encoder_by_name(names->encoder) == nullptr) {
        error = std::string("this FFmpeg has no ") + names->encoder + " encoder";
        return nullptr;
    }
    auto p = std::make_unique<EncoderState>();
    p->constantRate = settings.constantRate != 0;
    if (!openMuxer(*p, *names) || !openCodec(*p, settings) || !openConversion(*p) ||
        !openStream(*p, fd)) {
        error = p->error;
        return nullptr;
    }
    return p;
}

// The picture from grid step `index` on, in three bytes a pixel (blue, green, red).
bool addFrame(EncoderState& p, const std::uint8_t* pixels, int width, int height,
              std::ptrdiff_t stride, long long index)
{
    if (p.failed)
        return false;
    if (width != p.codec->width || height != p.codec->height || stride < 3LL * width ||
        stride > std::numeric_limits<int>::max())
        return p.fail("a frame of the wrong size or format");
    if (index <= p.lastPts)
        return p.fail("frames out of order");
    if (p.lastPts < 0 && !p.check(avformat_write_header(p.format.get(), nullptr),
                                  "cannot write the start of the file"))
        return false;
    if (!p.repeatUntil(index) || !p.endPrevious(index))
        return false;
    // The encoder may still hold the previous picture.
    if (!p.check(av_frame_make_writable(p.frame.get()), "cannot allocate a frame"))
        return false;
    const std::array<const std::uint8_t*, 1> planes{pixels};
    const std::array<int, 1> strides{static_cast<int>(stride)};
    sws_scale(p.scaler.get(), planes.data(), strides.data(), 0, height, p.frame->data,
              p.frame->linesize);
    p.lastPts = index;
    ++p.encoded;
    return p.encodeFrame(index);
}

bool finish(EncoderState& p, long long endIndex)
{
    if (p.failed)
        return false;
    if (p.lastPts < 0 || endIndex <= p.lastPts)
        return p.fail("no frame before the end");
    if (!p.repeatUntil(endIndex) || !p.endPrevious(endIndex) || !p.encode(nullptr) ||
        !p.writeWaiting())
        return false;
    if (!p.waiting.empty())
        return p.fail("a frame without its time");
    if (!p.check(av_write_trailer(p.format.get()), "cannot complete the file"))
        return false;
    avio_flush(p.io.get());
    return p.check(p.io->error, "cannot write");
}

// Into the caller's buffer, cut to fit and terminated.
void copyText(const std::string& text, char* buffer, std::size_t bytes)
{
    if (buffer != nullptr && bytes > 0)
        buffer[text.copy(buffer, bytes - 1)] = '\0';
}

} // namespace
} // namespace q3

// What the program holds: the encoder's state behind the address of this.
struct Quillet3VideoEncoder
{
    // Not moved once open: the file's writer holds its address.
    std::unique_ptr<q3::EncoderState> state;
};

namespace {

Quillet3VideoEncoder* openModuleEncoder(int fd, const Quillet3VideoSettings* settings, char* error,
                                        std::size_t errorBytes)
{
    std::string why;
    std::unique_ptr<q3::EncoderState> state = q3::openEncoder(fd, *settings, why);
    if (!state) {
        q3::copyText(why, error, errorBytes);
        return nullptr;
    }
    return new Quillet3VideoEncoder{std::move(state)};
}

const Quillet3VideoModule kModule{
    .tableSize = sizeof(Quillet3VideoModule),
    .interfaceTag = q3::kVideoModuleInterfaceTag,
    .version = q3::kVersion.data(),
    .open = openModuleEncoder,
    .addFrame = [](Quillet3VideoEncoder* encoder, const std::uint8_t* pixels, int width, int height,
                   std::ptrdiff_t stride, long long index) -> int {
        return q3::addFrame(*encoder->state, pixels, width, height, stride, index) ? 1 : 0;
    },
    .finish = [](Quillet3VideoEncoder* encoder, long long endIndex) -> int {
        return q3::finish(*encoder->state, endIndex) ? 1 : 0;
    },
    .error = [](const Quillet3VideoEncoder* encoder, char* error,
                std::size_t errorBytes) { q3::copyText(encoder->state->error, error, errorBytes); },
    .writeError = [](const Quillet3VideoEncoder* encoder) { return encoder->state->file.error; },
    .framesEncoded = [](const Quillet3VideoEncoder* encoder) { return encoder->state->encoded; },
    .close = [](Quillet3VideoEncoder* encoder) { delete encoder; },
};

} // namespace

extern "C" {

[[gnu::visibility("default")]] const Quillet3VideoModule* quillet3_video_module()
{
    return &kModule;
}

} // extern "C"
