// The character library beside a real comic window: part types are chosen in the popup with the
// mouse, parts are dragged from the sheet into the comic view as one undo step, and each library
// entry keeps its scale, part type and scroll position.
#include "app/CharacterLibraryView.h"

#include "ComicWindowFixture.h"
#include "app/Pasteboard.h"
#include "app/core/LibraryParent.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartPath.h"
#include "charmodel/PartsFile.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "graphics/ImageCache.h"
#include "platform/Log.h"
#include "tools/LibrarySelectionTool.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QVBoxLayout>
#include <algorithm>

namespace zandrel {
namespace {

// Bob: two heads (the taller listed first in the file), an arm and hair, in a coat colour of his own.
// His parts link to him, as the built-in files' do, or, as a user's file's do, find him as their
// parent.
CharacterModelPtr bob(bool linked = true)
{
    auto model = std::make_shared<CharacterModel>();
    model->setCharacterName(QStringLiteral("Bob"));
    const auto coat = ZDLColor::colorFromHexNamed(QStringLiteral("#3355AA"), QStringLiteral("Coat"));
    model->addColor(coat);
    const struct {
        QRectF rect;
        int type;
    } pieces[] = { { QRectF(0, 0, 30, 40), PartTypeHead }, { QRectF(50, 0, 30, 20), PartTypeHead },
        { QRectF(0, 60, 60, 12), PartTypeArm }, { QRectF(100, 0, 24, 10), PartTypeHair } };
    ElementList parts;
    for (const auto& piece : pieces) {
        auto part = std::make_shared<Part>();
        part->setChildren({ test::square(piece.rect, model->blackColor(), coat) });
        part->setPartType(piece.type);
        if (linked)
            part->setModel(model);
        parts.append(part);
    }
    model->setChildren(parts);
    return model;
}

class CharacterLibraryViewTest : public test::ComicWindowTest {
protected:
    void SetUp() override
    {
        ComicWindowTest::SetUp();
        bobPath = writeCharacter(QStringLiteral("Bob.parts"), *bob());
        item = CharacterLibraryItem::initWithURL(bobPath);
        ASSERT_TRUE(item && item->character());
        // The panel's way: the controls in a band of their own above the library area.
        area = std::make_unique<QWidget>();
        area->resize(360, 300);
        auto* column = new QVBoxLayout(area.get());
        auto* band = new QWidget;
        auto* libraryArea = new QWidget;
        column->addWidget(band);
        column->addWidget(libraryArea, 1);
        library = CharacterLibraryView::buildLibraryArea(libraryArea, document, band);
        area->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(area.get()));
        library->setCurrentCharacter(item);
    }
    void TearDown() override
    {
        CharacterLibraryView::setDragRunner(nullptr);
        area.reset();
        ComicWindowTest::TearDown();
    }

