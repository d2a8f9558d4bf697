// Moves on a real comic and a real character through their documents, by offsets chosen so that
// moving back by the offset would not give the positions back (x + d - d is not x when the sum
// crosses a power of two, or when the offset is huge or tiny): undo gives back the file's bytes,
// redo the edited bytes, exactly and more than once.
#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/TestComics.h"
#include "graphics/ArrayUtils.h"
#include "graphics/GeometryRecord.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

struct Move {
    const char* name;
    // Where the left edge of what moves is put first (outside the undo history).
    double left;
    QPointF offset;
};

void PrintTo(const Move& move, std::ostream* out)
{
    *out << move.name;
}

const Move kMoves[] = {
    { "164.3 to 259.9, across 256", 164.3, QPointF(95.6, 0) },
    { "just below a power of two", 1023.9999999, QPointF(0.00037, 0.1) },
    { "tiny, up to 128", 128 - 1e-14, QPointF(3e-14, -3e-12) },
    { "huge and back", 0.3, QPointF(1e12, -1e12) },
    { "across zero", 2.2, QPointF(-9.9, 4.4) },
};

// The edit as one undo step; then undo and redo, twice, each compared with the bytes it must give.
// (A tiny move of what the file writes in single precision may leave the bytes as they were.)
void expectExactUndo(
    UndoManager& undo, const std::function<QByteArray()>& bytes, const std::function<void()>& edit)
{
    undo.setGroupsByEvent(false);
    const QByteArray before = bytes();
    undo.beginUndoGrouping();
    edit();
    undo.endUndoGrouping();
    const QByteArray after = bytes();
    for (int round = 1; round <= 2; ++round) {
        undo.undo();
        ASSERT_EQ(bytes(), before) << "undo " << round;
        undo.redo();
        ASSERT_EQ(bytes(), after) << "redo " << round;
    }
}

void placeLeftEdge(const ElementList& elements, double left)
{
    const QRectF bounds = ArrayUtils::getElementsBounds(elements);
    for (const ObjectPtr& element : elements)
        asProtocol<GraphicElement>(element)->offsetBy(QPointF(left - bounds.left(), 0), true);
}

class ExactMoveUndoTest : public ::testing::TestWithParam<Move> {
protected:
    void SetUp() override { ZDLAppController::install(std::make_unique<ZDLAppController>()); }
    void TearDown() override { QCoreApplication::processEvents(); }
};

TEST_P(ExactMoveUndoTest, ComicElementsAndFreePanels)
{
    const Move move = GetParam();
    using Pick = std::function<ElementList(const ComicPage&)>;
    const auto layer = [](std::size_t panel, qsizetype index) {
        return Pick([=](const ComicPage& page) {
            return ElementList { test::rowPanel(page, panel)->frontLayer()->children().at(index) };
        });
    };
    const std::pair<const char*, Pick> objects[] = {
        { "part in a row panel", layer(0, 0) },
        { "image in a row panel", layer(0, 1) },
        { "balloon", layer(2, 0) },
        { "group of a part and a balloon", layer(5, 0) },
        { "free objects", [](const ComicPage& page) { return page.floatingElements(); } },
    };
    for (const auto& [name, pick] : objects) {
        SCOPED_TRACE(name);
        ComicDocument document;
        document.setModel(test::richComic());
        document.model()->setCurrentPageIndex(0);
        const ElementList elements = pick(*document.model()->currentPage());
        placeLeftEdge(elements, move.left);
        expectExactUndo(
            *document.undoManager(), [&] { return archivedComicFile(*document.model()); },
            [&] { document.undoableOffsetObjects(elements, move.offset, false); });
    }
    for (const bool inset : { false, true }) {
        SCOPED_TRACE(inset ? "inset panel" : "floating panel");
        ComicDocument document;
        document.setModel(test::richComic());
        document.model()->setCurrentPageIndex(0);
        const auto page = document.model()->currentPage();
        const auto panel = (inset ? page->insetPanels() : page->floatingPanels()).front();
        panel->offsetBy(QPointF(move.left - panel->bounds().left(), 0));
        expectExactUndo(
            *document.undoManager(), [&] { return archivedComicFile(*document.model()); },
            [&] { document.undoableOffsetPanel(panel, move.offset, false); });
    }
}

TEST_P(ExactMoveUndoTest, CharacterParts)
{
    const Move move = GetParam();
    for (const CharacterModelPtr& character : { test::richCharacter(), test::styledCharacter() }) {
        SCOPED_TRACE(character->characterName().toStdString());
        CharacterDocument document(character);
        const ElementList parts = character->children();
        placeLeftEdge(parts, move.left);
        expectExactUndo(
            *document.undoManager(), [&] { return archivedPartsFile(*character); },
            [&] { document.undoableOffsetObjects(parts, move.offset, false); });
    }
}

INSTANTIATE_TEST_SUITE_P(Offsets, ExactMoveUndoTest, ::testing::ValuesIn(kMoves));

// A record read into a tree of another shape (a member fewer) changes nothing from the difference
// on and never reads past its end; read into the tree it was made of, it is used up exactly.
TEST(GeometryRecordTest, ATreeOfAnotherShapeStopsTheReading)
{
    const CharacterModelPtr character = test::richCharacter();
    const ElementList parts = character->children();
    const GeometryRecord record = recordGeometry(parts);
    const auto part = std::dynamic_pointer_cast<Part>(parts.at(0));
    const auto loose = std::dynamic_pointer_cast<ImageElement>(parts.at(1));
    const QTransform placed = loose->transform();
    const auto restore = [&] {
        GeometryReader reader(record);
        EXPECT_TRUE(reader.readCount(2));
        for (GraphicElement* graphic : graphicsOf(parts))
            graphic->restoreGeometry(reader);
        return reader.complete();
    };
    loose->offsetBy(QPointF(5, 5), true);
    EXPECT_TRUE(restore());
    EXPECT_EQ(loose->transform(), placed);

    loose->offsetBy(QPointF(5, 5), true);
    part->setChildren(part->children().mid(1));
    EXPECT_FALSE(restore());
    EXPECT_EQ(loose->transform(), placed * QTransform::fromTranslate(5, 5));
}

} // namespace
} // namespace zandrel
