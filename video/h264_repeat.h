#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace q3 {

// A picture shown again costs an H.264 encoder nearly as much as a new one: it still looks at
// every block. The stream can instead repeat the picture before in a few bytes: a P-frame
// whose blocks are all skipped copies its reference exactly (a skipped block with no neighbour
// moving has no motion and no residual, and with the deblocking filter off nothing else changes
// it). Such a frame is a reference frame of its own, so the encoder's frames after it are
// renumbered to count it; the encoder must then use one reference frame and no B-frames, so that
// the frame it predicts from is always the latest one and decoding order is showing order.

// What a made frame must agree with, read from the encoder's parameter sets.
struct H264Stream
{
    int log2MaxFrameNum = 4;
    int ppsId = 0;
    int macroblocks = 0;
    int picInitQp = 26;
    int refIdxL0Default = 0; // num_ref_idx_l0_default_active_minus1
    bool cabac = false;
    bool chroma = true;
    bool weightedPrediction = false;
    bool deblockingControl = false;
    bool redundantPictureCount = false;
};

// The stream's parameter sets (Annex B, as an encoder's extra data), if its frames can be
// repeated this way: one reference frame, frame numbers that order pictures (picture order type
// 2, which also means no B-frames), whole frames, one slice group, flat scaling lists.
[[nodiscard]] std::optional<H264Stream> readH264Stream(std::span<const std::uint8_t> headers);

// Numbers the frames in decoding order as the stream will hold them.
struct FrameNumbers
{
    int previous = 0;          // frame_num of the last reference frame
    bool lastReference = true; // whether the last frame is a reference frame
};

// The previous picture again, as an access unit in Annex B; empty after a non-reference frame,
// whose picture a made frame cannot copy (it predicts from the last reference frame).
[[nodiscard]] std::vector<std::uint8_t> repeatedFrame(const H264Stream& stream,
                                                      FrameNumbers& numbers);

// The encoder's access unit (Annex B), its slices renumbered to follow the made frames. Empty if
// the stream cannot hold it: slices other than I and P, memory management commands or long-term
// references, which count frames in a way the made frames would upset. A non-reference frame is
// held, numbered as one, and no frame can be repeated after it.
[[nodiscard]] std::vector<std::uint8_t> renumberedFrame(std::span<const std::uint8_t> accessUnit,
                                                        const H264Stream& stream,
                                                        FrameNumbers& numbers);

} // namespace q3
