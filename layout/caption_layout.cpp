#include "layout/caption_layout.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace q3 {
namespace {

constexpr char kSpace = ' ';

// Whether the byte at `i` starts a character (is not a UTF-8 continuation byte).
bool startsCharacter(std::string_view text, std::size_t i)
{
    return (static_cast<unsigned char>(text[i]) & 0xC0U) != 0x80U;
}

// The byte offsets at which the characters of `text` start, and its end.
std::vector<std::size_t> characterStarts(std::string_view text)
{
    std::vector<std::size_t> starts;
    for (std::size_t i = 0; i < text.size(); ++i)
        if (startsCharacter(text, i))
            starts.push_back(i);
    starts.push_back(text.size());
    return starts;
}

template <typename Visit> void forEachWord(std::string_view text, Visit&& visit)
{
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == kSpace) {
            ++i;
            continue;
        }
        std::size_t end = text.find(kSpace, i);
        if (end == std::string_view::npos)
            end = text.size();
        visit(text.substr(i, end - i), i);
        i = end;
    }
}

double widestWord(std::string_view text, const CaptionFont& font)
{
    double widest = 0;
    forEachWord(text, [&](std::string_view word, std::size_t) {
        widest = std::max(widest, font.word(word));
    });
    return widest;
}

// The end of the longest piece of `text` from byte `start` that fits `width`: a character
// boundary. Widths grow with the length of a piece.
std::size_t fittingEnd(std::string_view text, const std::vector<std::size_t>& starts,
                       std::size_t start, const CaptionFont& font, double width)
{
    auto fits = static_cast<std::size_t>(std::lower_bound(starts.begin(), starts.end(), start) -
                                         starts.begin());
    std::size_t tooLong = starts.size();
    while (tooLong - fits > 1) {
        const std::size_t mid = fits + (tooLong - fits) / 2;
        if (font.width(text.substr(start, starts[mid] - start)) <= width)
            fits = mid;
        else
            tooLong = mid;
    }
    return starts[fits];
}

CaptionLine lineOf(std::string line, const CaptionFont& font, const ControlDesign& row)
{
    CaptionLine laid;
    laid.width = font.width(line);
    laid.left = row.align == Align::Left ? 0 : (row.rect.width - laid.width) / 2;
    forEachWord(line, [&](std::string_view word, std::size_t at) {
        laid.runs.push_back({std::string(word), laid.left + font.width(line.substr(0, at))});
    });
    laid.text = std::move(line);
    return laid;
}

} // namespace

CaptionFont::CaptionFont(const FontMeasure& measure, const DesignFont& face, int size)
    : measure_(&measure), face_(face), size_(std::max(1, size)),
      extents_(measure.extents(face_, size_)),
      space_(std::max(measure.advance(face_, size_, " "), size_ / 4.0))
{}

double CaptionFont::word(std::string_view text) const
{
    return measure_->advance(face_, size_, text);
}

double CaptionFont::width(std::string_view text) const
{
    double total = 0;
    std::size_t spaces = 0;
    for (const char c : text)
        spaces += c == kSpace ? 1 : 0;
    forEachWord(text, [&](std::string_view w, std::size_t) { total += word(w); });
    return total + double(spaces) * space_;
}

namespace {

// Breaks text that holds no run of spaces wider than the line.
void wrapWords(std::string_view text, const CaptionFont& font, double width,
               std::vector<std::string>& lines)
{
    const std::vector<std::size_t> starts = characterStarts(text);
    const std::size_t n = text.size();
    std::size_t start = 0;
    while (start < n) {
        const std::size_t end = fittingEnd(text, starts, start, font, width);
        if (end == n) {
            lines.emplace_back(text.substr(start));
            break;
        }
        if (text[end] == kSpace) {
            lines.emplace_back(text.substr(start, end - start));
            start = end + 1;
            continue;
        }
        const std::size_t space = end > start ? text.rfind(kSpace, end - 1) : std::string::npos;
        if (space != std::string::npos && space >= start) {
            lines.emplace_back(text.substr(start, space - start));
            start = space + 1;
            continue;
        }
        // A word longer than the line: it keeps its line and is cut at the label's edge.
        std::size_t wordEnd = text.find(kSpace, end);
        if (wordEnd == std::string_view::npos)
            wordEnd = n;
        lines.emplace_back(text.substr(start, wordEnd - start));
        start = wordEnd + 1;
    }
}

// Sets a run of `count` spaces too wide for the line as blank lines of en quads.
void blankLines(std::size_t count, const CaptionFont& font, double width,
                std::vector<std::string>& lines)
{
    const double quad = font.size() / 2.0;
    const auto perLine = std::max<std::size_t>(1, static_cast<std::size_t>(width / quad));
    for (std::size_t set = 0; set < count; set += perLine)
        lines.emplace_back(std::min(perLine, count - set), kSpace);
}

} // namespace

std::vector<std::string> wrapCaption(std::string_view text, const CaptionFont& font, double width)
{
    std::vector<std::string> lines;
    std::size_t start = 0;
    std::size_t run = text.find(kSpace);
    while (run != std::string_view::npos) {
        std::size_t end = text.find_first_not_of(kSpace, run);
        if (end == std::string_view::npos)
            end = text.size();
        if (double(end - run) * font.space() > width) {
            wrapWords(text.substr(start, run - start), font, width, lines);
            blankLines(end - run, font, width, lines);
            start = end;
        }
        run = text.find(kSpace, end);
    }
    wrapWords(text.substr(start), font, width, lines);
    return lines;
}

CaptionLayout layoutCaption(const ControlDesign& row, std::string_view caption, double pointSize,
                            const FontMeasure& measure)
{
    int size = static_cast<int>(std::lround(pointSize * kUnitsPerPoint));
    const double width = row.rect.width;
    const auto fits = [&](int at) {
        return widestWord(caption, CaptionFont(measure, row.font, at)) <= width;
    };
    const double widest = widestWord(caption, CaptionFont(measure, row.font, size));
    if (widest > width && size > 1) {
        // Advances need not grow in proportion to the size (hinting rounds them), so the size
        // in proportion is only where the search starts, up or down.
        const int largest = size - 1;
        size = std::clamp(static_cast<int>(std::floor(size * width / widest)), 1, largest);
        while (size < largest && fits(size + 1))
            ++size;
        while (size > 1 && !fits(size))
            --size;
    }
    const CaptionFont font(measure, row.font, size);
    CaptionLayout layout;
    layout.size = font.size();
    layout.extents = font.extents();
    for (std::string& text : wrapCaption(caption, font, width)) {
        const double top = layout.extents.lineHeight * double(layout.lines.size());
        if (top >= row.rect.height)
            break;
        CaptionLine line = lineOf(std::move(text), font, row);
        line.top = top;
        line.baseline = top + layout.extents.ascent;
        layout.lines.push_back(std::move(line));
    }
    return layout;
}

} // namespace q3
