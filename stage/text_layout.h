#pragma once

#include "stage/controls.h"

#include <QFont>
#include <QFontMetricsF>
#include <QString>
#include <QStringList>
#include <vector>

namespace q3 {

// Breaks a caption into lines the way classic desktop labels do: a line ends at the space
// nearest the point where the text stops fitting, and spaces keep their width, so a long run of
// spaces fills whole lines. The space at a break is not drawn. A word wider than the line
// stands alone on its line.
[[nodiscard]] std::vector<QString> wrapCaption(const QString& text, const QFontMetricsF& metrics,
                                               double width);

struct TextLayout
{
    QFont font;
    std::vector<QString> lines;
    std::vector<double> widths;
    double ascent = 0;
    double lineHeight = 0;
};

// Lays a label's caption out in units at its current font size. If the widest word does not fit
// the label's width at that size, the caption is set at the largest size at which it does, so a
// title never shows a fragment of itself.
[[nodiscard]] TextLayout layoutCaption(const ControlSpec& spec, const QString& caption,
                                       double pointSize);

} // namespace q3
