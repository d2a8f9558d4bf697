#include "charmodel/PartElement.h"

#include "charmodel/CharacterModelClasses.h"
#include "charmodel/PartGroup.h"
#include "charmodel/TestPartLeaf.h"
#include "platform/ArchiveBuilder.h"
#include "platform/ClassRegistry.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::TestPartLeaf;

class PartElementTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ClassRegistry::shared().registerOnce(&registerCharacterModelClasses);
        TestPartLeaf::registerClass();
    }

    static std::shared_ptr<PartGroup> group(const ElementList& children)
    {
        auto made = std::make_shared<PartGroup>();
        for (const ObjectPtr& child : children)
            made->addPartElement(child);
        return made;
    }
};

TEST_F(PartElementTest, TreeLinksAndFlattening)
{
    auto a = TestPartLeaf::make(QRectF(0, 0, 10, 10));
    auto hidden = TestPartLeaf::make(QRectF(0, 0, 10, 10));
    hidden->setVisible(false);
    auto b = TestPartLeaf::make(QRectF(20, 0, 10, 10));
    auto inner = group({ b });
    auto top = TestPartLeaf::make(QRectF());
    auto outer = group({ a, inner });
    top->addPartElement(outer);
    top->addPartElement(hidden);

    EXPECT_EQ(a->parent(), outer.get());
    EXPECT_EQ(b->parent(), inner.get());
    EXPECT_EQ(outer->numChildren(), 2u);
    EXPECT_EQ(outer->getChildAtIndex(1), inner);
    EXPECT_EQ(outer->getChildAtIndex(2), nullptr);
    EXPECT_TRUE(outer->hasChild(inner.get()));
    EXPECT_FALSE(outer->hasChild(b.get()));

    // Groups are skipped on the way up.
    EXPECT_EQ(b->flattenedParent(), static_cast<Parent*>(top.get()));
    EXPECT_EQ(outer->flattenedParent(), static_cast<Parent*>(top.get()));
    EXPECT_EQ(top->flattenedParent(), nullptr);

    EXPECT_EQ(top->flattenedChildren(), (ElementList { a, b }));

    // setChildren adopts the new list and flushes; a dropped child keeps its link for an undo.
    const int flushes = top->m_flushes;
    auto c = TestPartLeaf::make(QRectF(0, 0, 1, 1));
    outer->setChildren({ c, a });
    EXPECT_EQ(outer->children(), (ElementList { c, a }));
    EXPECT_EQ(c->parent(), outer.get());
    EXPECT_EQ(inner->parent(), outer.get());
    EXPECT_EQ(top->m_flushes, flushes + 1);

    // No container takes itself or an ancestor: the tree would never end.
    inner->setChildren({ top, b, outer, inner });
    inner->addPartElement(top);
    EXPECT_EQ(inner->children(), ElementList { b });
    EXPECT_EQ(top->parent(), nullptr);
}

TEST_F(PartElementTest, HitTestingAndMoves)
{
    auto lower = TestPartLeaf::make(QRectF(0, 0, 10, 10));
    auto upper = TestPartLeaf::make(QRectF(5, 5, 10, 10));
    auto g = group({ lower, upper });

    EXPECT_EQ(g->getChildAt(QPointF(7, 7), 1), upper);
    EXPECT_EQ(g->getChildAt(QPointF(2, 2), 1), lower);
    EXPECT_EQ(g->getChildAt(QPointF(50, 50), 1), nullptr);
    upper->setVisible(false);
    EXPECT_EQ(g->getChildAt(QPointF(7, 7), 1), lower);
    // containsPt looks at geometry only.
    g->setVisible(false);
    EXPECT_TRUE(g->containsPt(QPointF(12, 12), 1));
    EXPECT_FALSE(g->containsPt(QPointF(16, 16), 1));

    g->offsetBy(QPointF(5, 0), true);
    for (const auto& leaf : { lower, upper }) {
        EXPECT_EQ(leaf->m_offsets, 1);
        EXPECT_FALSE(leaf->m_lastDirectly);
    }
    EXPECT_TRUE(equalRects(lower->m_rect, QRectF(5, 0, 10, 10)));
}

