#include "platform/TextLayoutManager.h"

#include "platform/Canvas.h"
#include "platform/FontRegistry.h"

#include <QGlyphRun>
#include <QImage>
#include <QRawFont>
#include <QTextLayout>
#include <algorithm>
#include <cmath>
#include <vector>

namespace zandrel {

namespace {

// Spacing and multiples a file may hold are laid out within these.
constexpr double kMaxParagraphSpacing = 10000.0;
constexpr double kMaxLineHeightMultiple = 100.0;

double clampedExtent(double value, double max)
{
    return std::isfinite(value) ? std::clamp(value, 0.0, max) : 0.0;
}

// QTextLayout takes left and right literally; natural alignment follows the paragraph's direction.
Qt::Alignment qtAlignment(TextAlignment alignment, bool rightToLeft)
{
    switch (alignment) {
    case TextAlignment::Left:
        return Qt::AlignLeft;
    case TextAlignment::Right:
        return Qt::AlignRight;
    case TextAlignment::Center:
        return Qt::AlignHCenter;
    case TextAlignment::Justified:
        return Qt::AlignJustify;
    case TextAlignment::Natural:
        break;
    }
    return rightToLeft ? Qt::AlignRight : Qt::AlignLeft;
}

} // namespace

QPaintDevice* pointSizedTextDevice()
{
    thread_local QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32_Premultiplied);
        const int dotsPerMeter = qRound(72.0 / 0.0254);
        image.setDotsPerMeterX(dotsPerMeter);
        image.setDotsPerMeterY(dotsPerMeter);
        return image;
    }();
    return &device;
}

bool isParagraphTerminator(QChar c)
{
    return c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QChar::ParagraphSeparator;
}

struct TextLayoutManager::Layout {
    struct Line {
        qsizetype paragraph = 0;
        int lineInParagraph = 0;
        qsizetype firstGlyph = 0;
        qsizetype glyphCount = 0;
        QRectF fragment;
    };
    struct Glyph {
        qint32 character;
        qint32 line;
    };

    // Lays the text out; see the class comment for the rules.
    Layout(const AttributedText& text, const QSizeF& containerSize);

    QTextLine textLine(const Line& line) const
    {
        return paragraphs[size_t(line.paragraph)]->lineAt(line.lineInParagraph);
    }
    qsizetype characterEnd(qsizetype glyph) const
    {
        return size_t(glyph + 1) < glyphs.size() ? glyphs[size_t(glyph + 1)].character : end;
    }

    std::vector<std::unique_ptr<QTextLayout>> paragraphs;
    std::vector<qsizetype> paragraphStarts;
    std::vector<Line> lines;
    std::vector<Glyph> glyphs;
    // Past the characters of the last laid-out glyph.
    qsizetype end = 0;

private:
    QTextCharFormat format(const TextAttributes& attributes) const;
    void hangTrailingSpaces(QTextLayout& paragraph, const Line& line, TextAlignment alignment) const;
    QList<QTextLayout::FormatRange> formatRanges(
        const AttributedText& text, qsizetype start, qsizetype end, qsizetype& run) const;
};

QTextCharFormat TextLayoutManager::Layout::format(const TextAttributes& attributes) const
{
    QTextCharFormat format;
    format.setFont(FontRegistry::shared().qfont(attributes.font), QTextCharFormat::FontPropertiesAll);
    if (attributes.underlineStyle() != 0)
        format.setFontUnderline(true);
    return format;
}

// The formats of the runs within [start, end); run is the first run that may reach it, and
// moves on, so that the runs are visited once for the whole text. Neighbours that differ only in
// colour share a format, which keeps Qt's shaping runs long.
QList<QTextLayout::FormatRange> TextLayoutManager::Layout::formatRanges(
    const AttributedText& text, qsizetype start, qsizetype end, qsizetype& run) const
{
    QList<QTextLayout::FormatRange> ranges;
    while (run < text.runCount() && text.runRange(run).end() <= start)
        ++run;
    for (qsizetype i = run; i < text.runCount() && text.runRange(i).location < end; ++i) {
        const TextRange range = text.runRange(i);
        const qsizetype from = std::max(range.location, start);
        const qsizetype to = std::min(range.end(), end);
        QTextCharFormat runFormat = format(text.runAttributes(i));
        if (!ranges.isEmpty() && ranges.last().format == runFormat) {
            ranges.last().length += int(to - from);
            continue;
        }
        ranges.append(QTextLayout::FormatRange { int(from - start), int(to - from), runFormat });
    }
    return ranges;
}

