#include "video/h264_repeat.h"

#include <algorithm>
#include <array>
#include <optional>

namespace q3 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using View = std::span<const std::uint8_t>;

constexpr int kNalSlice = 1;
constexpr int kNalIdrSlice = 5;
constexpr int kNalSps = 7;
constexpr int kNalPps = 8;
// A made frame is a reference frame (nal_ref_idc 2, as encoders mark P-frames), not an IDR.
constexpr std::uint8_t kRepeatNalHeader = (2U << 5U) | kNalSlice;
constexpr int kSliceTypeAllP = 5;
constexpr int kMaxQp = 51;

// The NAL units of an Annex B byte stream, without their start codes and trailing zeros.
std::vector<View> nalUnits(View stream)
{
    std::vector<View> units;
    std::size_t start = 0;
    bool inUnit = false;
    const auto close = [&](std::size_t end) {
        while (end > start && stream[end - 1] == 0)
            --end;
        if (inUnit && end > start)
            units.push_back(stream.subspan(start, end - start));
    };
    for (std::size_t i = 0; i + 2 < stream.size(); ++i) {
        if (stream[i] == 0 && stream[i + 1] == 0 && stream[i + 2] == 1) {
            close(i);
            start = i + 3;
            inUnit = true;
            i += 2;
        }
    }
    close(stream.size());
    return units;
}

// A NAL unit's payload without its emulation prevention bytes.
Bytes unescape(View payload)
{
    Bytes raw;
    raw.reserve(payload.size());
    int zeros = 0;
    for (const std::uint8_t byte : payload) {
        if (zeros >= 2 && byte == 3) {
            zeros = 0;
            continue;
        }
        zeros = byte == 0 ? zeros + 1 : 0;
        raw.push_back(byte);
    }
    return raw;
}

// Appends a NAL unit, with a start code and emulation prevention bytes, to an Annex B stream.
void appendNal(Bytes& stream, std::uint8_t header, View raw)
{
    stream.insert(stream.end(), {0, 0, 0, 1, header});
    int zeros = 0;
    for (const std::uint8_t byte : raw) {
        if (zeros >= 2 && byte <= 3) {
            stream.push_back(3);
            zeros = 0;
        }
        zeros = byte == 0 ? zeros + 1 : 0;
        stream.push_back(byte);
    }
    if (!raw.empty() && raw.back() == 0)
        stream.push_back(3);
}

class BitReader
{
public:
    explicit BitReader(View bytes) : bytes_(bytes) {}

    unsigned bits(int count)
    {
        unsigned value = 0;
        for (int i = 0; i < count; ++i) {
            const std::size_t byte = position_ / 8;
            const unsigned bit =
                byte < bytes_.size() ? (bytes_[byte] >> (7 - position_ % 8)) & 1U : 0U;
            overrun_ = overrun_ || byte >= bytes_.size();
            value = (value << 1U) | bit;
            ++position_;
        }
        return value;
    }
    bool flag() { return bits(1) != 0; }
    unsigned ue()
    {
        int zeros = 0;
        while (!overrun_ && zeros < 31 && bits(1) == 0)
            ++zeros;
        return ((1U << zeros) - 1) + bits(zeros);
    }
    int se()
    {
        const unsigned code = ue();
        const int magnitude = static_cast<int>((code + 1) / 2);
        return (code & 1U) != 0 ? magnitude : -magnitude;
    }
    [[nodiscard]] std::size_t position() const { return position_; }
    [[nodiscard]] bool overrun() const { return overrun_; }

private:
    View bytes_;
    std::size_t position_ = 0;
    bool overrun_ = false;
};

class BitWriter
{
public:
    void bit(unsigned value)
    {
        current_ = (current_ << 1U) | (value & 1U);
        if (++count_ == 8) {
            bytes_.push_back(static_cast<std::uint8_t>(current_));
            current_ = 0;
            count_ = 0;
        }
    }
    void bits(unsigned value, int count)
    {
        for (int i = count - 1; i >= 0; --i)
            bit(value >> static_cast<unsigned>(i));
    }
    void ue(unsigned value)
    {
        int length = 0;
        while ((value + 1) >> static_cast<unsigned>(length + 1) != 0)
            ++length;
        bits(0, length);
        bits(value + 1, length + 1);
    }
    void se(int value) { ue(value > 0 ? 2 * unsigned(value) - 1 : 2 * unsigned(-value)); }
    // rbsp_trailing_bits: a one, then zeros to the byte's end.
    void trail()
    {
        bit(1);
        while (count_ != 0)
            bit(0);
    }
    void align(unsigned value)
    {
        while (count_ != 0)
            bit(value);
    }
    [[nodiscard]] const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
    unsigned current_ = 0;
    int count_ = 0;
};

