#pragma once

#include "platform/FontRegistry.h"
#include "platform/TextAttributes.h"

#include <QFont>
#include <QStringList>
#include <optional>

namespace zandrel {

// What the text formatting bar and the fonts pane ask of the installed fonts: the faces of a family,
// the face a font change leads to, and the sample a family is shown in.
namespace TextFormatting {

using Face = FontRegistry::Face;

// The point size menus and family menus show their samples at.
constexpr double kSampleSize = 13.0;

// The installed families, each once, sorted without regard to case.
QStringList sortedFamilies();
// Whether the family's letters are letters: a symbol font draws its own name as pictures, so
// menus show that name in the interface font instead.
bool showsItsName(const QString& family);
// The family's sample: of its upright faces at normal weight, else of its upright faces, else of
// all its faces, the one with the shortest font name (the first of equal length); null when the
// family has no faces or is a symbol font.
std::optional<QFont> sampleFont(const QString& family);
// The sample of a face, for the face menu.
QFont faceSample(const Face& face);

// The face text in the font is laid out in (the fallback's, for a font that is not installed).
Face faceOf(const std::optional<TextFont>& font);
// The size the font is laid out at.
double sizeOf(const std::optional<TextFont>& font);
// The font set in another face, keeping its size.
TextFont withFace(const std::optional<TextFont>& font, const Face& face);

// The face of the family that is closest to the given one in weight and slant.
Face convertToFamily(const Face& face, const QString& family);
// The face of the same family with or without the bold (italic) trait; the face itself when the
// family has none such.
Face convertBold(const Face& face, bool bold);
Face convertItalic(const Face& face, bool italic);

} // namespace TextFormatting

} // namespace zandrel
