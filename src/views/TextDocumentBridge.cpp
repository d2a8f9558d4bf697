#include "views/TextDocumentBridge.h"

#include "platform/FontRegistry.h"
#include "platform/TextLayoutManager.h"

#include <QAbstractTextDocumentLayout>
#include <QHash>
#include <QImage>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextFrame>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// The attribute set a character came from, and the one of its paragraph's terminator.
constexpr int kEntryProperty = QTextFormat::UserProperty + 1;
constexpr int kTerminatorEntryProperty = QTextFormat::UserProperty + 2;
// The alignment a paragraph was shown with: its characters keep their own paragraph styles (the
// layout follows the first one's) until the paragraph's alignment is changed.
constexpr int kShownAlignmentProperty = QTextFormat::UserProperty + 3;
// Sizes read back within this of the remembered one are the remembered one: the editor's font
// sizes go through a multiplication by the zoom and back.
constexpr double kSizeTolerance = 1e-3;
const QChar kParagraphTerminator = QLatin1Char('\n');

// Left and right are absolute, as the balloon's layout takes them; natural follows the direction.
Qt::Alignment qtAlignment(TextAlignment alignment)
{
    switch (alignment) {
    case TextAlignment::Left:
        return Qt::AlignLeft | Qt::AlignAbsolute;
    case TextAlignment::Right:
        return Qt::AlignRight | Qt::AlignAbsolute;
    case TextAlignment::Center:
        return Qt::AlignHCenter;
    case TextAlignment::Justified:
        return Qt::AlignJustify;
    case TextAlignment::Natural:
        break;
    }
    return Qt::AlignLeading;
}

TextAlignment alignmentOf(Qt::Alignment alignment)
{
    const Qt::Alignment horizontal = alignment & Qt::AlignHorizontal_Mask;
    if (horizontal & Qt::AlignHCenter)
        return TextAlignment::Center;
    if (horizontal & Qt::AlignJustify)
        return TextAlignment::Justified;
    if ((horizontal & Qt::AlignRight) && (horizontal & Qt::AlignAbsolute))
        return TextAlignment::Right;
    if ((horizontal & Qt::AlignLeft) && (horizontal & Qt::AlignAbsolute))
        return TextAlignment::Left;
    return horizontal & Qt::AlignTrailing ? TextAlignment::Right : TextAlignment::Natural;
}

QColor shownColor(const TextAttributes& attributes)
{
    return attributes.foregroundColor.isValid() ? attributes.foregroundColor.toQColor() : QColor(Qt::black);
}

// Builds an attributed text piece by piece, one table entry per distinct attribute set and one run
// per stretch of equal attributes.
class TextCollector {
public:
    void add(const QString& text, const TextAttributes& attributes)
    {
        if (text.isEmpty())
            return;
        qsizetype entry = m_table.indexOf(attributes);
        if (entry < 0) {
            entry = m_table.size();
            m_table.append(attributes);
        }
        if (!m_runs.isEmpty() && m_runs.last().second == entry)
            m_runs.last().first += text.size();
        else
            m_runs.append({ text.size(), entry });
        m_string += text;
    }
    AttributedText finish() const
    {
        AttributedText::Builder builder(m_string);
        for (const TextAttributes& attributes : m_table)
            builder.addAttributes(attributes);
        for (const auto& [length, entry] : m_runs)
            builder.appendRun(length, entry);
        return builder.finish().value_or(AttributedText());
    }

private:
    QString m_string;
    QList<TextAttributes> m_table;
    QList<std::pair<qsizetype, qsizetype>> m_runs;
};

} // namespace