// Qt aligns a paragraph's last line with its trailing spaces, while wrapped lines let them hang
// past the edge. Spaces typed at the end of a centred or right-aligned balloon should not move its
// text either, so they hang on the last line too (left-to-right paragraphs).
void TextLayoutManager::Layout::hangTrailingSpaces(
    QTextLayout& paragraph, const Line& line, TextAlignment alignment) const
{
    if ((alignment != TextAlignment::Center && alignment != TextAlignment::Right)
        || paragraph.text().isRightToLeft())
        return;
    QTextLine textLine = paragraph.lineAt(line.lineInParagraph);
    const QString& text = paragraph.text();
    const int end = textLine.textStart() + textLine.textLength();
    int visibleEnd = end;
    while (visibleEnd > textLine.textStart() && text[visibleEnd - 1].isSpace())
        --visibleEnd;
    if (visibleEnd == end)
        return;
    const double hanging = textLine.cursorToX(end) - textLine.cursorToX(visibleEnd);
    const double shift = alignment == TextAlignment::Center ? hanging / 2 : hanging;
    textLine.setPosition(textLine.position() + QPointF(shift, 0));
}

TextLayoutManager::Layout::Layout(const AttributedText& text, const QSizeF& containerSize)
{
    const QString& string = text.string();
    const double width = containerSize.width();
    const double wrapWidth = std::max(0.0, width - 2 * kLineFragmentPadding);
    double y = 0;
    qsizetype run = 0;
    bool full = false;
    for (qsizetype start = 0; start < string.size() && !full;) {
        qsizetype contentEnd = start;
        while (contentEnd < string.size() && !isParagraphTerminator(string[contentEnd]))
            ++contentEnd;
        qsizetype terminator = 0;
        if (contentEnd < string.size()) {
            const bool crlf = string[contentEnd] == QLatin1Char('\r') && contentEnd + 1 < string.size()
                && string[contentEnd + 1] == QLatin1Char('\n');
            terminator = crlf ? 2 : 1;
        }
        // The paragraph's first character (its terminator when it is empty) sets its style and the
        // font of an empty line.
        const TextAttributes first = text.attributesAt(start);
        const TextParagraphStyle style = first.paragraphStyleOrDefault();
        auto paragraph = std::make_unique<QTextLayout>(string.mid(start, contentEnd - start),
            FontRegistry::shared().qfont(first.font), pointSizedTextDevice());
        // Each paragraph's direction comes from its first strong character.
        QTextOption option(qtAlignment(style.alignment, paragraph->text().isRightToLeft()));
        option.setTextDirection(Qt::LayoutDirectionAuto);
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        option.setUseDesignMetrics(true);
        option.setTabStopDistance(kTabStopDistance);
        paragraph->setTextOption(option);
        paragraph->setFormats(formatRanges(text, start, contentEnd, run));
        // Qt drops the shaped glyphs when the layout ends and shapes the text again for every
        // measure and every drawing; shaping is most of what laying text out costs.
        paragraph->setCacheEnabled(true);

        if (!paragraphs.empty())
            y += clampedExtent(style.paragraphSpacingBefore, kMaxParagraphSpacing);
        const double multiple = clampedExtent(style.lineHeightMultiple, kMaxLineHeightMultiple);
        const qsizetype paragraphIndex = qsizetype(paragraphs.size());
        const size_t firstLine = lines.size();
        paragraph->beginLayout();
        for (int index = 0;; ++index) {
            QTextLine line = paragraph->createLine();
            if (!line.isValid())
                break;
            line.setLineWidth(wrapWidth);
            line.setLeadingIncluded(true);
            // Only an empty paragraph has an empty line worth keeping (it holds the terminator);
            // a forced break at the very end makes one that holds nothing.
            if (line.textLength() == 0 && index > 0)
                continue;
            const double natural = line.height();
            const double height = multiple > 0 ? natural * multiple : natural;
            if (y + height > containerSize.height() || lines.size() >= size_t(kMaxLines)) {
                full = true;
                break;
            }
            line.setPosition(QPointF(kLineFragmentPadding, y + height - natural));
            Line placed { paragraphIndex, index, qsizetype(glyphs.size()), 0, QRectF(0, y, width, height) };
            const int lineEnd = line.textStart() + line.textLength();
            for (int position = line.textStart(); position < lineEnd;) {
                glyphs.push_back(Glyph { qint32(start + position), qint32(lines.size()) });
                const int next = paragraph->nextCursorPosition(position);
                position = next > position ? std::min(next, lineEnd) : position + 1;
                end = start + position;
            }
            placed.glyphCount = qsizetype(glyphs.size()) - placed.firstGlyph;
            lines.push_back(placed);
            y += height;
        }
        paragraph->endLayout();
        if (!full && lines.size() > firstLine)
            hangTrailingSpaces(*paragraph, lines.back(), style.alignment);
        if (!full && terminator && lines.size() > firstLine) {
            glyphs.push_back(Glyph { qint32(contentEnd), qint32(lines.size() - 1) });
            ++lines.back().glyphCount;
            end = contentEnd + terminator;
        }
        paragraphs.push_back(std::move(paragraph));
        paragraphStarts.push_back(start);
        y += clampedExtent(style.paragraphSpacing, kMaxParagraphSpacing);
        start = contentEnd + terminator;
    }
}

