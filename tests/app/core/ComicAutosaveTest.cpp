// The comic's background autosave records only the pages that changed since the last one and keeps
// the others' tapes: seeded random edits through the document, each followed by an autosave, leave
// on disk exactly the bytes a save of the same state gives.
#include "DocumentTestSupport.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/PanelLayer.h"
#include "comicmodel/TestComics.h"
#include "graphics/ColorFill.h"
#include "platform/ArchiveTape.h"
#include "platform/KeyedArchiver.h"
#include "platform/UndoManager.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

namespace zandrel {
namespace {

// The rich comic with copies of its first page, so that most pages are left alone by an edit.
ComicModelPtr bookOfPages(int copies)
{
    const ComicModelPtr comic = test::richComic();
    ComicStructureList pages = comic->contents();
    const auto first = std::dynamic_pointer_cast<ComicPage>(pages.front());
    for (int copy = 0; copy < copies; ++copy)
        pages.push_back(std::dynamic_pointer_cast<ComicStructureElement>(first->initByCopying()));
    comic->setContents(pages);
    comic->fixParents();
    return comic;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ComicAutosaveTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ZDLAppController::install(std::make_unique<ZDLAppController>());
        registerStandardFileFormats();
        ASSERT_TRUE(dir.isValid());
        document.setModel(bookOfPages(5));
        // A new comic redraws its views once the event loop runs.
        test::endEventPass();
        document.undoManager()->setGroupsByEvent(false);
        document.setFileType(kComicDocumentType);
        document.setFilePath(path);
        DocumentError error;
        ASSERT_TRUE(document.saveToFile(path, SaveOperation::Save, &error));
    }
    void TearDown() override { document.close(); }

    ComicModel& comic() { return *document.model(); }
    std::shared_ptr<ComicPage> page(qsizetype index)
    {
        return std::dynamic_pointer_cast<ComicPage>(comic().contents().at(index % comic().numPages()));
    }
    // A layer of a panel of the page with something in it, or null.
    std::shared_ptr<PanelLayer> filledLayer(const ComicPage& onPage, unsigned seed)
    {
        ComicStructureList panels;
        onPage.getPanelsInArray(panels);
        for (size_t i = 0; i < panels.size(); ++i) {
            auto* panel = static_cast<ComicPanel*>(panels[(seed + i) % panels.size()].get());
            for (const auto& layer : { panel->frontLayer(), panel->backLayer() }) {
                if (!layer->children().isEmpty())
                    return layer;
            }
        }
        return nullptr;
    }

    // One edit of the kinds the views and dialogs make, as one undo step; false when it did nothing.
    bool edit(std::mt19937& random)
    {
        UndoManager& undo = *document.undoManager();
        const auto pageHere = page(qsizetype(random() % 64));
        const auto layer = filledLayer(*pageHere, random());
        const ElementList elements = layer ? layer->children() : ElementList();
        const ObjectPtr element
            = elements.isEmpty() ? nullptr : elements.at(qsizetype(random()) % elements.size());
        const int kind = int(random() % 11);
        if (kind == 9 && undo.canUndo()) {
            undo.undo();
            return true;
        }
        if (kind == 10 && undo.canRedo()) {
            undo.redo();
            return true;
        }
        undo.beginUndoGrouping();
        switch (kind) {
        case 0:
            if (element)
                document.undoableOffsetObjects({ element }, QPointF(3, -2), false);
            break;
        case 1:
            if (element) {
                // A gesture moves the element live and records the move at its end.
                document.moveElementsLive({ element }, QPointF(-4, 5));
                document.undoableOffsetObjects({ element }, QPointF(-4, 5), true);
            }
            break;
        case 2:
            if (element)
                document.undoableTransformObjects(
                    { element }, QTransform::fromScale(1.25, 0.8), QStringLiteral("Scale Objects"), false);
            break;
        case 3:
            if (layer && !elements.isEmpty())
                document.undoableSetChildren(elements.mid(1), layer);
            break;
        case 4: {
            // An element moves to a panel of another page.
            const auto there = filledLayer(*page(qsizetype(random() % 64)), random());
            if (element && there && there != layer) {
                ElementList rest = elements;
                rest.removeAll(element);
                document.undoableSetChildren(rest, layer);
                document.undoableSetChildren(there->children() + ElementList { element }, there);
            }
            break;
        }
        case 5:
            if (auto balloon = std::dynamic_pointer_cast<Balloon>(element))
                document.undoableSetPropertyFor(
                    balloon, Balloon::kWidthKey, Value(float(40 + random() % 80)));
            else if (auto* panel = layer ? layer->parent() : nullptr)
                document.undoableSetPropertyFor(std::static_pointer_cast<Object>(panel->shared_from_this()),
                    ComicPanel::kWeightKey, Value(float(random() % 7)));
            break;
        case 6: {
            // A page goes, or a copy of one comes.
            ComicStructureList pages = comic().contents();
            if (pages.size() > 3 && random() % 2)
                pages.erase(pages.begin() + qsizetype(random() % pages.size()));
            else
                pages.insert(pages.begin() + qsizetype(random() % pages.size()),
                    std::dynamic_pointer_cast<ComicStructureElement>(pageHere->initByCopying()));
            document.undoableSetContents(pages, document.model());
            break;
        }
        case 7: {
            // A colour of the cast, which pages use by reference.
            const auto colors = comic().characters().back()->colors();
            if (!colors.isEmpty())
                document.undoableSetPropertyFor(colors.at(qsizetype(random()) % colors.size()),
                    ZDLColor::kColorKey, Value(RgbColor(0.1 * (random() % 10), 0.5, 0.25, 1)));
            break;
        }
        default:
            document.undoableSetPropertyFor(
                document.model(), ComicModel::kNameKey, Value(QStringLiteral("Book %1").arg(random() % 100)));
            break;
        }
        undo.endUndoGrouping();
        return true;
    }

