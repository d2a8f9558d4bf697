// Feeds arbitrary bytes to the attributed-text decoder, then lays out and draws what it decodes.
// Findings: an exception other than the unarchiver's, a decoded text that does not write and read
// back to itself, or any crash or hang in layout and drawing of hostile text (font names and
// sizes, paragraph styles, control characters, runs).
#include "FuzzApplication.h"
#include "platform/AttributedText.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/OffscreenImage.h"
#include "platform/TextLayoutManager.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace zandrel {
namespace {

[[noreturn]] void finding(const char* what)
{
    std::fprintf(stderr, "fuzz_attributedtext: %s\n", what);
    std::abort();
}

void checkRoundTrip(const AttributedText& text)
{
    const QByteArray written = KeyedArchiver::archivedData(text);
    const Value again = KeyedUnarchiver::unarchive(written, { QStringLiteral("NSMutableAttributedString") });
    if (again.type() != Value::Type::AttributedText || !(again.toAttributedText() == text))
        finding("attributed text does not read back as written");
    if (KeyedArchiver::archivedData(again) != written)
        finding("attributed text rewrite is not stable");
}

void exercise(const TextLayoutManager& layout)
{
    const qsizetype glyphs = layout.numberOfGlyphs();
    for (qsizetype glyph = 0; glyph < glyphs; ++glyph) {
        TextRange line;
        layout.lineFragmentRectForGlyph(glyph, &line);
        if (!line.contains(glyph) || layout.characterIndexForGlyph(glyph) > layout.text().length())
            finding("a glyph outside its line or its text");
        layout.isGlyphInvisible(glyph);
    }
    layout.rectsForGlyphRange(layout.glyphRangeForTextContainer());
    layout.textHeight();
    layout.visibleLineRects(layout.containerSize().width());
    OffscreenImage image(QSize(48, 48));
    if (image.canvas())
        layout.drawGlyphs(layout.glyphRangeForTextContainer(), QPointF(-4, -2), *image.canvas());
}

} // namespace
} // namespace zandrel

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace zandrel;
    fuzz::startOffscreenApplication("fuzz_attributedtext");
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    try {
        KeyedUnarchiver unarchiver(bytes);
        // Unrestricted, as legacy balloons read their text storage.
        const Value root = unarchiver.decodeObjectForKey(QStringLiteral("root"));
        if (root.type() != Value::Type::AttributedText)
            return 0;
        const AttributedText text = root.toAttributedText();
        checkRoundTrip(text);
        exercise(TextLayoutManager(text, QSizeF(120, 2000)));
        exercise(TextLayoutManager(text, QSizeF(0, 60)));
    } catch (const Exception& e) {
        if (e.name() != kInvalidArchiveException)
            finding("unexpected exception name");
    }
    return 0;
}
