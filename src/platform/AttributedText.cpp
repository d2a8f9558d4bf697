#include "platform/AttributedText.h"

#include <QHash>
#include <algorithm>
#include <unordered_map>

namespace zandrel {

AttributedText::AttributedText(const QString& string, const TextAttributes& attributes)
    : m_string(string)
{
    if (string.isEmpty())
        return;
    m_table.append(attributes);
    m_runs.append(Run { 0, string.size(), 0 });
}

TextRange AttributedText::clamped(TextRange range) const
{
    const qsizetype location = std::clamp<qsizetype>(range.location, 0, length());
    const qsizetype length = std::clamp<qsizetype>(range.length, 0, this->length() - location);
    return { location, length };
}

qsizetype AttributedText::runIndexAt(qsizetype index) const
{
    const auto after = std::upper_bound(
        m_runs.cbegin(), m_runs.cend(), index, [](qsizetype i, const Run& run) { return i < run.start; });
    return qsizetype(after - m_runs.cbegin()) - 1;
}

TextAttributes AttributedText::attributesAt(qsizetype index, TextRange* effectiveRange) const
{
    if (index < 0 || index >= length()) {
        if (effectiveRange)
            *effectiveRange = { length(), 0 };
        return {};
    }
    const Run& run = m_runs[runIndexAt(index)];
    if (effectiveRange)
        *effectiveRange = { run.start, run.length };
    return m_table[run.entry];
}

TextRange AttributedText::runRange(qsizetype run) const
{
    return { m_runs[run].start, m_runs[run].length };
}

const TextAttributes& AttributedText::runAttributes(qsizetype run) const
{
    return m_table[m_runs[run].entry];
}

qsizetype AttributedText::runTableIndex(qsizetype run) const
{
    return m_runs[run].entry;
}

void AttributedText::collectPieces(qsizetype from, qsizetype to, QList<Piece>& pieces) const
{
    if (from >= to)
        return;
    for (qsizetype i = runIndexAt(from); i < m_runs.size() && m_runs[i].start < to; ++i) {
        const Run& run = m_runs[i];
        const qsizetype start = std::max(run.start, from);
        const qsizetype end = std::min(run.start + run.length, to);
        pieces.append(Piece { end - start, run.entry });
    }
}

namespace {

// Equal attributes have equal fingerprints; a few candidates per fingerprint are compared in full.
size_t fingerprint(const TextAttributes& attributes)
{
    size_t hash = qHash(attributes.otherAttributes.size());
    if (attributes.font)
        hash = qHashMulti(hash, attributes.font->name, attributes.font->size);
    const RgbColor& color = attributes.foregroundColor;
    if (color.isValid())
        hash = qHashMulti(hash, color.red(), color.green(), color.blue(), color.alpha());
    if (attributes.paragraphStyle)
        hash = qHashMulti(hash, int(attributes.paragraphStyle->alignment),
            attributes.paragraphStyle->lineHeightMultiple, attributes.paragraphStyle->otherFields.size());
    return hash;
}

} // namespace

void AttributedText::rebuild(const QList<Piece>& pieces, const QList<TextAttributes>& table)
{
    constexpr int kMaxCandidates = 8;
    std::unordered_map<qsizetype, qsizetype> remap;
    std::unordered_multimap<size_t, qsizetype> byFingerprint;
    QList<TextAttributes> newTable;
    QList<Run> runs;
    qsizetype position = 0;
    for (const Piece& piece : pieces) {
        if (piece.length <= 0)
            continue;
        auto [it, inserted] = remap.try_emplace(piece.entry, -1);
        if (inserted) {
            const TextAttributes& attributes = table[piece.entry];
            const size_t hash = fingerprint(attributes);
            auto [first, last] = byFingerprint.equal_range(hash);
            for (int tried = 0; first != last && tried < kMaxCandidates; ++first, ++tried) {
                if (newTable[first->second] == attributes) {
                    it->second = first->second;
                    break;
                }
            }
            if (it->second < 0) {
                it->second = newTable.size();
                newTable.append(attributes);
                byFingerprint.emplace(hash, it->second);
            }
        }
        if (!runs.isEmpty() && runs.last().entry == it->second)
            runs.last().length += piece.length;
        else
            runs.append(Run { position, piece.length, it->second });
        position += piece.length;
    }
    m_runs = std::move(runs);
    m_table = std::move(newTable);
}

AttributedText AttributedText::substring(TextRange range) const
{
    range = clamped(range);
    AttributedText result;
    result.m_string = m_string.mid(range.location, range.length);
    QList<Piece> pieces;
    collectPieces(range.location, range.end(), pieces);
    result.rebuild(pieces, m_table);
    return result;
}

void AttributedText::replaceCharacters(TextRange range, const QString& text)
{
    range = clamped(range);
    qsizetype source = range.location;
    if (range.length == 0 && source > 0)
        --source;
    AttributedText replacement(text);
    if (source < length() && !text.isEmpty())
        replacement.m_table = { m_table[m_runs[runIndexAt(source)].entry] };
    replaceCharacters(range, replacement);
}

void AttributedText::replaceCharacters(TextRange range, const AttributedText& text)
{
    range = clamped(range);
    QList<TextAttributes> table = m_table;
    const qsizetype offset = table.size();
    table.append(text.m_table);
    QList<Piece> pieces;
    collectPieces(0, range.location, pieces);
    for (const Run& run : text.m_runs)
        pieces.append(Piece { run.length, run.entry + offset });
    collectPieces(range.end(), length(), pieces);
    m_string.replace(range.location, range.length, text.m_string);
    rebuild(pieces, table);
}

void AttributedText::append(const AttributedText& text)
{
    replaceCharacters(TextRange { length(), 0 }, text);
}

void AttributedText::setAttributes(const TextAttributes& attributes, TextRange range)
{
    changeAttributes(range, [&attributes](const TextAttributes&) { return attributes; });
}

void AttributedText::changeAttributes(
    TextRange range, const std::function<TextAttributes(const TextAttributes&)>& convert)
{
    range = clamped(range);
    if (range.length == 0)
        return;
    QList<TextAttributes> table = m_table;
    // Each entry is converted once, however many runs use it.
    std::unordered_map<qsizetype, qsizetype> converted;
    QList<Piece> pieces;
    collectPieces(0, range.location, pieces);
    QList<Piece> inside;
    collectPieces(range.location, range.end(), inside);
    for (Piece piece : inside) {
        auto [it, inserted] = converted.try_emplace(piece.entry, 0);
        if (inserted) {
            it->second = table.size();
            table.append(convert(m_table[piece.entry]));
        }
        piece.entry = it->second;
        pieces.append(piece);
    }
    collectPieces(range.end(), length(), pieces);
    rebuild(pieces, table);
}

bool AttributedText::operator==(const AttributedText& other) const
{
    if (m_string != other.m_string)
        return false;
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < m_runs.size() && j < other.m_runs.size()) {
        if (!(m_table[m_runs[i].entry] == other.m_table[other.m_runs[j].entry]))
            return false;
        const qsizetype endA = m_runs[i].start + m_runs[i].length;
        const qsizetype endB = other.m_runs[j].start + other.m_runs[j].length;
        if (endA <= endB)
            ++i;
        if (endB <= endA)
            ++j;
    }
    return true;
}

