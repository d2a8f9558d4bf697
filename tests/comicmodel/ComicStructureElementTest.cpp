#include "comicmodel/ComicStructureElement.h"

#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/StructureTestSupport.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveBuilder.h"
#include "platform/ClassRegistry.h"
#include "platform/DryRunCanvas.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"
#include "support/TestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using test::cornersOf;
using test::DocumentedComic;
using test::TestPanel;

class ComicStructureElementTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerComicModelClasses); }
};

std::shared_ptr<ComicStructureElement> quad(QPointF tl, QPointF tr, QPointF bl, QPointF br)
{
    auto element = std::make_shared<ComicStructureElement>();
    element->setTopLeft(tl);
    element->setTopRight(tr);
    element->setBottomLeft(bl);
    element->setBottomRight(br);
    return element;
}

TEST_F(ComicStructureElementTest, QuadGeometry)
{
    auto element = std::make_shared<ComicStructureElement>();
    element->initWithRect(QRectF(10, 20, 200, 300), nullptr);
    EXPECT_EQ(cornersOf(*element),
        (std::array<QPointF, 4> { QPointF(10, 20), QPointF(210, 20), QPointF(10, 320), QPointF(210, 320) }));
    EXPECT_EQ(element->bounds(), QRectF(10, 20, 200, 300));

    EXPECT_TRUE(element->contains(QPointF(100, 100)));
    // Points on an edge or a corner are outside.
    EXPECT_FALSE(element->contains(QPointF(10, 100)));
    EXPECT_FALSE(element->contains(QPointF(100, 320)));
    EXPECT_FALSE(element->contains(QPointF(210, 20)));
    EXPECT_FALSE(element->contains(QPointF(0, 100)));

    // A skewed quad: the test follows its slanted edges, not its bounding rect.
    auto skewed = quad(QPointF(0, 0), QPointF(100, 0), QPointF(50, 100), QPointF(150, 100));
    EXPECT_FALSE(skewed->contains(QPointF(10, 90)));
    EXPECT_TRUE(skewed->contains(QPointF(140, 90)));
    EXPECT_FALSE(skewed->contains(QPointF(25, 50)));
    EXPECT_TRUE(skewed->contains(QPointF(26, 50)));

    // Coincident corners still have an area.
    auto point = quad(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    EXPECT_EQ(point->bounds().size(), QSizeF(0.1f, 0.1f));
    EXPECT_EQ(point->bounds().topLeft(), QPointF(5, 5));
}

TEST_F(ComicStructureElementTest, FramePartsAtCornersAndEdges)
{
    auto comic = std::make_shared<ComicModel>();
    comic->setPanelGutter(10);
    auto panel = std::make_shared<ComicStructureElement>();
    panel->initWithRect(QRectF(0, 0, 200, 300), nullptr);
    comic->setContents({ panel });
    auto flat = std::make_shared<ComicStructureElement>();
    flat->initWithRect(QRectF(0, 0, 200, 30), nullptr);
    auto thin = quad(QPointF(0, 0), QPointF(0, 0), QPointF(0, 200), QPointF(0, 200));
    auto line = quad(QPointF(0, 0), QPointF(200, 0), QPointF(0, 0), QPointF(200, 0));
    comic->setContents({ panel, flat, thin, line });

    struct Case {
        const ComicStructureElement* element;
        QPointF point;
        FramePart expected;
    };
    const Case cases[] = {
        // 18.25 from the top-left corner and 3 from the left edge: corners come first.
        { panel.get(), QPointF(3, 18), FramePart::TopLeft },
        // Exactly gutter + 10 from the corner is not the corner; on the top edge it is that edge.
        { panel.get(), QPointF(20, 0), FramePart::TopEdge },
        { panel.get(), QPointF(12, 16), FramePart::None },
        { panel.get(), QPointF(19.99, 0.5), FramePart::TopLeft },
        // Exactly half the gutter from an edge is on it.
        { panel.get(), QPointF(5, 150), FramePart::LeftEdge },
        { panel.get(), QPointF(5.01, 150), FramePart::None },
        { panel.get(), QPointF(-5, 150), FramePart::LeftEdge },
        { panel.get(), QPointF(197, 150), FramePart::RightEdge },
        { panel.get(), QPointF(100, 304), FramePart::BottomEdge },
        { panel.get(), QPointF(100, -1), FramePart::TopEdge },
        { panel.get(), QPointF(199, 1), FramePart::TopRight },
        { panel.get(), QPointF(1, 299), FramePart::BottomLeft },
        { panel.get(), QPointF(195, 295), FramePart::BottomRight },
        { panel.get(), QPointF(100, 150), FramePart::None },
        // 19 from the top-left corner and 3 from the left edge: still the corner.
        { panel.get(), QPointF(3, std::sqrt(19.0 * 19.0 - 9.0)), FramePart::TopLeft },
        // Near both left corners of a flat element: top-left is tested first.
        { flat.get(), QPointF(0, 15), FramePart::TopLeft },
        { flat.get(), QPointF(0, 28), FramePart::BottomLeft },
        // Collapsed elements lie on two edges at once: left comes before right, bottom before top.
        { thin.get(), QPointF(1, 100), FramePart::LeftEdge },
        { line.get(), QPointF(100, 1), FramePart::BottomEdge },
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.element->getFramePart(c.point), c.expected) << c.point.x() << "," << c.point.y();

    // Detached from the comic there is no gutter: only the corner radius of 10 is left.
    comic->setContents({});
    EXPECT_EQ(panel->getFramePart(QPointF(3, 18)), FramePart::None);
    EXPECT_EQ(panel->getFramePart(QPointF(3, 9)), FramePart::TopLeft);
    EXPECT_EQ(panel->getFramePart(QPointF(0, 150)), FramePart::LeftEdge);
}

TEST_F(ComicStructureElementTest, EditingPrioritiesAndCorrespondingParts)
{
    const int priorities[] = { 0, 1, 1, 1, 1, 2, 2, 2, 2 };
    for (int part = 0; part <= 8; ++part)
        EXPECT_EQ(ComicStructureElement::editingPriorityOf(FramePart(part)), priorities[part]) << part;

    const ComicRow row;
    const ComicStack stack;
    const ComicStructureElement leaf;
    // Expected neighbour parts for dragged parts 0 to 9, in a row and in a stack.
    const int inRow[] = { 0, 2, 1, 0, 0, 6, 5, 8, 7, 0 };
    const int inStack[] = { 0, 0, 0, 4, 3, 7, 8, 5, 6, 0 };
    for (int part = 0; part <= 9; ++part) {
        EXPECT_EQ(int(row.getCorrespondingFramePart(FramePart(part))), inRow[part]) << part;
        EXPECT_EQ(int(stack.getCorrespondingFramePart(FramePart(part))), inStack[part]) << part;
        EXPECT_EQ(int(leaf.getCorrespondingFramePart(FramePart(part))), 0) << part;
    }
    EXPECT_EQ(int(row.getCorrespondingFramePart(FramePart(-1))), 0);
}

// comic > page > [row1 > [p1, split > [rowA > [p2], rowB > [p3, p4]]], row2 > [p5]]
struct NavigationTree {
    std::shared_ptr<ComicModel> comic = std::make_shared<ComicModel>();
    std::shared_ptr<ComicPage> page = std::make_shared<ComicPage>();
    std::shared_ptr<ComicRow> row1 = std::make_shared<ComicRow>();
    std::shared_ptr<ComicRow> row2 = std::make_shared<ComicRow>();
    std::shared_ptr<ComicStack> split = std::make_shared<ComicStack>();
    std::shared_ptr<ComicRow> rowA = std::make_shared<ComicRow>();
    std::shared_ptr<ComicRow> rowB = std::make_shared<ComicRow>();
    std::shared_ptr<TestPanel> p1 = TestPanel::make(QRectF(0, 0, 100, 100));
    std::shared_ptr<TestPanel> p2 = TestPanel::make(QRectF(100, 0, 100, 50));
    std::shared_ptr<TestPanel> p3 = TestPanel::make(QRectF(100, 50, 50, 50));
    std::shared_ptr<TestPanel> p4 = TestPanel::make(QRectF(150, 50, 50, 50));
    std::shared_ptr<TestPanel> p5 = TestPanel::make(QRectF(0, 100, 200, 100));

    NavigationTree()
    {
        comic->initWithRect(QRectF(0, 0, 200, 200), nullptr);
        page->initWithRect(QRectF(0, 0, 200, 200), nullptr);
        row1->initWithRect(QRectF(0, 0, 200, 100), nullptr);
        row2->initWithRect(QRectF(0, 100, 200, 100), nullptr);
        split->initWithRect(QRectF(100, 0, 100, 100), nullptr);
        rowA->initWithRect(QRectF(100, 0, 100, 50), nullptr);
        rowB->initWithRect(QRectF(100, 50, 100, 50), nullptr);
        rowA->setContents({ p2 });
        rowB->setContents({ p3, p4 });
        split->setContents({ rowA, rowB });
        row1->setContents({ p1, split });
        row2->setContents({ p5 });
        page->setContents({ row1, row2 });
        comic->setContents({ page });
        comic->setCurrentPage(page);
    }
};

TEST_F(ComicStructureElementTest, Navigation)
{
    NavigationTree t;
    EXPECT_EQ(t.comic->firstPanel(), t.p1);
    EXPECT_EQ(t.comic->lastPanel(), t.p5);
    EXPECT_EQ(t.split->firstPanel(), t.p2);
    EXPECT_EQ(t.split->lastPanel(), t.p4);
    EXPECT_EQ(std::make_shared<ComicRow>()->firstPanel(), nullptr);

    ComicStructureList panels;
    t.comic->getPanelsInArray(panels);
    EXPECT_EQ(panels, (ComicStructureList { t.p1, t.p2, t.p3, t.p4, t.p5 }));

    EXPECT_EQ(t.row1->getElementBefore(t.split.get()), t.p1);
    EXPECT_EQ(t.row1->getElementAfter(t.p1.get()), t.split);
    EXPECT_EQ(t.row1->getElementBefore(t.p1.get()), nullptr);
    EXPECT_EQ(t.row1->getElementAfter(t.split.get()), nullptr);
    EXPECT_EQ(t.row1->getElementAfter(t.p5.get()), nullptr);
    EXPECT_EQ(t.row1->indexOfChild(t.split.get()), 1);
    EXPECT_EQ(t.row1->indexOfChild(t.p5.get()), -1);

    EXPECT_EQ(t.p3->owner(), t.comic.get());
    EXPECT_EQ(t.comic->owner(), t.comic.get());
    EXPECT_EQ(t.p3->page(), t.page.get());
    EXPECT_EQ(t.p3->getPage(), t.page.get());
    EXPECT_EQ(t.page->getPage(), t.page.get());
    EXPECT_EQ(t.comic->page(), nullptr);
    EXPECT_EQ(t.comic->getPage(), nullptr);
    // The row directly in the page, not the nested one.
    EXPECT_EQ(t.p3->getTopLevelRowContainer(), t.row1.get());
    EXPECT_EQ(t.rowB->getTopLevelRowContainer(), t.row1.get());
    EXPECT_EQ(t.row2->getTopLevelRowContainer(), t.row2.get());
    EXPECT_EQ(t.page->getTopLevelRowContainer(), nullptr);

    EXPECT_EQ(t.comic->getDeepestElementAt(QPointF(160, 70)), t.p4);
    EXPECT_EQ(t.comic->getDeepestElementAt(QPointF(50, 150)), t.p5);
    EXPECT_EQ(t.comic->getDeepestElementAt(QPointF(300, 50)), nullptr);
    // On the line between two panels neither contains the point: the row answers itself.
    EXPECT_EQ(t.comic->getDeepestElementAt(QPointF(100, 20)), t.row1);
}

TEST_F(ComicStructureElementTest, DrawingSkipsChildrenOutsideTheDirtyRectUnlessFocused)
{
    NavigationTree t;
    DryRunCanvas canvas;
    ZDLContext context;
    context.setCanvas(&canvas);
    // The lower half of the split only touches the dirty rect: touching is not meeting.
    t.comic->drawIn(context, QRectF(120, 0, 30, 50));
    EXPECT_EQ(
        (std::vector<int> { t.p1->m_draws, t.p2->m_draws, t.p3->m_draws, t.p4->m_draws, t.p5->m_draws }),
        (std::vector<int> { 0, 1, 0, 0, 0 }));
    t.comic->setFocusOnPanel(true);
    t.comic->drawIn(context, QRectF(120, 0, 30, 50));
    EXPECT_EQ(
        (std::vector<int> { t.p1->m_draws, t.p2->m_draws, t.p3->m_draws, t.p4->m_draws, t.p5->m_draws }),
        (std::vector<int> { 1, 2, 1, 1, 1 }));
}

TEST_F(ComicStructureElementTest, ContentsRefuseCyclesAndUnlinkWhatLeaves)
{
    NavigationTree t;
    // Neither the element nor an ancestor is taken in; the tree would never end.
    t.rowB->setContents({ t.p3, t.page, t.rowB, nullptr, t.split, t.p3, t.p4 });
    EXPECT_EQ(t.rowB->contents(), (ComicStructureList { t.p3, t.p4 }));
    EXPECT_EQ(t.page->parent(), t.comic.get());

    t.rowB->setContents({ t.p4 });
    EXPECT_EQ(t.p3->parent(), nullptr);
    EXPECT_EQ(t.p4->parent(), t.rowB.get());

    t.p2->setParent(nullptr);
    t.split->setParent(t.comic.get());
    t.comic->fixParents();
    EXPECT_EQ(t.p2->parent(), t.rowA.get());
    EXPECT_EQ(t.split->parent(), t.row1.get());

    // Children held past their container's life lose their link to it.
    std::weak_ptr<ComicRow> watch = t.row2;
    t.page->setContents({ t.row1 });
    t.row2.reset();
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(t.p5->parent(), nullptr);
}

TEST_F(ComicStructureElementTest, ValidationRemovesFailingChildrenLastToFirst)
{
    NavigationTree t;
    t.p1->m_valid = false;
    t.p3->m_valid = false;
    t.p4->m_valid = false;
    Log::Capture log;
    EXPECT_TRUE(t.comic->validateData());
    EXPECT_EQ(
        log.lines(), QStringList(3, "ComicStructureElement validateData removing a ComicStructureElement"));
    EXPECT_EQ(t.row1->contents(), ComicStructureList { t.split });
    EXPECT_TRUE(t.rowB->contents().empty());
    EXPECT_EQ(t.p1->parent(), nullptr);
}

// Children kept in a list that counts the members its erasing moves along and the steps of the
// walks over it.
struct CountingList : ComicStructureList {
    using ComicStructureList::ComicStructureList;
    struct Step : const_iterator {
        Step(const_iterator at)
            : const_iterator(at)
        {
        }
        Step& operator++()
        {
            ++steps;
            const_iterator::operator++();
            return *this;
        }
    };
    Step begin() const { return cbegin(); }
    Step end() const { return cend(); }
    iterator erase(const_iterator first, const_iterator last)
    {
        moved += std::size_t(cend() - last);
        return ComicStructureList::erase(first, last);
    }
    iterator erase(const_iterator at) { return erase(at, at + 1); }
    static inline std::size_t moved = 0;
    static inline std::size_t steps = 0;
};
using CountedChildren
    = ElementChildren<TypedLinks<ComicStructureElement, ComicStructureElement, CountingList>>;

TEST_F(ComicStructureElementTest, TakingAndCheckingChildrenWalksEachListOnce)
{
    // Twenty thousand children listed twice, then half of them, of which every other one fails its
    // check: looking each up in the others, or erasing each failure where it stood, took hundreds
    // of millions of steps.
    ComicStructureElement owner;
    CountedChildren children(&owner);
    CountingList all;
    for (int i = 0; i < 20000; ++i)
        all.push_back(TestPanel::make(QRectF()));
    CountingList twice = all;
    twice.insert(twice.cend(), all.cbegin(), all.cend());
    children.adopt(children.acceptable(twice, CountedChildren::Repeats::Refused));
    EXPECT_EQ(children.size(), all.size());
    children.adopt(CountingList(all.cbegin(), all.cbegin() + 10000), CountedChildren::Leaving::ClearLinks);
    for (int i = 1; i < 10000; i += 2)
        std::static_pointer_cast<TestPanel>(all[i])->m_valid = false;
    const Log::Capture log;
    children.removeInvalid(QStringLiteral("removed"), CountedChildren::Leaving::ClearLinks);
    EXPECT_LE(CountingList::steps + CountingList::moved, 10 * all.size());
    EXPECT_EQ(log.lines().size(), 5000);
    EXPECT_EQ(children.at(4999), all[9998]);
    EXPECT_EQ(all[9998]->parent(), &owner);
    EXPECT_EQ(all[9999]->parent(), nullptr);
    EXPECT_EQ(all[10000]->parent(), nullptr);
}

TEST_F(ComicStructureElementTest, CornerChangesGoThroughTheDocumentAndUndoExactly)
{
    auto element = std::make_shared<ComicStructureElement>();
    element->initWithRect(QRectF(0, 0, 100, 100), nullptr);
    DocumentedComic d({ element });
    UndoManager& undo = *d.document.undoManager();
    const auto before = test::coordinatesOf(*element);

    // Changed corners are set by name in a fixed order; unchanged ones are not touched.
    QStringList setKeys;
    element->addObserver({}, &setKeys,
        [&setKeys](Object&, const QString& key, const Value&, const Value&) { setKeys.append(key); });
    element->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(0.1, 0.2), QPointF(100, 0), QPointF(-3.25, 100.5), QPointF(100, 100));
    element->removeObservers(&setKeys);
    EXPECT_EQ(setKeys, (QStringList { "topLeft", "bottomLeft" }));
    EXPECT_EQ(cornersOf(*element),
        (std::array<QPointF, 4> {
            QPointF(0.1, 0.2), QPointF(100, 0), QPointF(-3.25, 100.5), QPointF(100, 100) }));
    ASSERT_TRUE(undo.canUndo());
    undo.undo();
    EXPECT_EQ(test::coordinatesOf(*element), before);
    undo.redo();
    EXPECT_EQ(
        test::coordinatesOf(*element), (std::vector<double> { 0.1, 0.2, 100, 0, -3.25, 100.5, 100, 100 }));

    // The same corners again record nothing.
    undo.removeAllActions();
    element->copyCornersOf(*element);
    EXPECT_FALSE(undo.canUndo());

    setKeys.clear();
    element->addObserver({}, &setKeys,
        [&setKeys](Object&, const QString& key, const Value&, const Value&) { setKeys.append(key); });
    element->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(1, 1), QPointF(99, 1), QPointF(1, 99), QPointF(99, 99));
    element->removeObservers(&setKeys);
    EXPECT_EQ(setKeys, (QStringList { "topLeft", "topRight", "bottomLeft", "bottomRight" }));
    undo.undo();

    // By name, as the undo machinery sets them: plain stores.
    element->setValueForKey(QPointF(7, 8), "bottomRight");
    EXPECT_EQ(element->bottomRight(), QPointF(7, 8));
    EXPECT_EQ(element->valueForKey("topRight").toPoint(), QPointF(100, 0));
    EXPECT_FALSE(undo.canUndo());

    // Without a document nothing changes.
    auto detached = std::make_shared<ComicStructureElement>();
    detached->setTopLeftTopRightBottomLeftBottomRight(
        QPointF(1, 1), QPointF(2, 2), QPointF(3, 3), QPointF(4, 4));
    EXPECT_EQ(cornersOf(*detached), (std::array<QPointF, 4> {}));
}

