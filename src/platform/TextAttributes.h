#pragma once

#include "platform/RgbColor.h"
#include "platform/Value.h"

#include <QList>
#include <QString>
#include <optional>

namespace zandrel {

// Attribute names as standard attributed strings (and their archives) key them.
inline const QString kFontAttributeName = QStringLiteral("NSFont");
inline const QString kForegroundColorAttributeName = QStringLiteral("NSColor");
inline const QString kParagraphStyleAttributeName = QStringLiteral("NSParagraphStyle");
inline const QString kUnderlineStyleAttributeName = QStringLiteral("NSUnderline");

// Paragraph alignment, numbered as archives and the "defaultAlignment" user default number it.
enum class TextAlignment : int { Left = 0, Right = 1, Center = 2, Justified = 3, Natural = 4 };

// A code from a file or a default: anything but 0 to 4 is natural alignment.
TextAlignment textAlignmentFromCode(qint64 code);

// A font by name and size. The name is the face's PostScript-style name ("ComicNeue-Bold"), or a
// family name, as files name fonts; it is kept as written even when no such font is installed,
// so that saving gives it back, and FontRegistry resolves it (with a fallback) for layout.
struct TextFont {
    TextFont() = default;
    TextFont(const QString& name, double size, std::optional<qint64> flags = std::nullopt)
        : name(name)
        , size(size)
        , flags(flags)
    {
    }

    QString name;
    // In points, one point per layout unit; 0 or less means the default size.
    double size = 0;
    // An archived font's "NSfFlags", kept only to be written back.
    std::optional<qint64> flags;

    bool operator==(const TextFont&) const = default;
};

// A key of an archived record that nothing here interprets, kept so that it is written back.
struct ArchivedField {
    QString key;
    Value value;
    // A typed scalar written inline (bool, integer, float, double), else an object reference.
    bool inlineScalar = false;

    bool operator==(const ArchivedField&) const = default;
};

struct TextParagraphStyle {
    TextAlignment alignment = TextAlignment::Natural;
    // 0 keeps the fonts' own line height; otherwise lines are this many times as high.
    double lineHeightMultiple = 0;
    // Space after the paragraph and before it, in points.
    double paragraphSpacing = 0;
    double paragraphSpacingBefore = 0;
    // Tab stops, indents and the rest, as read from a file.
    QList<ArchivedField> otherFields;

    bool operator==(const TextParagraphStyle&) const = default;
};

// The attributes of one run of text. A missing font, colour or paragraph style means the text
// system's default (FontRegistry's default font, black, natural alignment).
struct TextAttributes {
    std::optional<TextFont> font;
    // Invalid: none.
    RgbColor foregroundColor;
    std::optional<TextParagraphStyle> paragraphStyle;
    // Every other attribute by name (underline, kerning, links...), kept opaque. Names of the
    // three attributes above are ignored here.
    ValueMap otherAttributes;

    bool operator==(const TextAttributes&) const = default;

    // The underline style; 0 is none.
    qint64 underlineStyle() const;
    TextParagraphStyle paragraphStyleOrDefault() const
    {
        return paragraphStyle.value_or(TextParagraphStyle());
    }
};

} // namespace zandrel
