#include "platform/FontRegistry.h"

#include "platform/Log.h"

#include <QDir>
#include <QFontDatabase>
#include <algorithm>
#include <cmath>

namespace zandrel {

const QString FontRegistry::kLetteringFamily = QStringLiteral("Comic Neue");
const QString FontRegistry::kLetteringFontName = QStringLiteral("ComicNeue-Regular");

namespace {

const QString kShippedFontsFolder = QStringLiteral(":/Fonts");
// A file can name any number of fonts; the log and the cache stay small all the same.
constexpr int kMaxReportedMissingFonts = 32;
constexpr qsizetype kMaxCachedFonts = 1024;

QString withoutSpaces(QString text)
{
    text.remove(QLatin1Char(' '));
    return text;
}

// The style names of regular faces, and the words of style names that mark bold and italic ones.
constexpr const char* kRegularStyles[] = { "Regular", "Book", "Normal", "Roman", "Plain" };
constexpr const char* kBoldWords[] = { "bold", "black", "heavy" };
constexpr const char* kItalicWords[] = { "italic", "oblique" };
// The faces of the lettering family.
const QString kLetteringRegular = QStringLiteral("Regular");
const QString kLetteringBold = QStringLiteral("Bold");
const QString kLetteringItalic = QStringLiteral("Italic");
const QString kLetteringBoldItalic = QStringLiteral("Bold Italic");

template <std::size_t N> bool containsAny(const QString& text, const char* const (&words)[N])
{
    for (const char* word : words) {
        if (text.contains(QLatin1String(word)))
            return true;
    }
    return false;
}

bool isRegularStyle(const QString& style)
{
    for (const char* regular : kRegularStyles) {
        if (style.compare(QLatin1String(regular), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

// Qt lists a family installed by several foundries as "Family [Foundry]".
QString familyWithoutFoundry(const QString& family)
{
    const qsizetype bracket = family.indexOf(QStringLiteral(" ["));
    return bracket < 0 ? family : family.left(bracket);
}

// Text and layout positions must not depend on the screen: no hinting, and the glyphs' own
// advances, so that a balloon looks the same at every zoom and in every export.
QFont preparedFont(const QString& family, const QString& style)
{
    QFont font(family);
    if (!style.isEmpty())
        font.setStyleName(style);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setKerning(true);
    return font;
}

} // namespace

FontRegistry& FontRegistry::shared()
{
    static FontRegistry registry;
    return registry;
}

bool FontRegistry::registerShippedFonts()
{
    std::lock_guard lock(m_mutex);
    if (m_registered)
        return true;
    m_registered = true;
    bool allRegistered = true;
    const QDir folder(kShippedFontsFolder);
    const QStringList files
        = folder.entryList({ QStringLiteral("*.otf"), QStringLiteral("*.ttf") }, QDir::Files, QDir::Name);
    for (const QString& file : files) {
        if (QFontDatabase::addApplicationFont(folder.filePath(file)) < 0) {
            zdlLog(QStringLiteral("Font loading result for %1: the font could not be registered.").arg(file));
            allRegistered = false;
        }
    }
    if (files.isEmpty()) {
        zdlLog(QStringLiteral("No shipped fonts found in %1.").arg(kShippedFontsFolder));
        allRegistered = false;
    }
    m_indexed = false;
    m_fonts.clear();
    return allRegistered;
}

void FontRegistry::indexLocked()
{
    if (m_indexed)
        return;
    m_indexed = true;
    m_faces.clear();
    const QStringList families = QFontDatabase::families();
    for (const QString& listed : families) {
        const QString family = familyWithoutFoundry(listed);
        const QStringList styles = QFontDatabase::styles(listed);
        for (const QString& style : styles) {
            const Face face { family, style };
            m_faces.insert(fontName(face).toLower(), face);
            if (isRegularStyle(style)) {
                m_faces.insert(withoutSpaces(family).toLower(), face);
                m_faces.insert(family.toLower(), face);
            }
        }
        // A family without a regular face answers to its first one.
        if (!styles.isEmpty()) {
            m_faces.insert(withoutSpaces(family).toLower(),
                m_faces.value(withoutSpaces(family).toLower(), Face { family, styles.first() }));
            m_faces.insert(
                family.toLower(), m_faces.value(family.toLower(), Face { family, styles.first() }));
        }
    }
}

std::optional<FontRegistry::Face> FontRegistry::faceLocked(const QString& name)
{
    registerShippedFonts();
    indexLocked();
    const auto it = m_faces.constFind(name.toLower());
    if (it == m_faces.cend())
        return std::nullopt;
    return it.value();
}

std::optional<FontRegistry::Face> FontRegistry::faceNamed(const QString& name)
{
    std::lock_guard lock(m_mutex);
    return faceLocked(name);
}

bool FontRegistry::hasFont(const QString& name)
{
    return faceNamed(name).has_value();
}

QString FontRegistry::fontName(const Face& face)
{
    return withoutSpaces(face.family) + QLatin1Char('-') + withoutSpaces(face.style);
}

QStringList FontRegistry::installedFamilies()
{
    QStringList families;
    for (const QString& listed : QFontDatabase::families())
        families.append(familyWithoutFoundry(listed));
    families.removeDuplicates();
    return families;
}

QFont FontRegistry::fallbackLocked(const QString& name)
{
    // The traits the missing face's name suggests ("Helvetica-BoldOblique": bold and italic).
    const QString style = name.section(QLatin1Char('-'), 1).toLower();
    const bool bold = containsAny(style, kBoldWords);
    const bool italic = containsAny(style, kItalicWords);
    QString letteringStyle = bold ? (italic ? kLetteringBoldItalic : kLetteringBold)
                                  : (italic ? kLetteringItalic : kLetteringRegular);
    QFont font;
    QString used;
    if (faceLocked(fontName(Face { kLetteringFamily, letteringStyle }))) {
        font = preparedFont(kLetteringFamily, letteringStyle);
        used = fontName(Face { kLetteringFamily, letteringStyle });
    } else {
        font = preparedFont(QFont().family(), QString());
        font.setBold(bold);
        font.setItalic(italic);
        used = font.family();
    }
    if (m_reportedMissing < kMaxReportedMissingFonts) {
        ++m_reportedMissing;
        zdlLog(QStringLiteral("Font \"%1\" is not available; using \"%2\" instead.").arg(name, used));
    }
    return font;
}

QFont FontRegistry::qfont(const std::optional<TextFont>& textFont)
{
    std::lock_guard lock(m_mutex);
    const QString name = textFont ? textFont->name : kLetteringFontName;
    auto it = m_fonts.find(name);
    if (it == m_fonts.end()) {
        if (m_fonts.size() >= kMaxCachedFonts)
            m_fonts.clear();
        const std::optional<Face> face = faceLocked(name);
        it = m_fonts.insert(name, face ? preparedFont(face->family, face->style) : fallbackLocked(name));
    }
    QFont font = it.value();
    double size = textFont ? textFont->size : kDefaultFontSize;
    if (!std::isfinite(size) || size <= 0)
        size = kDefaultFontSize;
    font.setPointSizeF(std::clamp(size, kMinFontSize, kMaxFontSize));
    return font;
}

} // namespace zandrel
