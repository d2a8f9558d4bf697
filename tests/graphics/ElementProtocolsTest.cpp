#include "graphics/ElementProtocols.h"

#include "graphics/GeometryRecord.h"
#include "graphics/GraphicManipulator.h"
#include "platform/Object.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

// A small container element that records what reaches it, in the order it happens.
class Node : public Object, public GraphicElement, public PartElementParent {
public:
    Node(QString name, QStringList* log)
        : m_name(std::move(name))
        , m_log(log)
    {
    }

    static std::shared_ptr<Node> make(const QString& name, QStringList* log, QRectF rect = QRectF())
    {
        auto node = std::make_shared<Node>(name, log);
        node->m_rect = rect;
        return node;
    }

    // ModelElement
    Parent* parent() const override { return m_parent; }
    void setParent(Parent* parent) override { m_parent = parent; }

    // GraphicElement
    ObjectPtr initByCopying() const override
    {
        auto copy = make(m_name + "'", m_log, m_rect);
        ElementList copies;
        for (const ObjectPtr& child : m_children)
            copies.append(asProtocol<GraphicElement>(child)->initByCopying());
        copy->setChildren(copies);
        return copy;
    }
    void offsetBy(const QPointF& delta, bool) override { m_rect.translate(delta); }
    void transformBy(const QTransform&) override { }
    void perspectiveTransformFrom(const QRectF&, const std::array<QPointF, 4>&) override { }
    void recordGeometry(GeometryRecord& record) const override { record.addRect(m_rect); }
    void restoreGeometry(GeometryReader& reader) override { m_rect = reader.readRect().value_or(m_rect); }
    void drawIn(ZDLContext&) override { }
    bool containsPt(const QPointF& point, float) const override { return m_rect.contains(point); }
    void flushCachesUsingColor() override { }
    void notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object) override
    {
        GraphicElement::notifyAllGraphicsOf(notice, object);
        m_log->append(QStringLiteral("react %1 %2").arg(m_name).arg(static_cast<int>(notice)));
    }
    void flushCachedImage() override
    {
        m_log->append("flush " + m_name);
        if (!m_stopsFlush)
            GraphicElement::flushCachedImage();
    }
    QRectF getBounds() const override { return m_rect; }
    QRectF getBoundsIgnoringVisibility() const override { return m_rect; }
    QRectF getVisualBounds() const override { return m_rect; }
    QRectF getInvalidationBounds() const override { return m_rect; }
    QRectF getGeometryBounds() const override { return m_rect; }
    QRectF getFilteredBounds() const override { return m_rect; }
    QList<QRectF> getBoundsOfPaths() const override { return { m_rect }; }
    bool validateData() override { return true; }
    bool visible() const override { return m_visible; }
    void setVisible(bool visible) override { m_visible = visible; }

    // Parent
    ElementList children() const override { return m_children; }
    void setChildren(const ElementList& children) override
    {
        m_children = children;
        for (const ObjectPtr& child : m_children)
            asProtocol<ModelElement>(child)->setParent(this);
    }
    QString displayName() const override { return m_name; }
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }

    // PartElementParent
    void addPartElement(const ObjectPtr& element) override
    {
        m_children.append(element);
        asProtocol<ModelElement>(element)->setParent(this);
    }
    ElementList flattenedChildren() const override { return m_children; }

    QString m_name;
    QStringList* m_log;
    QRectF m_rect;
    bool m_visible = true;
    bool m_stopsFlush = false;
    Parent* m_parent = nullptr;
    ElementList m_children;
};

class RecordingManipulator : public GraphicManipulator {
public:
    explicit RecordingManipulator(QStringList* log)
        : m_log(log)
    {
    }
    void manipulate(GraphicElement& graphic) override
    {
        m_log->append("manipulate " + dynamic_cast<Node&>(graphic).m_name);
    }
    QStringList* m_log;
};

// root( a( a1, a2 ), b, c() ): b is a leaf, c an empty container.
struct Tree {
    QStringList log;
    std::shared_ptr<Node> root = Node::make("root", &log);
    std::shared_ptr<Node> a = Node::make("a", &log);
    std::shared_ptr<Node> a1 = Node::make("a1", &log, QRectF(0, 0, 10, 10));
    std::shared_ptr<Node> a2 = Node::make("a2", &log, QRectF(5, 5, 10, 10));
    std::shared_ptr<Node> b = Node::make("b", &log, QRectF(0, 0, 10, 10));
    std::shared_ptr<Node> c = Node::make("c", &log);

    Tree()
    {
        a->setChildren({ a1, a2 });
        root->setChildren({ a, b, c });
    }
};

TEST(ElementProtocols, ManipulatorReachesEveryElementOnceContainersFirst)
{
    Tree tree;
    RecordingManipulator manipulator(&tree.log);
    tree.root->notifyAllGraphicsOf(GraphicNotice::ApplyManipulator, &manipulator);

    const QStringList expected = {
        "manipulate root",
        "manipulate a",
        "manipulate a1",
        "react a1 3",
        "manipulate a2",
        "react a2 3",
        "react a 3",
        "manipulate b",
        "react b 3",
        "manipulate c",
        "react c 3",
        "react root 3",
    };
    EXPECT_EQ(tree.log, expected);
}