TEST_F(PartElementTest, BoundsFamily)
{
    auto a = TestPartLeaf::make(QRectF(0, 0, 10, 10));
    auto b = TestPartLeaf::make(QRectF(20, 20, 10, 10));
    auto empty = TestPartLeaf::make(QRectF());
    auto g = group({ a, empty, b });

    struct Case {
        const char* name;
        QRectF (PartElement::*bounds)() const;
        QRectF expected;
    };
    const Case cases[] = {
        { "bounds", &PartElement::getBounds, QRectF(0, 0, 30, 30) },
        { "geometry", &PartElement::getGeometryBounds, QRectF(0, 0, 30, 30) },
        { "visual", &PartElement::getVisualBounds, QRectF(-1, -1, 32, 32) },
        { "invalidation", &PartElement::getInvalidationBounds, QRectF(-2, -2, 34, 34) },
        { "filtered", &PartElement::getFilteredBounds, QRectF(-3, -3, 36, 36) },
        { "ignoring visibility", &PartElement::getBoundsIgnoringVisibility, QRectF(0, 0, 30, 30) },
    };
    for (const Case& c : cases)
        EXPECT_TRUE(equalRects(((*g).*c.bounds)(), c.expected)) << c.name;
    EXPECT_EQ(g->getBoundsOfPaths(), (QList<QRectF> { a->m_rect, QRectF(), b->m_rect }));

    // A hidden group measures nothing but still knows the extent of its members.
    g->setVisible(false);
    for (const Case& c : cases) {
        const QRectF expected = c.bounds == &PartElement::getBoundsIgnoringVisibility ? c.expected : QRectF();
        EXPECT_TRUE(equalRects(((*g).*c.bounds)(), expected)) << c.name;
    }
    // A visible group of hidden members measures nothing either.
    g->setVisible(true);
    a->setVisible(false);
    b->setVisible(false);
    EXPECT_TRUE(equalRects(g->getBounds(), QRectF()));
    EXPECT_TRUE(equalRects(std::make_shared<PartGroup>()->getBoundsIgnoringVisibility(), QRectF()));
}

TEST_F(PartElementTest, VisibilityChangesFlushOnlyWhenTheyChangeSomething)
{
    auto holder = TestPartLeaf::make(QRectF());
    auto g = group({});
    holder->addPartElement(g);
    g->setVisible(true);
    EXPECT_EQ(holder->m_flushes, 0);
    g->setVisible(false);
    EXPECT_EQ(holder->m_flushes, 1);
    g->setValueForKey(Value(false), QStringLiteral("visible"));
    EXPECT_EQ(holder->m_flushes, 1);
    g->setValueForKey(Value(true), QStringLiteral("visible"));
    EXPECT_TRUE(g->visible());
    EXPECT_EQ(holder->m_flushes, 2);
}

TEST_F(PartElementTest, ValidationRemovesFromLastToFirstAndEmptyGroupsGoToo)
{
    auto bad1 = TestPartLeaf::make(QRectF(0, 0, 1, 1), false);
    auto good = TestPartLeaf::make(QRectF(0, 0, 1, 1));
    auto bad2 = TestPartLeaf::make(QRectF(0, 0, 1, 1), false);
    auto doomed = group({ TestPartLeaf::make(QRectF(0, 0, 1, 1), false) });
    auto survivor = group({ bad1, good, bad2 });
    auto root = std::make_shared<PartElement>();
    root->setChildren({ survivor, doomed });

    Log::Capture log;
    EXPECT_TRUE(root->validateData());
    const QString line = QStringLiteral("PartElement validateData removing a child element");
    // doomed's child, doomed itself, then survivor's two bad members.
    EXPECT_EQ(log.lines(), QStringList({ line, line, line, line }));
    EXPECT_EQ(root->children(), ElementList { survivor });
    EXPECT_EQ(survivor->children(), ElementList { good });

    EXPECT_LT(bad2->m_validatedAt, good->m_validatedAt);
    EXPECT_LT(good->m_validatedAt, bad1->m_validatedAt);
    EXPECT_FALSE(group({})->validateData());
    EXPECT_TRUE(std::make_shared<PartElement>()->validateData());
}

TEST_F(PartElementTest, CopiesAreDeepVisibleAndReparented)
{
    auto leaf = TestPartLeaf::make(QRectF(1, 2, 3, 4));
    auto inner = group({ leaf });
    auto source = group({ inner });
    auto holder = TestPartLeaf::make(QRectF());
    holder->addPartElement(source);
    source->setVisible(false);

    auto copy = copyElement(*source);
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->className(), QStringLiteral("PartGroup"));
    EXPECT_TRUE(copy->visible());
    EXPECT_EQ(copy->parent(), nullptr);
    ASSERT_EQ(copy->numChildren(), 1u);
    auto innerCopy = std::dynamic_pointer_cast<PartGroup>(copy->getChildAtIndex(0));
    ASSERT_TRUE(innerCopy);
    EXPECT_NE(innerCopy, inner);
    EXPECT_EQ(innerCopy->parent(), copy.get());
    auto leafCopy = std::dynamic_pointer_cast<TestPartLeaf>(innerCopy->getChildAtIndex(0));
    ASSERT_TRUE(leafCopy);
    EXPECT_NE(leafCopy, leaf);
    EXPECT_EQ(leafCopy->parent(), innerCopy.get());
    EXPECT_TRUE(equalRects(leafCopy->m_rect, leaf->m_rect));
    // The original is untouched.
    EXPECT_EQ(leaf->parent(), inner.get());
}