// The context of mb_skip_flag in a P slice with cabac_init_idc 0 (m = 23, n = 33), at the
// slice quantiser a made frame uses: a skip is the more probable symbol from the start.
constexpr int kSkipContextState = ((23 * kMaxQp) >> 4) + 33 - 64;
static_assert(kSkipContextState == 42, "the skip context starts above the middle state");
// The arithmetic coder's range for the less probable symbol (rangeTabLPS), for the states a run
// of more probable symbols goes through from kSkipContextState: 42 to 62.
constexpr std::array<std::array<std::uint8_t, 4>, 21> kLpsRange{{
    {16, 20, 23, 27}, {15, 19, 22, 25}, {14, 18, 21, 24}, {14, 17, 20, 23}, {13, 16, 19, 22},
    {12, 15, 18, 21}, {12, 14, 17, 20}, {11, 14, 16, 19}, {11, 13, 15, 18}, {10, 12, 15, 17},
    {10, 12, 14, 16}, {9, 11, 13, 15},  {9, 11, 12, 14},  {8, 10, 12, 14},  {8, 9, 11, 13},
    {7, 9, 11, 12},   {7, 9, 10, 12},   {7, 8, 10, 11},   {6, 8, 9, 11},    {6, 7, 9, 10},
    {6, 7, 8, 9},
}};
constexpr int kLastState = 62;

// The binary arithmetic coder, for the two kinds of symbol an all-skipped slice has.
class CabacWriter
{
public:
    explicit CabacWriter(BitWriter& out) : out_(out) {}

    // A skipped block: the more probable symbol of the skip flag's context.
    void skip()
    {
        range_ -= kLpsRange.at(std::size_t(state_ - kSkipContextState)).at((range_ >> 6U) & 3U);
        state_ = std::min(state_ + 1, kLastState);
        renormalise();
    }
    // end_of_slice_flag; the last one also ends the slice's bits with the stop bit.
    void endOfSlice(bool last)
    {
        range_ -= 2;
        if (!last) {
            renormalise();
            return;
        }
        low_ += range_;
        range_ = 2;
        renormalise();
        put((low_ >> 9U) & 1U);
        out_.bits(((low_ >> 7U) & 3U) | 1U, 2);
    }

private:
    void renormalise()
    {
        while (range_ < 256) {
            if (low_ < 256) {
                put(0);
            } else if (low_ >= 512) {
                low_ -= 512;
                put(1);
            } else {
                low_ -= 256;
                ++outstanding_;
            }
            range_ <<= 1U;
            low_ <<= 1U;
        }
    }
    void put(unsigned bit)
    {
        if (first_)
            first_ = false;
        else
            out_.bit(bit);
        for (; outstanding_ > 0; --outstanding_)
            out_.bit(1 - bit);
    }

    BitWriter& out_;
    unsigned low_ = 0;
    unsigned range_ = 510;
    int outstanding_ = 0;
    bool first_ = true;
    int state_ = kSkipContextState;
};

bool highProfile(unsigned profile)
{
    constexpr std::array<unsigned, 13> kProfiles{100, 110, 122, 244, 44,  83, 86,
                                                 118, 128, 138, 139, 134, 135};
    return std::find(kProfiles.begin(), kProfiles.end(), profile) != kProfiles.end();
}

