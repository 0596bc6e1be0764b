// Recordings, run as a user runs them and decoded again with FFmpeg's libraries.
#include "app/options.h"
#include "app/progress.h"
#include "render/compositor.h"
#include "tests/program_run.h"

#include <QByteArray>
#include <QColor>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPointF>
#include <QProcess>
#include <QProcessEnvironment>
#include <QSize>
#include <QTemporaryDir>
#include <algorithm>
#include <array>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <set>
#include <signal.h>
#include <sstream>
#include <string>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/bsf.h>
#include <libavformat/avformat.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace {

using q3::test::args;
using q3::test::Outcome;
using q3::test::runProgram;
using q3::test::runShell;

QStringList entries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
}

// A decoded frame and the time, in ms, from which it is on screen; its picture only where it was
// asked for.
struct Frame
{
    double atMs = 0;
    QImage image;
};

struct Video
{
    std::string codec;
    std::string pixelFormat;
    int width = 0; // as the stream's header gives it
    int height = 0;
    double durationMs = 0;
    double fps = 0;
    std::vector<Frame> frames;
    int errors = 0; // packets the decoder refused and frames it had to patch up

    // The frame on screen at `ms`.
    [[nodiscard]] const QImage& at(double ms) const
    {
        const Frame* shown = &frames.front();
        for (const Frame& f : frames)
            if (f.atMs <= ms + 0.5)
                shown = &f;
        return shown->image;
    }
};

// Reads the whole file back: every frame's time, and the pictures of the frames `keep` asks for
// by number, converted to RGB with the BT.709 matrix the recording is tagged with.
Video decode(
    const QString& path,
    const std::function<bool(std::size_t)>& keep = [](std::size_t) { return true; })
{
    Video video;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return video;
    const std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> closeFormat(
        &format, avformat_close_input);
    avformat_find_stream_info(format, nullptr);
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (index < 0)
        return video;
    const AVStream* stream = format->streams[index];
    const AVCodec* decoder = avcodec_find_decoder(stream->codecpar->codec_id);
    AVCodecContext* codec = avcodec_alloc_context3(decoder);
    const std::unique_ptr<AVCodecContext*, void (*)(AVCodecContext**)> freeCodec(
        &codec, avcodec_free_context);
    avcodec_parameters_to_context(codec, stream->codecpar);
    codec->thread_count = 1;
    // A damaged frame is an error, not a picture the decoder mends by copying the one before.
    codec->err_recognition |= AV_EF_EXPLODE;
    if (avcodec_open2(codec, decoder, nullptr) < 0)
        return video;
    video.codec = decoder->name;
    video.pixelFormat = av_get_pix_fmt_name(static_cast<AVPixelFormat>(stream->codecpar->format));
    video.width = stream->codecpar->width;
    video.height = stream->codecpar->height;
    video.durationMs = double(format->duration) * 1000.0 / AV_TIME_BASE;
    video.fps = av_q2d(stream->r_frame_rate);

    AVPacket* packet = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* scaler = nullptr;
    const auto take = [&] {
        while (avcodec_receive_frame(codec, frame) == 0) {
            if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT) != 0)
                ++video.errors;
            const double ms =
                double(frame->best_effort_timestamp) * av_q2d(stream->time_base) * 1000.0;
            if (!keep(video.frames.size())) {
                video.frames.push_back({ms, QImage()});
                continue;
            }
            QImage image(frame->width, frame->height, QImage::Format_RGB32);
            scaler = sws_getCachedContext(scaler, frame->width, frame->height,
                                          static_cast<AVPixelFormat>(frame->format), frame->width,
                                          frame->height, AV_PIX_FMT_BGRA, SWS_BILINEAR, nullptr,
                                          nullptr, nullptr);
            const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
            sws_setColorspaceDetails(scaler, bt709, 0, bt709, 1, 0, 1 << 16, 1 << 16);
            std::array<std::uint8_t*, 1> planes{image.bits()};
            std::array<int, 1> strides{static_cast<int>(image.bytesPerLine())};
            sws_scale(scaler, frame->data, frame->linesize, 0, frame->height, planes.data(),
                      strides.data());
            video.frames.push_back({ms, image});
        }
    };
    while (av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index && avcodec_send_packet(codec, packet) < 0)
            ++video.errors;
        av_packet_unref(packet);
        take();
    }
    avcodec_send_packet(codec, nullptr);
    take();
    sws_freeContext(scaler);
    av_frame_free(&frame);
    av_packet_free(&packet);
    return video;
}

// The H.264 header fields of a file, in order, as FFmpeg's bitstream tracer reads them.
std::vector<std::pair<std::string, long long>> h264Fields(const QString& path)
{
    static std::vector<std::pair<std::string, long long>>* fields = nullptr;
    std::vector<std::pair<std::string, long long>> read;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return read;
    const std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> closeFormat(
        &format, avformat_close_input);
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVBSFContext* tracer = nullptr;
    if (index < 0 || av_bsf_alloc(av_bsf_get_by_name("trace_headers"), &tracer) < 0)
        return read;
    const std::unique_ptr<AVBSFContext*, void (*)(AVBSFContext**)> freeTracer(&tracer, av_bsf_free);
    avcodec_parameters_copy(tracer->par_in, format->streams[index]->codecpar);
    // Each field is one line of the library's log: "position name bits = value".
    fields = &read;
    const int level = av_log_get_level();
    av_log_set_level(AV_LOG_INFO);
    av_log_set_callback([](void*, int lineLevel, const char* text, va_list list) {
        std::array<char, 512> line{};
        std::vsnprintf(line.data(), line.size(), text, list);
        std::istringstream in(line.data());
        std::string position, name, bits, equals;
        long long value = 0;
        if (lineLevel <= AV_LOG_INFO && in >> position >> name >> bits >> equals >> value &&
            equals == "=")
            fields->emplace_back(name, value);
    });
    AVPacket* packet = av_packet_alloc();
    if (av_bsf_init(tracer) >= 0) {
        while (av_read_frame(format, packet) >= 0) {
            if (packet->stream_index == index && av_bsf_send_packet(tracer, packet) >= 0)
                while (av_bsf_receive_packet(tracer, packet) == 0)
                    av_packet_unref(packet);
            av_packet_unref(packet);
        }
    }
    av_packet_free(&packet);
    av_log_set_callback(av_log_default_callback);
    av_log_set_level(level);
    fields = nullptr;
    return read;
}

// Slices whose frame_num is not the one after the last reference frame's (0 at a key frame), as
// a stream without gaps in its frame numbers must have; -1 if there were none.
int misnumberedSlices(const QString& path)
{
    int wrong = 0;
    int slices = 0;
    int frameNums = 16;
    int previous = 0;
    bool reference = false;
    long long type = 0;
    for (const auto& [name, value] : h264Fields(path)) {
        if (name == "log2_max_frame_num_minus4")
            frameNums = 1 << (value + 4);
        else if (name == "nal_ref_idc")
            reference = value != 0;
        else if (name == "nal_unit_type")
            type = value;
        else if (name == "frame_num") {
            ++slices;
            const int expected = type == 5 ? 0 : (previous + 1) % frameNums;
            wrong += value == expected ? 0 : 1;
            if (reference)
                previous = expected;
        }
    }
    return slices == 0 ? -1 : wrong;
}

