#pragma once

#include "platform/AttributedText.h"

#include <QColor>
#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QTextLine>
#include <memory>
#include <mutex>

class QPaintDevice;

namespace zandrel {

class Canvas;

// Text is laid out at 72 dots per inch, so that a point is one unit on every screen; one device
// per thread, as layouts may run on drawing bands.
QPaintDevice* pointSizedTextDevice();
// The characters that end a paragraph of attributed text.
bool isParagraphTerminator(QChar c);

// An attributed text laid out in one container, with the glyph, line and rect questions a layout
// manager answers: the text system of balloons. Built on QTextLayout, one per paragraph.
//
// Glyphs: one per grapheme cluster (a character with its combining marks, a surrogate pair,
// CR LF), so a glyph index is a cursor position. A paragraph's terminator (LF, CR, CR LF,
// U+2029) is the last glyph of its last line. Control characters (line ends, tabs) are glyphs
// that are not shown.
//
// Lines: broken at word boundaries (or anywhere in a word too long) within the container's width
// less kLineFragmentPadding on each side. A paragraph takes its alignment, line height multiple
// and spacing from the paragraph style of its first character; a line is as high as its tallest
// font (a multiple makes it taller, the text sitting at the bottom). Lines are laid out while they
// fit within the container's height and up to kMaxLines; the text after them is not laid out and
// has no glyphs, so glyph indices run over the laid-out text only.
//
// Coordinates are the container's: x from its left edge, y down from its top. Units are points at
// any screen resolution, and fonts are unhinted, so positions do not depend on the display.
//
// The questions may be asked from several threads at once; each waits for the other.
class TextLayoutManager {
public:
    static constexpr double kLineFragmentPadding = 5.0;
    // The default tab interval of the platform's paragraph style.
    static constexpr double kTabStopDistance = 28.0;
    // The size of a container no one has sized, and the largest accepted.
    static constexpr double kMaxContainerExtent = 1.0e7;
    static constexpr int kMaxLines = 10000;
    // Lettering measures: the text height without glyphs, and the height of the one line rect
    // that empty text shows.
    static constexpr float kEmptyTextHeight = 20.0f;

    explicit TextLayoutManager(const AttributedText& text = AttributedText(),
        const QSizeF& containerSize = QSizeF(kMaxContainerExtent, kMaxContainerExtent));
    ~TextLayoutManager();
    // Copies share nothing; the copy lays its text out again when asked.
    TextLayoutManager(const TextLayoutManager& other);
    TextLayoutManager& operator=(const TextLayoutManager& other);

    // The text storage; read it on the thread that changes it.
    const AttributedText& text() const { return m_text; }
    void setText(const AttributedText& text);

    // Negative and non-finite extents count as 0, larger ones as kMaxContainerExtent.
    QSizeF containerSize() const { return m_containerSize; }
    void setContainerSize(const QSizeF& size);

    // Whether the text has been laid out since it or the container last changed.
    bool isLaidOut() const;
    qsizetype numberOfGlyphs() const;
    // All the laid-out glyphs: the one container holds them all.
    TextRange glyphRangeForTextContainer() const { return { 0, numberOfGlyphs() }; }
    // The first UTF-16 index of the glyph's characters; the text's length past the last glyph.
    qsizetype characterIndexForGlyph(qsizetype glyph) const;
    bool isGlyphNotShown(qsizetype glyph) const;
    // The line's rect across the container's width, and the glyphs of the line; an empty rect
    // and range for an index outside the layout.
    QRectF lineFragmentRectForGlyph(qsizetype glyph, TextRange* effectiveGlyphRange = nullptr) const;
    // One rect per line the range touches, from the left edge of its first glyph there to the
    // right edge of its last one, as high as the line. A line's terminator is a zero-width rect
    // where the line's text ends.
    QList<QRectF> rectsForGlyphRange(TextRange glyphRange) const;
    // Draws the glyphs of the range with the container's origin at the point.
    void drawGlyphs(TextRange glyphRange, const QPointF& origin, Canvas& canvas) const;

    // Lettering measures, on the questions above.
    // Not shown, or a space (U+0020 only).
    bool isGlyphInvisible(qsizetype glyph) const;
    // The bottom of the last line's glyphs; kEmptyTextHeight without glyphs.
    float textHeight() const;
    // One rect per line, trimmed of invisible glyphs at both ends (a line keeps at least one
    // glyph); without glyphs the one rect (0, 0, emptyTextWidth, kEmptyTextHeight).
    QList<QRectF> visibleLineRects(double emptyTextWidth) const;

private:
    struct Layout;

    const Layout& layout() const;
    static void drawUnderline(const QTextLine& line, int from, int length, const QPointF& origin,
        const QColor& color, Canvas& canvas);

    // Guards the lazily built layout: bands of an export draw the same text on several threads.
    mutable std::recursive_mutex m_mutex;
    AttributedText m_text;
    QSizeF m_containerSize;
    mutable std::unique_ptr<Layout> m_layout;
};

} // namespace zandrel
