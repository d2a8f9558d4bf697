#include "panels/TextFormatting.h"

#include <QFontDatabase>
#include <algorithm>
#include <cstdlib>
#include <limits>

namespace zandrel::TextFormatting {

namespace {

// Faces at least this heavy count as bold.
constexpr int kBoldWeight = QFont::DemiBold;

bool isBold(const Face& face)
{
    return QFontDatabase::weight(face.family, face.style) >= kBoldWeight;
}

// Slanted either way: many families name their slanted faces "Oblique", which the font database
// does not count as italic.
bool isItalic(const Face& face)
{
    return QFontDatabase::italic(face.family, face.style)
        || QFontDatabase::font(face.family, face.style, 0).style() != QFont::StyleNormal;
}

// Among the family's faces that pass the filter, the one whose weight is nearest the wanted one;
// of equally near ones the plainest, with the shortest font name ("Bold", not "Condensed Bold").
template <typename Filter> std::optional<Face> nearestFace(const QString& family, int weight, Filter accepts)
{
    std::optional<Face> best;
    int bestDistance = std::numeric_limits<int>::max();
    qsizetype bestLength = 0;
    for (const QString& style : QFontDatabase::styles(family)) {
        const Face candidate { family, style };
        if (!accepts(candidate))
            continue;
        const int distance = std::abs(QFontDatabase::weight(family, style) - weight);
        const qsizetype length = FontRegistry::fontName(candidate).size();
        if (distance < bestDistance || (distance == bestDistance && length < bestLength)) {
            best = candidate;
            bestDistance = distance;
            bestLength = length;
        }
    }
    return best;
}

} // namespace

QStringList sortedFamilies()
{
    QStringList families = FontRegistry::installedFamilies();
    std::sort(families.begin(), families.end(),
        [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return families;
}

bool showsItsName(const QString& family)
{
    return !QFontDatabase::writingSystems(family).contains(QFontDatabase::Symbol);
}

std::optional<QFont> sampleFont(const QString& family)
{
    const QStringList styles = QFontDatabase::styles(family);
    if (styles.isEmpty() || !showsItsName(family))
        return std::nullopt;
    auto shorterName = [&family](const QString& a, const QString& b) {
        return FontRegistry::fontName({ family, a }).size() < FontRegistry::fontName({ family, b }).size();
    };
    // Of the upright faces at normal weight the plainest ("Book" rather than "Condensed"); a family
    // without one (a light family) shows upright all the same.
    QStringList plain;
    QStringList upright;
    for (const QString& style : styles) {
        if (isItalic({ family, style }))
            continue;
        upright.append(style);
        if (QFontDatabase::weight(family, style) == QFont::Normal)
            plain.append(style);
    }
    const QStringList& candidates = !plain.isEmpty() ? plain : !upright.isEmpty() ? upright : styles;
    return faceSample({ family, *std::min_element(candidates.cbegin(), candidates.cend(), shorterName) });
}

QFont faceSample(const Face& face)
{
    QFont font = QFontDatabase::font(face.family, face.style, 0);
    font.setPointSizeF(kSampleSize);
    return font;
}

Face faceOf(const std::optional<TextFont>& font)
{
    if (font) {
        if (const auto face = FontRegistry::shared().faceNamed(font->name))
            return *face;
    }
    const QFont shown = FontRegistry::shared().qfont(font);
    const QString style = QFontDatabase::styleString(shown);
    return { shown.family(), style };
}

double sizeOf(const std::optional<TextFont>& font)
{
    return FontRegistry::shared().qfont(font).pointSizeF();
}

TextFont withFace(const std::optional<TextFont>& font, const Face& face)
{
    TextFont changed
        = font.value_or(TextFont(FontRegistry::kLetteringFontName, FontRegistry::kDefaultFontSize));
    changed.name = FontRegistry::fontName(face);
    // The archived flags described the old face.
    changed.flags.reset();
    return changed;
}

Face convertToFamily(const Face& face, const QString& family)
{
    const int weight = QFontDatabase::weight(face.family, face.style);
    const bool italic = isItalic(face);
    const bool bold = isBold(face);
    if (auto alike = nearestFace(family, weight, [&](const Face& candidate) {
            return isItalic(candidate) == italic && isBold(candidate) == bold;
        }))
        return *alike;
    if (auto sameSlant
        = nearestFace(family, weight, [&](const Face& candidate) { return isItalic(candidate) == italic; }))
        return *sameSlant;
    if (auto any = nearestFace(family, weight, [](const Face&) { return true; }))
        return *any;
    return face;
}

Face convertBold(const Face& face, bool bold)
{
    if (isBold(face) == bold)
        return face;
    const bool italic = isItalic(face);
    const auto changed = nearestFace(face.family, bold ? QFont::Bold : QFont::Normal,
        [&](const Face& candidate) { return isItalic(candidate) == italic && isBold(candidate) == bold; });
    return changed.value_or(face);
}

Face convertItalic(const Face& face, bool italic)
{
    if (isItalic(face) == italic)
        return face;
    const int weight = QFontDatabase::weight(face.family, face.style);
    const bool bold = isBold(face);
    const auto changed = nearestFace(face.family, weight,
        [&](const Face& candidate) { return isItalic(candidate) == italic && isBold(candidate) == bold; });
    return changed.value_or(face);
}

} // namespace zandrel::TextFormatting