// Reads the sequence parameter set into `stream`; false if its frames cannot be repeated.
bool readSps(View raw, H264Stream& stream)
{
    BitReader r(raw);
    const unsigned profile = r.bits(8);
    r.bits(16); // constraint flags, level
    r.ue();     // seq_parameter_set_id
    if (highProfile(profile)) {
        const unsigned chromaFormat = r.ue();
        if (chromaFormat == 3 && r.flag())
            return false; // colour planes coded apart
        stream.chroma = chromaFormat != 0;
        r.ue(); // bit depths
        r.ue();
        r.flag(); // qpprime_y_zero_transform_bypass_flag
        if (r.flag())
            return false; // scaling lists
    }
    stream.log2MaxFrameNum = static_cast<int>(r.ue()) + 4;
    if (r.ue() != 2)
        return false; // the order of pictures is not that of their frame numbers
    if (r.ue() != 1)
        return false; // a made frame predicts from the one picture before it alone
    r.flag();         // gaps_in_frame_num_value_allowed_flag
    const unsigned widthInMbs = r.ue() + 1;
    const unsigned heightInMbs = r.ue() + 1;
    if (!r.flag())
        return false; // fields
    stream.macroblocks = static_cast<int>(widthInMbs * heightInMbs);
    return !r.overrun() && stream.log2MaxFrameNum <= 16;
}

bool readPps(View raw, H264Stream& stream)
{
    BitReader r(raw);
    stream.ppsId = static_cast<int>(r.ue());
    r.ue(); // seq_parameter_set_id
    stream.cabac = r.flag();
    r.flag(); // bottom_field_pic_order_in_frame_present_flag
    if (r.ue() != 0)
        return false; // slice groups
    stream.refIdxL0Default = static_cast<int>(r.ue());
    r.ue(); // num_ref_idx_l1_default_active_minus1
    stream.weightedPrediction = r.flag();
    r.bits(2); // weighted_bipred_idc
    stream.picInitQp = 26 + r.se();
    r.se(); // pic_init_qs_minus26
    r.se(); // chroma_qp_index_offset
    stream.deblockingControl = r.flag();
    r.flag(); // constrained_intra_pred_flag
    stream.redundantPictureCount = r.flag();
    return !r.overrun();
}

// The slice header of a made frame, up to its data.
void writeRepeatHeader(BitWriter& w, const H264Stream& stream, int frameNum)
{
    w.ue(0); // first_mb_in_slice
    w.ue(kSliceTypeAllP);
    w.ue(unsigned(stream.ppsId));
    w.bits(unsigned(frameNum), stream.log2MaxFrameNum);
    if (stream.redundantPictureCount)
        w.ue(0);
    w.bit(1); // num_ref_idx_active_override_flag: one reference, the picture before
    w.ue(0);
    w.bit(0); // ref_pic_list_modification_flag_l0
    if (stream.weightedPrediction) {
        w.ue(0); // luma_log2_weight_denom
        if (stream.chroma)
            w.ue(0);
        w.bit(0); // luma_weight_l0_flag
        if (stream.chroma)
            w.bit(0);
    }
    w.bit(0); // adaptive_ref_pic_marking_mode_flag: the sliding window
    if (stream.cabac)
        w.ue(0); // cabac_init_idc
    w.se(kMaxQp - stream.picInitQp);
    if (stream.deblockingControl)
        w.ue(1); // disable_deblocking_filter_idc
}

// Reads past a pred_weight_table of a P slice with `references` reference pictures.
void skipWeights(BitReader& r, const H264Stream& stream, unsigned references)
{
    r.ue(); // luma_log2_weight_denom
    if (stream.chroma)
        r.ue();
    for (unsigned i = 0; i < references && !r.overrun(); ++i) {
        const int pairs = (r.flag() ? 1 : 0) + (stream.chroma && r.flag() ? 2 : 0);
        for (int j = 0; j < 2 * pairs; ++j)
            r.se();
    }
}

// Reads an encoder's slice header from just after its frame_num to its end: whether the stream
// can hold the slice among made frames (an I or P slice, with no memory management commands
// and no long-term reference).
bool sliceFits(BitReader& r, const H264Stream& stream, unsigned sliceType, bool idr, bool reference)
{
    const unsigned kind = sliceType % 5;
    constexpr unsigned kP = 0;
    constexpr unsigned kI = 2;
    if (kind != kP && kind != kI)
        return false;
    if (idr)
        r.ue(); // idr_pic_id
    if (stream.redundantPictureCount)
        r.ue();
    if (kind == kP) {
        unsigned references = unsigned(stream.refIdxL0Default) + 1;
        if (r.flag()) // num_ref_idx_active_override_flag
            references = r.ue() + 1;
        if (r.flag()) { // ref_pic_list_modification_flag_l0
            constexpr unsigned kEndOfModifications = 3;
            for (int i = 0; i < 64 && !r.overrun() && r.ue() != kEndOfModifications; ++i)
                r.ue();
        }
        if (stream.weightedPrediction)
            skipWeights(r, stream, references);
    }
    if (reference) {
        if (idr) {
            r.flag(); // no_output_of_prior_pics_flag
            if (r.flag())
                return false; // long_term_reference_flag
        } else if (r.flag()) {
            return false; // adaptive_ref_pic_marking_mode_flag: memory management commands
        }
    }
    return !r.overrun();
}