// The size in bytes of every packet of a file's video stream, in the file's order.
std::vector<int> packetSizes(const QString& path)
{
    std::vector<int> sizes;
    AVFormatContext* format = nullptr;
    if (avformat_open_input(&format, path.toUtf8().constData(), nullptr, nullptr) < 0)
        return sizes;
    const std::unique_ptr<AVFormatContext*, void (*)(AVFormatContext**)> closeFormat(
        &format, avformat_close_input);
    const int index = av_find_best_stream(format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    AVPacket* packet = av_packet_alloc();
    while (index >= 0 && av_read_frame(format, packet) >= 0) {
        if (packet->stream_index == index)
            sizes.push_back(packet->size);
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return sizes;
}

// Colours averaged over blocks of 8 x 8 pixels in `area`, so that the loss of the encoding and
// the halved colour resolution do not count, but a wrong picture does.
int blocksDiffering(const QImage& a, const QImage& b, int tolerance, QRect area)
{
    int differing = 0;
    for (int by = area.top(); by + 8 <= area.bottom() + 1; by += 8) {
        for (int bx = area.left(); bx + 8 <= area.right() + 1; bx += 8) {
            std::array<int, 6> sum{};
            for (int y = by; y < by + 8; ++y) {
                for (int x = bx; x < bx + 8; ++x) {
                    const QRgb p = a.pixel(x, y);
                    const QRgb q = b.pixel(x, y);
                    sum[0] += qRed(p);
                    sum[1] += qGreen(p);
                    sum[2] += qBlue(p);
                    sum[3] += qRed(q);
                    sum[4] += qGreen(q);
                    sum[5] += qBlue(q);
                }
            }
            for (int c = 0; c < 3; ++c) {
                if (std::abs(sum[c] - sum[c + 3]) / 64 > tolerance) {
                    ++differing;
                    break;
                }
            }
        }
    }
    return differing;
}

class Recording : public testing::Test
{
protected:
    QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir dir;
};

// A recording at the default constant rate and one at a variable rate.
struct RateCase
{
    const char* name;
    const char* file;
    bool variable;
    double gridToleranceMs; // WebM stores times in whole milliseconds
};

class RecordingRate : public testing::TestWithParam<RateCase>
{
protected:
    QTemporaryDir dir;
};

TEST_P(RecordingRate, HasTheDurationAndFramesOnTheGridOfTheRate)
{
    const RateCase& rate = GetParam();
    const QString path = dir.filePath(QString::fromUtf8(rate.file));
    QStringList arguments = args({"--record"}) << path
                                               << args({"--duration", "7000", "--size", "160x120",
                                                        "--seed", "5", "--quiet"});
    if (rate.variable)
        arguments << QStringLiteral("--variable-frame-rate");
    const Outcome outcome = runProgram(arguments);
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.isEmpty()) << outcome.err.toStdString();
    const Video video = decode(path);
    EXPECT_EQ(video.codec, path.endsWith(QStringLiteral(".mp4")) ? "h264" : "vp9");
    EXPECT_EQ(video.pixelFormat, "yuv420p");
    EXPECT_EQ(video.errors, 0);
    if (video.codec == "h264") {
        EXPECT_EQ(misnumberedSlices(path), 0);
    }
    EXPECT_NEAR(video.durationMs, 7000, 1);
    ASSERT_FALSE(video.frames.empty());
    EXPECT_EQ(video.frames.front().atMs, 0);
    EXPECT_EQ(video.frames.front().image.size(), QSize(160, 120));
    for (std::size_t i = 1; i < video.frames.size(); ++i) {
        const double step = video.frames[i].atMs * 30 / 1000;
        EXPECT_NEAR(step, std::round(step), rate.gridToleranceMs * 30 / 1000)
            << "frame " << i << " is off the 30 fps grid";
        EXPECT_GT(video.frames[i].atMs, video.frames[i - 1].atMs);
    }
    if (rate.variable) {
        // The note until the first cue at 3000 ms, then the cues at 3000 and 6000: a still
        // picture is stored once, however long it stays.
        EXPECT_GE(video.frames.size(), 3U);
        EXPECT_LT(video.frames.size(), 30U);
    } else {
        // Every step of the grid, as editors count frames: frame n is on screen from n / 30 s.
        EXPECT_EQ(video.fps, 30);
        ASSERT_EQ(video.frames.size(), 210U);
        for (std::size_t i = 0; i < video.frames.size(); ++i)
            EXPECT_NEAR(video.frames[i].atMs, double(i) * 1000 / 30, rate.gridToleranceMs) << i;
        // The yellow title card from 6000 ms.
        const QRgb middle = video.at(6500).pixel(80, 80);
        EXPECT_GT(qRed(middle), 200);
        EXPECT_GT(qGreen(middle), 200);
        EXPECT_LT(qBlue(middle), 60);
    }
}

const RateCase kRates[] = {
    {"ConstantMp4", "show.mp4", false, 1e-6},
    {"ConstantWebm", "show.webm", false, 0.5},
    {"VariableMp4", "show.mp4", true, 1e-6},
};

INSTANTIATE_TEST_SUITE_P(Rate, RecordingRate, testing::ValuesIn(kRates),
                         [](const testing::TestParamInfo<RateCase>& param) {
                             return std::string(param.param.name);
                         });

// At a constant rate most frames of the show repeat the one before, and are stored as such in a
// few bytes: a frame the encoder made, of skipped blocks alone, takes several times more.
TEST_F(Recording, MostFramesOfTheWholeShowAreTinyRepeats)
{
    const QString path = file("show.mp4");
    const Outcome outcome = runProgram(
        args({"--record"}) << path << args({"--size", "640x480", "--seed", "2", "--quiet"}));
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const std::vector<int> sizes = packetSizes(path);
    ASSERT_EQ(sizes.size(), 2670U);
    // 1200 blocks, each a skip: a made frame is its slice header and some 2 bits a block at
    // most.
    const auto tiny = std::count_if(sizes.begin(), sizes.end(), [](int size) { return size < 48; });
    EXPECT_GT(tiny, 2670 * 3 / 4) << "frames of fewer than 48 bytes";
}

TEST_F(Recording, FrameLoopsAreTenFramesOfOneHundredMs)
{
    const QString path = file("loop.mp4");
    const Outcome outcome =
        runProgram(args({"--record"}) << path
                                      << args({"--duration", "19500", "--size", "160x120", "--seed",
                                               "5", "--quiet", "--variable-frame-rate"}));
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const Video video = decode(path);
    // Cue 5 at 18000 ms shows a frame every 100 ms.
    std::vector<double> times;
    for (const Frame& f : video.frames)
        if (f.atMs >= 18000 && f.atMs < 19000)
            times.push_back(f.atMs);
    std::vector<double> expected;
    for (int i = 0; i < 10; ++i)
        expected.push_back(18000 + 100.0 * i);
    // A frame that looks like the one before it is not stored again.
    for (const double t : times)
        EXPECT_NEAR(std::fmod(t - 18000, 100), 0, 1e-6) << t;
    EXPECT_GE(times.size(), 5U);
    EXPECT_LE(times.size(), expected.size());
}

TEST_F(Recording, FramesAreTheScreenshotsOfTheSameTimes)
{
    const QString path = file("show.mp4");
    const QStringList common = args({"--size", "320x240", "--seed", "9"});
    const Outcome recorded = runProgram(args({"--record"}) << path << common << "--quiet");
    ASSERT_EQ(recorded.status, 0) << recorded.err.toStdString();
    struct Moment
    {
        const char* what;
        int ms;
    };
    // The countdown's screen is black at 57510 ms and white from 57600.
    const Moment moments[] = {{"title card", 7500},
                              {"night and moon", 19250},
                              {"countdown black", 57510},
                              {"concert", 70500},
                              {"end card", 87000}};
    QStringList shots = common;
    for (const Moment& m : moments)
        shots << QStringLiteral("--screenshot")
              << QStringLiteral("%1:%2").arg(m.ms).arg(file(m.what).append(QStringLiteral(".png")));
    const Outcome shot = runProgram(shots);
    ASSERT_EQ(shot.status, 0) << shot.err.toStdString();

    // The pictures of the moments' frames alone: the whole show's would take most of a gigabyte.
    std::set<std::size_t> wanted;
    for (const Moment& m : moments)
        wanted.insert(static_cast<std::size_t>(m.ms * 30 / 1000));
    const Video video = decode(path, [&](std::size_t number) { return wanted.count(number) > 0; });
    ASSERT_FALSE(video.frames.empty());
    EXPECT_EQ(video.errors, 0);
    EXPECT_NEAR(video.durationMs, 89000, 1) << "the last cue at 84000 ms, then 5000 ms";
    EXPECT_EQ(video.frames.size(), 2670U) << "30 frames a second for 89 s";
    // The middle of the picture, where the labels change. Its rows of marquee bulbs, 8 pixels
    // with hard one-pixel outlines at this size, are what the encoder blurs most: a frame at the
    // right time still differs from the screenshot in a dozen or so blocks there.
    const QRect middle(64, 0, 192, 240);
    for (const Moment& m : moments) {
        const QImage expected = QImage(file(m.what).append(QStringLiteral(".png")))
                                    .convertToFormat(QImage::Format_RGB32);
        const QImage& frame = video.at(m.ms);
        ASSERT_EQ(frame.size(), expected.size()) << m.what;
        EXPECT_LE(blocksDiffering(frame, expected, 24, middle), 16) << m.what;
        // Found by its number too, as editors and frame-accurate tools find it.
        const auto number = static_cast<std::size_t>(m.ms * 30 / 1000);
        ASSERT_LT(number, video.frames.size()) << m.what;
        EXPECT_LE(blocksDiffering(video.frames[number].image, expected, 24, middle), 16) << m.what;
    }
    // And a frame is not just any frame: the title card is not the end card.
    EXPECT_GT(blocksDiffering(video.at(7500), video.at(87000), 24, middle), 100);
}

// --start 60000 --duration 70000 records those 10 s: frames numbered from the clip's 0 that are
// the screenshots of the show's times, and captions timed from the clip's start.
TEST_F(Recording, AClipFromItsStartIsThoseSecondsOfTheShow)
{
    const QString path = file("clip.mp4");
    const QString subtitles = file("clip.vtt");
    const QStringList common = args({"--size", "320x240", "--seed", "9"});
    const Outcome recorded = runProgram(
        args({"--record"}) << path << QStringLiteral("--subtitles") << subtitles << common
                           << args({"--start", "60000", "--duration", "70000"}));
    ASSERT_EQ(recorded.status, 0) << recorded.err.toStdString();
    EXPECT_TRUE(recorded.err.contains(QStringLiteral("recorded 100% (10.0 of 10.0 s")))
        << recorded.err.toStdString();
    const int moments[] = {60000, 65000, 69990};
    QStringList shots = common;
    for (const int ms : moments)
        shots << QStringLiteral("--screenshot")
              << QStringLiteral("%1:%2").arg(ms).arg(file("at").append(QString::number(ms)) +
                                                     QStringLiteral(".png"));
    const Outcome shot = runProgram(shots);
    ASSERT_EQ(shot.status, 0) << shot.err.toStdString();

    const auto numberOf = [](int ms) { return static_cast<std::size_t>((ms - 60000) * 30 / 1000); };
    const Video video = decode(path, [&](std::size_t number) {
        return std::any_of(std::begin(moments), std::end(moments),
                           [&](int ms) { return numberOf(ms) == number; });
    });
    EXPECT_EQ(video.errors, 0);
    EXPECT_NEAR(video.durationMs, 10000, 1);
    ASSERT_EQ(video.frames.size(), 300U);
    EXPECT_EQ(video.frames.front().atMs, 0);
    const QRect middle(64, 0, 192, 240);
    for (const int ms : moments) {
        const QImage expected =
            QImage(file("at").append(QString::number(ms)) + QStringLiteral(".png"))
                .convertToFormat(QImage::Format_RGB32);
        EXPECT_LE(blocksDiffering(video.frames[numberOf(ms)].image, expected, 24, middle), 16)
            << ms;
    }

    QFile vtt(subtitles);
    ASSERT_TRUE(vtt.open(QIODevice::ReadOnly));
    EXPECT_TRUE(vtt.readAll().startsWith("WEBVTT\n\n"
                                         "1\n00:00:00.000 --> 00:00:00.600\n3\n\n"
                                         "2\n00:00:00.000 --> 00:00:10.000\nVREL EXPO 2001\n\n"
                                         "3\n00:00:00.600 --> 00:00:01.800\n2\n"));
}

TEST_F(Recording, SameSeedGivesTheSameBytesAndTheSeedIsPrintedWhenNotGiven)
{
    for (const char* name : {"a.mp4", "a.webm"}) {
        const QString first = file(name);
        const QString second = first + QStringLiteral(".again.") + first.section(u'.', -1);
        const QStringList common = args({"--duration", "7000", "--size", "160x120", "--quiet"});
        const Outcome unseeded = runProgram(args({"--record"}) << first << common);
        ASSERT_EQ(unseeded.status, 0) << unseeded.err.toStdString();
        ASSERT_TRUE(unseeded.err.startsWith(QStringLiteral("quillet3: seed ")))
            << unseeded.err.toStdString();
        const QString seed = unseeded.err.trimmed().section(u' ', -1);
        const Outcome seeded =
            runProgram(args({"--record"}) << second << common << QStringLiteral("--seed") << seed);
        ASSERT_EQ(seeded.status, 0) << seeded.err.toStdString();
        EXPECT_TRUE(seeded.err.isEmpty()) << seeded.err.toStdString();
        QFile a(first);
        QFile b(second);
        ASSERT_TRUE(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        const QByteArray bytes = a.readAll();
        EXPECT_GT(bytes.size(), 1000) << name;
        EXPECT_TRUE(bytes == b.readAll()) << name << " differs for the same seed";
    }
}

TEST_F(Recording, ProgressIsALineEveryTenthUnlessQuiet)
{
    const QStringList common =
        args({"--duration", "7000", "--size", "160x120", "--seed", "5", "--record"});
    const Outcome lines = runProgram(QStringList(common) << file("a.mp4"));
    ASSERT_EQ(lines.status, 0) << lines.err.toStdString();
    const QStringList got = lines.err.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(got.size(), 10) << lines.err.toStdString();
    EXPECT_TRUE(got.first().startsWith(QStringLiteral("quillet3: recorded 10% (0.7 of 7.0 s")))
        << got.first().toStdString();
    EXPECT_TRUE(got.last().startsWith(QStringLiteral("quillet3: recorded 100% (7.0 of 7.0 s")))
        << got.last().toStdString();

    const Outcome quiet = runProgram(QStringList(common) << file("b.mp4") << "--quiet");
    ASSERT_EQ(quiet.status, 0);
    EXPECT_TRUE(quiet.err.isEmpty()) << quiet.err.toStdString();
}

TEST(Progress, BarRedrawsInPlaceAndEndsItsLine)
{
    std::ostringstream out;
    q3::Progress progress(out, q3::Progress::Style::Bar, 10000);
    progress.update(0, 0);
    progress.update(100, 0.01); // too soon to redraw
    progress.update(5000, 0.5);
    progress.update(10000, 1.0);
    progress.finish();
    const std::string text = out.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\r'), 3) << text;
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1) << text;
    EXPECT_NE(text.find(" 50%  5.0/10.0 s  10.0x real time  0 s left"), std::string::npos) << text;
    EXPECT_NE(text.find("100%"), std::string::npos) << text;
}

TEST(Progress, LinesAtEachTenthAndSilenceWhenQuiet)
{
    std::ostringstream lines;
    std::ostringstream silent;
    q3::Progress plain(lines, q3::Progress::Style::Lines, 1000);
    q3::Progress quiet(silent, q3::Progress::Style::Silent, 1000);
    for (int ms = 0; ms <= 1000; ms += 7) {
        plain.update(ms, ms / 1000.0);
        quiet.update(ms, ms / 1000.0);
    }
    plain.update(1000, 1);
    plain.finish();
    quiet.finish();
    const std::string text = lines.str();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10) << text;
    EXPECT_EQ(text.find("quillet3: recorded 10% "), 0U) << text;
    EXPECT_TRUE(silent.str().empty());
    EXPECT_EQ(q3::Progress::styleFor(false, true), q3::Progress::Style::Bar);
    EXPECT_EQ(q3::Progress::styleFor(false, false), q3::Progress::Style::Lines);
    EXPECT_EQ(q3::Progress::styleFor(true, true), q3::Progress::Style::Silent);
}