TEST_F(ComicStructureElementTest, CopiesAreDeepAndDetached)
{
    NavigationTree t;
    auto copy = std::dynamic_pointer_cast<ComicStructureElement>(t.row1->initByCopying());
    ASSERT_TRUE(copy);
    EXPECT_EQ(copy->className(), QStringLiteral("ComicRow"));
    EXPECT_EQ(copy->parent(), nullptr);
    EXPECT_EQ(cornersOf(*copy), cornersOf(*t.row1));
    ASSERT_EQ(copy->numContents(), 2u);
    const auto splitCopy = copy->contents()[1];
    EXPECT_NE(splitCopy, t.split);
    EXPECT_EQ(splitCopy->className(), QStringLiteral("ComicStack"));
    EXPECT_EQ(splitCopy->parent(), copy.get());
    ComicStructureList panels;
    copy->getPanelsInArray(panels);
    ASSERT_EQ(panels.size(), 4u);
    EXPECT_EQ(panels[2]->parent()->parent(), splitCopy.get());
    EXPECT_EQ(cornersOf(*panels[3]), cornersOf(*t.p4));
    EXPECT_EQ(t.split->parent(), t.row1.get());
}

TEST_F(ComicStructureElementTest, ArchiveRoundTripKeepsSinglePrecisionCorners)
{
    auto stack = std::make_shared<ComicStack>();
    stack->initWithRect(QRectF(0.1, 20, 300.3, 200), nullptr, 2, 3);
    stack->setBottomRight(QPointF(1e9 + 1, -0.7));

    const QByteArray data = KeyedArchiver::archivedDataWithRootObject(stack);
    auto decoded = KeyedUnarchiver::unarchive(data, { "ComicStructureElement" }).toObject<ComicStack>();
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->topLeft(), QPointF(double(0.1f), 20));
    EXPECT_EQ(decoded->topRight(), QPointF(double(float(0.1 + 300.3)), 20));
    EXPECT_EQ(decoded->bottomRight(), QPointF(double(1e9f), double(-0.7f)));
    ASSERT_EQ(decoded->numContents(), 2u);
    for (const auto& row : decoded->contents()) {
        EXPECT_EQ(row->className(), QStringLiteral("ComicRow"));
        EXPECT_EQ(row->parent(), decoded.get());
        ASSERT_EQ(row->numContents(), 3u);
        for (const auto& panel : row->contents())
            EXPECT_EQ(panel->parent(), row.get());
    }
    const auto lastPanel = decoded->contents()[1]->contents()[2];
    const auto original = stack->contents()[1]->contents()[2];
    EXPECT_EQ(lastPanel->bottomRight(), QPointF(double(float(original->bottomRight().x())), 220));

    // A comic file's own reader names the classes exactly.
    QString output;
    const int exitCode = test::runPython(
        "import plistlib,sys\n"
        "a=plistlib.load(open(sys.argv[1],'rb'))\n"
        "o=a['$objects']; r=o[a['$top']['root'].data]\n"
        "print(o[r['$class'].data]['$classes'], sorted(k for k in r if k!='$class'), r['tlx'])\n",
        data, &output);
    if (!test::python3().isEmpty()) {
        EXPECT_EQ(exitCode, 0) << output.toStdString();
        EXPECT_EQ(output.trimmed(),
            QStringLiteral("['ComicStack', 'ComicStructureElement', 'NSObject'] ['blx', 'bly', 'brx', 'bry', "
                           "'contents', 'tlx', 'tly', 'trx', 'try'] 0.10000000149011612"));
    }
}

