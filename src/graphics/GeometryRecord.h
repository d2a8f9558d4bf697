#pragma once

#include "graphics/ElementProtocols.h"

#include <QPointF>
#include <QRectF>
#include <QTransform>
#include <cstddef>
#include <optional>
#include <vector>

namespace zandrel {

// The positions that moving or transforming elements changes (curve points, pivots, image
// transforms, alias frames, balloon origins, panel corners), copied exactly, so that an undo puts
// them back bit for bit. Moving back by the offset does not: x + d - d is not always x in double
// arithmetic, and the file writes the doubles. Only what moves is kept, as plain numbers.
//
// Elements write their numbers in a fixed order and read them back in the same order. A count
// goes before every list, so that reading notices a tree that is not the one recorded; from then
// on the reader fails and nothing more is changed.
class GeometryRecord {
public:
    void addPoint(const QPointF& point) { m_values.insert(m_values.end(), { point.x(), point.y() }); }
    void addRect(const QRectF& rect);
    // All nine entries: a transform is put back as it was, projective or not.
    void addTransform(const QTransform& transform);
    void addCount(std::size_t count) { m_values.push_back(double(count)); }

private:
    friend class GeometryReader;
    std::vector<double> m_values;
};

// Reads a record from its start, in the order it was written.
class GeometryReader {
public:
    explicit GeometryReader(const GeometryRecord& record)
        : m_values(record.m_values)
    {
    }

    // False, and failed from then on, when the list found is not as long as the one recorded.
    bool readCount(std::size_t count);
    // Nothing once the reader has failed or the record has run out.
    std::optional<QPointF> readPoint();
    std::optional<QRectF> readRect();
    std::optional<QTransform> readTransform();
    // True when every value was read back into a tree of the recorded shape.
    bool complete() const { return !m_failed && m_next == m_values.size(); }

private:
    // The next count values, or null (and failed) when fewer are left.
    const double* take(std::size_t count);

    const std::vector<double>& m_values;
    std::size_t m_next = 0;
    bool m_failed = false;
};

// The members of a container: their number, then the geometry of each.
void recordMembers(const std::vector<GraphicElement*>& members, GeometryRecord& record);
// False when the container does not hold as many members as were recorded.
bool restoreMembers(const std::vector<GraphicElement*>& members, GeometryReader& reader);

// The graphic elements of the list (others are skipped), as a document moves or transforms them.
std::vector<GraphicElement*> graphicsOf(const ElementList& elements);
GeometryRecord recordGeometry(const ElementList& elements);

} // namespace zandrel