TextLayoutManager::TextLayoutManager(const AttributedText& text, const QSizeF& containerSize)
    : m_text(text)
{
    setContainerSize(containerSize);
}

TextLayoutManager::~TextLayoutManager() = default;

TextLayoutManager::TextLayoutManager(const TextLayoutManager& other)
{
    const std::lock_guard lock(other.m_mutex);
    m_text = other.m_text;
    m_containerSize = other.m_containerSize;
}

TextLayoutManager& TextLayoutManager::operator=(const TextLayoutManager& other)
{
    if (this != &other) {
        const std::scoped_lock lock(m_mutex, other.m_mutex);
        m_text = other.m_text;
        m_containerSize = other.m_containerSize;
        m_layout.reset();
    }
    return *this;
}

void TextLayoutManager::setText(const AttributedText& text)
{
    const std::lock_guard lock(m_mutex);
    m_text = text;
    m_layout.reset();
}

void TextLayoutManager::setContainerSize(const QSizeF& size)
{
    const std::lock_guard lock(m_mutex);
    const QSizeF clamped(
        clampedExtent(size.width(), kMaxContainerExtent), clampedExtent(size.height(), kMaxContainerExtent));
    if (clamped == m_containerSize)
        return;
    m_containerSize = clamped;
    m_layout.reset();
}

const TextLayoutManager::Layout& TextLayoutManager::layout() const
{
    if (!m_layout)
        m_layout = std::make_unique<Layout>(m_text, m_containerSize);
    return *m_layout;
}

bool TextLayoutManager::isLaidOut() const
{
    const std::lock_guard lock(m_mutex);
    return m_layout != nullptr;
}

qsizetype TextLayoutManager::numberOfGlyphs() const
{
    const std::lock_guard lock(m_mutex);
    return qsizetype(layout().glyphs.size());
}

qsizetype TextLayoutManager::characterIndexForGlyph(qsizetype glyph) const
{
    const std::lock_guard lock(m_mutex);
    const Layout& laid = layout();
    if (glyph < 0)
        return 0;
    return glyph < qsizetype(laid.glyphs.size()) ? laid.glyphs[size_t(glyph)].character : laid.end;
}

bool TextLayoutManager::isGlyphNotShown(qsizetype glyph) const
{
    const std::lock_guard lock(m_mutex);
    if (glyph < 0 || glyph >= numberOfGlyphs())
        return false;
    const QString& string = m_text.string();
    const qsizetype index = characterIndexForGlyph(glyph);
    char32_t code = string[index].unicode();
    if (QChar::isHighSurrogate(code) && index + 1 < string.size() && string[index + 1].isLowSurrogate())
        code = QChar::surrogateToUcs4(string[index], string[index + 1]);
    switch (QChar::category(code)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Separator_Line:
    case QChar::Separator_Paragraph:
        return true;
    default:
        return false;
    }
}

QRectF TextLayoutManager::lineFragmentRectForGlyph(qsizetype glyph, TextRange* effectiveGlyphRange) const
{
    const std::lock_guard lock(m_mutex);
    const Layout& laid = layout();
    if (glyph < 0 || glyph >= qsizetype(laid.glyphs.size())) {
        if (effectiveGlyphRange)
            *effectiveGlyphRange = TextRange();
        return QRectF();
    }
    const Layout::Line& line = laid.lines[size_t(laid.glyphs[size_t(glyph)].line)];
    if (effectiveGlyphRange)
        *effectiveGlyphRange = { line.firstGlyph, line.glyphCount };
    return line.fragment;
}

