#include "render/fonts.h"

#include "core/messages.h"

#include <QFile>
#include <QFontDatabase>
#include <QString>
#include <array>

namespace q3 {
namespace {

struct FaceMapping
{
    std::string_view face;
    const char* family;
    std::array<const char*, 3> files;
};

// Debian's free fonts standing in for the faces of the design.
const std::array<FaceMapping, 6> kFaces{{
    {"Impact",
     "Roboto Condensed",
     {"/usr/share/fonts/truetype/roboto/unhinted/RobotoCondensed-Bold.ttf", nullptr, nullptr}},
    {"Comic Sans MS",
     "Comic Neue",
     {"/usr/share/fonts/opentype/comic-neue/ComicNeue-Bold.otf", nullptr, nullptr}},
    {"Arial",
     "Liberation Sans",
     {"/usr/share/fonts/truetype/liberation2/LiberationSans-Bold.ttf", nullptr, nullptr}},
    {"Lucida Console",
     "DejaVu Sans Mono",
     {"/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf", nullptr, nullptr}},
    {"Verdana",
     "DejaVu Sans",
     {"/usr/share/fonts/truetype/dejavu/DejaVuSans-Oblique.ttf",
      "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf", nullptr}},
    {"Garamond",
     "EB Garamond",
     {"/usr/share/fonts/opentype/ebgaramond/EBGaramond12-Bold.otf", nullptr, nullptr}},
}};

const FaceMapping* mappingFor(std::string_view face)
{
    for (const FaceMapping& mapping : kFaces)
        if (mapping.face == face)
            return &mapping;
    return nullptr;
}

} // namespace

void loadStageFonts()
{
    static bool loaded = false;
    if (loaded)
        return;
    loaded = true;
    for (const FaceMapping& mapping : kFaces)
        for (const char* file : mapping.files) {
            if (file == nullptr)
                continue;
            // Without the file the text is still drawn, in whatever face the system offers.
            if (!QFile::exists(QString::fromUtf8(file)))
                printWarning("the font file " + std::string(file) +
                             " is missing; its text is drawn in another face");
            else if (QFontDatabase::addApplicationFont(QString::fromUtf8(file)) < 0)
                printWarning("the font file " + std::string(file) +
                             " cannot be loaded; its text is drawn in another face");
        }
}

QFont stageFont(const DesignFont& face, int pixelSizeUnits)
{
    QFont font;
    if (const FaceMapping* mapping = mappingFor(face.face))
        font.setFamilies({QString::fromUtf8(mapping->family)});
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