    QString writeCharacter(const QString& name, const CharacterModel& model)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(archivedPartsFile(model));
        return path;
    }
    QStringList popupTitles() const
    {
        QStringList titles;
        for (int i = 0; i < library->viewPopup()->count(); ++i)
            titles.append(library->viewPopup()->itemText(i));
        return titles;
    }
    // Opens the popup with a click and clicks the entry with the title, as a person does: the popup
    // ignores a release that comes sooner than a double click would, so the wait is shortened.
    void choose(QComboBox* popup, const QString& title)
    {
        const int interval = QApplication::doubleClickInterval();
        QApplication::setDoubleClickInterval(kShortInterval);
        QTest::mouseClick(popup, Qt::LeftButton);
        QAbstractItemView* list = popup->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(list->window()));
        QTest::qWait(2 * kShortInterval);
        const int row = popup->findText(title);
        ASSERT_GE(row, 0) << title.toStdString();
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseMove(list->viewport(), rect.center());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        QApplication::setDoubleClickInterval(interval);
        ASSERT_FALSE(list->isVisible()) << title.toStdString();
    }
    static constexpr int kShortInterval = 20;
    QPoint inLibrary(const ObjectPtr& element) const
    {
        return library->viewTransform()
            .map(asProtocol<GraphicElement>(element)->getBounds().center())
            .toPoint();
    }
    // Presses the element in the library and drags it into the comic view, where it drops at the
    // point of the document; the payload the drag carried.
    PasteboardParentPtr dragIntoComic(const ObjectPtr& element, const QPointF& documentPoint)
    {
        PasteboardParentPtr carried;
        CharacterLibraryView::setDragRunner([&](QDrag& drag) {
            carried = Pasteboard::readPayload(drag.mimeData());
            const QPoint at = this->at(documentPoint);
            QDragEnterEvent enter(at, Qt::CopyAction, drag.mimeData(), Qt::LeftButton, {});
            QApplication::sendEvent(view, &enter);
            QDragMoveEvent move(at, Qt::CopyAction, drag.mimeData(), Qt::LeftButton, {});
            QApplication::sendEvent(view, &move);
            QDropEvent dropped(at, Qt::CopyAction, drag.mimeData(), Qt::LeftButton, {});
            QApplication::sendEvent(view, &dropped);
            return dropped.isAccepted() ? dropped.dropAction() : Qt::IgnoreAction;
        });
        const QPoint press = inLibrary(element);
        QTest::mousePress(library, Qt::LeftButton, {}, press);
        QTest::mouseMove(library, press + QPoint(2, 1));
        QTest::mouseRelease(library, Qt::LeftButton, {}, press + QPoint(2, 1));
        endOfEvent();
        return carried;
    }

    QString bobPath;
    CharacterLibraryItemPtr item;
    std::unique_ptr<QWidget> area;
    CharacterLibraryView* library = nullptr;
};

TEST_F(CharacterLibraryViewTest, ChosenPartTypeIsASheetAndItsPartDragsIntoTheComicAsOneStep)
{
    EXPECT_EQ(popupTitles(), (QStringList { "All with Poses", "All Parts", "", "Heads", "Hair", "Arms" }));
    EXPECT_EQ(library->rootObject(), item->character());
    EXPECT_TRUE(library->editCharacterButton()->isVisible()) << "a file outside the catalogs";

    choose(library->viewPopup(), QStringLiteral("Heads"));
    const auto sheet = std::dynamic_pointer_cast<LibraryParent>(library->rootObject());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(item->partType(), PartTypeHead);
    EXPECT_EQ(item->partAliasesParent(), sheet);
    ASSERT_EQ(sheet->numChildren(), 2u);
    // Laid out for the view's width less the scroll bar's room; the lower head first.
    EXPECT_EQ(sheet->savedLayoutWidth(), float(library->width() - CharacterLibraryView::kSheetWidthMargin));
    const ObjectPtr lowHead = sheet->children().first();
    EXPECT_EQ(asProtocol<GraphicElement>(lowHead)->getBounds().height(),
        asProtocol<GraphicElement>(item->character()->children()[1])->getBounds().height());

    // The drag carries the head to panel 2 of the comic, where it lands at the pointer.
    const QRectF target = panel(1)->bounds();
    model().setCurrentPanel(panel(1));
    const QByteArray before = bytes();
    model().setCurrentPanel(panel(0));
    const QByteArray characterBefore = archivedPartsFile(*item->character());
    const QPoint press = inLibrary(lowHead);
    const PasteboardParentPtr carried = dragIntoComic(lowHead, target.center());
    EXPECT_EQ(library->selection(), ElementList { lowHead });

    ASSERT_TRUE(carried);
    EXPECT_EQ(carried->characterId(), item->character()->characterId());
    EXPECT_EQ(carried->colors().size(), item->character()->colors().size());
    EXPECT_EQ(carried->clickPoint(), library->convertFromWidget(press));
    EXPECT_EQ(model().currentPanel(), panel(1));
    const ElementList dropped = view->selection();
    ASSERT_EQ(dropped.size(), 1);
    const auto part = std::dynamic_pointer_cast<Part>(dropped.first());
    ASSERT_TRUE(part) << "the alias became a part of its own";
    EXPECT_EQ(part->partType(), PartTypeHead);
    EXPECT_EQ(panel(1)->frontLayer()->children().last(), part);
    // Where the pointer let go, the part keeps the spot that was under it when it was pressed.
    const QPointF grabbed
        = library->convertFromWidget(press) - asProtocol<GraphicElement>(lowHead)->getBounds().topLeft();
    EXPECT_NEAR(part->getBounds().x(), view->convertFromWidget(at(target.center())).x() - grabbed.x(), 1.0);
    EXPECT_NEAR(part->getBounds().y(), view->convertFromWidget(at(target.center())).y() - grabbed.y(), 1.0);
    EXPECT_EQ(archivedPartsFile(*item->character()), characterBefore) << "the library is not changed";
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Drag in character parts"));
    ComicWindowTest::choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(document->undoManager()->canUndo()) << "one step";

    // Back to the whole character through the popup.
    choose(library->viewPopup(), QStringLiteral("All with Poses"));
    EXPECT_EQ(library->rootObject(), item->character());
    EXPECT_FALSE(item->partAliasesParent());
    EXPECT_EQ(item->partType(), CharacterLibraryItem::kWholeCharacter);
}

