// The bytes the comic structure and its panels write, compared with reference files written by an
// earlier version of the code (see tests/charmodel/ArchiveReferenceTest.cpp for recording them).
#include "support/ArchiveReference.h"

#include "charmodel/TestCharacters.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/ComicRow.h"
#include "comicmodel/ComicStack.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <gtest/gtest.h>

namespace zandrel {
namespace {

const QString kReferences = QStringLiteral("tests/comicmodel/data/archives/");

// Parts placed in a comic only link to their character, which the comic model owns; read on its
// own, such a part loses the character, so what a second write gives has a reference of its own.
void expectArchive(const ObjectPtr& root, const QString& rootClass, const QString& name)
{
    test::expectArchiveAsReference(root, rootClass, kReferences + name);
}

class ComicArchiveReferenceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ClassRegistry::shared().registerOnce(&registerComicModelClasses); }
};

// A page body of two rows of three panels, one panel split into rows, and panels in every shape
// with fills and elements in both layers.
std::shared_ptr<ComicStack> dressedStack(const CharacterModelPtr& character)
{
    auto stack = std::make_shared<ComicStack>();
    stack->initWithRect(QRectF(0.1, 20, 600.3, 800), nullptr, 2, 3);
    ComicStructureList panels;
    stack->getPanelsInArray(panels);
    const auto panelAt = [&](std::size_t i) { return std::dynamic_pointer_cast<ComicPanel>(panels.at(i)); };
    for (std::size_t i = 0; i < panels.size(); ++i) {
        const auto panel = panelAt(i);
        panel->setShape(int(i % 5));
        panel->setRoundness(float(i) * 1.5f);
        panel->setWeight(0.5f + float(i));
        panel->setLineStyle(qint64(i % 3));
        panel->setFillAlpha(1.0f - 0.1f * float(i));
        panel->setFillLayer(int(i % 2));
    }
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(ZDLColor::colorFromHexNamed(QStringLiteral("#3366CC"), QStringLiteral("Sky")));
    fill->setFillColorAdjust(0.2f);
    panelAt(0)->setFill(fill);
    panelAt(1)->setFill(character->styles().first()->fill());

    const ElementList parts = character->getParts();
    auto front = copyElement(*std::dynamic_pointer_cast<Part>(parts.at(0)));
    front->setModel(character);
    auto loose = std::make_shared<ImageElement>();
    loose->setImage(test::blueImage());
    loose->setTransform(QTransform::fromTranslate(15, 25));
    panelAt(0)->frontLayer()->setChildren({ front, loose });
    panelAt(0)->backLayer()->setChildren({ copyElement(*std::dynamic_pointer_cast<Part>(parts.at(1))) });

    auto split = std::make_shared<ComicStack>();
    split->initWithRect(panels.at(4)->bounds(), nullptr, 2, 1);
    auto row = std::dynamic_pointer_cast<ComicRow>(stack->contents().at(1));
    ComicStructureList rowContents = row->contents();
    rowContents[1] = split;
    row->setContents(rowContents);
    return stack;
}

TEST_F(ComicArchiveReferenceTest, StructureAndPanels)
{
    const CharacterModelPtr character = test::styledCharacter();
    const auto stack = dressedStack(character);
    expectArchive(stack, QStringLiteral("ComicStructureElement"), QStringLiteral("dressed-stack"));

    ComicStructureList panels;
    stack->getPanelsInArray(panels);
    expectArchive(panels.front(), QStringLiteral("ComicPanel"), QStringLiteral("dressed-panel"));
    expectArchive(std::dynamic_pointer_cast<ComicPanel>(panels.front())->frontLayer(),
        QStringLiteral("PanelLayer"), QStringLiteral("front-layer"));

    auto bare = std::make_shared<ComicPanel>();
    bare->initWithRect(QRectF(1, 2, 30, 40), nullptr);
    expectArchive(bare, QStringLiteral("ComicPanel"), QStringLiteral("bare-panel"));
}

} // namespace
} // namespace zandrel