// "WIDTHxHEIGHT", as --size takes it.
QString sizeArgument(int width, int height)
{
    return QString::number(width) + QLatin1Char('x') + QString::number(height);
}

struct Refusal
{
    const char* why;
    QStringList arguments; // "@/" is the test's folder
};

class RefusedRecording : public testing::TestWithParam<Refusal>
{
protected:
    QTemporaryDir dir;
};

TEST_P(RefusedRecording, BeforeAnyWorkWithExitTwoAndNothingWritten)
{
    ASSERT_TRUE(dir.isValid());
    QFile existing(dir.filePath(QStringLiteral("old.mp4")));
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("keep me");
    existing.close();
    QStringList arguments;
    for (QString a : GetParam().arguments)
        arguments << a.replace(QStringLiteral("@/"), dir.path() + QStringLiteral("/"));
    const Outcome outcome = runProgram(arguments);
    EXPECT_EQ(outcome.status, 2) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.err.startsWith(QStringLiteral("quillet3: error: ")))
        << outcome.err.toStdString();
    EXPECT_EQ(outcome.err.count(u'\n'), 1) << outcome.err.toStdString();
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("old.mp4")});
    ASSERT_TRUE(existing.open(QIODevice::ReadOnly));
    EXPECT_EQ(existing.readAll(), QByteArray("keep me"));
}

