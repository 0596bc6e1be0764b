// The H.264 repeat writer, on streams made by libx264 through FFmpeg and decoded again by
// FFmpeg's own decoder: a made frame must decode to the picture before it, bit for bit, and the
// encoder's frames around it to the pictures they decode to in the stream without repeats.
#include "video/h264_repeat.h"

#include <array>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/opt.h>
}

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kWidth = 320;
constexpr int kHeight = 240;

struct CodecFree
{
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree
{
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree
{
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using Codec = std::unique_ptr<AVCodecContext, CodecFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;

// A picture that differs from picture to picture: a bright square walking over a gradient whose
// brightness fades (which weighted prediction can follow).
void paint(AVFrame& frame, int n)
{
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const bool square = x >= 4 * n && x < 4 * n + 16 && y >= 8 && y < 24;
            frame.data[0][y * frame.linesize[0] + x] =
                static_cast<std::uint8_t>(square ? 235 : 40 + (x + y) % 128 + 6 * n);
        }
    for (int plane = 1; plane < 3; ++plane)
        for (int y = 0; y < kHeight / 2; ++y)
            for (int x = 0; x < kWidth / 2; ++x)
                frame.data[plane][y * frame.linesize[plane] + x] =
                    static_cast<std::uint8_t>(plane == 1 ? 100 + x + n : 150 - y);
}

// `count` pictures through libx264 with `params`: its parameter sets (Annex B) and one access
// unit a picture.
struct Encoded
{
    Bytes headers;
    std::vector<Bytes> units;
};

Encoded encode(const char* params, int count)
{
    Encoded out;
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* x264 = avcodec_find_encoder_by_name("libx264");
    if (x264 == nullptr)
        return out;
    Codec c(avcodec_alloc_context3(x264));
    c->width = kWidth;
    c->height = kHeight;
    c->time_base = {1, 30};
    c->pix_fmt = AV_PIX_FMT_YUV420P;
    c->thread_count = 1;
    c->gop_size = 1000;
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    av_opt_set(c->priv_data, "preset", "veryfast", 0);
    av_opt_set(c->priv_data, "x264-params", params, 0);
    if (avcodec_open2(c.get(), x264, nullptr) < 0)
        return out;
    out.headers.assign(c->extradata, c->extradata + c->extradata_size);
    Frame frame(av_frame_alloc());
    frame->format = AV_PIX_FMT_YUV420P;
    frame->width = kWidth;
    frame->height = kHeight;
    av_frame_get_buffer(frame.get(), 0);
    Packet packet(av_packet_alloc());
    const auto take = [&] {
        while (avcodec_receive_packet(c.get(), packet.get()) == 0) {
            out.units.emplace_back(packet->data, packet->data + packet->size);
            av_packet_unref(packet.get());
        }
    };
    for (int n = 0; n < count; ++n) {
        av_frame_make_writable(frame.get());
        paint(*frame, n);
        frame->pts = n;
        avcodec_send_frame(c.get(), frame.get());
        take();
    }
    avcodec_send_frame(c.get(), nullptr);
    take();
    return out;
}

// A decoded picture: its three planes, row by row.
using Picture = std::vector<std::uint8_t>;

// Decodes access units (Annex B) one by one with FFmpeg's decoder; `errors` counts what it
// refused or had to patch up.
std::vector<Picture> decode(const std::vector<Bytes>& units, int& errors)
{
    std::vector<Picture> pictures;
    errors = 0;
    const AVCodec* h264 = avcodec_find_decoder(AV_CODEC_ID_H264);
    Codec c(avcodec_alloc_context3(h264));
    c->thread_count = 1;
    c->err_recognition |= AV_EF_EXPLODE;
    if (avcodec_open2(c.get(), h264, nullptr) < 0)
        return pictures;
    Frame frame(av_frame_alloc());
    Packet packet(av_packet_alloc());
    const auto take = [&] {
        while (avcodec_receive_frame(c.get(), frame.get()) == 0) {
            if (frame->decode_error_flags != 0 || (frame->flags & AV_FRAME_FLAG_CORRUPT) != 0)
                ++errors;
            Picture picture;
            for (int plane = 0; plane < 3; ++plane) {
                const int w = plane == 0 ? frame->width : frame->width / 2;
                const int h = plane == 0 ? frame->height : frame->height / 2;
                for (int y = 0; y < h; ++y) {
                    const std::uint8_t* row = frame->data[plane] + y * frame->linesize[plane];
                    picture.insert(picture.end(), row, row + w);
                }
            }
            pictures.push_back(std::move(picture));
        }
    };
    for (const Bytes& unit : units) {
        av_new_packet(packet.get(), static_cast<int>(unit.size()));
        std::copy(unit.begin(), unit.end(), packet->data);
        if (avcodec_send_packet(c.get(), packet.get()) < 0)
            ++errors;
        av_packet_unref(packet.get());
        take();
    }
    avcodec_send_packet(c.get(), nullptr);
    take();
    return pictures;
}

// An Exp-Golomb bit reader and writer of the test's own, to read the encoder's picture
// parameter set and write another one.
class Bits
{
public:
    explicit Bits(Bytes bytes) : bytes_(std::move(bytes)) {}
    unsigned u(int n)
    {
        unsigned v = 0;
        for (int i = 0; i < n; ++i, ++at_)
            v = (v << 1U) | ((bytes_.at(at_ / 8) >> (7 - at_ % 8)) & 1U);
        return v;
    }
    unsigned ue()
    {
        int zeros = 0;
        while (u(1) == 0)
            ++zeros;
        return (1U << zeros) - 1 + u(zeros);
    }
    int se()
    {
        const unsigned k = ue();
        return (k & 1U) != 0 ? int((k + 1) / 2) : -int(k / 2);
    }
    [[nodiscard]] bool more() const { return at_ + 8 < bytes_.size() * 8; }

private:
    Bytes bytes_;
    std::size_t at_ = 0;
};

class Writer
{
public:
    void u(unsigned v, int n)
    {
        for (int i = n - 1; i >= 0; --i)
            bits_.push_back(((v >> unsigned(i)) & 1U) != 0);
    }
    void ue(unsigned v)
    {
        const unsigned x = v + 1;
        int length = 0;
        while ((x >> unsigned(length)) > 1)
            ++length;
        u(0, length);
        u(x, length + 1);
    }
    void se(int v) { ue(v > 0 ? unsigned(2 * v - 1) : unsigned(-2 * v)); }
    // A NAL unit with its start code, the trailing bits and emulation prevention.
    [[nodiscard]] Bytes nal(std::uint8_t header)
    {
        u(1, 1);
        while (bits_.size() % 8 != 0)
            u(0, 1);
        Bytes out{0, 0, 0, 1, header};
        int zeros = 0;
        for (std::size_t i = 0; i < bits_.size(); i += 8) {
            unsigned byte = 0;
            for (std::size_t j = 0; j < 8; ++j)
                byte = (byte << 1U) | (bits_[i + j] ? 1U : 0U);
            if (zeros >= 2 && byte <= 3) {
                out.push_back(3);
                zeros = 0;
            }
            zeros = byte == 0 ? zeros + 1 : 0;
            out.push_back(static_cast<std::uint8_t>(byte));
        }
        return out;
    }

private:
    std::vector<bool> bits_;
};

// The NAL units of an Annex B stream, from their header byte on, still escaped.
std::vector<Bytes> nalUnits(const Bytes& stream)
{
    std::vector<Bytes> units;
    for (std::size_t i = 0; i + 3 <= stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            std::size_t end = i + 3;
            while (end + 3 <= stream.size() && !(stream[end] == 0 && stream[end + 1] == 0 &&
                                                 (stream[end + 2] == 1 || stream[end + 2] == 0)))
                ++end;
            if (end + 3 > stream.size())
                end = stream.size();
            units.emplace_back(stream.begin() + std::ptrdiff_t(i + 3),
                               stream.begin() + std::ptrdiff_t(end));
            i = end - 1;
        }
    }
    return units;
}

Bytes unescaped(const Bytes& nal)
{
    Bytes raw;
    int zeros = 0;
    for (std::size_t i = 1; i < nal.size(); ++i) {
        if (zeros >= 2 && nal[i] == 3) {
            zeros = 0;
            continue;
        }
        zeros = nal[i] == 0 ? zeros + 1 : 0;
        raw.push_back(nal[i]);
    }
    return raw;
}

// What the made frames' picture parameter set says where the encoder's may say otherwise.
struct Pps
{
    bool cabac;
    bool weighted;
    bool deblockingControl;
    bool redundantCount;
};

// The encoder's picture parameter set again as set 1, with the fields of `pps`.
Bytes otherPps(const Bytes& headers, const Pps& pps)
{
    for (const Bytes& nal : nalUnits(headers)) {
        if ((nal[0] & 0x1F) != 8)
            continue;
        Bits r(unescaped(nal));
        Writer w;
        r.ue();
        w.ue(1); // pic_parameter_set_id
        w.ue(r.ue());
        r.u(1);
        w.u(pps.cabac ? 1 : 0, 1);
        w.u(r.u(1), 1); // bottom_field_pic_order_in_frame_present_flag
        w.ue(r.ue());   // num_slice_groups_minus1 (0)
        w.ue(r.ue());
        w.ue(r.ue());
        r.u(1);
        w.u(pps.weighted ? 1 : 0, 1);
        w.u(r.u(2), 2);
        w.se(r.se());
        w.se(r.se());
        w.se(r.se());
        r.u(1);
        w.u(pps.deblockingControl ? 1 : 0, 1);
        w.u(r.u(1), 1); // constrained_intra_pred_flag
        r.u(1);
        w.u(pps.redundantCount ? 1 : 0, 1);
        if (r.more()) {
            w.u(r.u(1), 1); // transform_8x8_mode_flag
            w.u(r.u(1), 1); // pic_scaling_matrix_present_flag (0)
            w.se(r.se());   // second_chroma_qp_index_offset
        }
        return w.nal(nal[0]);
    }
    return {};
}

// The sequence parameter set alone, with its start code.
Bytes spsOf(const Bytes& headers)
{
    for (const Bytes& nal : nalUnits(headers))
        if ((nal[0] & 0x1F) == 7) {
            Bytes out{0, 0, 0, 1};
            out.insert(out.end(), nal.begin(), nal.end());
            return out;
        }
    return {};
}

Bytes joined(const Bytes& a, const Bytes& b)
{
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

struct RepeatCase
{
    const char* name;
    const char* x264;
    Pps pps;
};

class H264Repeat : public testing::TestWithParam<RepeatCase>
{
};

// Pictures 0 to 5 from the encoder, each but the first and the last followed by two made
// frames: every made frame decodes to the picture before it, and every picture of the encoder
// to what it decodes to without them.
TEST_P(H264Repeat, MadeFramesCopyThePictureBeforeExactly)
{
    const RepeatCase& test = GetParam();
    const Encoded encoded = encode(test.x264, 6);
    ASSERT_EQ(encoded.units.size(), 6U) << "libx264 did not encode";
    const std::optional<q3::H264Stream> stream = q3::readH264Stream(encoded.headers);
    ASSERT_TRUE(stream);
    const Bytes pps = otherPps(encoded.headers, test.pps);
    ASSERT_FALSE(pps.empty());
    const std::optional<q3::H264Stream> made =
        q3::readH264Stream(joined(spsOf(encoded.headers), pps));
    ASSERT_TRUE(made);
    EXPECT_EQ(made->ppsId, 1);
    // The made frames' header fields come from the set the test wrote.
    EXPECT_EQ(made->cabac, test.pps.cabac);
    EXPECT_EQ(made->weightedPrediction, test.pps.weighted);
    EXPECT_EQ(made->deblockingControl, test.pps.deblockingControl);
    const q3::H264Stream& repeat = *made;

    int errors = 0;
    std::vector<Bytes> plain{joined(encoded.headers, encoded.units[0])};
    plain.insert(plain.end(), encoded.units.begin() + 1, encoded.units.end());
    const std::vector<Picture> expected = decode(plain, errors);
    ASSERT_EQ(expected.size(), 6U);
    ASSERT_EQ(errors, 0);

    q3::FrameNumbers numbers;
    std::vector<Bytes> units;
    std::vector<std::size_t> shows; // the encoder's picture each unit shows
    for (std::size_t n = 0; n < encoded.units.size(); ++n) {
        Bytes unit = q3::renumberedFrame(encoded.units[n], *stream, numbers);
        ASSERT_FALSE(unit.empty()) << "frame " << n;
        units.push_back(n == 0 ? joined(joined(encoded.headers, pps), unit) : unit);
        shows.push_back(n);
        for (int k = 0; k < 2 && n > 0 && n + 1 < encoded.units.size(); ++k) {
            units.push_back(q3::repeatedFrame(repeat, numbers));
            shows.push_back(n);
        }
    }
    const std::vector<Picture> pictures = decode(units, errors);
    EXPECT_EQ(errors, 0);
    ASSERT_EQ(pictures.size(), shows.size());
    for (std::size_t i = 0; i < pictures.size(); ++i)
        EXPECT_TRUE(pictures[i] == expected[shows[i]]) << "unit " << i << " shows another picture";
}

const RepeatCase kRepeatCases[] = {
    {"Cabac", "ref=1:bframes=0:weightp=0", {true, false, true, false}},
    {"Cavlc", "ref=1:bframes=0:weightp=0:cabac=0", {false, false, true, false}},
    {"CabacAfterCavlc", "ref=1:bframes=0:weightp=0:cabac=0", {true, false, true, false}},
    {"CavlcAfterCabac", "ref=1:bframes=0:weightp=0", {false, false, true, false}},
    {"CabacWeighted", "ref=1:bframes=0:weightp=2", {true, true, true, false}},
    {"CavlcWeighted", "ref=1:bframes=0:weightp=2:cabac=0", {false, true, true, false}},
    {"CabacNoDeblockingControl", "ref=1:bframes=0:weightp=0", {true, false, false, false}},
    {"CavlcNoDeblockingControl", "ref=1:bframes=0:weightp=0:cabac=0", {false, false, false, false}},
    {"CavlcWeightedNoDeblockingControl",
     "ref=1:bframes=0:weightp=0:cabac=0",
     {false, true, false, false}},
    {"CabacRedundantCount", "ref=1:bframes=0:weightp=0", {true, false, true, true}},
};

INSTANTIATE_TEST_SUITE_P(H264, H264Repeat, testing::ValuesIn(kRepeatCases),
                         [](const testing::TestParamInfo<RepeatCase>& param) {
                             return std::string(param.param.name);
                         });

// The bits of a NAL unit's payload, for the test to take apart and put together again.
std::vector<bool> bitsOf(const Bytes& raw)
{
    std::vector<bool> bits;
    for (const std::uint8_t byte : raw)
        for (int i = 7; i >= 0; --i)
            bits.push_back(((byte >> i) & 1U) != 0);
    while (!bits.empty() && !bits.back()) // rbsp_trailing_bits: the zeros, then the stop bit
        bits.pop_back();
    if (!bits.empty())
        bits.pop_back();
    return bits;
}

// Where the marking of a CAVLC P slice of one reference frame, without weights, starts: after
// first_mb_in_slice, slice_type, pic_parameter_set_id, frame_num, the override of the number of
// references and the list modification flag.
std::size_t markingAt(const std::vector<bool>& bits, int log2MaxFrameNum)
{
    std::size_t at = 0;
    const auto ue = [&] {
        int zeros = 0;
        while (!bits.at(at++))
            ++zeros;
        unsigned v = 1;
        for (int i = 0; i < zeros; ++i)
            v = (v << 1U) | (bits.at(at++) ? 1U : 0U);
        return v - 1;
    };
    ue();
    ue();
    ue();
    at += std::size_t(log2MaxFrameNum);
    if (bits.at(at++)) // num_ref_idx_active_override_flag
        ue();
    ++at; // ref_pic_list_modification_flag_l0
    return at;
}

int log2MaxFrameNumOf(const Bytes& headers)
{
    for (const Bytes& nal : nalUnits(headers)) {
        if ((nal[0] & 0x1F) != 7)
            continue;
        Bits r(unescaped(nal));
        const unsigned profile = r.u(8);
        r.u(16);
        r.ue();
        if (profile == 100) {
            r.ue(); // chroma_format_idc (1)
            r.ue();
            r.ue();
            r.u(1);
            r.u(1);
        }
        return int(r.ue()) + 4;
    }
    return 0;
}

// The P frame's one slice made again with `change` applied to its bits and the NAL header
// `header`.
Bytes remade(const Bytes& unit, std::uint8_t header,
             const std::function<void(std::vector<bool>&)>& change)
{
    for (const Bytes& nal : nalUnits(unit)) {
        if ((nal[0] & 0x1F) != 1)
            continue;
        std::vector<bool> bits = bitsOf(unescaped(nal));
        change(bits);
        Writer w;
        for (const bool bit : bits)
            w.u(bit ? 1 : 0, 1);
        return w.nal(header);
    }
    return {};
}

// Frames of the encoder that made frames cannot follow: one with memory management commands is
// refused; a non-reference frame is kept, numbered as the next reference frame will be, and
// nothing is repeated after it (a made frame would copy the reference frame before it).
TEST(H264Frames, MemoryManagementIsRefusedAndNothingRepeatsANonReferenceFrame)
{
    const Encoded encoded = encode("ref=1:bframes=0:weightp=0:cabac=0", 3);
    ASSERT_EQ(encoded.units.size(), 3U) << "libx264 did not encode";
    const std::optional<q3::H264Stream> stream = q3::readH264Stream(encoded.headers);
    ASSERT_TRUE(stream);
    const int log2 = log2MaxFrameNumOf(encoded.headers);
    ASSERT_GE(log2, 4);
    const std::uint8_t header = encoded.units[2][4];
    ASSERT_EQ(header & 0x1F, 1) << "the third frame is a P frame with no other unit before it";

    const Bytes managed = remade(encoded.units[2], header, [&](std::vector<bool>& bits) {
        bits.at(markingAt(bits, log2)) = true; // adaptive_ref_pic_marking_mode_flag
    });
    const Bytes nonReference =
        remade(encoded.units[2], header & 0x1F, [&](std::vector<bool>& bits) {
            bits.erase(bits.begin() + std::ptrdiff_t(markingAt(bits, log2)));
        });

    q3::FrameNumbers numbers;
    ASSERT_FALSE(q3::renumberedFrame(encoded.units[0], *stream, numbers).empty());
    ASSERT_FALSE(q3::renumberedFrame(encoded.units[1], *stream, numbers).empty());
    const Bytes repeat = q3::repeatedFrame(*stream, numbers); // frame_num 2
    ASSERT_FALSE(repeat.empty());
    q3::FrameNumbers before = numbers;
    EXPECT_TRUE(q3::renumberedFrame(managed, *stream, before).empty());

    const Bytes renumbered = q3::renumberedFrame(nonReference, *stream, numbers);
    ASSERT_FALSE(renumbered.empty());
    EXPECT_EQ(numbers.previous, 2) << "a non-reference frame does not move the numbers on";
    EXPECT_FALSE(numbers.lastReference);
    EXPECT_TRUE(q3::repeatedFrame(*stream, numbers).empty());

    // It decodes to the encoder's third picture, numbered 3 after the repeat's 2.
    int errors = 0;
    const std::vector<Picture> expected = decode(
        {joined(encoded.headers, encoded.units[0]), encoded.units[1], encoded.units[2]}, errors);
    ASSERT_EQ(expected.size(), 3U);
    numbers = {};
    std::vector<Bytes> units;
    for (const Bytes& unit : {encoded.units[0], encoded.units[1]})
        units.push_back(q3::renumberedFrame(unit, *stream, numbers));
    units.front() = joined(encoded.headers, units.front());
    units.push_back(q3::repeatedFrame(*stream, numbers));
    units.push_back(q3::renumberedFrame(nonReference, *stream, numbers));
    const std::vector<Picture> pictures = decode(units, errors);
    EXPECT_EQ(errors, 0);
    ASSERT_EQ(pictures.size(), 4U);
    EXPECT_TRUE(pictures[3] == expected[2]);
}

// Streams whose frames a made frame cannot follow are refused, so that the encoder is handed
// every picture.
struct StreamCase
{
    const char* name;
    const char* x264;
    bool repeatable;
};

class H264Streams : public testing::TestWithParam<StreamCase>
{
};

TEST_P(H264Streams, AreRepeatedOnlyWithOneReferenceFrameAndFramesInOrder)
{
    const Encoded encoded = encode(GetParam().x264, 2);
    ASSERT_FALSE(encoded.headers.empty()) << "libx264 did not encode";
    EXPECT_EQ(q3::readH264Stream(encoded.headers).has_value(), GetParam().repeatable);
}

const StreamCase kStreamCases[] = {
    {"OneReference", "ref=1:bframes=0", true},
    {"TwoReferences", "ref=2:bframes=0", false},
    {"ThreeReferences", "ref=3:bframes=0", false},
    {"BFrames", "ref=1:bframes=2", false},
    {"Interlaced", "ref=1:bframes=0:interlaced=1", false},
};

INSTANTIATE_TEST_SUITE_P(H264, H264Streams, testing::ValuesIn(kStreamCases),
                         [](const testing::TestParamInfo<StreamCase>& param) {
                             return std::string(param.param.name);
                         });

} // namespace
