#include "stage/text_layout.h"

#include "stage/fonts.h"

#include <algorithm>
#include <cmath>

namespace q3 {
namespace {

double widestWord(const QString& text, const QFontMetricsF& metrics)
{
    double widest = 0;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.horizontalAdvance(word));
    return widest;
}

} // namespace

std::vector<QString> wrapCaption(const QString& text, const QFontMetricsF& metrics, double width)
{
    std::vector<QString> lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        // The longest run from `start` that fits (advances grow with the length of the run).
        qsizetype fits = start;
        qsizetype tooLong = n + 1;
        while (tooLong - fits > 1) {
            const qsizetype mid = fits + (tooLong - fits) / 2;
            if (metrics.horizontalAdvance(text.mid(start, mid - start)) <= width)
                fits = mid;
            else
                tooLong = mid;
        }
        const qsizetype end = fits;
        if (end == n) {
            lines.push_back(text.mid(start));
            break;
        }
        if (text.at(end) == u' ') {
            lines.push_back(text.mid(start, end - start));
            start = end + 1;
            continue;
        }
        const qsizetype space = end > start ? text.lastIndexOf(u' ', end - 1) : -1;
        if (space >= start) {
            lines.push_back(text.mid(start, space - start));
            start = space + 1;
            continue;
        }
        // A word longer than the line: it keeps its line and is cut at the label's edge.
        qsizetype wordEnd = text.indexOf(u' ', end);
        if (wordEnd < 0)
            wordEnd = n;
        lines.push_back(text.mid(start, wordEnd - start));
        start = wordEnd + 1;
    }
    return lines;
}

TextLayout layoutCaption(const ControlSpec& spec, const QString& caption, double pointSize)
{
    int pixelSize = static_cast<int>(std::lround(pointSize * kUnitsPerPoint));
    QFont font = stageFont(spec.font, pixelSize);
    const double width = spec.rect.width;
    double widest = widestWord(caption, QFontMetricsF(font));
    if (widest > width) {
        pixelSize = static_cast<int>(std::floor(pixelSize * width / widest));
        font.setPixelSize(std::max(1, pixelSize));
        while (pixelSize > 1 && widestWord(caption, QFontMetricsF(font)) > width)
            font.setPixelSize(--pixelSize);
    }
    const QFontMetricsF metrics(font);
    TextLayout layout{
        font, wrapCaption(caption, metrics, width), {}, metrics.ascent(), metrics.height()};
    layout.widths.reserve(layout.lines.size());
    for (const QString& line : layout.lines)
        layout.widths.push_back(metrics.horizontalAdvance(line));
    return layout;
}

} // namespace q3