void TextDocumentBridge::fill(QTextDocument& document, const AttributedText& text, double zoom)
{
    m_zoom = std::isfinite(zoom) && zoom > 0 ? zoom : 1.0;
    m_entries.clear();
    // Turning undo off clears the history: nothing of the filling can be undone.
    document.setUndoRedoEnabled(false);
    document.clear();
    document.documentLayout()->setPaintDevice(pointSizedTextDevice());
    document.setUseDesignMetrics(true);
    document.setDocumentMargin(0);
    QTextFrameFormat frame = document.rootFrame()->frameFormat();
    frame.setLeftMargin(TextLayoutManager::kLineFragmentPadding * m_zoom);
    frame.setRightMargin(TextLayoutManager::kLineFragmentPadding * m_zoom);
    document.rootFrame()->setFrameFormat(frame);
    QTextOption option = document.defaultTextOption();
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    option.setTabStopDistance(TextLayoutManager::kTabStopDistance * m_zoom);
    document.setDefaultTextOption(option);

    // Each run's attribute set becomes an entry once, however often the file's table repeats it.
    QHash<qsizetype, qsizetype> entryOfTableIndex;
    QList<qsizetype> runEntries;
    runEntries.reserve(text.runCount());
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        const qsizetype tableIndex = text.runTableIndex(run);
        auto found = entryOfTableIndex.constFind(tableIndex);
        if (found == entryOfTableIndex.cend())
            found = entryOfTableIndex.insert(tableIndex, entryFor(text.runAttributes(run)));
        runEntries.append(found.value());
    }

    const QString& string = text.string();
    QTextCursor cursor(&document);
    const qsizetype firstEntry = runEntries.value(0, -1);
    cursor.setBlockFormat(blockFormat(firstEntry));
    cursor.setBlockCharFormat(charFormat(firstEntry));
    qsizetype consumed = 0;
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        const TextRange range = text.runRange(run);
        const qsizetype entry = runEntries.at(run);
        // A CR LF may span two runs: its LF was taken with the CR.
        qsizetype position = std::max(range.location, consumed);
        while (position < range.end()) {
            if (!isParagraphTerminator(string.at(position))) {
                qsizetype end = position;
                while (end < range.end() && !isParagraphTerminator(string.at(end)))
                    ++end;
                cursor.insertText(string.mid(position, end - position), charFormat(entry));
                position = end;
                continue;
            }
            // A paragraph ends: its terminator's attributes stay with it, the next paragraph takes
            // its format from its first character. CR LF is one terminator.
            QTextBlockFormat ended = cursor.blockFormat();
            ended.setProperty(kTerminatorEntryProperty, entry);
            cursor.setBlockFormat(ended);
            qsizetype next = position + 1;
            if (string.at(position) == QLatin1Char('\r') && next < string.size()
                && string.at(next) == QLatin1Char('\n'))
                ++next;
            qsizetype nextRun = run;
            while (nextRun < text.runCount() && text.runRange(nextRun).end() <= next)
                ++nextRun;
            const qsizetype nextEntry = runEntries.value(nextRun, entry);
            cursor.insertBlock(blockFormat(nextEntry), charFormat(nextEntry));
            position = next;
        }
        consumed = std::max(consumed, position);
    }
    document.setUndoRedoEnabled(true);
    document.setModified(false);
}

qsizetype TextDocumentBridge::entryFor(const TextAttributes& attributes)
{
    m_entries.append(attributes);
    return m_entries.size() - 1;
}

double TextDocumentBridge::shownSize(const TextAttributes& attributes)
{
    return FontRegistry::shared().qfont(attributes.font).pointSizeF();
}

QTextCharFormat TextDocumentBridge::charFormat(qsizetype entry) const
{
    QTextCharFormat format;
    if (entry < 0 || entry >= m_entries.size())
        return format;
    const TextAttributes& attributes = m_entries.at(entry);
    QFont font = FontRegistry::shared().qfont(attributes.font);
    font.setPointSizeF(font.pointSizeF() * m_zoom);
    format.setFont(font, QTextCharFormat::FontPropertiesAll);
    // Text without a colour is black, whatever the editor's palette.
    format.setForeground(shownColor(attributes));
    if (attributes.underlineStyle() != 0)
        format.setFontUnderline(true);
    format.setProperty(kEntryProperty, entry);
    return format;
}