const Refusal kRefusals[] = {
    {"unknown extension", args({"--record", "@/show.avi"})},
    {"no extension", args({"--record", "@/show"})},
    {"existing destination", args({"--record", "@/old.mp4"})},
    {"existing subtitles", args({"--subtitles", "@/old.mp4"})},
    {"missing folder", args({"--record", "@/missing/show.mp4"})},
    {"odd width", args({"--record", "@/show.mp4", "--size", "161x120"})},
    {"odd height", args({"--record", "@/show.webm", "--size", "160x121"})},
    {"tiny size", args({"--record", "@/show.mp4", "--size", "8x8"})},
    {"absurd size", args({"--record", "@/show.mp4", "--size", "16000x9000"})},
    {"width past the largest", args({"--record", "@/show.mp4", "--size"})
                                   << sizeArgument(q3::kMaxVideoWidth + 2, q3::kMaxVideoHeight)},
    {"height past the largest", args({"--record", "@/show.webm", "--size"})
                                    << sizeArgument(q3::kMaxVideoWidth, q3::kMaxVideoHeight + 2)},
    {"zero fps", args({"--record", "@/show.mp4", "--fps", "0"})},
    {"too many fps", args({"--record", "@/show.mp4", "--fps", "121"})},
    {"fractional fps", args({"--record", "@/show.mp4", "--fps", "29.97"})},
    {"fps without a recording", args({"--headless", "--fps", "30"})},
    {"variable frame rate without a recording",
     args({"--subtitles", "@/a.vtt", "--variable-frame-rate"})},
    {"overwrite without a recording", args({"--headless", "--overwrite"})},
    {"subtitles not vtt", args({"--subtitles", "@/show.srt"})},
    {"recording twice to one file", args({"--record", "@/a.mp4", "--subtitles", "@/a.mp4"})},
    {"recording with screenshots", args({"--record", "@/a.mp4", "--screenshot", "1:@/a.png"})},
};

INSTANTIATE_TEST_SUITE_P(Refusal, RefusedRecording, testing::ValuesIn(kRefusals),
                         [](const testing::TestParamInfo<Refusal>& param) {
                             std::string name = param.param.why;
                             for (char& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c)))
                                     c = '_';
                             return name;
                         });

