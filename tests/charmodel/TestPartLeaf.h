#pragma once

#include "charmodel/PartElement.h"
#include "graphics/GeometryRecord.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <QColor>

namespace zandrel::test {

// A part element with geometry of its own, standing in for paths in tree tests. Each kind of bounds
// differs, so that a test can tell which kind a container asked for: visual bounds grow the
// rectangle by 1, invalidation bounds by 2, filtered bounds by 3; geometry bounds are the rectangle.
class TestPartLeaf : public PartElement {
public:
    TestPartLeaf() = default;
    explicit TestPartLeaf(const QRectF& rect, bool valid = true)
        : m_rect(rect)
        , m_valid(valid)
    {
    }
    TestPartLeaf(const TestPartLeaf& other) = default;

    static std::shared_ptr<TestPartLeaf> make(const QRectF& rect, bool valid = true)
    {
        return std::make_shared<TestPartLeaf>(rect, valid);
    }
    static void registerClass()
    {
        ClassRegistry::shared().registerClass<TestPartLeaf>(
            QStringLiteral("TestPartLeaf"), QStringLiteral("PartElement"));
    }

    QString className() const override { return QStringLiteral("TestPartLeaf"); }
    void encodeWithCoder(KeyedArchiver& coder) const override
    {
        PartElement::encodeWithCoder(coder);
        coder.encodeRect(m_rect, QStringLiteral("rect"));
    }
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override
    {
        PartElement::initWithCoder(coder);
        m_rect = coder.decodeRectForKey(QStringLiteral("rect"));
        return shared_from_this();
    }
    ObjectPtr initByCopying() const override { return std::make_shared<TestPartLeaf>(*this); }

    void offsetBy(const QPointF& delta, bool directly) override
    {
        m_rect.translate(delta);
        m_lastDirectly = directly;
        ++m_offsets;
    }
    void recordGeometry(GeometryRecord& record) const override
    {
        PartElement::recordGeometry(record);
        record.addRect(m_rect);
    }
    void restoreGeometry(GeometryReader& reader) override
    {
        PartElement::restoreGeometry(reader);
        if (const auto rect = reader.readRect())
            m_rect = *rect;
    }
    void drawIn(ZDLContext& context) override
    {
        if (visible() && context.canvas())
            context.canvas()->fillRect(m_rect, CanvasPaint(QColor(Qt::red)));
    }
    bool containsPt(const QPointF& point, float) const override { return pointInRect(point, m_rect); }

    QRectF getBounds() const override { return visible() ? m_rect : QRectF(); }
    QRectF getBoundsIgnoringVisibility() const override { return m_rect; }
    QRectF getGeometryBounds() const override { return getBounds(); }
    QRectF getVisualBounds() const override { return grown(1); }
    QRectF getInvalidationBounds() const override { return grown(2); }
    QRectF getFilteredBounds() const override { return grown(3); }
    QList<QRectF> getBoundsOfPaths() const override { return { m_rect }; }

    bool validateData() override
    {
        m_validatedAt = ++s_validationClock;
        return m_valid;
    }
    void flushCachedImage() override
    {
        ++m_flushes;
        PartElement::flushCachedImage();
    }

    QRectF m_rect;
    bool m_valid = true;
    bool m_lastDirectly = true;
    int m_offsets = 0;
    int m_flushes = 0;
    // When validateData last ran, on a clock shared by all leaves.
    int m_validatedAt = 0;
    static inline int s_validationClock = 0;

private:
    QRectF grown(double by) const
    {
        return visible() && !isEmptyRect(m_rect) ? insetRect(m_rect, -by, -by) : QRectF();
    }
};

} // namespace zandrel::test