TEST(ElementProtocols, OtherNoticesPassDownWithoutManipulating)
{
    Tree tree;
    RecordingManipulator manipulator(&tree.log);
    // An object with a code other than 3 is not applied.
    tree.a->notifyAllGraphicsOf(GraphicNotice::ZoomChanged, &manipulator);
    EXPECT_EQ(tree.log, QStringList({ "react a1 0", "react a2 0", "react a 0" }));

    tree.log.clear();
    tree.c->notifyAllGraphicsOf(GraphicNotice::FlushCachedImages, nullptr);
    EXPECT_EQ(tree.log, QStringList({ "react c 2" }));

    // A notice 3 without a manipulator still travels.
    tree.log.clear();
    tree.a->notifyAllGraphicsOf(GraphicNotice::ApplyManipulator, nullptr);
    EXPECT_EQ(tree.log, QStringList({ "react a1 3", "react a2 3", "react a 3" }));
}

TEST(ElementProtocols, BreakdownClearsEveryParentLink)
{
    Tree tree;
    // A model that is a container but not a graphic element sends the notice to its members.
    auto model = Node::make("model", &tree.log);
    model->setChildren({ tree.root });
    ASSERT_EQ(tree.a1->parent(), tree.a.get());

    BreakdownModelManipulator breakdown;
    notifyChildrenOf(*model, GraphicNotice::ApplyManipulator, &breakdown);

    for (const auto& node : { tree.root, tree.a, tree.a1, tree.a2, tree.b, tree.c })
        EXPECT_EQ(node->parent(), nullptr) << node->m_name.toStdString();
    // Detaching does not empty the containers; the model does that afterwards.
    EXPECT_EQ(tree.a->numChildren(), 2u);

    GraphicManipulator base;
    tree.a1->setParent(tree.a.get());
    base.manipulate(*tree.a1);
    EXPECT_EQ(tree.a1->parent(), tree.a.get());
}

TEST(ElementProtocols, FlushGoesUpUntilAnElementStopsIt)
{
    Tree tree;
    tree.root->m_stopsFlush = true;
    auto model = Node::make("model", &tree.log);
    model->setChildren({ tree.root });

    tree.a1->flushCachedImage();
    EXPECT_EQ(tree.log, QStringList({ "flush a1", "flush a", "flush root" }));

    // A detached element has nobody to tell.
    tree.log.clear();
    tree.b->setParent(nullptr);
    tree.b->flushCachedImage();
    EXPECT_EQ(tree.log, QStringList({ "flush b" }));
}

TEST(ElementProtocols, ParentDefaultsFindChildren)
{
    Tree tree;
    EXPECT_EQ(tree.a->numChildren(), 2u);
    EXPECT_EQ(tree.a->getChildAtIndex(1), tree.a2);
    EXPECT_EQ(tree.a->getChildAtIndex(2), nullptr);
    EXPECT_TRUE(tree.root->hasChild(tree.b.get()));
    EXPECT_FALSE(tree.root->hasChild(tree.a1.get()));
    EXPECT_FALSE(tree.root->hasChild(nullptr));

    // The topmost (last drawn) visible child wins where two overlap.
    EXPECT_EQ(tree.a->getChildAt(QPointF(7, 7), 1.0f), tree.a2);
    EXPECT_EQ(tree.a->getChildAt(QPointF(2, 2), 1.0f), tree.a1);
    tree.a2->setVisible(false);
    EXPECT_EQ(tree.a->getChildAt(QPointF(7, 7), 1.0f), tree.a1);
    EXPECT_EQ(tree.a->getChildAt(QPointF(50, 50), 1.0f), nullptr);
    EXPECT_TRUE(tree.a->pathIcon().isNull());
}

TEST(ElementProtocols, ChildrenOfOtherKindsAreSkipped)
{
    Tree tree;
    auto plain = std::make_shared<Object>();
    tree.c->m_children.append(plain);
    tree.c->notifyAllGraphicsOf(GraphicNotice::ParentChanged, nullptr);
    EXPECT_EQ(tree.log, QStringList({ "react c 1" }));
    EXPECT_EQ(tree.c->getChildAt(QPointF(1, 1), 1.0f), nullptr);
}

TEST(ElementProtocols, TypedCopyIsDeepAndReparented)
{
    Tree tree;
    auto copy = copyElement(*tree.a);
    ASSERT_TRUE(copy);
    ASSERT_EQ(copy->numChildren(), 2u);
    auto child = std::dynamic_pointer_cast<Node>(copy->getChildAtIndex(0));
    EXPECT_NE(child, tree.a1);
    EXPECT_EQ(child->parent(), copy.get());
    EXPECT_EQ(copy->parent(), nullptr);
}

} // namespace
} // namespace zandrel