QTextBlockFormat TextDocumentBridge::blockFormat(qsizetype entry) const
{
    QTextBlockFormat format;
    if (entry < 0 || entry >= m_entries.size())
        return format;
    const TextParagraphStyle style = m_entries.at(entry).paragraphStyleOrDefault();
    format.setAlignment(qtAlignment(style.alignment));
    format.setProperty(kShownAlignmentProperty, int(format.alignment()));
    if (style.lineHeightMultiple > 0)
        format.setLineHeight(style.lineHeightMultiple * 100, QTextBlockFormat::ProportionalHeight);
    format.setTopMargin(style.paragraphSpacingBefore * m_zoom);
    format.setBottomMargin(style.paragraphSpacing * m_zoom);
    return format;
}

TextAttributes TextDocumentBridge::attributesOf(
    const QTextCharFormat& format, const QTextBlockFormat& block) const
{
    bool known = false;
    const qsizetype entry = format.property(kEntryProperty).toLongLong(&known);
    TextAttributes attributes;
    if (known && entry >= 0 && entry < m_entries.size())
        attributes = m_entries.at(entry);
    else if (!m_entries.isEmpty())
        attributes = m_entries.first();

    const double size = format.fontPointSize() / m_zoom;
    if (format.hasProperty(QTextFormat::FontPointSize)
        && std::abs(size - shownSize(attributes)) > kSizeTolerance) {
        TextFont font = attributes.font.value_or(TextFont(FontRegistry::kLetteringFontName, 0));
        // Rich text pasted into the editor may ask for any size; lettering is drawn within these.
        font.size = std::clamp(size, FontRegistry::kMinFontSize, FontRegistry::kMaxFontSize);
        attributes.font = font;
    }
    if (format.hasProperty(QTextFormat::ForegroundBrush)) {
        const QColor color = format.foreground().color();
        if (color != shownColor(attributes))
            attributes.foregroundColor = RgbColor::fromQColor(color);
    }
    const bool realigned = !block.hasProperty(kShownAlignmentProperty)
        || block.intProperty(kShownAlignmentProperty) != int(block.alignment());
    const TextAlignment alignment = alignmentOf(block.alignment());
    if (realigned && alignment != attributes.paragraphStyleOrDefault().alignment) {
        TextParagraphStyle style = attributes.paragraphStyleOrDefault();
        style.alignment = alignment;
        attributes.paragraphStyle = style;
    }
    return attributes;
}

AttributedText TextDocumentBridge::text(const QTextDocument& document) const
{
    TextCollector collector;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid())
                collector.add(fragment.text(), attributesOf(fragment.charFormat(), format));
        }
        if (!block.next().isValid())
            break;
        collector.add(QString(kParagraphTerminator), attributesOf(terminatorFormat(block), format));
    }
    return collector.finish();
}

TextAttributes TextDocumentBridge::typingAttributes(const QTextCursor& cursor) const
{
    return attributesOf(cursor.charFormat(), cursor.blockFormat());
}

// A paragraph the user made ends as the text before its end does.
QTextCharFormat TextDocumentBridge::terminatorFormat(const QTextBlock& block) const
{
    bool known = false;
    const qsizetype terminator = block.blockFormat().property(kTerminatorEntryProperty).toLongLong(&known);
    return known ? charFormat(terminator) : block.charFormat();
}

QList<TextAttributes> TextDocumentBridge::selectedAttributes(const QTextCursor& cursor) const
{
    if (!cursor.hasSelection() || !cursor.document())
        return { typingAttributes(cursor) };
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    QList<TextAttributes> runs;
    const auto add = [&runs](const TextAttributes& attributes) {
        if (runs.isEmpty() || runs.last() != attributes)
            runs.append(attributes);
    };
    for (QTextBlock block = cursor.document()->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.isValid() && fragment.position() < end
                && fragment.position() + fragment.length() > start)
                add(attributesOf(fragment.charFormat(), format));
        }
        const int terminator = block.position() + block.length() - 1;
        if (block.next().isValid() && terminator >= start && terminator < end)
            add(attributesOf(terminatorFormat(block), format));
    }
    if (runs.isEmpty())
        runs.append(typingAttributes(cursor));
    return runs;
}