QList<QRectF> TextLayoutManager::rectsForGlyphRange(TextRange glyphRange) const
{
    const std::lock_guard lock(m_mutex);
    const Layout& laid = layout();
    const qsizetype count = qsizetype(laid.glyphs.size());
    const qsizetype from = std::clamp<qsizetype>(glyphRange.location, 0, count);
    const qsizetype to = std::clamp<qsizetype>(glyphRange.end(), from, count);
    QList<QRectF> rects;
    for (qsizetype glyph = from; glyph < to;) {
        const Layout::Line& line = laid.lines[size_t(laid.glyphs[size_t(glyph)].line)];
        const qsizetype stop = std::min(to, line.firstGlyph + line.glyphCount);
        const QTextLine textLine = laid.textLine(line);
        const qsizetype paragraphStart = laid.paragraphStarts[size_t(line.paragraph)];
        const int textEnd = textLine.textStart() + textLine.textLength();
        auto xAt = [&](qsizetype character) {
            return textLine.cursorToX(int(std::min<qsizetype>(character - paragraphStart, textEnd)));
        };
        // Within a run of one direction x only grows or only shrinks, so the ends of the range
        // give its extent; a line with right-to-left text is measured glyph by glyph, up to a
        // bound past which its ends stand for it.
        constexpr qsizetype kMaxMeasuredGlyphs = 512;
        double minX = std::min(xAt(laid.glyphs[size_t(glyph)].character), xAt(laid.characterEnd(stop - 1)));
        double maxX = std::max(xAt(laid.glyphs[size_t(glyph)].character), xAt(laid.characterEnd(stop - 1)));
        const QString& string = m_text.string();
        bool bidirectional = false;
        for (qsizetype c = laid.glyphs[size_t(glyph)].character;
             c < laid.characterEnd(stop - 1) && !bidirectional; ++c)
            bidirectional = string[c].direction() == QChar::DirR || string[c].direction() == QChar::DirAL;
        if (bidirectional && stop - glyph <= kMaxMeasuredGlyphs) {
            for (qsizetype g = glyph; g < stop; ++g) {
                for (const double x : { xAt(laid.glyphs[size_t(g)].character), xAt(laid.characterEnd(g)) }) {
                    minX = std::min(minX, x);
                    maxX = std::max(maxX, x);
                }
            }
        }
        rects.append(QRectF(minX, line.fragment.top(), maxX - minX, line.fragment.height()));
        glyph = stop;
    }
    return rects;
}

void TextLayoutManager::drawGlyphs(TextRange glyphRange, const QPointF& origin, Canvas& canvas) const
{
    // In this order everywhere: the font engines, then the layout.
    const std::lock_guard fonts(fontEngineMutex());
    const std::lock_guard lock(m_mutex);
    const Layout& laid = layout();
    const qsizetype count = qsizetype(laid.glyphs.size());
    const qsizetype from = std::clamp<qsizetype>(glyphRange.location, 0, count);
    const qsizetype to = std::clamp<qsizetype>(glyphRange.end(), from, count);
    if (from >= to)
        return;
    const qsizetype firstCharacter = laid.glyphs[size_t(from)].character;
    const qsizetype endCharacter = laid.characterEnd(to - 1);
    // Each line is drawn in pieces of one colour and underline. Asking Qt for a piece's glyphs
    // walks the whole line, so a line of absurdly many pieces draws its last ones together.
    constexpr int kMaxPiecesPerLine = 64;
    auto look = [this](qsizetype run) {
        const TextAttributes& attributes = m_text.runAttributes(run);
        return std::make_pair(
            attributes.foregroundColor.isValid() ? attributes.foregroundColor.toQColor() : QColor(Qt::black),
            attributes.underlineStyle() != 0);
    };
    qsizetype run = 0;
    for (qsizetype index = laid.glyphs[size_t(from)].line; index <= laid.glyphs[size_t(to - 1)].line;
         ++index) {
        const Layout::Line& line = laid.lines[size_t(index)];
        const QTextLine textLine = laid.textLine(line);
        const qsizetype paragraphStart = laid.paragraphStarts[size_t(line.paragraph)];
        const qsizetype lineStart = std::max(firstCharacter, paragraphStart + textLine.textStart());
        const qsizetype lineEnd
            = std::min(endCharacter, paragraphStart + textLine.textStart() + textLine.textLength());
        int pieces = 0;
        for (qsizetype position = lineStart; position < lineEnd;) {
            while (run < m_text.runCount() && m_text.runRange(run).end() <= position)
                ++run;
            const auto [color, underline] = look(run);
            qsizetype pieceEnd = lineEnd;
            if (++pieces < kMaxPiecesPerLine) {
                qsizetype next = run;
                while (next < m_text.runCount() && m_text.runRange(next).location < lineEnd
                    && look(next) == std::make_pair(color, underline))
                    ++next;
                if (next < m_text.runCount())
                    pieceEnd = std::clamp(m_text.runRange(next).location, position + 1, lineEnd);
            }
            const int pieceFrom = int(position - paragraphStart);
            const int pieceLength = int(pieceEnd - position);
            for (QGlyphRun glyphRun : textLine.glyphRuns(pieceFrom, pieceLength)) {
                // Qt draws a glyph run's underline from the run's origin rather than under its
                // glyphs; the underline is drawn below instead.
                glyphRun.setUnderline(false);
                canvas.drawGlyphRun(origin, glyphRun, color);
            }
            if (underline)
                drawUnderline(textLine, pieceFrom, pieceLength, origin, color, canvas);
            position = pieceEnd;
        }
    }
}

