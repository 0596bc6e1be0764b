#pragma once

#include "core/controls.h"
#include "layout/font_measure.h"

#include <string>
#include <string_view>
#include <vector>

namespace q3 {

// How a label sets its caption. Everything is in stage units, at the label's design size, so a
// caption breaks into the same lines whatever the size of the output. The rules are those of
// classic desktop labels:
//
// - Words are set at their advances, and spaces keep their width: every space is the face's own
//   space, but at least a quarter of the em. Some of the free faces set spaces tighter than the
//   faces they stand in for, which would pull lettering that a caption pushes down with spaces
//   back up a line.
// - A line ends at the space nearest the point where the text stops fitting the label's width.
//   The space at the break is not drawn; the other spaces of a run that reaches the end of a
//   line fill it and go on at the start of the next.
// - A run of spaces wider than the label cannot be spacing between words on any line: it is
//   white space, set the way type sets white lines, in en quads (spaces half an em wide). It
//   ends the text before it and fills blank lines, as many quads to a line as fit the label's
//   width (the last line perhaps part filled), and the text after it starts on the line below.
//   So a caption that opens with a long run stands its lettering on a low line of its label,
//   while a run shorter than the label stays spacing within its line.
// - A word wider than the line stands alone on its line and is cut at the label's edges.
// - If the widest word of a caption does not fit the label's width at the caption's size, the
//   whole caption is set at the largest size at which it does, so a title never shows a fragment
//   of itself.
// - Lines stack from the label's top edge, one line height apart; a line's baseline lies the
//   font's ascent below its top. Lines that start below the label's bottom edge are not shown.
// - Each line is centred in the label's width, spaces and all (a left-aligned label starts its
//   lines at its left edge).
//
// Text is UTF-8; lines break only at spaces (U+0020).

// A font at one size as caption layout measures it.
class CaptionFont
{
public:
    CaptionFont(const FontMeasure& measure, const DesignFont& face, int size);

    [[nodiscard]] int size() const { return size_; }
    [[nodiscard]] const DesignFont& face() const { return face_; }
    [[nodiscard]] const FontExtents& extents() const { return extents_; }
    // The width of one space.
    [[nodiscard]] double space() const { return space_; }
    // The advance of a word (text without spaces).
    [[nodiscard]] double word(std::string_view text) const;
    // The width of text with spaces, each space at space().
    [[nodiscard]] double width(std::string_view text) const;

private:
    const FontMeasure* measure_;
    DesignFont face_;
    int size_;
    FontExtents extents_;
    double space_;
};

// The lines a caption breaks into in a label `width` units wide.
[[nodiscard]] std::vector<std::string> wrapCaption(std::string_view text, const CaptionFont& font,
                                                   double width);

// A word of a laid-out caption and where it is drawn: `x` from the label's left edge.
struct CaptionRun
{
    std::string text;
    double x = 0;
};

struct CaptionLine
{
    std::string text;
    double left = 0;     // where the line starts, from the label's left edge
    double width = 0;    // spaces included
    double top = 0;      // from the label's top edge
    double baseline = 0; // from the label's top edge
    std::vector<CaptionRun> runs;
};

struct CaptionLayout
{
    int size = 0; // the em the caption is set at, in units
    FontExtents extents;
    std::vector<CaptionLine> lines; // the lines that show, top to bottom
};

// Lays out a label's caption at a size in points (20 units to a point).
[[nodiscard]] CaptionLayout layoutCaption(const ControlDesign& row, std::string_view caption,
                                          double pointSize, const FontMeasure& measure);

} // namespace q3
