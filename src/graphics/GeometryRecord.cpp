#include "graphics/GeometryRecord.h"

#include "platform/Object.h"

namespace zandrel {

void GeometryRecord::addRect(const QRectF& rect)
{
    m_values.insert(m_values.end(), { rect.x(), rect.y(), rect.width(), rect.height() });
}

void GeometryRecord::addTransform(const QTransform& t)
{
    m_values.insert(
        m_values.end(), { t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33() });
}

const double* GeometryReader::take(std::size_t count)
{
    if (m_failed || m_values.size() - m_next < count) {
        m_failed = true;
        return nullptr;
    }
    const double* values = m_values.data() + m_next;
    m_next += count;
    return values;
}

bool GeometryReader::readCount(std::size_t count)
{
    const double* value = take(1);
    if (value && *value != double(count))
        m_failed = true;
    return !m_failed;
}

std::optional<QPointF> GeometryReader::readPoint()
{
    const double* v = take(2);
    return v ? std::optional(QPointF(v[0], v[1])) : std::nullopt;
}

std::optional<QRectF> GeometryReader::readRect()
{
    const double* v = take(4);
    return v ? std::optional(QRectF(v[0], v[1], v[2], v[3])) : std::nullopt;
}

std::optional<QTransform> GeometryReader::readTransform()
{
    const double* v = take(9);
    return v ? std::optional(QTransform(v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8])) : std::nullopt;
}

void recordMembers(const std::vector<GraphicElement*>& members, GeometryRecord& record)
{
    record.addCount(members.size());
    for (const GraphicElement* member : members)
        member->recordGeometry(record);
}

bool restoreMembers(const std::vector<GraphicElement*>& members, GeometryReader& reader)
{
    if (!reader.readCount(members.size()))
        return false;
    for (GraphicElement* member : members)
        member->restoreGeometry(reader);
    return true;
}

std::vector<GraphicElement*> graphicsOf(const ElementList& elements)
{
    std::vector<GraphicElement*> graphics;
    for (const ObjectPtr& element : elements) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphics.push_back(graphic);
    }
    return graphics;
}

GeometryRecord recordGeometry(const ElementList& elements)
{
    GeometryRecord record;
    recordMembers(graphicsOf(elements), record);
    return record;
}

} // namespace zandrel
