// Encodes a duckling's pixel art (a text file of 55 rows of 55 characters) into the GIF89a
// picture that the program embeds: one 55 x 55 image on an 8-colour palette whose last entry
// is transparent. The output depends on nothing but the art, so every build writes the same
// bytes.
//
//   encode_gif <art.txt> <picture.gif>
#include "render/assets/duck_palette.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

using q3::kDuckPalette;
constexpr int kSide = q3::kDuckSide;
constexpr std::uint8_t kTransparentIndex = q3::kDuckTransparentIndex;
constexpr int kMinCodeSize = 3;
constexpr int kMaxCodeSize = 12;

struct Symbol
{
    char ch;
    std::uint8_t index;
};

// The characters of the art files and the palette entries they stand for.
constexpr std::array<Symbol, 6> kLegend{{
    {'@', 0},
    {'Y', 3},
    {'O', 4},
    {':', 5},
    {'%', 6},
    {'.', kTransparentIndex},
}};

std::optional<std::uint8_t> paletteIndex(char ch)
{
    for (const Symbol& s : kLegend)
        if (s.ch == ch)
            return s.index;
    return std::nullopt;
}

// The art's pixels, row by row, or an error that names the line at fault.
std::optional<Bytes> readArt(std::istream& in, std::string& error)
{
    Bytes pixels;
    std::string text;
    int lineNumber = 0;
    int rows = 0;
    while (std::getline(in, text)) {
        ++lineNumber;
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        if (text.starts_with('#'))
            continue;
        if (text.empty() && rows == kSide)
            continue;
        if (rows == kSide) {
            error = "line " + std::to_string(lineNumber) + ": more than 55 rows";
            return std::nullopt;
        }
        if (static_cast<int>(text.size()) != kSide) {
            error = "line " + std::to_string(lineNumber) + ": " + std::to_string(text.size()) +
                    " characters, expected 55";
            return std::nullopt;
        }
        for (std::size_t column = 0; column < text.size(); ++column) {
            const auto index = paletteIndex(text[column]);
            if (!index) {
                error = "line " + std::to_string(lineNumber) + ", column " +
                        std::to_string(column + 1) + ": '" + text[column] +
                        "' is not in the legend";
                return std::nullopt;
            }
            pixels.push_back(*index);
        }
        ++rows;
    }
    if (rows != kSide) {
        error = std::to_string(rows) + " rows, expected 55";
        return std::nullopt;
    }
    return pixels;
}

// LZW codes of growing width, packed from the lowest bit of each byte up.
class CodeWriter
{
public:
    void write(int code, int width)
    {
        buffer_ |= static_cast<std::uint32_t>(code) << bits_;
        bits_ += width;
        while (bits_ >= 8) {
            bytes_.push_back(static_cast<std::uint8_t>(buffer_ & 0xffU));
            buffer_ >>= 8;
            bits_ -= 8;
        }
    }

    Bytes finish()
    {
        if (bits_ > 0)
            bytes_.push_back(static_cast<std::uint8_t>(buffer_ & 0xffU));
        buffer_ = 0;
        bits_ = 0;
        return std::move(bytes_);
    }

private:
    Bytes bytes_;
    std::uint32_t buffer_ = 0;
    int bits_ = 0;
};