AttributedText::Builder::Builder(const QString& string)
{
    m_text.m_string = string;
}

qsizetype AttributedText::Builder::addAttributes(const TextAttributes& attributes)
{
    m_text.m_table.append(attributes);
    return m_text.m_table.size() - 1;
}

bool AttributedText::Builder::appendRun(qsizetype length, qsizetype entry)
{
    if (length < 0 || length > m_text.length() - m_covered || entry < 0 || entry >= m_text.m_table.size())
        return false;
    if (length == 0)
        return true;
    QList<Run>& runs = m_text.m_runs;
    if (!runs.isEmpty() && runs.last().entry == entry)
        runs.last().length += length;
    else
        runs.append(Run { m_covered, length, entry });
    m_covered += length;
    return true;
}

std::optional<AttributedText> AttributedText::Builder::finish()
{
    if (m_covered != m_text.length())
        return std::nullopt;
    // Keep only the entries the runs use, in the order of first use.
    std::vector<qsizetype> remap(size_t(m_text.m_table.size()), -1);
    QList<TextAttributes> table;
    for (Run& run : m_text.m_runs) {
        qsizetype& mapped = remap[size_t(run.entry)];
        if (mapped < 0) {
            mapped = table.size();
            table.append(m_text.m_table[run.entry]);
        }
        run.entry = mapped;
    }
    m_text.m_table = std::move(table);
    return std::move(m_text);
}

} // namespace zandrel