TEST_F(PartElementTest, ArchiveRoundTrip)
{
    auto hidden = TestPartLeaf::make(QRectF(1, 2, 3, 4));
    hidden->setVisible(false);
    auto nested = TestPartLeaf::make(QRectF(5, 6, 7, 8));
    auto root = group({ hidden, group({ nested }), std::make_shared<PartElement>() });

    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(root);
    auto decoded = KeyedUnarchiver::unarchive(data, { QStringLiteral("PartElement") }).toObject<PartGroup>();
    ASSERT_TRUE(decoded);
    ASSERT_EQ(decoded->numChildren(), 3u);
    auto first = std::dynamic_pointer_cast<TestPartLeaf>(decoded->getChildAtIndex(0));
    auto second = std::dynamic_pointer_cast<PartGroup>(decoded->getChildAtIndex(1));
    auto third = decoded->getChildAtIndex(2);
    ASSERT_TRUE(first && second && third);
    EXPECT_EQ(third->className(), QStringLiteral("PartElement"));
    // Visibility is not archived.
    EXPECT_TRUE(first->visible());
    EXPECT_TRUE(equalRects(first->m_rect, QRectF(1, 2, 3, 4)));
    EXPECT_EQ(first->parent(), decoded.get());
    EXPECT_EQ(second->parent(), decoded.get());
    ASSERT_EQ(second->numChildren(), 1u);
    auto nestedCopy = std::dynamic_pointer_cast<TestPartLeaf>(second->getChildAtIndex(0));
    ASSERT_TRUE(nestedCopy);
    EXPECT_EQ(nestedCopy->parent(), second.get());
    EXPECT_TRUE(equalRects(nestedCopy->m_rect, QRectF(5, 6, 7, 8)));
}

// Group archives written by hand: each group's "children" is an array of the given UIDs.
struct HostileArchive {
    test::ArchiveBuilder b;
    quint64 groupClass = b.classRecord(QStringLiteral("PartGroup"), QStringLiteral("PartElement"));
    quint64 arrayClass = b.classRecord(QStringLiteral("NSArray"));

    void setGroup(quint64 at, const std::vector<quint64>& children)
    {
        const quint64 list
            = b.add(b.record(arrayClass, { { QStringLiteral("NS.objects"), b.uids(children) } }));
        b.set(at, b.record(groupClass, { { QStringLiteral("children"), b.uid(list) } }));
    }
    std::shared_ptr<PartGroup> decode(quint64 root)
    {
        return KeyedUnarchiver::unarchive(b.finish(root), { QStringLiteral("PartElement") })
            .toObject<PartGroup>();
    }
};

TEST_F(PartElementTest, HostileArchivesMakeNoCyclesAndNoSharedChildren)
{
    {
        // A group that lists itself.
        HostileArchive h;
        const quint64 g = h.b.reserve();
        h.setGroup(g, { g });
        auto decoded = h.decode(g);
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->numChildren(), 0u);
        std::weak_ptr<PartGroup> watch = decoded;
        decoded.reset();
        EXPECT_TRUE(watch.expired());
    }
    {
        // A group whose child lists the group again.
        HostileArchive h;
        const quint64 a = h.b.reserve();
        const quint64 b = h.b.reserve();
        h.setGroup(a, { b });
        h.setGroup(b, { a });
        auto decoded = h.decode(a);
        ASSERT_TRUE(decoded);
        ASSERT_EQ(decoded->numChildren(), 1u);
        auto child = std::dynamic_pointer_cast<PartGroup>(decoded->getChildAtIndex(0));
        ASSERT_TRUE(child);
        EXPECT_EQ(child->numChildren(), 0u);
        EXPECT_EQ(child->parent(), decoded.get());
        std::weak_ptr<PartGroup> watchRoot = decoded;
        std::weak_ptr<PartGroup> watchChild = child;
        decoded.reset();
        child.reset();
        EXPECT_TRUE(watchRoot.expired());
        EXPECT_TRUE(watchChild.expired());
    }
    {
        // One element named in two groups and twice in one list ends up with one owner only.
        HostileArchive h;
        const quint64 root = h.b.reserve();
        const quint64 shared = h.b.reserve();
        const quint64 other = h.b.reserve();
        h.setGroup(shared, {});
        h.setGroup(other, { shared, shared });
        h.setGroup(root, { shared, other });
        auto decoded = h.decode(root);
        ASSERT_TRUE(decoded);
        int owners = 0;
        for (const ObjectPtr& child : decoded->children()) {
            auto container = std::dynamic_pointer_cast<PartGroup>(child);
            ASSERT_TRUE(container);
            for (const ObjectPtr& grandchild : container->children())
                owners += asProtocol<ModelElement>(grandchild)->parent() == container.get() ? 1 : 100;
            owners += asProtocol<ModelElement>(child)->parent() == decoded.get() ? 0 : 100;
        }
        // "shared" sits in "other" once; the root keeps "other" only.
        EXPECT_EQ(decoded->numChildren(), 1u);
        EXPECT_EQ(owners, 1);
    }
}

} // namespace
} // namespace zandrel
