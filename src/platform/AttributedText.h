#pragma once

#include "platform/TextAttributes.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace zandrel {

// A range of UTF-16 code units (or of glyphs, for layouts).
struct TextRange {
    qsizetype location = 0;
    qsizetype length = 0;

    qsizetype end() const { return location + length; }
    bool contains(qsizetype index) const { return index >= location && index < end(); }
    bool operator==(const TextRange&) const = default;
};

// Text with runs of attributes: the lettering of balloons. Indices and lengths count UTF-16 code
// units, as QString and archived run tables do. A value: copies share their data until changed.
//
// The runs cover the string without gaps, and each refers to an entry of a table of attribute
// sets: the shape archives store (attribute dictionaries and a run table). Adjacent runs never
// refer to the same entry; after an edit each distinct set is in the table once, while a decoded
// text keeps the table it was read with. Ranges passed in are clamped to the string.
class AttributedText {
public:
    class Builder;

    AttributedText() = default;
    explicit AttributedText(const QString& string, const TextAttributes& attributes = {});

    const QString& string() const { return m_string; }
    qsizetype length() const { return m_string.size(); }
    bool isEmpty() const { return m_string.isEmpty(); }

    // The attributes at a character and the range of its run; past the end, none and an empty
    // range at the end.
    TextAttributes attributesAt(qsizetype index, TextRange* effectiveRange = nullptr) const;

    qsizetype runCount() const { return m_runs.size(); }
    TextRange runRange(qsizetype run) const;
    const TextAttributes& runAttributes(qsizetype run) const;
    // The run's entry in attributeTable(), for encoders that write the table as it is.
    qsizetype runTableIndex(qsizetype run) const;
    const QList<TextAttributes>& attributeTable() const { return m_table; }

    AttributedText substring(TextRange range) const;

    // A plain string takes the attributes of the first replaced character; with an empty range,
    // those of the character before it, or at the very start those of the first character.
    void replaceCharacters(TextRange range, const QString& text);
    void replaceCharacters(TextRange range, const AttributedText& text);
    void append(const AttributedText& text);
    void setAttributes(const TextAttributes& attributes, TextRange range);
    // Passes the attributes of each run within the range through the converter, the way a
    // formatting bar changes the font or paragraph style of a selection.
    void changeAttributes(
        TextRange range, const std::function<TextAttributes(const TextAttributes&)>& convert);

    // The same characters with the same attributes, however the runs are split.
    bool operator==(const AttributedText& other) const;

private:
    struct Run {
        qsizetype start = 0;
        qsizetype length = 0;
        qsizetype entry = 0;
    };
    struct Piece {
        qsizetype length;
        qsizetype entry;
    };

    TextRange clamped(TextRange range) const;
    qsizetype runIndexAt(qsizetype index) const;
    // The pieces of the runs within [from, to).
    void collectPieces(qsizetype from, qsizetype to, QList<Piece>& pieces) const;
    // Replaces the runs by the pieces, merging neighbours with equal attributes and keeping only
    // the table entries in use, each once.
    void rebuild(const QList<Piece>& pieces, const QList<TextAttributes>& table);

    QString m_string;
    QList<Run> m_runs;
    QList<TextAttributes> m_table;
};

// Builds a text run by run in time linear in the number of runs, for decoders of untrusted data.
class AttributedText::Builder {
public:
    explicit Builder(const QString& string);

    // Adds a table entry, without looking for an equal one, and returns its index.
    qsizetype addAttributes(const TextAttributes& attributes);
    // Appends a run; false when it would pass the end of the string or names no entry. Empty
    // runs are skipped.
    bool appendRun(qsizetype length, qsizetype entry);
    // The text, or nothing when the runs do not cover the string.
    std::optional<AttributedText> finish();

private:
    AttributedText m_text;
    qsizetype m_covered = 0;
};

} // namespace zandrel