// Structure archives written by hand: each element's "contents" is an array of the given UIDs.
struct HostileArchive {
    test::ArchiveBuilder b;
    quint64 rowClass = b.classRecord("ComicRow", "ComicStructureElement");
    quint64 arrayClass = b.classRecord("NSArray");

    void setRow(quint64 at, const std::vector<quint64>& children, float x = 0)
    {
        const quint64 list = b.add(b.record(arrayClass, { { "NS.objects", b.uids(children) } }));
        b.set(at, b.record(rowClass, { { "tlx", b.real32(x) }, { "contents", b.uid(list) } }));
    }
    std::shared_ptr<ComicRow> decode(quint64 root)
    {
        return KeyedUnarchiver::unarchive(b.finish(root), { "ComicStructureElement" }).toObject<ComicRow>();
    }
};

TEST_F(ComicStructureElementTest, HostileArchivesMakeNoCycles)
{
    {
        // A child list holding an ancestor: the grandchild lists the root again.
        HostileArchive h;
        const quint64 root = h.b.reserve();
        const quint64 child = h.b.reserve();
        const quint64 grandchild = h.b.reserve();
        h.setRow(root, { child, root });
        h.setRow(child, { grandchild });
        h.setRow(grandchild, { root, child, grandchild });
        auto decoded = h.decode(root);
        ASSERT_TRUE(decoded);
        ASSERT_EQ(decoded->numContents(), 1u);
        const auto middle = decoded->contents()[0];
        ASSERT_EQ(middle->numContents(), 1u);
        EXPECT_TRUE(middle->contents()[0]->contents().empty());
        EXPECT_EQ(middle->contents()[0]->parent(), middle.get());
        std::weak_ptr<ComicRow> watch = decoded;
        std::weak_ptr<ComicStructureElement> watchLeaf = middle->contents()[0];
        decoded.reset();
        EXPECT_TRUE(watch.expired());
        EXPECT_FALSE(watchLeaf.expired());
        EXPECT_EQ(watchLeaf.lock()->parent()->parent(), nullptr);
    }
    {
        // One element in two lists and twice in one list gets one owner; NaN and infinite
        // corners read as 0; members of other classes are dropped.
        HostileArchive h;
        const quint64 root = h.b.reserve();
        const quint64 shared = h.b.reserve();
        const quint64 other = h.b.reserve();
        const quint64 text = h.b.add(h.b.text("not an element"));
        h.setRow(shared, {}, std::numeric_limits<float>::quiet_NaN());
        h.setRow(other, { shared, shared, text }, -std::numeric_limits<float>::infinity());
        h.setRow(root, { shared, other });
        auto decoded = h.decode(root);
        ASSERT_TRUE(decoded);
        ASSERT_EQ(decoded->numContents(), 1u);
        const auto otherRow = decoded->contents()[0];
        EXPECT_EQ(otherRow->topLeft(), QPointF(0, 0));
        ASSERT_EQ(otherRow->numContents(), 1u);
        EXPECT_EQ(otherRow->contents()[0]->topLeft(), QPointF(0, 0));
        EXPECT_EQ(otherRow->contents()[0]->parent(), otherRow.get());
    }
}

