// Cut, copy and paste through the real clipboard: within a character and between two characters'
// windows, with the payload read back from its archive as a file is.
#include "CharacterWindowFixture.h"
#include "app/Pasteboard.h"
#include "graphics/ArrayUtils.h"
#include "platform/Geometry.h"

#include <QClipboard>

namespace zandrel {
namespace {

class ClipboardTest : public test::CharacterWindowTest { };

TEST_F(ClipboardTest, CopiedPartsPasteIntoAnotherCharacterAsOneStepThatUndoes)
{
    DocumentWindow* other = openCharacter(QStringLiteral("Ann"), 3);
    ASSERT_TRUE(other);
    auto* otherDocument = dynamic_cast<CharacterDocument*>(other->document());
    PartsView* otherView = viewOf(other);
    window->activateWindow();
    QTest::qWaitForWindowActive(window);
    click(1);
    click(2, Qt::ShiftModifier);
    const QByteArray bob = bytes();
    QTest::keySequence(window, QKeySequence(QStringLiteral("Ctrl+C")));

    // The clipboard offers our archive, a PDF and a PNG picture of the two parts.
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_TRUE(data);
    EXPECT_TRUE(data->hasFormat(PasteboardParent::objectsMimeType()));
    const QImage picture = QImage::fromData(data->data(PasteboardMimeData::kPngMimeType), "PNG");
    const QRectF drawn = integralRect(ArrayUtils::getElementsFilteredBounds({ part(1), part(2) }));
    EXPECT_EQ(picture.size(), drawn.size().toSize());
    EXPECT_TRUE(data->data(PasteboardMimeData::kPdfMimeType).startsWith("%PDF-"));

    other->activateWindow();
    QTest::qWaitForWindowActive(other);
    otherView->setFocus();
    const QByteArray ann = archivedPartsFile(*otherDocument->model());
    QTest::keySequence(other, QKeySequence(QStringLiteral("Ctrl+V")));
    endOfEvent();
    // Parts of another file bring their colours: the user was asked, and said Paste.
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(
        alerts.first().message, QStringLiteral("The clipboard contains parts from a different Parts file."));
    ASSERT_EQ(otherDocument->model()->numChildren(), 5u);
    const ElementList pasted = otherDocument->model()->children().mid(3);
    EXPECT_EQ(otherView->selection(), pasted);
    // Copies, where the originals were.
    EXPECT_EQ(ArrayUtils::getElementsBounds(pasted), ArrayUtils::getElementsBounds({ part(1), part(2) }));
    EXPECT_NE(pasted.first(), part(1));

    choose(kUndoAction, other);
    EXPECT_EQ(archivedPartsFile(*otherDocument->model()), ann);
    EXPECT_TRUE(otherView->selection().isEmpty());
    EXPECT_EQ(bytes(), bob) << "the source is untouched";
}

TEST_F(ClipboardTest, CutThenPasteOutOfSightComesBackCentredInView)
{
    click(0);
    const QRectF original = asProtocol<GraphicElement>(part(0))->getBounds();
    choose(kCutAction);
    endOfEvent();
    EXPECT_EQ(document->model()->numChildren(), 4u);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Delete object"));

    // Scrolled so that the cut part's place is out of sight, the paste lands in the middle.
    view->setViewScale(4.0f);
    view->scrollToCenterDocPoint(QPointF(560, 80));
    const QRectF shown = view->visibleRect();
    ASSERT_FALSE(intersectsRect(shown, original));
    choose(kPasteAction);
    endOfEvent();
    ASSERT_EQ(document->model()->numChildren(), 5u);
    const ObjectPtr pasted = document->model()->children().last();
    const QRectF landed = asProtocol<GraphicElement>(pasted)->getBounds();
    EXPECT_NEAR(landed.center().x(), shown.center().x(), 1e-6);
    EXPECT_NEAR(landed.center().y(), shown.center().y(), 1e-6);
    EXPECT_EQ(view->selection(), ElementList { pasted });

    // With the place in sight, a paste keeps it.
    view->scrollToCenterDocPoint(original.center());
    ASSERT_TRUE(intersectsRect(view->visibleRect(), original));
    choose(kPasteAction);
    endOfEvent();
    EXPECT_EQ(asProtocol<GraphicElement>(document->model()->children().last())->getBounds(), original);
}

} // namespace
} // namespace zandrel
