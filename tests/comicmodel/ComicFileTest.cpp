// Comic files: the version header and keys read by an independent reader, objects written once and
// read back as one, a round trip of a comic of every kind, older layouts and damaged files.
#include "comicmodel/ComicFile.h"

#include "app/core/ComicFileFormat.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/PanelTestSupport.h"
#include "comicmodel/TestComics.h"
#include "platform/ArchiveOracle.h"
#include "platform/CorpusSeeds.h"
#include "platform/Exception.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"
#include "support/ArchiveEditing.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <limits>

namespace zandrel {
namespace {

using test::editObjectsOfClass;
using test::editRoot;
using test::integer;
using test::real32;

// What Python's plistlib finds in a comic file.
const char* const kComicFacts = R"(
import plistlib, sys
top = plistlib.loads(open(sys.argv[1], 'rb').read())
objs = top['$objects']
root = objs[top['$top']['root'].data]
def at(uid): return objs[uid.data]
def cls(o): return objs[o['$class'].data]['$classname'] if isinstance(o, dict) and '$class' in o else None
print('keys', ' '.join(k for k in root if k != '$class'))
print('versions', root['fileVersion'], root['losslessVersion'], at(root['minimimAppVersion']),
      at(root['minimimLosslessAppVersion']))
print('size', root['width'], root['height'], root['panelGutter'], root['backStyle'], root['catalogOpen'])
print('meta', at(root['name']), at(root['creator']), at(root['description']), at(root['hashtags']))
cast = at(root['characters'])['NS.objects']
pages = at(root['contents'])['NS.objects']
print('comicColors is cast 0', root['comicColors'] == cast[0])
print('current page', [p.data for p in pages].index(root['currentPage'].data))
parts = [o for o in objs if cls(o) == 'Part']
print('parts linked to the cast', sum(1 for p in parts if p.get('model') in cast), 'of', len(parts))
for name in ['ComicPage', 'ComicRow', 'ComicStack', 'ComicPanel', 'PanelLayer', 'CharacterModel',
             'CharacterLibraryItem', 'NSURL', 'Balloon', 'BalloonPointer', 'Group', 'BalloonGroup']:
    print(name, sum(1 for o in objs if cls(o) == name))
print('Sky colours', sum(1 for o in objs if cls(o) == 'ZDLColor' and at(o['name']) == 'Sky'))
page = at(pages[0])
print('page keys', ' '.join(k for k in page if k != '$class'))
item = at(at(root['characterLibrary'])['NS.objects'][0])
print('library', at(item['name']), at(at(item['url'])['NS.relative']).startswith('file:///'), item['scale'])
)";

class ComicFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { test::registerPanelTestClasses(); }
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        library = dir.filePath(QStringLiteral("hero.parts"));
        QFile file(library);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(archivedPartsFile(*test::richCharacter()));
    }
    void TearDown() override { appController()->setModalAlertHandler(nullptr); }

    QTemporaryDir dir;
    QString library;
};

QString errorOf(const QByteArray& data)
{
    try {
        readComicFile(data)->retire();
    } catch (const std::exception& exception) {
        const DocumentError error = ZDLAppController::getErrorForException(exception);
        return error.isUserCancelled() ? QStringLiteral("cancelled") : error.failureReason;
    }
    return QString();
}

TEST_F(ComicFileTest, HeaderKeysAndObjectsWrittenOnceSeenByPlistlib)
{
    const QByteArray data = archivedComicFile(*test::richComic(library));
    test::checkWithPython(data);
    QString output;
    ASSERT_EQ(test::runPython(QString::fromLatin1(kComicFacts), data, &output), 0) << output.toStdString();
    EXPECT_EQ(output.toStdString(),
        (QStringList {
             "keys fileVersion losslessVersion minimimAppVersion minimimLosslessAppVersion tlx tly trx try "
             "blx "
             "bly brx bry contents characters name creator description hashtags comicColors currentPage "
             "panelGutter width height characterLibrary backStyle catalogOpen docSettings",
             "versions 10 9 1.0.134 1.0.118",
             "size 600.0 400.0 8.0 2 False",
             "meta Rich Test A comic of every kind #test #comic",
             "comicColors is cast 0 True",
             "current page 1",
             "parts linked to the cast 8 of 8",
             "ComicPage 2",
             "ComicRow 5",
             "ComicStack 1",
             "ComicPanel 11",
             "PanelLayer 22",
             "CharacterModel 2",
             "CharacterLibraryItem 1",
             "NSURL 1",
             "Balloon 9",
             "BalloonPointer 10",
             "Group 1",
             "BalloonGroup 1",
             "Sky colours 1",
             "page keys tlx tly trx try blx bly brx bry contents insetPanels floatingPanels floatingElements "
             "topMargin leftMargin rightMargin bottomMargin",
             "library Hero True 1.0",
         })
                .join(u'\n')
                .toStdString()
            + "\n");
}

