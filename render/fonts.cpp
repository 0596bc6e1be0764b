#include "render/fonts.h"

#include "core/messages.h"
#include "layout/stage_faces.h"

#include <QFile>
#include <QFontDatabase>
#include <QString>
#include <string>
#include <string_view>

namespace q3 {

void loadStageFonts()
{
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    for (const StageFace& stand : kStageFaces)
        for (const std::string_view file : stand.files) {
            if (file.empty())
                continue;
            const QString path =
                QString::fromUtf8(file.data(), static_cast<qsizetype>(file.size()));
            // Without the file the text is still drawn, in whatever face the system offers.
            if (!QFile::exists(path))
                printWarning("the font file " + std::string(file) +
                             " is missing; its text is drawn in another face");
            else if (QFontDatabase::addApplicationFont(path) < 0)
                printWarning("the font file " + std::string(file) +
                             " cannot be loaded; its text is drawn in another face");
        }
}

QFont stageFont(const DesignFont& face, int pixelSizeUnits)
{
    QFont font;
    if (const StageFace* stand = stageFaceFor(face.face))
        font.setFamilies({QString::fromUtf8(stand->family.data(),
                                            static_cast<qsizetype>(stand->family.size()))});
    font.setPixelSize(std::max(1, pixelSizeUnits));
    font.setWeight(face.bold ? QFont::Bold : QFont::Normal);
    font.setItalic(face.italic);
    // Metrics at the design size must not depend on the output's resolution.
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

const QFontMetricsF& QtFontMeasure::metrics(const DesignFont& font, int size) const
{
    if (!kept_ || kept_->face != font.face || kept_->bold != font.bold ||
        kept_->italic != font.italic || kept_->size != size)
        kept_.emplace(Kept{std::string(font.face), font.bold, font.italic, size,
                           QFontMetricsF(stageFont(font, size))});
    return kept_->metrics;
}

double QtFontMeasure::advance(const DesignFont& font, int size, std::string_view text) const
{
    return metrics(font, size)
        .horizontalAdvance(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

FontExtents QtFontMeasure::extents(const DesignFont& font, int size) const
{
    const QFontMetricsF& m = metrics(font, size);
    return {.ascent = m.ascent(), .descent = m.descent(), .lineHeight = m.height()};
}

} // namespace q3