TEST_F(ComicStructureElementTest, DeeplyNestedArchiveStaysBounded)
{
    // A chain of rows from first to last; answers the UIDs, first one on top.
    const auto chain = [](HostileArchive& h, int depth, std::vector<quint64> lastChildren = {}) {
        std::vector<quint64> uids;
        for (int i = 0; i < depth; ++i)
            uids.push_back(h.b.reserve());
        for (size_t i = 0; i < uids.size(); ++i)
            h.setRow(uids[i], i + 1 < uids.size() ? std::vector<quint64> { uids[i + 1] } : lastChildren);
        return uids;
    };
    // Rows nested as deep as a file may go: the walks of the tree, its copy, its archive and its
    // release finish on any stack. One more level, or thousands, are refused as corrupt.
    constexpr int limit = ComicStructureElement::kMaxNestingDepth;
    for (const int depth : { limit, limit + 1, 5000 }) {
        HostileArchive h;
        const std::vector<quint64> uids = chain(h, depth);
        if (depth > limit) {
            EXPECT_THROW(h.decode(uids[0]), Exception) << depth;
            continue;
        }
        const std::shared_ptr<ComicRow> decoded = h.decode(uids[0]);
        ASSERT_TRUE(decoded);
        EXPECT_TRUE(decoded->validateData());
        decoded->fixParents();
        EXPECT_EQ(decoded->firstPanel(), nullptr);
        EXPECT_TRUE(decoded->initByCopying());
        EXPECT_FALSE(KeyedArchiver::archivedDataWithRootObject(decoded).isEmpty());
    }
    // Two chains within the limit, the first decoded on its own and then adopted at the bottom of
    // the second: together they are too deep.
    HostileArchive h;
    const std::vector<quint64> upper = chain(h, limit / 2 + 1);
    const std::vector<quint64> lower = chain(h, limit / 2 + 1, { upper[0] });
    const quint64 list
        = h.b.add(h.b.record(h.arrayClass, { { "NS.objects", h.b.uids({ upper[0], lower[0] }) } }));
    EXPECT_THROW(KeyedUnarchiver::unarchiveAnyClass(h.b.finish(list)), Exception);
}

} // namespace
} // namespace zandrel