TEST_F(ComicFileTest, AComicOfEveryKindRoundTrips)
{
    const ComicModelPtr comic = test::richComic(library);
    const QByteArray data = archivedComicFile(*comic);
    const ComicModelPtr read = readComicFile(data);
    EXPECT_EQ(archivedComicFile(*read), data);

    EXPECT_EQ(read->name(), QStringLiteral("Rich"));
    EXPECT_EQ(read->hashtags(), QStringLiteral("#test #comic"));
    EXPECT_EQ(read->size(), QSizeF(600, 400));
    EXPECT_EQ(read->panelGutter(), 8.0f);
    EXPECT_FALSE(read->isCatalogViewOpen());
    EXPECT_EQ(read->documentSettings()->mainViewScale(), 1.5f);
    ASSERT_EQ(read->characters().size(), 2u);
    EXPECT_EQ(read->characters().front(), read->comicColorsModel());
    EXPECT_EQ(read->currentPage(), read->pageAtIndex(1));
    EXPECT_EQ(read->currentPanel(), read->pageAtIndex(1)->firstPanel());
    const auto page = read->pageAtIndex(0);
    EXPECT_EQ(page->leftMargin(), 5.0f);
    ASSERT_EQ(page->insetPanels().size(), 1u);
    EXPECT_TRUE(page->insetPanels().front()->isInset());
    EXPECT_EQ(page->floatingPanels().front()->parent(), page.get());
    EXPECT_EQ(page->numChildren(), 3u);
    // A placed part links to the character of the cast, and the panel's fill takes the comic's colour.
    const auto part = std::dynamic_pointer_cast<Part>(page->floatingElements().front());
    EXPECT_EQ(part->model(), read->characters().back().get());
    const auto fill = std::dynamic_pointer_cast<ColorFill>(test::panelNumber(*page, 2)->fill());
    EXPECT_TRUE(read->comicColorsModel()->ownsColor(fill->fillColor().get()));
    ASSERT_EQ(read->characterLibrary().size(), 1u);
    EXPECT_EQ(read->characterLibrary().front()->characterName(), QStringLiteral("Hero"));
    read->retire();
}

TEST_F(ComicFileTest, OlderLayoutsAndMissingKeysKeepTheDefaults)
{
    const ComicModelPtr comic = test::richComic(library);
    const QByteArray data = archivedComicFile(*comic);

    ComicModelPtr read = readComicFile(editRoot(data, { "catalogOpen", "docSettings", "characterLibrary" }));
    EXPECT_TRUE(read->isCatalogViewOpen());
    EXPECT_EQ(read->documentSettings()->mainViewScale(), 1.0f);
    EXPECT_TRUE(read->characterLibrary().empty());

    // Without "comicColors" the colour set of a new comic stays outside the cast.
    read = readComicFile(editRoot(data, { "comicColors" }));
    EXPECT_EQ(read->characters().size(), 2u);
    EXPECT_NE(read->characters().front(), read->comicColorsModel());
    EXPECT_EQ(read->comicColorsModel()->characterName(), QStringLiteral("Comic"));

    // Pages of files from before free panels.
    read = readComicFile(editObjectsOfClass(data, "ComicPage", { "insetPanels", "floatingPanels" }));
    EXPECT_TRUE(read->pageAtIndex(0)->freePanels().empty());
    EXPECT_EQ(read->pageAtIndex(0)->numChildren(), 3u);

    // A current page outside the pages joins them at the end, its rows checked like the others';
    // without one the first page serves.
    const auto split = comic->pageAtIndex(1)->contents().front()->contents().back();
    split->setContents({ split->contents().front(), test::panelNumber(*split, 1) });
    comic->setContents({ comic->pageAtIndex(0) });
    Log::Capture log;
    read = readComicFile(archivedComicFile(*comic));
    EXPECT_EQ(log.lines(), QStringList { "ComicModel removing a misplaced ComicPanel" });
    EXPECT_EQ(read->numPages(), 2);
    EXPECT_EQ(read->currentPage(), read->pageAtIndex(1));
    read = readComicFile(editRoot(data, { "currentPage" }));
    EXPECT_EQ(read->currentPage(), read->pageAtIndex(0));

    // A library entry whose file is gone is dropped.
    QFile::remove(library);
    read = readComicFile(data);
    EXPECT_TRUE(read->characterLibrary().empty());
}