// The largest size the command line takes (the sizes just past it are refused above), in a
// recording of three frames: the file's frames have that size and show the opening window, white
// with its grey note.
TEST_F(Recording, AtTheLargestSizeHoldsFramesOfThatSize)
{
    const QString path = file("large.mp4");
    const QSize size(q3::kMaxVideoWidth, q3::kMaxVideoHeight);
    const Outcome outcome =
        runProgram(args({"--record"})
                   << path << QStringLiteral("--size") << sizeArgument(size.width(), size.height())
                   << args({"--duration", "100", "--seed", "1", "--quiet"}));
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    const Video video = decode(path, [](std::size_t number) { return number == 0; });
    EXPECT_EQ(video.errors, 0);
    EXPECT_EQ(QSize(video.width, video.height), size);
    ASSERT_EQ(video.frames.size(), 3U) << "30 frames a second for 100 ms";
    const QImage& first = video.frames.front().image;
    ASSERT_EQ(first.size(), size);
    // Before the maximise the window's client area (7395 x 6735 units) is fitted to the frame.
    const q3::StageView view = q3::StageView::fit(7395, 6735, size);
    const auto at = [&](int x, int y) {
        return QColor(first.pixel((view.origin + QPointF(x, y) * view.scale).toPoint()));
    };
    // Within what the round trip through limited-range YUV and the encoder moves a flat colour.
    const auto near = [](QColor c, int grey) {
        return std::abs(c.red() - grey) <= 8 && std::abs(c.green() - grey) <= 8 &&
               std::abs(c.blue() - grey) <= 8;
    };
    EXPECT_TRUE(near(at(6500, 5000), 255)) << at(6500, 5000).name().toStdString();
    EXPECT_TRUE(near(at(1230, 1100), 192)) << at(1230, 1100).name().toStdString();
}

TEST_F(Recording, OverwriteReplacesAnExistingFile)
{
    const QString path = file("old.mp4");
    QFile existing(path);
    ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
    existing.write("old");
    existing.close();
    const Outcome outcome =
        runProgram(args({"--record"}) << path
                                      << args({"--overwrite", "--duration", "1000", "--size",
                                               "160x120", "--seed", "1", "--quiet"}));
    ASSERT_EQ(outcome.status, 0) << outcome.err.toStdString();
    EXPECT_EQ(decode(path).codec, "h264");
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("old.mp4")});
}

TEST_F(Recording, IsNotRenamedOverAPipeEvenWithOverwrite)
{
    const QString path = file("pipe.mp4");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    const Outcome outcome = runProgram(args({"--record"}) << path << "--overwrite");
    EXPECT_EQ(outcome.status, 2);
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("not a regular file")))
        << outcome.err.toStdString();
    EXPECT_TRUE(QFileInfo(path).exists() && !QFileInfo(path).isFile());
}

// A long run stopped by a signal once its output is under way, in every headless mode: files are
// whole or not there at all, a stream ends at a whole line. A screenshot already placed when the
// signal comes is complete, and stays.
enum class Mode
{
    Recording,
    TraceFile,
    TraceToStandardOutput,
    TraceAfterAScreenshot,
};

// A long run, held still by SIGSTOP at a moment the test has seen: it then has its output under
// way and has not finished, whenever the machine gets round to what the test does next.
class HeldRun
{
public:
    // Starts the program with these signal dispositions and no core files, and holds it once
    // `underWay` says so.
    void start(const QStringList& arguments, const std::function<void()>& dispositions,
               const std::function<bool()>& underWay)
    {
        process.setChildProcessModifier([dispositions] {
            if (dispositions)
                dispositions();
            const rlimit noCore{0, 0};
            ::setrlimit(RLIMIT_CORE, &noCore);
        });
        process.start(QStringLiteral(QUILLET3_BINARY), arguments);
        ASSERT_TRUE(process.waitForStarted());
        const auto seen = [&] {
            err += process.readAllStandardError();
            out += process.readAllStandardOutput();
            return underWay();
        };
        QDeadlineTimer deadline(60000);
        while (!seen() && process.state() == QProcess::Running && !deadline.hasExpired())
            process.waitForReadyRead(10);
        ASSERT_TRUE(seen()) << err.toStdString();
        ASSERT_EQ(::kill(pid(), SIGSTOP), 0);
        ASSERT_EQ(process.state(), QProcess::Running) << err.toStdString();
    }
    // Sends the signal to the held program and lets it go on, to take it.
    void signalAndGoOn(int signal)
    {
        ASSERT_EQ(::kill(pid(), signal), 0);
        goOn();
    }
    void goOn() { ASSERT_EQ(::kill(pid(), SIGCONT), 0); }
    void finish()
    {
        ASSERT_TRUE(process.waitForFinished(120000));
        err += process.readAllStandardError();
        out += process.readAllStandardOutput();
    }
    pid_t pid() const { return static_cast<pid_t>(process.processId()); }

    QProcess process;
    QByteArray err;
    QByteArray out;
};

// The hidden files of a folder, and how big the largest is.
std::pair<int, qint64> hiddenFiles(const QString& folder)
{
    int count = 0;
    qint64 largest = 0;
    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden)) {
        if (file.fileName().startsWith(u'.')) {
            ++count;
            largest = std::max(largest, file.size());
        }
    }
    return {count, largest};
}

class Interrupted : public testing::TestWithParam<std::tuple<Mode, int>>
{
protected:
    QString file(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }
    // Starts the program and holds it once its output is being written: a recording's temporary
    // file past the first progress (its subtitles' comes at the end), a trace's temporary file
    // with lines in it (and the screenshot placed), or trace lines on standard output.
    void start(Mode mode)
    {
        QStringList arguments;
        std::function<bool()> underWay;
        const auto temporaries = [this](int count, qint64 largest) {
            const auto [hidden, size] = hiddenFiles(dir.path());
            return hidden == count && size >= largest;
        };
        switch (mode) {
        case Mode::Recording:
            arguments = args({"--record"}) << file("show.mp4") << args({"--subtitles"})
                                           << file("show.vtt") << args({"--size", "1920x1440"});
            underWay = [this, temporaries] {
                return run.err.contains("recorded 10%") && temporaries(1, 0);
            };
            break;
        case Mode::TraceFile:
            arguments = args({"--headless", "--duration", "100000000", "--trace"})
                        << file("t.jsonl");
            underWay = [temporaries] { return temporaries(1, 100000); };
            break;
        case Mode::TraceToStandardOutput:
            arguments = args({"--headless", "--duration", "100000000", "--trace", "-"});
            underWay = [this] { return run.out.size() > 100000; };
            break;
        case Mode::TraceAfterAScreenshot:
            arguments = args({"--duration", "100000000", "--screenshot"})
                        << QStringLiteral("6000:") + file("shot.png") << QStringLiteral("--trace")
                        << file("t.jsonl");
            underWay = [this, temporaries] {
                return QFileInfo::exists(file("shot.png")) && temporaries(1, 100000);
            };
            break;
        }
        // Every signal as a shell leaves it in an interactive session.
        run.start(
            arguments,
            [] {
                for (const int signal : {SIGINT, SIGQUIT, SIGHUP, SIGTERM, SIGUSR1, SIGALRM})
                    std::signal(signal, SIG_DFL);
            },
            underWay);
    }

    QTemporaryDir dir;
    HeldRun run;
};