// A user's part travels with its character's identifier only, a linked one with a copy of the
// character too: either way its paths draw with the comic's entries of that character's colours,
// and nothing is logged on the way.
TEST_F(CharacterLibraryViewTest, DroppedPathsTakeTheComicsEntriesOfTheirCharactersColours)
{
    for (const bool linked : { false, true }) {
        SCOPED_TRACE(linked ? "linked parts" : "parts inside their character");
        item = CharacterLibraryItem::initWithURL(writeCharacter(
            linked ? QStringLiteral("Linked.parts") : QStringLiteral("Mine.parts"), *bob(linked)));
        library->setCurrentCharacter(item);
        const Log::Capture log;
        dragIntoComic(item->character()->children().first(), panel(1)->bounds().center());
        EXPECT_EQ(log.lines(), QStringList());

        const auto part = std::dynamic_pointer_cast<Part>(view->selection().value(0));
        ASSERT_TRUE(part);
        const CharacterModelPtr character = model().characterById(item->character()->characterId());
        ASSERT_TRUE(character);
        EXPECT_EQ(part->model(), character.get());
        const auto path = std::dynamic_pointer_cast<PartPath>(part->children().value(0));
        ASSERT_TRUE(path);
        EXPECT_TRUE(character->colors().contains(path->lineColor()));
        EXPECT_TRUE(character->colors().contains(path->fillColor()));
        EXPECT_EQ(path->fillColor()->name(), QStringLiteral("Coat"));
    }
}

TEST_F(CharacterLibraryViewTest, ShiftPressThatDeselectsStartsNoDrag)
{
    choose(library->viewPopup(), QStringLiteral("All Parts"));
    ASSERT_EQ(asProtocol<Parent>(library->rootObject())->numChildren(), 4u);
    int drags = 0;
    CharacterLibraryView::setDragRunner([&](QDrag&) {
        ++drags;
        return Qt::IgnoreAction;
    });
    const ObjectPtr first = asProtocol<Parent>(library->rootObject())->children().first();
    const QPoint press = inLibrary(first);
    QTest::mouseClick(library, Qt::LeftButton, {}, press);
    ASSERT_TRUE(library->isSelected(first));
    QTest::mousePress(library, Qt::LeftButton, Qt::ShiftModifier, press);
    QTest::mouseMove(library, press + QPoint(5, 5));
    QTest::mouseRelease(library, Qt::LeftButton, Qt::ShiftModifier, press + QPoint(5, 5));
    EXPECT_EQ(drags, 0);
    EXPECT_FALSE(library->isSelected(first));
}

