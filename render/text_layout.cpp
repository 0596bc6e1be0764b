#include "render/text_layout.h"

#include "render/fonts.h"

#include <algorithm>
#include <cmath>

namespace q3 {
namespace {

double widestWord(const QString& text, const CaptionMetrics& metrics)
{
    double widest = 0;
    for (const QString& word : text.split(u' ', Qt::SkipEmptyParts))
        widest = std::max(widest, metrics.wordWidth(word));
    return widest;
}

std::vector<TextRun> runsOf(const QString& line, const CaptionMetrics& metrics)
{
    std::vector<TextRun> runs;
    double x = 0;
    qsizetype i = 0;
    while (i < line.size()) {
        if (line.at(i) == u' ') {
            x += metrics.space();
            ++i;
            continue;
        }
        qsizetype end = line.indexOf(u' ', i);
        if (end < 0)
            end = line.size();
        TextRun run{line.mid(i, end - i), x};
        x += metrics.wordWidth(run.text);
        runs.push_back(std::move(run));
        i = end;
    }
    return runs;
}

} // namespace

CaptionMetrics::CaptionMetrics(const QFont& font)
    : metrics_(font),
      space_(std::max(metrics_.horizontalAdvance(QLatin1Char(' ')), font.pixelSize() / 4.0))
{}

double CaptionMetrics::width(const QString& text) const
{
    double total = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        if (text.at(i) == u' ') {
            total += space_;
            ++i;
            continue;
        }
        qsizetype end = text.indexOf(u' ', i);
        if (end < 0)
            end = text.size();
        total += metrics_.horizontalAdvance(text.mid(i, end - i));
        i = end;
    }
    return total;
}

std::vector<QString> wrapCaption(const QString& text, const CaptionMetrics& metrics, double width)
{
    std::vector<QString> lines;
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n) {
        // The longest run from `start` that fits (widths grow with the length of the run).
        qsizetype fits = start;
        qsizetype tooLong = n + 1;
        while (tooLong - fits > 1) {
            const qsizetype mid = fits + (tooLong - fits) / 2;
            if (metrics.width(text.mid(start, mid - start)) <= width)
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

TextLayout layoutCaption(const ControlDesign& row, const QString& caption, double pointSize)
{
    int pixelSize = static_cast<int>(std::lround(pointSize * kUnitsPerPoint));
    QFont font = stageFont(row.font, pixelSize);
    const double width = row.rect.width;
    const double widest = widestWord(caption, CaptionMetrics(font));
    if (widest > width) {
        pixelSize = static_cast<int>(std::floor(pixelSize * width / widest));
        font.setPixelSize(std::max(1, pixelSize));
        while (pixelSize > 1 && widestWord(caption, CaptionMetrics(font)) > width)
            font.setPixelSize(--pixelSize);
    }
    const CaptionMetrics metrics(font);
    TextLayout layout;
    layout.font = font;
    layout.lines = wrapCaption(caption, metrics, width);
    layout.ascent = metrics.fontMetrics().ascent();
    layout.lineHeight = metrics.fontMetrics().height();
    for (const QString& line : layout.lines) {
        layout.widths.push_back(metrics.width(line));
        layout.runs.push_back(runsOf(line, metrics));
    }
    return layout;
}

} // namespace q3
