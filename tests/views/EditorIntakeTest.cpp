// What the part and image editors take in from outside (drags, imported and pasted pictures) and
// which commands they offer, through a real character window: whatever they accept is still there
// when the saved file is read back, and a new part given a picture joins the character.
#include "ImageEditorFixture.h"
#include "app/Pasteboard.h"
#include "app/core/PasteboardParent.h"
#include "charmodel/PartsFile.h"

#include <QBuffer>
#include <QClipboard>
#include <QMimeData>

namespace zandrel::test {
namespace {

QByteArray pngBytes(const QSize& size)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

// Every element of the tree under the object (masks of images included), the object not counted.
qsizetype elementsUnder(const ObjectPtr& object)
{
    const auto* container = asProtocol<Parent>(object);
    qsizetype count = 0;
    for (const ObjectPtr& child : container ? container->children() : ElementList())
        count += 1 + elementsUnder(child);
    return count;
}

class EditorIntakeTest : public ImageEditorTest {
public:
    using CharacterWindowTest::choose;

    // Dropped in the middle of the view.
    static bool dropOn(ZDLView* target, QMimeData* data)
    {
        std::unique_ptr<QMimeData> owned(data);
        return WindowTest::dropOn(target, data, target->rect().center());
    }
    QMimeData* picture() const
    {
        auto* data = new QMimeData;
        data->setData(QStringLiteral("image/png"), pngBytes(QSize(30, 20)));
        return data;
    }
    // A part of the character as a library or another window drags it.
    QMimeData* libraryPart() const
    {
        auto payload = PasteboardParent::initWithChildren({ part(0) });
        payload->setCharacterId(document->model()->characterId());
        return new PasteboardMimeData(payload);
    }
    QString writePng(const QString& name) const
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(pngBytes(QSize(24, 16)));
        return path;
    }
    // Saved in place as the user saves, then read back as reopening the file would.
    CharacterModelPtr savedAndReadBack()
    {
        choose(kSaveDocumentAction);
        endOfEvent();
        QFile file(document->filePath());
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return readPartsFile(file.readAll());
    }
    void openPartEditor()
    {
        view->setSelection({ part(0) });
        choose(kEditObjectAction);
        endOfEvent();
        partElements = window->findChild<PartElementsView*>();
        ASSERT_TRUE(partElements);
        if (HelpComicView* help = HelpComicView::getOpenHelp(QStringLiteral("part_elements_view"), document))
            help->closeAndRemove();
        endOfEvent();
    }

public:
    PartElementsView* partElements = nullptr;
};

TEST_F(EditorIntakeTest, EachEditorTakesOnlyWhatItsContentCanKeepAndTheFileKeepsWhatWasTaken)
{
    struct Row {
        const char* name;
        bool imageEditor;
        bool library;
        bool taken;
    };
    const QList<Row> rows {
        { "picture onto the part editor", false, false, true },
        // A part inside a part is not part of any file: it would vanish on reading.
        { "library part onto the part editor", false, true, false },
        { "picture onto the image editor", true, false, false },
        { "library part onto the image editor", true, true, false },
    };
    openPartEditor();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.imageEditor && document->currentEditor() != editor) {
            document->edit(nullptr);
            openImageEditor();
        }
        ZDLView* target = row.imageEditor ? static_cast<ZDLView*>(masks) : partElements;
        const qsizetype onScreen = elementsUnder(document->model());
        EXPECT_EQ(dropOn(target, row.library ? libraryPart() : picture()), row.taken);
        EXPECT_EQ(elementsUnder(document->model()), onScreen + (row.taken ? 1 : 0));
        EXPECT_EQ(elementsUnder(savedAndReadBack()), elementsUnder(document->model()));
    }
}

TEST_F(EditorIntakeTest, TheImageEditorOffersItsOwnCommandsAndNothingOfTheBalloonLayer)
{
    openImageEditor();
    masks->setSelection(asProtocol<Parent>(imageIn(0))->children());
    ASSERT_EQ(masks->numSelected(), 2);
    struct Row {
        QString action;
        bool enabled;
    };
    const QList<Row> rows {
        { kGroupAction, false },
        { kUngroupAction, false },
        { kAddBalloonAction, false },
        { kAddNarrativeBoxAction, false },
        { kAddTextBlockAction, false },
        { kImportImageAction, false },
        { kCreateNewPartAction, false },
        { kDeleteAction, true },
        { kCopyAction, true },
        { kFlipHorizontalAction, true },
        { kSelectAllAction, false },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.action.toStdString());
        EXPECT_EQ(showMenuItem(window, row.action)->isEnabled(), row.enabled);
    }
    // A shortcut runs nothing its menu would refuse: the masks stay in the picture and in the file.
    EXPECT_FALSE(MenuActions::send(menuItem(window, kGroupAction), window));
    EXPECT_FALSE(MenuActions::send(menuItem(window, kAddBalloonAction), window));
    endOfEvent();
    EXPECT_EQ(asProtocol<Parent>(imageIn(0))->numChildren(), 2u);
    EXPECT_EQ(masks->editImage(), imageIn(0));
    EXPECT_EQ(elementsUnder(savedAndReadBack()), elementsUnder(document->model()));
}

TEST_F(EditorIntakeTest, APictureImportedDroppedOrPastedIntoANewPartMakesThePartReal)
{
    const QString file = writePng(QStringLiteral("import.png"));
    struct Way {
        const char* name;
        std::function<void(EditorIntakeTest&)> bring;
    };
    const QList<Way> ways {
        { "import",
            [file](EditorIntakeTest& t) {
                ZDLEditingView::setImageFileChooser([file](QWidget*) { return file; });
                t.choose(kImportImageAction);
                ZDLEditingView::setImageFileChooser([](QWidget*) { return QString(); });
            } },
        { "drop",
            [file](EditorIntakeTest& t) {
                auto* data = new QMimeData;
                data->setUrls({ QUrl::fromLocalFile(file) });
                EXPECT_TRUE(dropOn(t.partElements, data));
            } },
        { "paste",
            [](EditorIntakeTest& t) {
                QGuiApplication::clipboard()->setMimeData(t.picture());
                t.choose(kPasteAction);
            } },
    };
    for (const Way& way : ways) {
        SCOPED_TRACE(way.name);
        document->edit(nullptr);
        endOfEvent();
        const QByteArray before = bytes();
        const std::size_t parts = document->model()->numChildren();
        toolbarItem(window, kCreateNewPartAction)->trigger();
        endOfEvent();
        partElements = window->findChild<PartElementsView*>();
        ASSERT_TRUE(partElements && partElements->isVisible());
        way.bring(*this);
        endOfEvent();
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo Import image"));
        choose(kPopEditorAction);
        endOfEvent();
        ASSERT_EQ(document->model()->numChildren(), parts + 1);
        const auto* added = asProtocol<Parent>(part(int(parts)));
        ASSERT_EQ(added->numChildren(), 1u);
        EXPECT_TRUE(std::dynamic_pointer_cast<ImageElement>(added->getChildAtIndex(0)));
        EXPECT_EQ(savedAndReadBack()->numChildren(), parts + 1);
        // One step: the picture and the part's joining go together.
        choose(kUndoAction);
        endOfEvent();
        EXPECT_EQ(bytes(), before);
    }
}

} // namespace
} // namespace zandrel::test