QTextCharFormat TextDocumentBridge::changeCharacters(
    const QTextCursor& cursor, const Converter& convert, bool joinPrevious)
{
    QTextDocument* document = cursor.document();
    if (!cursor.hasSelection() || !document)
        return charFormat(entryFor(convert(typingAttributes(cursor))));
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    // Formats are gathered first: changing them while walking the fragments would split them.
    struct Piece {
        int from;
        int to;
        QTextCharFormat format;
    };
    QList<Piece> pieces;
    QList<std::pair<int, QTextBlockFormat>> endedParagraphs;
    for (QTextBlock block = document->findBlock(start); block.isValid() && block.position() < end;
         block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            const int from = std::max(fragment.position(), start);
            const int to = std::min(fragment.position() + fragment.length(), end);
            if (fragment.isValid() && from < to)
                pieces.append(
                    { from, to, charFormat(entryFor(convert(attributesOf(fragment.charFormat(), format)))) });
        }
        const int terminator = block.position() + block.length() - 1;
        if (block.next().isValid() && terminator >= start && terminator < end) {
            QTextBlockFormat ended = format;
            ended.setProperty(
                kTerminatorEntryProperty, entryFor(convert(attributesOf(terminatorFormat(block), format))));
            endedParagraphs.append({ block.position(), ended });
        }
    }
    QTextCursor editing(document);
    if (joinPrevious)
        editing.joinPreviousEditBlock();
    else
        editing.beginEditBlock();
    for (const Piece& piece : pieces) {
        editing.setPosition(piece.from);
        editing.setPosition(piece.to, QTextCursor::KeepAnchor);
        editing.setCharFormat(piece.format);
    }
    for (const auto& [position, format] : endedParagraphs) {
        editing.setPosition(position);
        editing.setBlockFormat(format);
    }
    editing.endEditBlock();
    return cursor.charFormat();
}

void TextDocumentBridge::changeParagraphs(const QTextCursor& cursor, const Converter& convert)
{
    QTextDocument* document = cursor.document();
    if (!document)
        return;
    const QTextBlock first = document->findBlock(cursor.selectionStart());
    const QTextBlock last = document->findBlock(cursor.selectionEnd());
    struct Paragraph {
        int position;
        QTextBlockFormat format;
        QTextCharFormat emptyFormat;
        QList<std::pair<QTextFragment, QTextCharFormat>> fragments;
    };
    QList<Paragraph> paragraphs;
    for (QTextBlock block = first; block.isValid(); block = block.next()) {
        const QTextBlockFormat shown = block.blockFormat();
        Paragraph paragraph { block.position(), {}, {}, {} };
        qsizetype firstEntry = -1;
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.isValid())
                continue;
            const qsizetype entry = entryFor(convert(attributesOf(fragment.charFormat(), shown)));
            if (firstEntry < 0)
                firstEntry = entry;
            paragraph.fragments.append({ fragment, charFormat(entry) });
        }
        const qsizetype empty = entryFor(convert(attributesOf(block.charFormat(), shown)));
        paragraph.emptyFormat = charFormat(empty);
        paragraph.format = blockFormat(firstEntry >= 0 ? firstEntry : empty);
        if (block.next().isValid())
            paragraph.format.setProperty(
                kTerminatorEntryProperty, entryFor(convert(attributesOf(terminatorFormat(block), shown))));
        paragraphs.append(paragraph);
        if (block == last)
            break;
    }
    QTextCursor editing(document);
    editing.beginEditBlock();
    for (const Paragraph& paragraph : paragraphs) {
        editing.setPosition(paragraph.position);
        editing.setBlockFormat(paragraph.format);
        editing.setBlockCharFormat(paragraph.emptyFormat);
        for (const auto& [fragment, format] : paragraph.fragments) {
            editing.setPosition(fragment.position());
            editing.setPosition(fragment.position() + fragment.length(), QTextCursor::KeepAnchor);
            editing.setCharFormat(format);
        }
    }
    editing.endEditBlock();
}

} // namespace zandrel
