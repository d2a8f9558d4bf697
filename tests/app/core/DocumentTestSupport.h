#pragma once

#include "app/core/ZDLDocument.h"
#include "graphics/ElementProtocols.h"
#include "graphics/GeometryRecord.h"
#include "graphics/GraphicManipulator.h"
#include "platform/NotificationCenter.h"
#include "platform/Object.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <functional>
#include <memory>

namespace zandrel::test {

// A graphic element and container whose invalidation bounds are its frame, and which writes what
// reaches it (moves, transforms, notices, manipulations) into a shared journal.
class Shape : public Object, public GraphicElement, public Parent {
public:
    explicit Shape(QString name = {}, QRectF frame = {}, QStringList* journal = nullptr)
        : m_name(std::move(name))
        , m_frame(frame)
        , m_journal(journal)
    {
    }

    static std::shared_ptr<Shape> make(const QString& name, QRectF frame, QStringList* journal = nullptr)
    {
        return std::make_shared<Shape>(name, frame, journal);
    }

    static const PropertyTable& staticPropertyTable()
    {
        static const PropertyTable table(&Object::staticPropertyTable(),
            {
                property<Shape>(QStringLiteral("frame"), &Shape::frame, &Shape::setFrame),
                property<Shape>(QStringLiteral("name"), &Shape::m_name),
                property<Shape>(QStringLiteral("weight"), &Shape::m_weight),
            });
        return table;
    }
    const PropertyTable& propertyTable() const override { return staticPropertyTable(); }

    QRectF frame() const { return m_frame; }
    void setFrame(const QRectF& frame) { m_frame = frame; }
    const QString& name() const { return m_name; }
    float weight() const { return m_weight; }

    // ModelElement
    Parent* parent() const override { return m_parent; }
    void setParent(Parent* parent) override { m_parent = parent; }

    // GraphicElement
    ObjectPtr initByCopying() const override { return make(m_name, m_frame, m_journal); }
    void offsetBy(const QPointF& delta, bool directly) override
    {
        m_frame.translate(delta);
        note(QStringLiteral("offset %1 %2,%3 %4")
                 .arg(m_name)
                 .arg(delta.x())
                 .arg(delta.y())
                 .arg(directly ? "directly" : "indirectly"));
    }
    void transformBy(const QTransform& transform) override
    {
        m_frame = transform.mapRect(m_frame);
        note(QStringLiteral("transform %1").arg(m_name));
    }
    void perspectiveTransformFrom(const QRectF&, const std::array<QPointF, 4>&) override { }
    void recordGeometry(GeometryRecord& record) const override { record.addRect(m_frame); }
    void restoreGeometry(GeometryReader& reader) override
    {
        m_frame = reader.readRect().value_or(m_frame);
        note(QStringLiteral("restore %1").arg(m_name));
    }
    void drawIn(ZDLContext&) override { }
    bool containsPt(const QPointF& point, float) const override { return m_frame.contains(point); }
    void flushCachesUsingColor() override { }
    void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object) override
    {
        note(QStringLiteral("notice %1 %2").arg(m_name).arg(static_cast<int>(notice)));
        GraphicElement::notifyAllGraphicsOf(notice, object);
    }
    QRectF getBounds() const override { return m_frame; }
    QRectF getBoundsIgnoringVisibility() const override { return m_frame; }
    QRectF getVisualBounds() const override { return m_frame; }
    QRectF getInvalidationBounds() const override { return m_frame.adjusted(-1, -1, 1, 1); }
    QRectF getGeometryBounds() const override { return m_frame; }
    QRectF getFilteredBounds() const override { return m_frame; }
    QList<QRectF> getBoundsOfPaths() const override { return { m_frame }; }
    bool validateData() override { return true; }
    bool visible() const override { return true; }
    void setVisible(bool) override { }

    // Parent
    ElementList children() const override { return m_children; }
    void setChildren(const ElementList& children) override
    {
        m_children = children;
        for (const ObjectPtr& child : m_children) {
            if (auto* element = asProtocol<ModelElement>(child))
                element->setParent(this);
        }
        note(QStringLiteral("setChildren %1").arg(m_name));
    }
    QString displayName() const override { return m_name; }
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }

    void note(const QString& line) const
    {
        if (m_journal)
            m_journal->append(line);
    }

private:
    QString m_name;
    QRectF m_frame;
    float m_weight = 1;
    QStringList* m_journal;
    Parent* m_parent = nullptr;
    ElementList m_children;
};

// An object without bounds, as a model or its settings are: changes to it redraw whole views.
class Settings : public Object {
public:
    static const PropertyTable& staticPropertyTable()
    {
        static const PropertyTable table(&Object::staticPropertyTable(),
            {
                property<Settings>(QStringLiteral("scale"), &Settings::m_scale),
            });
        return table;
    }
    const PropertyTable& propertyTable() const override { return staticPropertyTable(); }

    float m_scale = 1;
};

// Enlarges every shape it reaches by the amount, writing the shape's name into the journal.
class GrowManipulator : public GraphicManipulator {
public:
    explicit GrowManipulator(double amount)
        : m_amount(amount)
    {
    }
    void manipulate(GraphicElement& graphic) override
    {
        if (auto* shape = dynamic_cast<Shape*>(&graphic)) {
            shape->setFrame(shape->frame().adjusted(0, 0, m_amount, m_amount));
            shape->note(QStringLiteral("grow %1 %2").arg(shape->name()).arg(m_amount));
        }
    }

private:
    double m_amount;
};

// Collects the notifications one sender posts, in order.
class NotificationLog {
public:
    explicit NotificationLog(const void* sender)
    {
        NotificationCenter::defaultCenter().addObserver(this, QString(), sender,
            [this](const Notification& notification) { entries.append(notification); });
    }
    ~NotificationLog() { NotificationCenter::defaultCenter().removeObserver(this); }
    NotificationLog(const NotificationLog&) = delete;
    NotificationLog& operator=(const NotificationLog&) = delete;

    QStringList names() const
    {
        QStringList result;
        for (const Notification& entry : entries)
            result.append(entry.name);
        return result;
    }
    QList<Notification> named(const QString& name) const
    {
        QList<Notification> result;
        for (const Notification& entry : entries) {
            if (entry.name == name)
                result.append(entry);
        }
        return result;
    }
    void clear() { entries.clear(); }

    QList<Notification> entries;
};

// Runs the event loop until the condition holds (or a generous time-out), then once more, so that
// the zero-delay calls and the undo grouping of the pass just ended have run.
inline void endEventPass(const std::function<bool()>& until = {})
{
    QElapsedTimer clock;
    clock.start();
    do {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    } while (until && !until() && clock.elapsed() < 5000);
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace zandrel::test