TEST_F(ComicFileTest, NewerAndDamagedFilesEndInTheirErrors)
{
    const QByteArray data = archivedComicFile(*test::richComic());
    const QString corrupted = QStringLiteral("The data is corrupted.");
    int asked = 0;
    appController()->setModalAlertHandler([&asked](const ModalAlert&) {
        ++asked;
        return ModalAlert::kFirstButton;
    });
    struct Case {
        const char* what;
        QByteArray file;
        QString error;
    };
    const Case cases[] = {
        { "newer format", editRoot(data, {}, { { "fileVersion", integer(11) } }),
            QStringLiteral("It was created with a newer version of Zandrel.") },
        { "lossy read declined", editRoot(data, {}, { { "losslessVersion", integer(10) } }),
            QStringLiteral("cancelled") },
        { "truncated", data.left(data.size() / 2), corrupted },
        { "no pages", editRoot(data, { "contents", "currentPage" }), corrupted },
        { "a gutter that is no number",
            editRoot(
                data, {}, { { "panelGutter", [](PropertyList& list) { return list.addString("wide"); } } }),
            corrupted },
        { "not a comic", KeyedArchiver::archivedDataWithRootObject(std::make_shared<ComicPage>()),
            corrupted },
        { "a NaN gutter and size read as defaults",
            editRoot(data, {},
                { { "panelGutter", real32(std::numeric_limits<float>::quiet_NaN()) },
                    { "width", real32(std::numeric_limits<float>::infinity()) } }),
            QString() },
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorOf(c.file), c.error) << c.what;
    EXPECT_EQ(asked, 1);
    const ComicModelPtr odd = readComicFile(cases[6].file);
    EXPECT_EQ(odd->panelGutter(), 10.0f);
    EXPECT_EQ(odd->size().width(), 0.0);

    // A page standing in a row is taken out of it (and, as the current page, joins the pages).
    // A page standing in a row, as a damaged program could write it, is taken out of it.
    const ComicModelPtr damaged = test::richComic();
    const auto row = damaged->pageAtIndex(0)->contents().front();
    auto stray = std::make_shared<ComicPage>();
    stray->initWithRect(QRectF(0, 0, 50, 50), nullptr, 1, 1);
    ComicStructureList rowContents = row->contents();
    rowContents.push_back(stray);
    row->setContents(rowContents);
    Log::Capture log;
    const ComicModelPtr moved = readComicFile(archivedComicFile(*damaged));
    EXPECT_EQ(log.lines(), QStringList { "ComicModel removing a misplaced ComicPage" });
    EXPECT_EQ(moved->numPages(), 2);
    EXPECT_EQ(moved->pageAtIndex(0)->contents().front()->contents().size(), 3u);
}