// Ctrl+C, SIGTERM and SIGHUP end the program with 128 plus their number; other signals that end
// a program by default end it by the signal itself, so that its parent sees which. Either way the
// files under way are removed first, and the complete ones stay.
TEST_P(Interrupted, ExitsWithTheSignalsStatusAndLeavesNoPartFile)
{
    const auto [mode, signal] = GetParam();
    start(mode);
    if (HasFatalFailure())
        return;
    run.signalAndGoOn(signal);
    run.finish();
    if (signal == SIGINT || signal == SIGTERM || signal == SIGHUP) {
        EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(run.process.exitCode(), 128 + signal);
    } else {
        EXPECT_EQ(run.process.exitStatus(), QProcess::CrashExit);
    }
    switch (mode) {
    case Mode::TraceToStandardOutput:
        EXPECT_TRUE(run.out.endsWith('\n')) << "the stream ends at a whole line";
        EXPECT_EQ(run.err, QByteArray());
        EXPECT_EQ(entries(dir.path()), QStringList{});
        break;
    case Mode::TraceAfterAScreenshot: {
        EXPECT_TRUE(run.err.endsWith("quillet3: interrupted; only complete files were written\n"))
            << run.err.toStdString();
        EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("shot.png")});
        const QImage shot(file("shot.png"));
        EXPECT_EQ(shot.size(), QSize(1280, 960)) << "the screenshot is whole";
        break;
    }
    default:
        EXPECT_TRUE(run.err.endsWith("quillet3: interrupted; nothing was written\n"))
            << run.err.toStdString();
        EXPECT_EQ(entries(dir.path()), QStringList{});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Signal, Interrupted,
    testing::Combine(testing::Values(Mode::Recording, Mode::TraceFile, Mode::TraceToStandardOutput,
                                     Mode::TraceAfterAScreenshot),
                     testing::Values(SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM)),
    [](const testing::TestParamInfo<std::tuple<Mode, int>>& param) {
        const Mode mode = std::get<0>(param.param);
        const int signal = std::get<1>(param.param);
        const std::string modeName = mode == Mode::Recording   ? "Recording"
                                     : mode == Mode::TraceFile ? "TraceFile"
                                     : mode == Mode::TraceToStandardOutput
                                         ? "TraceToStandardOutput"
                                         : "TraceAfterAScreenshot";
        return modeName + (signal == SIGINT    ? "_CtrlC"
                           : signal == SIGTERM ? "_Sigterm"
                           : signal == SIGHUP  ? "_Sighup"
                           : signal == SIGQUIT ? "_Sigquit"
                           : signal == SIGUSR1 ? "_Sigusr1"
                                               : "_Sigalrm");
    });

// A signal ignored when the program starts, as nohup leaves SIGHUP and a shell leaves SIGINT and
// SIGQUIT for a job it runs in the background, stays ignored: sent while the recording is under
// way, it changes nothing, and the run completes.
class IgnoredAtStart : public testing::TestWithParam<int>
{
protected:
    QTemporaryDir dir;
    HeldRun run;
};

TEST_P(IgnoredAtStart, SignalLeavesTheRunToComplete)
{
    const int signal = GetParam();
    const QString video = dir.filePath(QStringLiteral("v.mp4"));
    run.start(
        args({"--record"}) << video
                           << args({"--size", "320x240", "--duration", "20000", "--seed", "1"}),
        [signal] { std::signal(signal, SIG_IGN); },
        [&] { return run.err.contains("recorded 10%") && hiddenFiles(dir.path()).first == 1; });
    if (HasFatalFailure())
        return;
    ASSERT_FALSE(QFileInfo::exists(video)) << "the recording ended too soon for the test";
    run.signalAndGoOn(signal);
    run.finish();
    EXPECT_EQ(run.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(run.process.exitCode(), 0) << run.err.toStdString();
    EXPECT_EQ(entries(dir.path()), QStringList{QStringLiteral("v.mp4")});
    EXPECT_EQ(decode(video).frames.size(), 600U);
}

INSTANTIATE_TEST_SUITE_P(Signal, IgnoredAtStart, testing::Values(SIGHUP, SIGINT, SIGQUIT),
                         [](const testing::TestParamInfo<int>& param) {
                             return std::string(param.param == SIGHUP   ? "SighupUnderNohup"
                                                : param.param == SIGINT ? "CtrlCInTheBackground"
                                                                        : "SigquitInTheBackground");
                         });

// With standard output and the error stream closed, nothing the program says lands inside the
// recording, which would otherwise take the error stream's number: the video decodes without an
// error.
TEST_F(Recording, IsWholeWithTheStandardDescriptorsClosed)
{
    const Outcome shell = runShell(R"("$Q" --record "$D/x.mp4" --size 160x120 --duration 20000 )"
                                   R"(--seed 1 >&- 2>&-; echo $?)",
                                   dir.path());
    EXPECT_EQ(shell.out, QStringLiteral("0\n")) << shell.err.toStdString();
    const Video video = decode(file("x.mp4"));
    EXPECT_EQ(video.errors, 0);
    EXPECT_EQ(video.frames.size(), 600U);
    QFile bytes(file("x.mp4"));
    ASSERT_TRUE(bytes.open(QIODevice::ReadOnly));
    EXPECT_FALSE(bytes.readAll().contains("recorded")) << "progress inside the video";
}

// A recording and its subtitles are placed together: a file that another program makes at either
// destination while the recording runs stops both. The run is held still while the file is made.
class MadeMeanwhile : public testing::TestWithParam<const char*>
{
protected:
    QTemporaryDir dir;
    HeldRun run;
};

TEST_P(MadeMeanwhile, NeitherFileIsPlaced)
{
    const QString video = dir.filePath(QStringLiteral("v.mp4"));
    const QString subtitles = dir.filePath(QStringLiteral("s.vtt"));
    run.start(args({"--record"}) << video << QStringLiteral("--subtitles") << subtitles
                                 << args({"--size", "640x480", "--seed", "2"}),
              {}, [&] { return run.err.contains("recorded 10%"); });
    if (HasFatalFailure())
        return;
    ASSERT_FALSE(QFileInfo::exists(video)) << "the recording ended too soon for the test";
    const QString theirs = dir.filePath(QString::fromUtf8(GetParam()));
    QFile file(theirs);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("theirs");
    file.close();
    run.goOn();
    run.finish();
    EXPECT_EQ(run.process.exitCode(), 1);
    EXPECT_TRUE(run.err.endsWith("quillet3: error: '" + QFile::encodeName(theirs) +
                                 "' already exists; add --overwrite to replace it\n"))
        << run.err.toStdString();
    EXPECT_EQ(entries(dir.path()), QStringList{QString::fromUtf8(GetParam())});
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("theirs"));
}

INSTANTIATE_TEST_SUITE_P(Pair, MadeMeanwhile, testing::Values("v.mp4", "s.vtt"),
                         [](const testing::TestParamInfo<const char*>& param) {
                             return std::string(param.param[0] == 'v' ? "Video" : "Subtitles");
                         });

// Progress into a pipe whose reader has gone: the progress stops, the recording does not.
TEST_F(Recording, GoesOnWhenTheProgressPipeCloses)
{
    const Outcome shell = runShell(R"({ "$Q" --record "$D/p.mp4" --size 320x240 --duration 30000 )"
                                   R"(--seed 3 2>&1; echo $? >"$D/status"; } | head -1)",
                                   dir.path());
    ASSERT_EQ(shell.status, 0) << shell.err.toStdString();
    QFile status(file("status"));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    EXPECT_EQ(status.readAll(), QByteArray("0\n"));
    EXPECT_EQ(decode(file("p.mp4")).codec, "h264");
}