TEST_F(CharacterLibraryViewTest, EachEntryKeepsItsScalePartTypeAndPlace)
{
    choose(library->viewPopup(), QStringLiteral("Arms"));
    choose(library->scalePopup(), QStringLiteral("400%"));
    EXPECT_EQ(library->viewScale(), 4.0f);
    library->scrollToCenterDocPoint(QPointF(40, 20));
    const QPointF centre = library->getCenterOfVisibleRect();

    // A piece of scenery: its first entry, longer than a character's, shows whole.
    const CharacterModelPtr scenery = bob();
    scenery->setPartsKind(1);
    auto other = CharacterLibraryItem::initWithURL(writeCharacter(QStringLiteral("Other.parts"), *scenery));
    other->setViewScale(0.333f);
    library->setCurrentCharacter(other);
    EXPECT_EQ(library->rootObject(), other->character());
    EXPECT_EQ(library->viewPopup()->currentIndex(), 0);
    QApplication::processEvents();
    EXPECT_EQ(library->viewPopup()->currentText(), QStringLiteral("All with Scenes"));
    {
        QComboBox* popup = library->viewPopup();
        QStyleOptionComboBox option;
        option.initFrom(popup);
        option.currentText = popup->currentText();
        const QRect field = popup->style()->subControlRect(
            QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, popup);
        EXPECT_GE(field.width(), popup->fontMetrics().horizontalAdvance(popup->currentText()));
    }
    // Off the list: a custom first entry and a separator.
    EXPECT_EQ(library->scalePopup()->itemText(0), QStringLiteral("33%"));
    EXPECT_TRUE(library->scalePopupShowsCustomSize());
    EXPECT_EQ(library->scalePopup()->count(), int(ZDLView::kViewScaleTable.size()) + 2);
    choose(library->scalePopup(), QStringLiteral("150%"));
    EXPECT_FALSE(library->scalePopupShowsCustomSize());
    EXPECT_EQ(library->scalePopup()->count(), int(ZDLView::kViewScaleTable.size()));
    EXPECT_EQ(other->viewScale(), 1.5f);

    library->setCurrentCharacter(item);
    EXPECT_EQ(library->viewScale(), 4.0f);
    EXPECT_EQ(library->scalePopup()->currentText(), QStringLiteral("400%"));
    EXPECT_EQ(library->viewPopup()->currentText(), QStringLiteral("Arms"));
    EXPECT_EQ(library->rootObject(), item->partAliasesParent());
    EXPECT_EQ(library->getCenterOfVisibleRect(), centre);

    // Bob's file was written meanwhile: back on Bob, his sheet shows the parts read again.
    library->setCurrentCharacter(other);
    const CharacterModelPtr before = item->character();
    item->characterFileUpdated(bobPath);
    library->setCurrentCharacter(item);
    const auto sheet = std::dynamic_pointer_cast<LibraryParent>(library->rootObject());
    ASSERT_TRUE(sheet);
    EXPECT_NE(item->character(), before);
    ASSERT_EQ(sheet->numChildren(), 1u);
    const auto arm = std::dynamic_pointer_cast<PartAlias>(sheet->children().first());
    EXPECT_TRUE(item->character()->hasChild(arm->realPart().get()));

    // Without an entry the popups are off and zooming and select-all are disabled.
    library->setCurrentCharacter(nullptr);
    EXPECT_FALSE(library->viewPopup()->isEnabled());
    EXPECT_FALSE(library->scalePopup()->isEnabled());
    for (const QString& action :
        { kSelectAllAction, kZoomInAction, kZoomOutAction, kToggleZoomAction, kActualSizeAction }) {
        MenuItemValidation validation { action };
        EXPECT_TRUE(library->validateMenuItem(validation));
        EXPECT_FALSE(validation.enabled) << action.toStdString();
    }
}