    void undoStep(const std::function<void()>& change)
    {
        document.undoManager()->beginUndoGrouping();
        change();
        document.undoManager()->endUndoGrouping();
    }

    // Autosaves in the background and waits, as a save would.
    void autosave()
    {
        document.autosaveInBackground();
        ASSERT_TRUE(document.finishBackgroundWrite());
        // A write found stale is made again whole from the event loop.
        test::endEventPass([&] { return !document.isWritingInBackground(); });
        ASSERT_TRUE(document.finishBackgroundWrite());
    }

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Book.comic"));
    ComicDocument document;
};

TEST_F(ComicAutosaveTest, RandomEditsAutosaveTheBytesASaveWrites)
{
    size_t pagesKept = 0;
    for (unsigned seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        for (int round = 0; round < 6; ++round) {
            const int edits = 1 + int(random() % 3);
            for (int i = 0; i < edits; ++i)
                edit(random);
            pagesKept += document.keptPageTapes();
            autosave();
            ASSERT_FALSE(document.isDocumentEdited());
            ASSERT_EQ(readAll(path), archivedComicFile(comic())) << "round " << round;
        }
    }
    // The pages an edit left alone were written from their tapes.
    EXPECT_GT(pagesKept, 0u);
}

TEST_F(ComicAutosaveTest, OnlyTheEditedPageIsRecordedAgain)
{
    // A change of the comic's own fields leaves the pages alone; this first autosave records them.
    undoStep([&] {
        document.undoableSetPropertyFor(
            document.model(), ComicModel::kNameKey, Value(QStringLiteral("Renamed")));
    });
    autosave();
    EXPECT_EQ(document.keptPageTapes(), size_t(comic().numPages()));
    undoStep([&] {
        document.undoableOffsetObjects(
            { filledLayer(*page(2), 0)->children().first() }, QPointF(1, 1), false);
    });
    EXPECT_EQ(document.keptPageTapes(), size_t(comic().numPages() - 1));
    autosave();
    EXPECT_EQ(readAll(path), archivedComicFile(comic()));
    // A change of something no page owns drops every tape.
    ASSERT_FALSE(comic().characters().back()->colors().last()->locked());
    undoStep([&] {
        document.undoableSetPropertyFor(comic().characters().back()->colors().last(), ZDLColor::kNameKey,
            Value(QStringLiteral("Renamed")));
    });
    EXPECT_EQ(document.keptPageTapes(), 0u);
    autosave();
    EXPECT_EQ(readAll(path), archivedComicFile(comic()));
}

TEST_F(ComicAutosaveTest, AFillTwoPagesHoldIsWrittenAgainWholeWhenTheirTapesDisagree)
{
    // One fill for panels of two pages: the tapes of the pages, made at different times, both hold
    // it. The write finds that out and the autosave is made again from the model.
    auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(comic().characters().back()->colors().first());
    test::panelNumber(*page(1), 0)->setFill(fill);
    test::panelNumber(*page(3), 0)->setFill(fill);
    document.updateChangeCount();
    autosave();
    EXPECT_EQ(readAll(path), archivedComicFile(comic()));
    // The fill changes where no operation tells of it, and an edit of the second page follows: the
    // tape of the first page still holds the fill as it was.
    fill->setFillColor(comic().characters().back()->colors().last());
    undoStep([&] {
        document.undoableOffsetObjects(
            { filledLayer(*page(3), 0)->children().first() }, QPointF(2, 2), false);
    });
    EXPECT_EQ(document.keptPageTapes(), size_t(comic().numPages() - 1));
    autosave();
    EXPECT_FALSE(document.isDocumentEdited());
    EXPECT_EQ(readAll(path), archivedComicFile(comic()));
}

TEST(ArchiveTapeTest, ARecordedComicReplaysToTheBytesOfItsArchive)
{
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    const ComicModelPtr comic = bookOfPages(2);
    const QByteArray expected = archivedComicFile(*comic);
    // Every object recorded where it is met, on one tape; and with pages on tapes of their own.
    for (const bool ownTapes : { false, true }) {
        ArchiveRecorder::Hooks hooks;
        if (ownTapes)
            hooks.ownTape = [](const Object& object) { return dynamic_cast<const ComicPage*>(&object); };
        ArchiveRecorder recorder(hooks);
        const ArchiveSnapshot snapshot = recorder.record(comic);
        EXPECT_EQ(KeyedArchiver::archiveSnapshot(snapshot).encodedData(), expected);
        EXPECT_EQ(recorder.ownTapes().size(), ownTapes ? size_t(comic->numPages()) : 0u);
    }
    comic->retire();
}

} // namespace
} // namespace zandrel
