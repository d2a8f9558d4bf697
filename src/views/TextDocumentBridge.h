#pragma once

#include "platform/AttributedText.h"

#include <QList>
#include <functional>

class QTextBlock;
class QTextBlockFormat;
class QTextCharFormat;
class QTextCursor;
class QTextDocument;

namespace zandrel {

// Carries a balloon's attributed text into the QTextDocument of the in-place text editor and back.
//
// The editor shows the text at the view's zoom, so its fonts, margins and tab stops are scaled; each
// character keeps a reference to the attribute set it came from (font name as the file wrote it,
// opaque attributes, the paragraph's spacing), so that text read back keeps everything the editor
// cannot show. What the editor can change (size, colour, alignment) is read from its formats and
// overrides the remembered set. Paragraphs are separated by "\n"; each paragraph's terminator keeps
// its own attributes.
class TextDocumentBridge {
public:
    // Replaces the document's content with the text at the zoom (widget pixels per text unit). The
    // document is laid out as text units are: one point per unit, design metrics, the line padding
    // of the balloon's layout at both sides. Its undo history is cleared.
    void fill(QTextDocument& document, const AttributedText& text, double zoom);
    // The document's text with the attributes it shows.
    AttributedText text(const QTextDocument& document) const;
    // The attributes the next typed character gets: the "typing attributes".
    TextAttributes typingAttributes(const QTextCursor& cursor) const;

    double zoom() const { return m_zoom; }

    // --- Formatting the text in the editor ---
    using Converter = std::function<TextAttributes(const TextAttributes&)>;
    // The attribute sets of the selected runs in order; with nothing selected, the typing attributes.
    QList<TextAttributes> selectedAttributes(const QTextCursor& cursor) const;
    // Converts the attributes of the selected characters (the paragraph ends among them too) as one
    // step of the document's undo history. With nothing selected only the typing attributes change:
    // the answer is the format the next typed character gets.
    // Joining makes the change part of the step before it.
    QTextCharFormat changeCharacters(
        const QTextCursor& cursor, const Converter& convert, bool joinPrevious = false);
    // Converts every character of the paragraphs the selection touches (the cursor's paragraph
    // with nothing selected), their ends included, and lays the paragraphs out anew, as one step.
    void changeParagraphs(const QTextCursor& cursor, const Converter& convert);

private:
    QTextCharFormat charFormat(qsizetype entry) const;
    QTextBlockFormat blockFormat(qsizetype entry) const;
    qsizetype entryFor(const TextAttributes& attributes);
    TextAttributes attributesOf(const QTextCharFormat& format, const QTextBlockFormat& block) const;
    // The format a paragraph's terminator keeps.
    QTextCharFormat terminatorFormat(const QTextBlock& block) const;
    // The size the editor shows a font at, in text units.
    static double shownSize(const TextAttributes& attributes);

    // The distinct attribute sets of the text, referred to by the characters' formats.
    QList<TextAttributes> m_entries;
    double m_zoom = 1.0;
};

} // namespace zandrel
