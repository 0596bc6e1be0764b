#pragma once

#include "core/controls.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <vector>

namespace q3 {

// Widths of caption text as classic desktop labels set it: words at their advances, and every
// space at least a quarter of the em wide. Some of the free faces set spaces tighter than the
// faces they stand in for, which would pull lettering that a caption pushes down with spaces
// back up a line.
class CaptionMetrics
{
public:
    explicit CaptionMetrics(const QFont& font);

    [[nodiscard]] double width(const QString& text) const;
    [[nodiscard]] double space() const { return space_; }
    [[nodiscard]] double wordWidth(const QString& word) const
    {
        return metrics_.horizontalAdvance(word);
    }
    [[nodiscard]] const QFontMetricsF& fontMetrics() const { return metrics_; }

private:
    QFontMetricsF metrics_;
    double space_;
};

// Breaks a caption into lines the way classic desktop labels do: a line ends at the space
// nearest the point where the text stops fitting, and spaces keep their width, so a long run of
// spaces fills whole lines. The space at a break is not drawn. A word wider than the line
// stands alone on its line.
[[nodiscard]] std::vector<QString> wrapCaption(const QString& text, const CaptionMetrics& metrics,
                                               double width);

// A word of a laid-out line and where it starts, from the line's left end.
struct TextRun
{
    QString text;
    double x = 0;
};

struct TextLayout
{
    QFont font;
    std::vector<QString> lines;
    std::vector<double> widths;
    std::vector<std::vector<TextRun>> runs;
    double ascent = 0;
    double lineHeight = 0;
};

// Lays a label's caption out in units at its current font size. If the widest word does not fit
// the label's width at that size, the caption is set at the largest size at which it does, so a
// title never shows a fragment of itself.
[[nodiscard]] TextLayout layoutCaption(const ControlDesign& row, const QString& caption,
                                       double pointSize);

} // namespace q3
