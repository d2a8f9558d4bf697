// The pasteboard payload: its archive as a standard reader sees it, the way back, and what a hostile
// payload can do (nothing worse than a damaged file), with the pictures other programs receive.
#include "app/core/PasteboardParent.h"

#include "CharacterFixtures.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/PartsFile.h"
#include "graphics/ArrayUtils.h"
#include "platform/ArchiveBuilder.h"
#include "platform/Geometry.h"
#include "support/TestSupport.h"

#include <QPdfWriter>
#include <cmath>
#include <gtest/gtest.h>
#include <poppler-qt6.h>

namespace zandrel {
namespace {

class PasteboardParentTest : public ::testing::Test {
protected:
    void SetUp() override { character = test::makeCharacter(QStringLiteral("Bob"), 3, 2); }
    void TearDown() override { character->retire(); }
    ObjectPtr part(int index) const { return character->getChildAtIndex(std::size_t(index)); }

    CharacterModelPtr character;
};

TEST_F(PasteboardParentTest, TheArchiveReadsBackAndAStandardReaderSeesItsKeys)
{
    const auto payload = PasteboardParent::initWithChildren({ part(0), part(2) });
    ASSERT_EQ(payload->children().size(), 2);
    EXPECT_NE(payload->children().first(), part(0)) << "deep copies";
    payload->setClickPoint(QPointF(10.3, 20.7));
    payload->setColors({ character->getColorNamed(QStringLiteral("Coat")) });
    const QByteArray archive = payload->archivedData();
    EXPECT_FALSE(appController()->writingPasteboard());

    // The root object's keys as Python's own property-list reader finds them.
    const QString script = QStringLiteral(R"(
import plistlib, struct, sys
top = plistlib.load(open(sys.argv[1], 'rb'))
objects = top['$objects']
root = objects[top['$top']['root']]
name = objects[root['$class']]['$classname']
single = lambda v: struct.unpack('f', struct.pack('f', v))[0]
print(name, len(objects[root['objects']]['NS.objects']), root['clickPtX'] == single(10.3),
      root['clickPtY'] == single(20.7), 'characterId' in root, len(objects[root['colors']]['NS.objects']))
)");
    QString output;
    if (!test::python3().isEmpty()) {
        ASSERT_EQ(test::runPython(script, archive, &output), 0) << output.toStdString();
        EXPECT_EQ(output.trimmed(), QStringLiteral("PasteboardParent 2 True True False 1"));
    }

    const PasteboardParentPtr read = PasteboardParent::fromArchivedData(archive);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->clickPoint(), QPointF(10.3f, 20.7f)) << "single precision on the way";
    ASSERT_EQ(read->colors().size(), 1);
    EXPECT_EQ(read->colors().first()->name(), QStringLiteral("Coat"));
    EXPECT_EQ(read->childrenBounds(), payload->childrenBounds());
    // Copied parts keep a link to their character, which the archive holds; read back, the link is
    // gone (nobody owns that character) and from then on the payload writes the same bytes.
    const QByteArray again = read->archivedData();
    EXPECT_EQ(PasteboardParent::fromArchivedData(again)->archivedData(), again);
    // Parts carry their character while on the pasteboard, so that a paste knows where they came from.
    EXPECT_TRUE(archive.contains(character->characterId().toUtf8()));
    EXPECT_TRUE(PasteboardParent::initWithChildren({})->colors().isEmpty());
}

TEST_F(PasteboardParentTest, ChildrenOutOfTheRectMoveToItsCentreAndOthersStay)
{
    struct Case {
        QRectF rect;
        bool moves;
    };
    const auto payload = PasteboardParent::initWithChildren({ part(1) });
    const QRectF bounds = payload->childrenBounds();
    const QList<Case> cases {
        { QRectF(bounds.right() - 1, bounds.bottom() - 1, 500, 500), false },
        { QRectF(1000, 1000, 200, 100), true },
        // Touching is not overlapping.
        { QRectF(bounds.right(), bounds.top(), 50, 50), true },
    };
    for (const Case& each : cases) {
        const auto copy = PasteboardParent::initWithChildren(payload->children());
        copy->ensureChildrenInRect(each.rect);
        const QPointF centre = copy->childrenBounds().center();
        if (each.moves) {
            EXPECT_NEAR(centre.x(), each.rect.center().x(), 1e-9);
            EXPECT_NEAR(centre.y(), each.rect.center().y(), 1e-9);
        } else {
            EXPECT_EQ(copy->childrenBounds(), bounds);
        }
    }
}

TEST_F(PasteboardParentTest, HostilePayloadsPasteNothingWorseThanADamagedFile)
{
    // Objects the payload may not hold, a child listed twice and one nested in another are dropped.
    auto hostile = std::make_shared<PasteboardParent>();
    const ElementList copies = PasteboardParent::initWithChildren({ part(0), part(1) })->children();
    const auto group = asProtocol<Parent>(copies.first())->getChildAtIndex(2);
    hostile->setChildren({ copies.at(0), copies.at(1), copies.at(1), group,
        test::makeCharacter(QStringLiteral("Eve"), 1, 1) });
    hostile->setClickPoint(QPointF(std::nan(""), INFINITY));
    const PasteboardParentPtr read = PasteboardParent::fromArchivedData(hostile->archivedData());
    ASSERT_TRUE(read);
    ASSERT_EQ(read->children().size(), 2);
    EXPECT_EQ(read->clickPoint(), QPointF(0, 0));
    for (const ObjectPtr& child : read->children())
        EXPECT_EQ(asProtocol<ModelElement>(child)->parent(), nullptr);

    // Bytes that are no payload read as none.
    test::ArchiveBuilder builder;
    const quint64 other = builder.classRecord(QStringLiteral("CharacterModel"));
    const quint64 root = builder.add(builder.record(other, {}));
    const QList<QByteArray> refused { QByteArray(), QByteArray("bplist00"), QByteArray(4096, '\xff'),
        builder.finish(root), archivedPartsFile(*character) };
    for (const QByteArray& bytes : refused)
        EXPECT_EQ(PasteboardParent::fromArchivedData(bytes), nullptr) << bytes.left(16).toHex().toStdString();

    // A payload that names the wrong types at its keys reads with what is usable.
    test::ArchiveBuilder odd;
    const quint64 payloadClass = odd.classRecord(PasteboardParent::kClassName);
    const quint64 text = odd.add(odd.text(QStringLiteral("not an array")));
    const quint64 oddRoot = odd.add(odd.record(payloadClass,
        { { QStringLiteral("objects"), odd.uid(text) },
            { QStringLiteral("clickPtX"), odd.text(QStringLiteral("x")) },
            { QStringLiteral("colors"), odd.uid(text) } }));
    const PasteboardParentPtr partial = PasteboardParent::fromArchivedData(odd.finish(oddRoot));
    if (partial) {
        EXPECT_TRUE(partial->children().isEmpty());
        EXPECT_TRUE(partial->colors().isEmpty());
    }
}

TEST_F(PasteboardParentTest, OtherProgramsReceiveAPictureOfTheElementsAsExported)
{
    const auto payload = PasteboardParent::initWithChildren({ part(0), part(1) });
    const QRectF drawn = ArrayUtils::getElementsFilteredBounds(payload->children());
    const QImage image = payload->getImage();
    EXPECT_EQ(image.size(), integralRect(drawn).size().toSize());
    // Inside the first star there is paint, in the gap between the parts there is none.
    const QPoint inStar = (QPointF(50, 50) - integralRect(drawn).topLeft()).toPoint();
    EXPECT_GT(qAlpha(image.pixel(inStar)), 200);
    const QPoint between = (QPointF(110, 50) - integralRect(drawn).topLeft()).toPoint();
    EXPECT_EQ(qAlpha(image.pixel(between)), 0);

    const QByteArray pdf = payload->getPDFData();
    ASSERT_TRUE(pdf.startsWith("%PDF-"));
    const std::unique_ptr<Poppler::Document> document = Poppler::Document::loadFromData(pdf);
    ASSERT_TRUE(document);
    ASSERT_EQ(document->numPages(), 1);
    const QSizeF page = document->page(0)->pageSizeF();
    EXPECT_NEAR(page.width(), drawn.width(), 1.0);
    EXPECT_NEAR(page.height(), drawn.height(), 1.0);
    // Nothing to draw gives no picture.
    EXPECT_TRUE(PasteboardParent::initWithChildren({})->getPDFData().isEmpty());
}

} // namespace
} // namespace zandrel