int nextFrameNum(const H264Stream& stream, const FrameNumbers& numbers)
{
    return (numbers.previous + 1) & ((1 << stream.log2MaxFrameNum) - 1);
}

} // namespace

std::optional<H264Stream> readH264Stream(View headers)
{
    H264Stream stream;
    bool sps = false;
    bool pps = false;
    for (const View nal : nalUnits(headers)) {
        const int type = nal[0] & 0x1F;
        const Bytes raw = unescape(nal.subspan(1));
        if (type == kNalSps && !sps) {
            if (!readSps(raw, stream))
                return std::nullopt;
            sps = true;
        } else if (type == kNalPps && !pps) {
            if (!readPps(raw, stream))
                return std::nullopt;
            pps = true;
        }
    }
    if (!sps || !pps)
        return std::nullopt;
    return stream;
}

std::vector<std::uint8_t> repeatedFrame(const H264Stream& stream, FrameNumbers& numbers)
{
    if (!numbers.lastReference)
        return {};
    const int frameNum = nextFrameNum(stream, numbers);
    numbers.previous = frameNum;
    BitWriter w;
    writeRepeatHeader(w, stream, frameNum);
    if (stream.cabac) {
        w.align(1); // cabac_alignment_one_bit
        CabacWriter cabac(w);
        for (int i = 0; i < stream.macroblocks; ++i) {
            cabac.skip();
            cabac.endOfSlice(i + 1 == stream.macroblocks);
        }
        w.align(0); // the coder's last bit was the stop bit
    } else {
        w.ue(unsigned(stream.macroblocks)); // mb_skip_run
        w.trail();
    }
    Bytes out;
    appendNal(out, kRepeatNalHeader, w.bytes());
    return out;
}

std::vector<std::uint8_t> renumberedFrame(View accessUnit, const H264Stream& stream,
                                          FrameNumbers& numbers)
{
    // A non-reference frame takes the number after the last reference frame, as the next
    // reference frame will.
    const int frameNum = nextFrameNum(stream, numbers);
    bool idr = false;
    std::optional<bool> reference;
    Bytes out;
    out.reserve(accessUnit.size() + 16);
    for (const View nal : nalUnits(accessUnit)) {
        const int type = nal[0] & 0x1F;
        if (type != kNalSlice && type != kNalIdrSlice) {
            out.insert(out.end(), {0, 0, 0, 1});
            out.insert(out.end(), nal.begin(), nal.end());
            continue;
        }
        idr = idr || type == kNalIdrSlice;
        const bool isReference = (nal[0] >> 5U) != 0;
        if (reference.value_or(isReference) != isReference)
            return {};
        reference = isReference;
        Bytes raw = unescape(nal.subspan(1));
        BitReader r(raw);
        r.ue(); // first_mb_in_slice
        const unsigned sliceType = r.ue();
        r.ue(); // pic_parameter_set_id
        std::size_t at = r.position();
        r.bits(stream.log2MaxFrameNum);
        if (!sliceFits(r, stream, sliceType, type == kNalIdrSlice, isReference))
            return {};
        // An IDR frame keeps its number 0.
        for (int i = stream.log2MaxFrameNum - 1; i >= 0 && type == kNalSlice; --i, ++at) {
            const auto mask = static_cast<std::uint8_t>(0x80U >> (at % 8));
            if (((unsigned(frameNum) >> unsigned(i)) & 1U) != 0)
                raw.at(at / 8) |= mask;
            else
                raw.at(at / 8) &= static_cast<std::uint8_t>(~mask);
        }
        appendNal(out, nal[0], raw);
    }
    if (!reference)
        return out;
    numbers.lastReference = *reference;
    if (idr)
        numbers.previous = 0;
    else if (*reference)
        numbers.previous = frameNum;
    return out;
}

} // namespace q3