TEST_F(ComicFileTest, LibraryEntriesReadTheirCharacters)
{
    const auto item = CharacterLibraryItem::initWithURL(library);
    EXPECT_TRUE(item->isValid());
    EXPECT_EQ(item->characterName(), QStringLiteral("Hero"));
    EXPECT_EQ(item->partsKind(), 1);
    // The parts sit 5 points inside the origin.
    const auto character = item->character();
    EXPECT_EQ(character->getBounds().topLeft(), QPointF(5, 5));
    EXPECT_EQ(item->character(), character);
    item->characterFileUpdated(library);
    EXPECT_NE(item->character(), character);

    const auto comic = std::make_shared<ComicModel>();
    EXPECT_EQ(comic->getCharacterLibraryFromFile(library, false), nullptr);
    const auto added = comic->getCharacterLibraryFromFile(library, true);
    EXPECT_EQ(comic->getCharacterLibraryFromFile(library, false), added);
    EXPECT_EQ(comic->getCharacterLibraryNamed(QStringLiteral("Hero")), added);
    comic->removeCharacterLibrary(added.get());
    EXPECT_TRUE(comic->characterLibrary().empty());

    // A scale of 0 reads as 1; a file that is no parts file gives no character.
    added->setViewScale(0);
    const auto back = KeyedUnarchiver::unarchive(
        KeyedArchiver::archivedDataWithRootObject(added), { CharacterLibraryItem::kClassName })
                          .toObject<CharacterLibraryItem>();
    EXPECT_EQ(back->viewScale(), 1.0f);
    EXPECT_EQ(back->characterFileURL(), library);
    QFile broken(library);
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("not a parts file");
    broken.close();
    EXPECT_EQ(back->character(), nullptr);
    EXPECT_FALSE(CharacterLibraryItem().isValid());
}

TEST_F(ComicFileTest, TheDocumentReadsWholeComicsOrKeepsItsOwn)
{
    ComicDocument document;
    const ComicModelPtr original = document.model();
    const ComicFileFormat format;
    DocumentError error;
    EXPECT_FALSE(document.readFromData(QByteArray("bplist00 and then nothing"), format, &error));
    EXPECT_EQ(error.failureReason, QStringLiteral("The data is corrupted."));
    EXPECT_EQ(document.model(), original);

    const QByteArray data = archivedComicFile(*test::richComic());
    ASSERT_TRUE(document.readFromData(data, format, &error));
    EXPECT_NE(document.model(), original);
    EXPECT_TRUE(original->characters().empty()) << "the old comic is retired";
    EXPECT_EQ(document.model()->comicDocument(), &document);
    EXPECT_EQ(document.documentSettings(), document.model()->documentSettings());
    EXPECT_TRUE(document.undoManager()->isUndoRegistrationEnabled());
    EXPECT_EQ(document.dataOfType(format, &error), data);
    document.close();
}

// The seeds of the comic-file fuzz target: what the archiver writes for a new and a rich comic, an
// older layout, and damaged files.
TEST_F(ComicFileTest, FuzzSeedsAreWhatTheArchiverWrites)
{
    const QByteArray rich = archivedComicFile(*test::richComic());
    auto fresh = std::make_shared<ComicModel>();
    fresh->setCreator(QStringLiteral("Test"));
    fresh->setupWithSize(QSizeF(600, 250), 2, 3);
    const ComicModelPtr misplaced = test::richComic();
    const auto row = misplaced->pageAtIndex(0)->contents().front();
    row->setContents({ row->contents().front(), misplaced->pageAtIndex(1) });
    const QMap<QString, QByteArray> seeds {
        { QStringLiteral("rich.comic"), rich },
        { QStringLiteral("new.comic"), archivedComicFile(*fresh) },
        { QStringLiteral("older.comic"),
            editObjectsOfClass(editObjectsOfClass(rich, "ComicPage", { "insetPanels", "floatingPanels" }),
                "ComicPanel", { "frontLayer", "backLayer", "fillLayer", "fillAlpha", "roundness" }) },
        { QStringLiteral("misplaced.comic"), archivedComicFile(*misplaced) },
        { QStringLiteral("newer.comic"), editRoot(rich, {}, { { "losslessVersion", integer(10) } }) },
        { QStringLiteral("truncated.comic"), rich.left(rich.size() * 2 / 3) },
    };
    test::checkCorpusSeeds(QStringLiteral("fuzz_comicfile"), seeds,
        { QStringLiteral("rich.comic"), QStringLiteral("new.comic"), QStringLiteral("older.comic"),
            QStringLiteral("misplaced.comic") });
}

} // namespace
} // namespace zandrel