// An MP4 file's index takes about 60 bytes a frame: a constant-rate MP4 recording whose index
// would pass 1 GiB, 17895697 frames (1789569700 ms at 10 fps), is refused before anything is
// written; WebM, and a variable rate, which stores a still picture once, take any length. An
// accepted run is killed once its temporary file is there.
struct LongCase
{
    const char* name;
    const char* file;
    const char* duration;
    const char* fps;
    bool variable;
    bool accepted;
};

class LongRecording : public testing::TestWithParam<LongCase>
{
protected:
    QTemporaryDir dir;
};

TEST_P(LongRecording, AnMp4IndexPastOneGibIsRefusedUpFront)
{
    const LongCase& row = GetParam();
    QStringList arguments = args({"--record"})
                            << dir.filePath(QString::fromUtf8(row.file))
                            << args({"--size", "160x120", "--seed", "1", "--quiet", "--duration"})
                            << QString::fromUtf8(row.duration) << QStringLiteral("--fps")
                            << QString::fromUtf8(row.fps);
    if (row.variable)
        arguments << QStringLiteral("--variable-frame-rate");
    QProcess process;
    process.start(QStringLiteral(QUILLET3_BINARY), arguments);
    ASSERT_TRUE(process.waitForStarted());
    if (row.accepted) {
        QDeadlineTimer deadline(30000);
        while (entries(dir.path()).isEmpty() && !deadline.hasExpired() &&
               process.state() == QProcess::Running)
            process.waitForFinished(20);
        EXPECT_EQ(entries(dir.path()).size(), 1) << "no recording under way";
        // Only the start matters here: killed, its temporary file goes with the folder.
        process.kill();
        ASSERT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
        return;
    }
    ASSERT_TRUE(process.waitForFinished(30000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(entries(dir.path()), QStringList());
    EXPECT_EQ(process.exitCode(), 2) << err.toStdString();
    EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
    EXPECT_TRUE(err.startsWith(QStringLiteral("quillet3: error: --record: 17895698 frames are too "
                                              "many for an MP4 file")))
        << err.toStdString();
    EXPECT_TRUE(err.contains(QStringLiteral("WebM (.webm)"))) << err.toStdString();
}

const LongCase kLongCases[] = {
    {"Mp4AtTheLimit", "long.mp4", "1789569700", "10", false, true},
    {"Mp4OneFramePast", "long.mp4", "1789569701", "10", false, false},
    {"WebmLongest", "long.webm", "2147483647", "120", false, true},
    {"Mp4VariableRateLongest", "long.mp4", "2147483647", "120", true, true},
};

INSTANTIATE_TEST_SUITE_P(Recording, LongRecording, testing::ValuesIn(kLongCases),
                         [](const testing::TestParamInfo<LongCase>& param) {
                             return std::string(param.param.name);
                         });

// The program built to look for its video module in folders the tests own: its own folder (as
// a build folder) and installed/ below it. One test at a time puts modules there, holding a
// lock, and leaves the folders empty and as they were.
class ModuleHost
{
public:
    ModuleHost() : lock_(::open(QUILLET3_MODULE_HOST "/.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600))
    {
        if (lock_ >= 0)
            ::flock(lock_, LOCK_EX);
        clear();
    }
    ~ModuleHost()
    {
        clear();
        if (lock_ >= 0)
            ::close(lock_);
    }
    ModuleHost(const ModuleHost&) = delete;
    ModuleHost& operator=(const ModuleHost&) = delete;
    ModuleHost(ModuleHost&&) = delete;
    ModuleHost& operator=(ModuleHost&&) = delete;

    static QString folder(bool installed)
    {
        return installed ? QStringLiteral(QUILLET3_MODULE_HOST "/installed")
                         : QStringLiteral(QUILLET3_MODULE_HOST);
    }
    static QString module(bool installed)
    {
        return folder(installed) + QStringLiteral("/libquillet3-video.so");
    }

private:
    static void clear()
    {
        for (const bool installed : {false, true}) {
            const QByteArray path = QFile::encodeName(folder(installed));
            // Back to the group it was made with; ignored where that is so already.
            if (::chown(path.constData(), -1, ::getegid()) != 0 ||
                ::chmod(path.constData(), 0755) != 0)
                ADD_FAILURE() << "cannot restore " << path.constData();
            QFile::remove(module(installed));
        }
    }
    int lock_;
};

// A module put in place: a copy of a file, or a file of these bytes.
struct Planted
{
    const char* from; // a path, or the bytes of a file that is no library; nullptr: none
};

enum class Tweak
{
    None,
    FolderWritableByGroup,
    FolderWritableByOwnGroup,
    FolderStickyWritableByAll,
    ModuleWritableByOthers,
    ModuleOfAnotherUser,
};

struct ModuleCase
{
    const char* why;
    Planted build;     // in the build folder, tried first
    Planted installed; // in the install folder
    Tweak tweak;       // to the build folder's module or the folder
    int status;
    const char* message; // the start of the error after "cannot record FILE: "; nullptr: none
    bool codeRuns;       // whether the marker module's code may run
};

void plant(const Planted& planted, const QString& to)
{
    if (planted.from == nullptr)
        return;
    const QString from = QString::fromUtf8(planted.from);
    if (from.startsWith(u'/')) {
        ASSERT_TRUE(QFile::copy(from, to)) << planted.from;
    } else {
        QFile module(to);
        ASSERT_TRUE(module.open(QIODevice::WriteOnly));
        module.write(planted.from);
    }
}

class VideoModuleSearch : public testing::TestWithParam<ModuleCase>
{
protected:
    QTemporaryDir dir;
};

TEST_P(VideoModuleSearch, LoadsOnlyATrustedModuleOfThisBuild)
{
    const ModuleCase& row = GetParam();
    ASSERT_TRUE(dir.isValid());
    const QString marker = dir.filePath(QStringLiteral("marker"));
    const QString output = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("out")));
    const ModuleHost host;
    plant(row.build, ModuleHost::module(false));
    plant(row.installed, ModuleHost::module(true));
    const QByteArray built = QFile::encodeName(ModuleHost::module(false));
    switch (row.tweak) {
    case Tweak::None:
        break;
    case Tweak::FolderWritableByGroup:
        // A group other than the owner's own: nogroup, which only root can give.
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can give a folder to any group";
        ASSERT_EQ(::chown(QFile::encodeName(ModuleHost::folder(false)).constData(), -1, 65534), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(ModuleHost::folder(false)).constData(), 0775), 0);
        break;
    case Tweak::FolderWritableByOwnGroup:
        ASSERT_EQ(::chmod(QFile::encodeName(ModuleHost::folder(false)).constData(), 0775), 0);
        break;
    case Tweak::FolderStickyWritableByAll:
        ASSERT_EQ(::chmod(QFile::encodeName(ModuleHost::folder(false)).constData(), 01777), 0);
        break;
    case Tweak::ModuleWritableByOthers:
        ASSERT_EQ(::chmod(built.constData(), 0757), 0);
        break;
    case Tweak::ModuleOfAnotherUser:
        if (::geteuid() != 0)
            GTEST_SKIP() << "only root can give a file to another user";
        ASSERT_EQ(::chown(built.constData(), 65534, 65534), 0); // nobody
        break;
    }
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUILLET3_TEST_MARKER"), marker);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(QUILLET3_MODULE_HOST "/quillet3"),
                  args({"--record"}) << output + QStringLiteral("/show.mp4")
                                     << args({"--duration", "500", "--size", "160x120", "--quiet",
                                              "--seed", "1"}));
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString err = QString::fromUtf8(process.readAllStandardError());
    EXPECT_EQ(QFileInfo::exists(marker), row.codeRuns) << "whether the module's code ran";
    if (row.status < 0) {
        // Ended by the module's signal, before any output was made.
        EXPECT_TRUE(process.exitStatus() == QProcess::CrashExit || process.exitCode() != 0)
            << err.toStdString();
        EXPECT_EQ(entries(output), QStringList());
        return;
    }
    EXPECT_EQ(process.exitCode(), row.status) << err.toStdString();
    if (row.message == nullptr) {
        EXPECT_EQ(entries(output), QStringList{QStringLiteral("show.mp4")});
        EXPECT_EQ(decode(output + QStringLiteral("/show.mp4")).codec, "h264");
        return;
    }
    const QString expected = QStringLiteral("quillet3: error: cannot record ") + output +
                             QStringLiteral("/show.mp4: ") + QString::fromUtf8(row.message);
    EXPECT_TRUE(err.startsWith(expected)) << err.toStdString();
    EXPECT_EQ(err.count(u'\n'), 1) << err.toStdString();
    EXPECT_EQ(entries(output), QStringList());
}