// Under the characters, with the font's thickness, where Qt puts it when it draws text itself
// (a whole unit below the font's underline position, plus half), so that lettering looks the same
// drawn here and in a Qt text editor.
void TextLayoutManager::drawUnderline(
    const QTextLine& line, int from, int length, const QPointF& origin, const QColor& color, Canvas& canvas)
{
    const QList<QGlyphRun> runs = line.glyphRuns(from, length);
    if (runs.isEmpty())
        return;
    const QRawFont font = runs.first().rawFont();
    const double left = std::min(line.cursorToX(from), line.cursorToX(from + length));
    const double right = std::max(line.cursorToX(from), line.cursorToX(from + length));
    const double thickness = std::max(font.lineThickness(), 0.5);
    const double y = line.y() + line.ascent() + std::ceil(font.underlinePosition()) + 0.5 - thickness / 2;
    canvas.fillRect(QRectF(left, y, right - left, thickness).translated(origin), color);
}

bool TextLayoutManager::isGlyphInvisible(qsizetype glyph) const
{
    const std::lock_guard lock(m_mutex);
    if (isGlyphNotShown(glyph))
        return true;
    const qsizetype index = characterIndexForGlyph(glyph);
    return index < m_text.length() && m_text.string()[index] == QLatin1Char(' ');
}

float TextLayoutManager::textHeight() const
{
    const std::lock_guard lock(m_mutex);
    const qsizetype glyphs = numberOfGlyphs();
    if (glyphs == 0)
        return kEmptyTextHeight;
    TextRange lastLine;
    lineFragmentRectForGlyph(glyphs - 1, &lastLine);
    const QList<QRectF> rects = rectsForGlyphRange(lastLine);
    return rects.isEmpty() ? kEmptyTextHeight : float(rects.last().bottom());
}

QList<QRectF> TextLayoutManager::visibleLineRects(double emptyTextWidth) const
{
    const std::lock_guard lock(m_mutex);
    const qsizetype glyphs = numberOfGlyphs();
    if (glyphs == 0)
        return { QRectF(0, 0, emptyTextWidth, kEmptyTextHeight) };
    QList<QRectF> result;
    for (qsizetype index = 0; index < glyphs;) {
        TextRange line;
        lineFragmentRectForGlyph(index, &line);
        TextRange visible = line;
        while (visible.length > 1 && isGlyphInvisible(visible.end() - 1))
            --visible.length;
        if (!isGlyphInvisible(visible.end() - 1)) {
            while (visible.length > 1 && isGlyphInvisible(visible.location)) {
                ++visible.location;
                --visible.length;
            }
        }
        const QList<QRectF> rects = rectsForGlyphRange(visible);
        if (!rects.isEmpty())
            result.append(rects.first());
        // Every laid-out line holds a glyph, so this always moves on.
        index = std::max(line.end(), index + 1);
    }
    return result;
}

} // namespace zandrel