Bytes compress(const Bytes& pixels)
{
    constexpr int clearCode = 1 << kMinCodeSize;
    constexpr int endCode = clearCode + 1;
    constexpr int tableSize = 1 << kMaxCodeSize;
    constexpr int symbols = 1 << kMinCodeSize;

    // For each code, the code that extends it by each symbol, or -1.
    std::vector<std::array<int, symbols>> next(tableSize);
    int width = kMinCodeSize + 1;
    int free = endCode + 1;
    auto reset = [&] {
        for (auto& row : next)
            row.fill(-1);
        width = kMinCodeSize + 1;
        free = endCode + 1;
    };

    CodeWriter out;
    reset();
    out.write(clearCode, width);
    int current = pixels.front();
    for (std::size_t i = 1; i < pixels.size(); ++i) {
        const std::uint8_t symbol = pixels[i];
        const int extended = next.at(current).at(symbol);
        if (extended >= 0) {
            current = extended;
            continue;
        }
        out.write(current, width);
        // The reader adds each entry one code later than the writer, and widens its codes as
        // soon as the next entry would not fit: widening right after adding keeps both in step.
        const int added = free++;
        next.at(current).at(symbol) = added;
        if (added >= (1 << width) && width < kMaxCodeSize)
            ++width;
        if (free == tableSize) {
            out.write(clearCode, width);
            reset();
        }
        current = symbol;
    }
    out.write(current, width);
    // The reader adds an entry for this last code too, and may widen before reading the end.
    if (free >= (1 << width) && width < kMaxCodeSize)
        ++width;
    out.write(endCode, width);
    return out.finish();
}

void putWord(Bytes& out, int value)
{
    out.push_back(static_cast<std::uint8_t>(value & 0xff));
    out.push_back(static_cast<std::uint8_t>((value >> 8) & 0xff));
}

Bytes encodeGif(const Bytes& pixels)
{
    Bytes out{'G', 'I', 'F', '8', '9', 'a'};

    // Logical screen: a global table of 2^(2+1) entries, colour resolution 3 bits.
    putWord(out, kSide);
    putWord(out, kSide);
    out.push_back(0x80 | ((3 - 1) << 4) | 2);
    out.push_back(0); // background colour index
    out.push_back(0); // square pixels
    for (const q3::Rgb colour : kDuckPalette)
        out.insert(out.end(), {colour.r, colour.g, colour.b});

    // Graphic control: transparency on, no delay.
    out.insert(out.end(), {0x21, 0xf9, 0x04, 0x01});
    putWord(out, 0);
    out.push_back(kTransparentIndex);
    out.push_back(0);

    // The one image, covering the screen, no local table, not interlaced.
    out.push_back(0x2c);
    putWord(out, 0);
    putWord(out, 0);
    putWord(out, kSide);
    putWord(out, kSide);
    out.push_back(0);

    out.push_back(kMinCodeSize);
    const Bytes data = compress(pixels);
    for (std::size_t at = 0; at < data.size(); at += 255) {
        const std::size_t length = std::min<std::size_t>(255, data.size() - at);
        out.push_back(static_cast<std::uint8_t>(length));
        out.insert(out.end(), data.begin() + static_cast<std::ptrdiff_t>(at),
                   data.begin() + static_cast<std::ptrdiff_t>(at + length));
    }
    out.push_back(0);

    out.push_back(0x3b);
    return out;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: encode_gif <art.txt> <picture.gif>\n";
        return 2;
    }
    const std::string artPath = argv[1];
    const std::string gifPath = argv[2];

    std::ifstream art(artPath);
    if (!art) {
        std::cerr << "encode_gif: cannot read " << artPath << '\n';
        return 1;
    }
    std::string error;
    const auto pixels = readArt(art, error);
    if (!pixels) {
        std::cerr << "encode_gif: " << artPath << ": " << error << '\n';
        return 1;
    }

    const Bytes gif = encodeGif(*pixels);
    // Written beside the destination and renamed into place, so that an interrupted build
    // never leaves a truncated picture that looks up to date.
    const std::string partial = gifPath + ".part";
    {
        std::ofstream file(partial, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(gif.data()),
                   static_cast<std::streamsize>(gif.size()));
        if (!file.flush()) {
            std::cerr << "encode_gif: cannot write " << partial << '\n';
            return 1;
        }
    }
    if (std::rename(partial.c_str(), gifPath.c_str()) != 0) {
        std::cerr << "encode_gif: cannot write " << gifPath << '\n';
        std::remove(partial.c_str());
        return 1;
    }
    return 0;
}