#define Q3_HOST QUILLET3_MODULE_HOST
#define Q3_STALE QUILLET3_STALE_MODULE_DIR "/libq3_stale_"
#define Q3_MARKER QUILLET3_STALE_MODULE_DIR "/libq3_marker_module.so"
constexpr const char* kAnotherVersion =
    "the video encoder belongs to another version: " Q3_HOST "/libquillet3-video.so";

const ModuleCase kModuleCases[] = {
    {"none",
     {},
     {},
     Tweak::None,
     1,
     "the video encoder is not installed (no libquillet3-video.so in " Q3_HOST " or " Q3_HOST
     "/installed)",
     false},
    {"not a library",
     {"not a shared object\n"},
     {},
     Tweak::None,
     1,
     "cannot load the video encoder: ",
     false},
    {"another library",
     {"/lib/x86_64-linux-gnu/libz.so.1"},
     {},
     Tweak::None,
     1,
     kAnotherVersion,
     false},
    {"a larger table", {Q3_STALE "size_module.so"}, {}, Tweak::None, 1, kAnotherVersion, false},
    {"another interface", {Q3_STALE "tag_module.so"}, {}, Tweak::None, 1, kAnotherVersion, false},
    {"another version", {Q3_STALE "version_module.so"}, {}, Tweak::None, 1, kAnotherVersion, false},
    // A trusted module is loaded, and only then refused: its code has run.
    {"trusted but foreign", {Q3_MARKER}, {}, Tweak::None, 1, kAnotherVersion, true},
    {"in a folder its group can write",
     {Q3_MARKER},
     {},
     Tweak::FolderWritableByGroup,
     1,
     "the video encoder is not trusted: " Q3_HOST " can be written by others",
     false},
    // Where the group is the owner's own, as the groups made for each user are, only the
    // owner can write: the module is trusted, and its code runs.
    {"in a folder its owner's own group can write",
     {Q3_MARKER},
     {},
     Tweak::FolderWritableByOwnGroup,
     1,
     kAnotherVersion,
     true},
    {"in a sticky folder anyone can write",
     {Q3_MARKER},
     {},
     Tweak::FolderStickyWritableByAll,
     1,
     "the video encoder is not trusted: " Q3_HOST " can be written by others",
     false},
    {"writable by others",
     {Q3_MARKER},
     {},
     Tweak::ModuleWritableByOthers,
     1,
     "the video encoder is not trusted: " Q3_HOST "/libquillet3-video.so can be written by "
     "others",
     false},
    {"of another user",
     {Q3_MARKER},
     {},
     Tweak::ModuleOfAnotherUser,
     1,
     "the video encoder is not trusted: " Q3_HOST "/libquillet3-video.so belongs to another "
     "user",
     false},
    {"the build's own", {QUILLET3_MODULE}, {}, Tweak::None, 0, nullptr, false},
    {"installed", {}, {QUILLET3_MODULE}, Tweak::None, 0, nullptr, false},
    {"installed after an untrusted one",
     {Q3_MARKER},
     {QUILLET3_MODULE},
     Tweak::ModuleWritableByOthers,
     0,
     nullptr,
     false},
    {"installed after another version",
     {Q3_STALE "version_module.so"},
     {QUILLET3_MODULE},
     Tweak::None,
     0,
     nullptr,
     false},
    // A module that ends the program as it is loaded finds no output made yet.
    {"ending the program",
     {QUILLET3_STALE_MODULE_DIR "/libq3_sigbus_module.so"},
     {},
     Tweak::None,
     -1,
     nullptr,
     false},
};

INSTANTIATE_TEST_SUITE_P(Module, VideoModuleSearch, testing::ValuesIn(kModuleCases),
                         [](const testing::TestParamInfo<ModuleCase>& param) {
                             std::string name = param.param.why;
                             std::replace(name.begin(), name.end(), ' ', '_');
                             std::replace(name.begin(), name.end(), '\'', '_');
                             return name;
                         });

// The program in a folder of its own, as anyone may copy it, with modules beside it, in
// ../lib/quillet3/modules and in the working folder: it loads none of them.
TEST(Module, NeverLooksBesideTheProgramOrInTheWorkingFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QDir root(dir.path());
    ASSERT_TRUE(root.mkpath(QStringLiteral("bin")) &&
                root.mkpath(QStringLiteral("lib/quillet3/modules")));
    const QString program = root.filePath(QStringLiteral("bin/quillet3"));
    ASSERT_TRUE(QFile::copy(QStringLiteral(QUILLET3_BINARY), program));
    for (const char* folder : {"bin", "lib/quillet3/modules", "."})
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(Q3_MARKER), root.filePath(QString::fromUtf8(folder)) +
                                                       QStringLiteral("/libquillet3-video.so")));
    const QString marker = root.filePath(QStringLiteral("marker"));
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUILLET3_TEST_MARKER"), marker);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(dir.path());
    process.start(program,
                  args({"--record", "show.mp4", "--duration", "500", "--quiet", "--seed", "1"}));
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_FALSE(QFileInfo::exists(marker)) << "a module's code ran";
    EXPECT_FALSE(QFileInfo::exists(root.filePath(QStringLiteral("show.mp4"))) &&
                 process.exitCode() != 0);
}

} // namespace
