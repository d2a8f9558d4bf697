// Pasting through the comic view, as a person does it with the menus: within a comic, from another
// comic whose cast has the same character and colours of the same names with other values, from a
// parts file, and a comic's part into a parts file. The casts and palettes end exactly as merging
// says, every pasted colour is an entry of its character's palette, and each paste is one step
// "Paste" that undoes to the file's bytes and the selection before it. What the clipboard holds is
// read as a file is: a hostile payload pastes nothing.
#include "ComicWindowFixture.h"
#include "app/CharacterWindowContents.h"
#include "app/Pasteboard.h"
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFixtures.h"
#include "charmodel/ColorHolders.h"
#include "charmodel/ImageElement.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartPath.h"
#include "charmodel/PartsFile.h"
#include "graphics/StyleKeys.h"
#include "views/PartsView.h"

#include <QBuffer>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>

namespace zandrel {
namespace {

CharacterModelPtr castMember(const ComicModel& comic, qsizetype index)
{
    return index < qsizetype(comic.characters().size()) ? comic.characters().at(std::size_t(index)) : nullptr;
}

QStringList palette(const CharacterModel& character)
{
    QStringList entries;
    for (const ZDLColorPtr& color : character.colors())
        entries.append(color->description());
    return entries;
}

// Each character of the cast by identifier, with its palette.
QStringList cast(const ComicModel& comic)
{
    QStringList entries;
    for (const CharacterModelPtr& character : comic.characters())
        entries.append(character->characterId() + QStringLiteral(": ") + palette(*character).join(u'|'));
    return entries;
}

// Every colour held in the trees is an entry of the palette of the character its part or balloon
// draws with: pasted colours are linked by identity, never left as strays of the clipboard.
void expectColorsOwned(const ElementList& objects, const CharacterModel* owner = nullptr)
{
    for (const ObjectPtr& object : objects) {
        const CharacterModel* character = owner;
        if (const auto* element = asProtocol<ComicElement>(object); element && element->model())
            character = dynamic_cast<const CharacterModel*>(element->model());
        ASSERT_TRUE(character) << object->className().toStdString();
        if (holdsColors(object.get())) {
            for (const ZDLColorPtr& color : { lineColorOf(*object), fillColorOf(*object) })
                EXPECT_TRUE(!color || character->ownsColor(color.get()))
                    << color->description().toStdString() << " in " << character->characterId().toStdString();
        }
        if (const auto* container = asProtocol<Parent>(object))
            expectColorsOwned(container->children(), character);
    }
}

class ComicPasteTest : public test::ComicWindowTest {
protected:
    // The reference comic with a colour of the character's that only this comic has on the part of
    // panel 0, and beside it a balloon filled with a colour of the comic's own.
    static ComicModelPtr sourceComic()
    {
        auto comic = test::referenceComic();
        const auto panel = test::rowPanel(*comic->currentPage(), 0);
        const auto part = std::dynamic_pointer_cast<Part>(panel->frontLayer()->children().first());
        const auto rose = ZDLColor::colorFromHexNamed(QStringLiteral("#E03070"), QStringLiteral("Rose"));
        castMember(*comic, 1)->addColor(rose);
        std::dynamic_pointer_cast<PartPath>(part->children().first())->setLineColor(rose);
        const BalloonPtr balloon = test::placedBalloon(QStringLiteral("Hi"), QPointF(44, 8), 30);
        balloon->setValueForKey(
            comic->comicColorsModel()->getColorNamed(QStringLiteral("Sky")), stylekeys::kFillColor);
        panel->frontLayer()->setChildren({ part, balloon });
        return comic;
    }
    // The reference comic whose character's "Teal" and own "Sky" have other values.
    static ComicModelPtr recolouredComic()
    {
        auto comic = test::referenceComic();
        castMember(*comic, 1)->getColorNamed(QStringLiteral("Teal"))->setColor(RgbColor(1, 0, 0));
        comic->comicColorsModel()->getColorNamed(QStringLiteral("Sky"))->setColor(RgbColor(0, 0, 0.5));
        return comic;
    }
    DocumentWindow* openParts(const QString& name)
    {
        const QString path = dir.filePath(name + QStringLiteral(".parts"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return nullptr;
        file.write(archivedPartsFile(*test::makeCharacter(name, 3, 2)));
        file.close();
        DocumentError error;
        ZDLDocument* opened = documents().openDocument(path, &error);
        DocumentWindow* shown = opened ? documents().windowFor(opened) : nullptr;
        return shown && QTest::qWaitForWindowExposed(shown) ? shown : nullptr;
    }
    static void activate(DocumentWindow* shown, QWidget* focus)
    {
        shown->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(shown));
        focus->setFocus();
    }
    static void keys(DocumentWindow* shown, const char* sequence)
    {
        QTest::keySequence(shown, QKeySequence(QString::fromLatin1(sequence)));
        endOfEvent();
    }
    static QString undoTitleOf(DocumentWindow* shown) { return showMenuItem(shown, kUndoAction)->text(); }
    // Clicks each object of panel 0's front layer in the comic's window, Shift held after the first.
    static ElementList selectPanel0(DocumentWindow* shown)
    {
        auto* comicView = shown->findChild<ComicView*>();
        auto* comic = dynamic_cast<ComicDocument*>(shown->document())->model().get();
        const ElementList objects = test::rowPanel(*comic->currentPage(), 0)->frontLayer()->children();
        Qt::KeyboardModifiers modifiers;
        for (const ObjectPtr& object : objects) {
            const QPointF centre = asProtocol<GraphicElement>(object)->getBounds().center();
            QTest::mouseClick(
                comicView, Qt::LeftButton, modifiers, comicView->viewTransform().map(centre).toPoint());
            modifiers = Qt::ShiftModifier;
        }
        endOfEvent();
        EXPECT_EQ(comicView->selection().size(), objects.size());
        return comicView->selection();
    }
};

TEST_F(ComicPasteTest, PastesMergeCastAndColoursAsOneStepThatUndoesToTheFileBytes)
{
    DocumentWindow* source = openComic(QStringLiteral("Source"), sourceComic());
    DocumentWindow* recoloured = openComic(QStringLiteral("Recoloured"), recolouredComic());
    DocumentWindow* parts = openParts(QStringLiteral("Bob"));
    ASSERT_TRUE(source && recoloured && parts);
    auto* partsView = parts->findChild<PartsView*>();
    auto* bob = dynamic_cast<CharacterDocument*>(parts->document())->model().get();
    const QString bobId = bob->characterId();
    const QString styledId = castMember(model(), 1)->characterId();
    const auto sourceModel = dynamic_cast<ComicDocument*>(source->document())->model();
    const QString rose
        = sourceModel->characters().at(1)->getColorNamed(QStringLiteral("Rose"))->description();
    const QString teal = castMember(model(), 1)->getColorNamed(QStringLiteral("Teal"))->description();
    // Bob's palette as a character of a cast has it: the required colours, then those his part uses.
    QStringList bobInCast;
    for (const ZDLColorPtr& color : bob->colors()) {
        if (color->name() != QStringLiteral("Shadow") && color->name() != QStringLiteral("Highlight"))
            bobInCast.append(color->description());
    }

    struct Case {
        const char* name;
        DocumentWindow* from;
        DocumentWindow* into;
        // The cast entries (by identifier) that change, with what they become.
        QMap<QString, QStringList> castAfter;
    };
    const QList<Case> cases {
        { "within the comic", window, window, {} },
        { "from another comic", source, recoloured, { { styledId, { rose } } } },
        { "from a parts file", parts, window, { { bobId, bobInCast } } },
    };
    for (const Case& each : cases) {
        SCOPED_TRACE(each.name);
        auto* into = dynamic_cast<ComicDocument*>(each.into->document());
        auto* intoView = each.into->findChild<ComicView*>();
        if (each.from == parts) {
            activate(parts, partsView);
            QTest::mouseClick(
                partsView, Qt::LeftButton, {}, partsView->viewTransform().map(QPointF(170, 50)).toPoint());
            ASSERT_EQ(partsView->selection().size(), 1);
            keys(parts, "Ctrl+C");
        } else {
            activate(each.from, each.from->findChild<ComicView*>());
            ASSERT_FALSE(selectPanel0(each.from).isEmpty());
            keys(each.from, "Ctrl+C");
        }
        activate(each.into, intoView);
        // Into panel 1, by a click on its balloon: the paste then replaces that selection.
        const ObjectPtr balloon
            = test::rowPanel(*into->model()->currentPage(), 1)->frontLayer()->children().first();
        const QPointF centre = asProtocol<GraphicElement>(balloon)->getBounds().center();
        QTest::mouseClick(intoView, Qt::LeftButton, {}, intoView->viewTransform().map(centre).toPoint());
        endOfEvent();
        const ElementList selectedBefore = intoView->selection();
        ASSERT_EQ(selectedBefore, ElementList { balloon });
        const QByteArray before = archivedComicFile(*into->model());
        QStringList expectedCast = cast(*into->model());
        for (auto entry = each.castAfter.cbegin(); entry != each.castAfter.cend(); ++entry) {
            const QString prefix = entry.key() + QStringLiteral(": ");
            const auto found = std::find_if(expectedCast.begin(), expectedCast.end(),
                [&](const QString& line) { return line.startsWith(prefix); });
            if (found == expectedCast.end())
                expectedCast.append(prefix + entry.value().join(u'|'));
            else
                *found += u'|' + entry.value().join(u'|');
        }
        const qsizetype held
            = intoView->rootObject() ? asProtocol<Parent>(intoView->rootObject())->numChildren() : 0;
        keys(each.into, "Ctrl+V");

        const ElementList pasted = intoView->selection();
        ASSERT_FALSE(pasted.isEmpty());
        EXPECT_EQ(asProtocol<Parent>(intoView->rootObject())->children().mid(held), pasted);
        EXPECT_EQ(cast(*into->model()), expectedCast);
        expectColorsOwned(pasted);
        EXPECT_EQ(undoTitleOf(each.into), QStringLiteral("Undo Paste"));
        if (each.into == recoloured) {
            // The same name in the target wins: the pasted paths draw with the target's value.
            const auto* character
                = dynamic_cast<const CharacterModel*>(asProtocol<ComicElement>(pasted.first())->model());
            ASSERT_TRUE(character);
            EXPECT_TRUE(character->colorUsedIn(
                character->getColorNamed(QStringLiteral("Teal")).get(), pasted.first().get()));
            EXPECT_NE(character->getColorNamed(QStringLiteral("Teal"))->description(), teal);
        }
        // The comic saves what it reads back: a character the paste adds to the cast is saved as the
        // reopened comic will have it.
        const QByteArray pastedBytes = archivedComicFile(*into->model());
        EXPECT_EQ(archivedComicFile(*readComicFile(pastedBytes)), pastedBytes);
        QAction* undo = showMenuItem(each.into, kUndoAction);
        undo->trigger();
        endOfEvent();
        EXPECT_EQ(archivedComicFile(*into->model()), before);
        EXPECT_EQ(intoView->selection(), selectedBefore);
    }
}

TEST_F(ComicPasteTest, AComicPartPastedIntoAPartsFileBringsItsColours)
{
    DocumentWindow* parts = openParts(QStringLiteral("Bob"));
    ASSERT_TRUE(parts);
    auto* partsDocument = dynamic_cast<CharacterDocument*>(parts->document());
    auto* partsView = parts->findChild<PartsView*>();
    activate(window, view);
    ASSERT_EQ(selectPanel0(window).size(), 1);
    keys(window, "Ctrl+C");

    activate(parts, partsView);
    const QByteArray before = archivedPartsFile(*partsDocument->model());
    QStringList expected = palette(*partsDocument->model());
    expected.append(castMember(model(), 1)->getColorNamed(QStringLiteral("Teal"))->description());
    keys(parts, "Ctrl+V");
    // Another character's part: the user is asked, and says Paste.
    ASSERT_EQ(alerts.size(), 1);
    EXPECT_EQ(
        alerts.first().message, QStringLiteral("The clipboard contains parts from a different Parts file."));
    const ElementList pasted = partsView->selection();
    ASSERT_EQ(pasted.size(), 1);
    EXPECT_EQ(palette(*partsDocument->model()), expected);
    expectColorsOwned(pasted, partsDocument->model().get());
    EXPECT_EQ(undoTitleOf(parts), QStringLiteral("Undo Paste"));
    showMenuItem(parts, kUndoAction)->trigger();
    endOfEvent();
    EXPECT_EQ(archivedPartsFile(*partsDocument->model()), before);
    EXPECT_TRUE(partsView->selection().isEmpty());
}

TEST_F(ComicPasteTest, AHostilePayloadPastesAndDropsNothing)
{
    const ElementList copied = test::rowPanel(*model().currentPage(), 0)->frontLayer()->children();
    const QByteArray archive = PasteboardParent::initWithChildren(copied)->archivedData();
    ASSERT_FALSE(archive.isEmpty());
    QByteArray flipped = archive;
    for (qsizetype i = flipped.size() / 3; i < flipped.size() * 2 / 3; i += 7)
        flipped[i] = char(~flipped.at(i));
    // An archive of a payload whose children are of a class a payload may not hold.
    QByteArray foreign = archive;
    foreign.replace(QByteArrayLiteral("Part"), QByteArrayLiteral("Page"));
    const QList<std::pair<const char*, QByteArray>> payloads { { "not an archive", QByteArray(400, 'x') },
        { "truncated", archive.left(archive.size() / 2) }, { "damaged", flipped },
        { "foreign classes", foreign } };
    activate(window, view);
    model().setCurrentPanel(panel(1));
    const QByteArray before = bytes();
    for (const auto& [name, payload] : payloads) {
        SCOPED_TRACE(name);
        auto* data = new QMimeData;
        data->setData(PasteboardParent::objectsMimeType(), payload);
        QGuiApplication::clipboard()->setMimeData(data);
        keys(window, "Ctrl+V");
        // Dragged in from another program, the same data drops nothing either.
        const QPoint into = view->viewTransform().map(panel(1)->bounds().center()).toPoint();
        QDragEnterEvent enter(into, Qt::CopyAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(view, &enter);
        QDropEvent dropped(into, Qt::CopyAction, data, Qt::LeftButton, {});
        QApplication::sendEvent(view, &dropped);
        endOfEvent();
        EXPECT_EQ(bytes(), before);
        EXPECT_FALSE(document->undoManager()->canUndo());
        EXPECT_TRUE(view->selection().isEmpty());
    }
}

TEST_F(ComicPasteTest, AnotherProgramsPictureIsPastedAtThePanelCentreAndAnUnreadableOneRefused)
{
    QImage picture(QSize(12, 8), QImage::Format_RGB32);
    picture.fill(Qt::darkMagenta);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "PNG");
    activate(window, view);
    model().setCurrentPanel(panel(3));
    const QByteArray before = bytes();
    const QList<std::pair<QByteArray, bool>> cases { { png, true }, { png.left(png.size() / 2), false } };
    for (const auto& [bytesOnClipboard, readable] : cases) {
        auto* data = new QMimeData;
        data->setData(QStringLiteral("image/png"), bytesOnClipboard);
        QGuiApplication::clipboard()->setMimeData(data);
        alerts.clear();
        keys(window, "Ctrl+V");
        if (!readable) {
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_EQ(alerts.first().message, QStringLiteral("The pasted picture could not be read."));
            EXPECT_EQ(bytes(), before);
            EXPECT_FALSE(document->undoManager()->canUndo());
            continue;
        }
        EXPECT_TRUE(alerts.isEmpty());
        const ElementList pasted = view->selection();
        ASSERT_EQ(pasted.size(), 1);
        const auto image = std::dynamic_pointer_cast<ImageElement>(pasted.first());
        ASSERT_TRUE(image && image->image());
        EXPECT_EQ(image->image()->savedData(), png);
        EXPECT_NEAR(image->getBounds().center().x(), panel(3)->bounds().center().x(), 0.01);
        EXPECT_NEAR(image->getBounds().center().y(), panel(3)->bounds().center().y(), 0.01);
        EXPECT_EQ(undoTitleOf(window), QStringLiteral("Undo Import image"));
        showMenuItem(window, kUndoAction)->trigger();
        endOfEvent();
        EXPECT_EQ(bytes(), before);
    }
}

TEST_F(ComicPasteTest, AliasesPasteAsThePartsTheyShowEachItsOwn)
{
    // Two aliases of one part of a character, 40 points apart.
    const auto bob = test::makeCharacter(QStringLiteral("Bob"), 1, 2);
    const ObjectPtr part = bob->getChildAtIndex(0);
    ElementList aliases;
    for (const QPointF& shift : { QPointF(0, 0), QPointF(40, 0) }) {
        auto alias = std::make_shared<PartAlias>(part);
        alias->offsetBy(shift, true);
        aliases.append(alias);
    }
    Pasteboard::writePayload(PasteboardParent::initWithChildren(aliases));
    activate(window, view);
    model().setCurrentPanel(panel(1));
    const QByteArray before = bytes();
    keys(window, "Ctrl+V");
    const ElementList pasted = view->selection();
    ASSERT_EQ(pasted.size(), 2);
    for (const ObjectPtr& object : pasted)
        EXPECT_EQ(object->className(), Part::kClassName);
    EXPECT_NE(pasted.first(), pasted.last());
    const QRectF first = asProtocol<GraphicElement>(pasted.first())->getBounds();
    const QRectF second = asProtocol<GraphicElement>(pasted.last())->getBounds();
    // Through the clipboard positions are single precision.
    EXPECT_NEAR(second.left() - first.left(), 40, 1e-4);
    EXPECT_NEAR(first.width(), second.width(), 1e-4);
    // What the layer now holds, the file holds (aliases it could not).
    const ComicModelPtr reread = readComicFile(bytes());
    ASSERT_TRUE(reread);
    EXPECT_EQ(test::rowPanel(*reread->currentPage(), 1)->frontLayer()->children().size(),
        panel(1)->frontLayer()->children().size());
    showMenuItem(window, kUndoAction)->trigger();
    endOfEvent();
    EXPECT_EQ(bytes(), before);
}

TEST_F(ComicPasteTest, CopiedObjectsKeepTheirCharacterAfterTheirComicIsClosed)
{
    DocumentWindow* source = openComic(QStringLiteral("Source"), sourceComic());
    ASSERT_TRUE(source);
    const QString rose = dynamic_cast<ComicDocument*>(source->document())
                             ->model()
                             ->characters()
                             .at(1)
                             ->getColorNamed(QStringLiteral("Rose"))
                             ->description();
    activate(source, source->findChild<ComicView*>());
    ASSERT_EQ(selectPanel0(source).size(), 2);
    keys(source, "Ctrl+C");
    source->closeWithoutReview();
    QApplication::processEvents();
    // Another program may still ask for the picture.
    const QImage picture = QImage::fromData(
        QGuiApplication::clipboard()->mimeData()->data(PasteboardMimeData::kPngMimeType), "PNG");
    EXPECT_FALSE(picture.isNull());

    activate(window, view);
    model().setCurrentPanel(panel(1));
    QStringList expected = cast(model());
    expected[1] += u'|' + rose;
    keys(window, "Ctrl+V");
    const ElementList pasted = view->selection();
    ASSERT_EQ(pasted.size(), 2);
    EXPECT_EQ(cast(model()), expected);
    expectColorsOwned(pasted);
}

} // namespace
} // namespace zandrel
