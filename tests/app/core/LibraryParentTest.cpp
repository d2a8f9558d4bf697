// The library's sheet of part aliases: rows one point apart, centred in the width, a new row for each
// part type, and no layout again at the same width. Positions are compared exactly: the layout is
// single-precision arithmetic on whole and half points.
#include "app/core/LibraryParent.h"

#include "charmodel/PartAlias.h"
#include "charmodel/TestCharacters.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

struct Piece {
    QSizeF size;
    int partType;
};

// A character whose parts are boxes of the sizes and types, far apart where the character keeps them.
CharacterModelPtr characterOf(const QList<Piece>& pieces)
{
    auto model = std::make_shared<CharacterModel>();
    ElementList parts;
    double x = 500;
    for (const Piece& piece : pieces) {
        auto part = std::make_shared<Part>();
        part->setChildren(
            { test::square(QRectF(QPointF(x, 300), piece.size), model->noneColor(), model->blackColor()) });
        part->setPartType(piece.partType);
        part->setModel(model);
        parts.append(part);
        x += 1000;
    }
    model->setChildren(parts);
    return model;
}

// A sheet of aliases of every part, in the order given (not sorted by height).
LibraryParentPtr sheetOf(const CharacterModelPtr& model)
{
    auto sheet = std::make_shared<LibraryParent>();
    ElementList aliases;
    for (const ObjectPtr& part : model->children())
        aliases.append(std::make_shared<PartAlias>(part));
    sheet->setChildren(aliases);
    return sheet;
}

QList<QPointF> origins(const LibraryParent& sheet)
{
    QList<QPointF> points;
    for (const ObjectPtr& alias : sheet.children())
        points.append(asProtocol<GraphicElement>(alias)->getBounds().topLeft());
    return points;
}

TEST(LibraryParentTest, LayoutTable)
{
    const struct {
        const char* name;
        float width;
        QList<Piece> pieces;
        QList<QPointF> expected;
    } cases[] = {
        // Two fit in 100 (1 + 40 + 1 + 40 + 1 = 83): moved right by (100 - 83) / 2; the third opens
        // row two at 1 + 10 + 1 and is centred alone: (100 - 42) / 2.
        { "wrap", 100, { { { 40, 10 }, 4 }, { { 40, 10 }, 4 }, { { 40, 10 }, 4 } },
            { { 9.5, 1 }, { 50.5, 1 }, { 30, 12 } } },
        // A change of part type starts a row however wide the sheet.
        { "type change", 1000, { { { 40, 10 }, 1 }, { { 40, 10 }, 4 } }, { { 480, 1 }, { 480, 12 } } },
        // A lower alias is centred in its row's height.
        { "vertical centring", 200, { { { 20, 30 }, 1 }, { { 20, 10 }, 1 } },
            { { 79.5, 1 }, { 100.5, 11 } } },
        // Wider than the width less one: an empty first row is skipped, so the top is 2.
        { "too wide", 50, { { { 60, 10 }, 1 } }, { { -5, 2 } } },
    };
    for (const auto& c : cases) {
        const auto sheet = sheetOf(characterOf(c.pieces));
        sheet->arrangePartAliasesToFit(c.width);
        EXPECT_EQ(origins(*sheet), c.expected) << c.name;
        EXPECT_EQ(sheet->savedLayoutWidth(), c.width) << c.name;
    }
}

TEST(LibraryParentTest, LaysOutAgainOnlyForANewWidthOrNewChildren)
{
    const auto model = characterOf({ { { 40, 10 }, 4 }, { { 40, 10 }, 4 }, { { 40, 10 }, 4 } });
    const auto sheet = sheetOf(model);
    sheet->arrangePartAliasesToFit(100);
    const QList<QPointF> first = origins(*sheet);
    // Moved by hand: the same width leaves it alone.
    asProtocol<GraphicElement>(sheet->children().first())->offsetBy(QPointF(7, 7), true);
    sheet->arrangePartAliasesToFit(100);
    EXPECT_EQ(origins(*sheet).first(), first.first() + QPointF(7, 7));
    // New children forget the layout.
    sheet->setChildren(sheet->children());
    EXPECT_EQ(sheet->savedLayoutWidth(), 0.0f);
    sheet->arrangePartAliasesToFit(100);
    EXPECT_EQ(origins(*sheet), first);
    // The real parts never move.
    EXPECT_EQ(
        asProtocol<GraphicElement>(model->children().first())->getBounds().topLeft(), QPointF(500, 300));
}

TEST(LibraryParentTest, HitTestsFrontMostAndSheetsByType)
{
    const auto model = characterOf({ { { 40, 30 }, 1 }, { { 40, 10 }, 1 }, { { 20, 20 }, 4 } });
    // Aliases of one type come lowest first; -2 lists every type, type after type.
    const auto heads = LibraryParent::sheetOfType(model, 1);
    ASSERT_EQ(heads->numChildren(), 2u);
    EXPECT_EQ(asProtocol<GraphicElement>(heads->children()[0])->getBounds().height(), 10);
    EXPECT_EQ(LibraryParent::sheetOfType(model, LibraryParent::kAllPartTypes)->numChildren(), 3u);
    EXPECT_EQ(LibraryParent::sheetOfType(nullptr, 1)->numChildren(), 0u);
    EXPECT_TRUE(heads->showsCharacter(model.get()));
    EXPECT_FALSE(heads->showsCharacter(characterOf({}).get()));
    EXPECT_TRUE(LibraryParent().getBounds().isNull());

    // Two aliases over each other: the later one is hit.
    const auto sheet = sheetOf(model);
    const ElementList aliases = sheet->children();
    asProtocol<GraphicElement>(aliases[1])->offsetBy(QPointF(-1000, 0), true);
    EXPECT_EQ(sheet->getChildAt(QPointF(510, 305), 1.0f), aliases[1]);
    EXPECT_EQ(sheet->getChildAt(QPointF(510, 325), 1.0f), aliases[0]);
    EXPECT_EQ(sheet->getChildAt(QPointF(0, 0), 1.0f), nullptr);
    EXPECT_EQ(sheet->getBounds(), QRectF(500, 300, 2020, 30));
}

} // namespace
} // namespace zandrel