TEST_F(CharacterLibraryViewTest, DroppedPartsFilesJoinTheLibraryAndOthersAreIgnored)
{
    const QString sam = writeCharacter(QStringLiteral("Sam.PARTS"), *bob());
    QFile picture(dir.filePath(QStringLiteral("photo.png")));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write("not read");
    picture.close();
    const auto dropOn = [&](const QStringList& paths, Qt::DropActions offered) {
        QMimeData data;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(20, 20), offered, &data, Qt::LeftButton, {});
        QApplication::sendEvent(library, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(QPoint(20, 20), offered, &data, Qt::LeftButton, {});
        QApplication::sendEvent(library, &dropped);
        return dropped.isAccepted() && dropped.dropAction() == Qt::LinkAction;
    };
    const std::size_t entries = model().characterLibrary().size();
    EXPECT_FALSE(dropOn({ picture.fileName() }, Qt::LinkAction | Qt::CopyAction));
    EXPECT_FALSE(dropOn({ sam }, Qt::CopyAction)) << "a parts file is linked, never copied";
    EXPECT_EQ(model().characterLibrary().size(), entries);
    EXPECT_TRUE(dropOn({ picture.fileName(), sam }, Qt::LinkAction));
    ASSERT_EQ(model().characterLibrary().size(), entries + 1);
    EXPECT_EQ(library->currentCharacter(), model().characterLibrary().back());
    EXPECT_EQ(library->currentCharacter()->characterFileURL(), sam);
}

// Showing a large character never waits for its parts' bitmaps: a paint draws placeholders for the
// parts without one, and the bitmaps are made between events, then drawn.
TEST_F(CharacterLibraryViewTest, PartsShowAsPlaceholdersUntilTheirBitmapsAreMadeBetweenEvents)
{
    choose(library->viewPopup(), QStringLiteral("All Parts"));
    QTRY_VERIFY(!library->scalingViewInteractively());
    const ElementList aliases = asProtocol<Parent>(library->rootObject())->children();
    for (const ObjectPtr& part : item->character()->children())
        std::dynamic_pointer_cast<Part>(part)->imageCache().resetCache();
    const QPoint centre = inLibrary(aliases.first());
    const QColor coat(0x33, 0x55, 0xAA);
    const auto colourAtCentre = [&] { return library->grab().toImage().pixelColor(centre); };

    const quint64 made = ImageCache::renderingsMade();
    const QColor placeholder = colourAtCentre();
    EXPECT_EQ(ImageCache::renderingsMade(), made) << "a paint makes no bitmap";
    EXPECT_GT(placeholder.lightness(), 200);
    for (const ObjectPtr& alias : aliases)
        EXPECT_FALSE(library->previewReady(alias));

    QTRY_VERIFY(std::all_of(aliases.begin(), aliases.end(),
        [&](const ObjectPtr& alias) { return library->previewReady(alias); }));
    EXPECT_EQ(ImageCache::renderingsMade(), made + aliases.size()) << "one bitmap a part";
    const QColor drawn = colourAtCentre();
    EXPECT_NEAR(drawn.red(), coat.red(), 8);
    EXPECT_NEAR(drawn.blue(), coat.blue(), 8);
    if (!qEnvironmentVariableIsEmpty("ZANDREL_SCREENSHOT"))
        area->grab().save(qEnvironmentVariable("ZANDREL_SCREENSHOT") + QStringLiteral("/library-view.png"));
}

TEST_F(CharacterLibraryViewTest, BackgroundCachingMakesAtMostOneBitmapATick)
{
    choose(library->viewPopup(), QStringLiteral("All Parts"));
    // Showing the entry set its scale: no caching until the zoom has settled.
    EXPECT_FALSE(library->backgroundCache());
    QTRY_VERIFY(!library->scalingViewInteractively());
    // Whatever the timer did so far is forgotten: every part has a bitmap to make.
    for (const ObjectPtr& part : item->character()->children())
        std::dynamic_pointer_cast<Part>(part)->imageCache().resetCache();
    int ticks = 0;
    quint64 made = ImageCache::renderingsMade();
    while (library->backgroundCache()) {
        EXPECT_EQ(ImageCache::renderingsMade(), made + 1);
        made = ImageCache::renderingsMade();
        ASSERT_LT(++ticks, 10);
    }
    EXPECT_EQ(ticks, 4);
    library->setScalingViewInteractively(true);
    library->setViewScale(2.0f);
    EXPECT_FALSE(library->backgroundCache()) << "nothing while zooming";
    library->setScalingViewInteractively(false);
    EXPECT_TRUE(library->backgroundCache()) << "then bitmaps at the new scale";
}

} // namespace
} // namespace zandrel
