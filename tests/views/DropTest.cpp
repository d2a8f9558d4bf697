// Pictures and objects dragged onto the comic view, and Import Image: each lands in the panel under
// the pointer as one named undo step that undoes back to the file's bytes; what cannot be read is
// refused with an alert and changes nothing.
#include "ComicWindowFixture.h"
#include "app/AppController.h"
#include "app/Pasteboard.h"
#include "charmodel/ImageElement.h"
#include "support/PdfBuilder.h"

#include <QBuffer>
#include <QDialog>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <sys/stat.h>

namespace zandrel {
namespace {

QByteArray encoded(const QSize& size, const char* format)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A real PNG whose header claims a picture of side by side pixels: a decompression bomb.
QByteArray claimedSizePng(quint32 side)
{
    QByteArray png = encoded(QSize(4, 4), "png");
    for (int i = 0; i < 4; ++i) {
        png[16 + i] = char(side >> (24 - 8 * i));
        png[20 + i] = char(side >> (24 - 8 * i));
    }
    quint32 crc = 0xFFFFFFFF;
    for (const char byte : png.mid(12, 17)) {
        crc ^= uchar(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    crc = ~crc;
    for (int i = 0; i < 4; ++i)
        png[29 + i] = char(crc >> (24 - 8 * i));
    return png;
}

class DropTest : public test::ComicWindowTest {
protected:
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }
    static QMimeData* files(const QStringList& paths)
    {
        auto* data = new QMimeData;
        QList<QUrl> urls;
        for (const QString& path : paths)
            urls.append(QUrl::fromLocalFile(path));
        data->setUrls(urls);
        return data;
    }
    // Enters, moves and drops as a drag from another program would; false when the view refused it.
    bool drop(QMimeData* data, const QPointF& documentPoint, Qt::DropActions offered = Qt::CopyAction)
    {
        std::unique_ptr<QMimeData> owned(data);
        const QPoint position = at(documentPoint);
        QDragEnterEvent enter(position, offered, data, Qt::LeftButton, {});
        QApplication::sendEvent(view, &enter);
        QDragMoveEvent move(position, offered, data, Qt::LeftButton, {});
        QApplication::sendEvent(view, &move);
        if (!enter.isAccepted() || !move.isAccepted())
            return false;
        QDropEvent dropped(position, offered, data, Qt::LeftButton, {});
        QApplication::sendEvent(view, &dropped);
        endOfEvent();
        return dropped.isAccepted() && dropped.dropAction() != Qt::IgnoreAction;
    }
    ImageElementPtr lastImage() const
    {
        return std::dynamic_pointer_cast<ImageElement>(model().currentPanel()->frontLayer()->children().value(
            model().currentPanel()->frontLayer()->children().size() - 1));
    }
};

TEST_F(DropTest, DroppedPicturesLandInThePanelUnderThePointerAsOneStep)
{
    struct Case {
        QString name;
        QByteArray bytes;
        bool asPdfData;
        QSizeF size;
        QString alert;
        // A pipe of that name, and what the alert says of it.
        QString pipeReason = {};
    };
    const QList<Case> cases {
        { QStringLiteral("tiny.png"), encoded(QSize(20, 10), "png"), false, QSizeF(20, 10), {} },
        { QStringLiteral("Photo.JPG"), encoded(QSize(16, 12), "jpeg"), false, QSizeF(16, 12), {} },
        { QStringLiteral("page.pdf"), test::onePagePdf(QSizeF(30, 18), "0 0 m 30 18 l S"), true,
            QSizeF(30, 18), {} },
        { QStringLiteral("garbage.png"), QByteArray(3000, '\x5a'), false, {},
            QStringLiteral("The image “garbage.png” could not be read.") },
        { QStringLiteral("bomb.png"), claimedSizePng(60000), false, {},
            QStringLiteral("The image “bomb.png” could not be read.") },
        { QStringLiteral("junk.pdf"), QByteArray("%PDF-1.4 not really"), true, {},
            QStringLiteral("The dropped picture could not be read.") },
        { QStringLiteral("pipe.png"), {}, false, {},
            QStringLiteral("The image “pipe.png” could not be read."),
            QStringLiteral("“pipe.png” is a device, a pipe or a socket, not a file that can be read.") },
    };
    const auto target = panel(3);
    const QPointF point = target->bounds().center();
    ASSERT_TRUE(target->frameContains(point));
    for (const Case& entry : cases) {
        SCOPED_TRACE(entry.name.toStdString());
        // The file as it should be after the drop is undone: the panel under the pointer current.
        model().setCurrentPanel(target);
        const QByteArray before = bytes();
        model().setCurrentPanel(panel(0));
        alerts.clear();
        const qsizetype count = target->frontLayer()->children().size();
        QMimeData* data;
        if (entry.asPdfData) {
            data = new QMimeData;
            data->setData(QStringLiteral("application/pdf"), entry.bytes);
        } else if (!entry.pipeReason.isEmpty()) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath(entry.name)).constData(), 0600), 0);
            data = files({ dir.filePath(entry.name) });
        } else {
            data = files({ writeFile(entry.name, entry.bytes) });
        }
        EXPECT_TRUE(drop(data, point));
        // The panel under the pointer became current, whatever the picture.
        EXPECT_EQ(model().currentPanel(), target);
        if (!entry.alert.isEmpty()) {
            ASSERT_EQ(alerts.size(), 1);
            EXPECT_EQ(alerts.first().message, entry.alert);
            if (!entry.pipeReason.isEmpty())
                EXPECT_EQ(alerts.first().informativeText, entry.pipeReason);
            EXPECT_EQ(bytes(), before);
            EXPECT_FALSE(document->undoManager()->canUndo());
            continue;
        }
        EXPECT_TRUE(alerts.isEmpty());
        ASSERT_EQ(target->frontLayer()->children().size(), count + 1);
        const auto image = lastImage();
        ASSERT_TRUE(image && image->image());
        EXPECT_EQ(image->image()->size(), entry.size);
        EXPECT_EQ(image->image()->isVector(), entry.asPdfData);
        EXPECT_EQ(image->image()->savedData(), entry.bytes);
        const QRectF bounds = image->getBounds();
        EXPECT_NEAR(bounds.center().x(), point.x(), 0.01);
        EXPECT_NEAR(bounds.center().y(), point.y(), 0.01);
        EXPECT_EQ(view->selection(), ElementList { image });
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo Import image"));
        choose(kUndoAction);
        EXPECT_EQ(bytes(), before);
        EXPECT_FALSE(document->undoManager()->canUndo()) << "one step";
    }
}

TEST_F(DropTest, DragsTheViewCannotTakeAreRefused)
{
    const QString png = writeFile(QStringLiteral("a.png"), encoded(QSize(8, 8), "png"));
    const QPointF inPanel = panel(1)->bounds().center();
    EXPECT_FALSE(drop(files({ png, png }), inPanel)) << "two files";
    EXPECT_FALSE(drop(files({ writeFile(QStringLiteral("a.gif"), encoded(QSize(8, 8), "gif")) }), inPanel));
    EXPECT_FALSE(
        drop(files({ writeFile(QStringLiteral("a.pdf"), test::onePagePdf(QSizeF(9, 9), "")) }), inPanel))
        << "PDF is taken as dragged data, not as a file";
    EXPECT_FALSE(drop(files({ png }), inPanel, Qt::MoveAction));
    const QPointF margin(model().bounds().center().x(), model().bounds().bottom() + 2);
    ASSERT_FALSE(model().getPanelAt(margin));
    ASSERT_TRUE(view->rect().contains(at(margin)));
    EXPECT_FALSE(drop(files({ png }), margin)) << "outside every panel";
    auto* library = new PasteboardMimeData(PasteboardParent::initWithChildren({}));
    EXPECT_FALSE(drop(library, inPanel, Qt::LinkAction)) << "a library drag must offer copy";
    // Bitmap data offered only for linking is taken.
    auto* linked = new QMimeData;
    linked->setData(QStringLiteral("image/png"), encoded(QSize(8, 8), "png"));
    EXPECT_TRUE(drop(linked, inPanel, Qt::LinkAction));
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Import image"));
}

TEST_F(DropTest, LibraryObjectsLandWhereTheDragStartedRelativeToThem)
{
    const ObjectPtr original = panel(0)->frontLayer()->children().value(0);
    ASSERT_TRUE(original);
    const QRectF from = asProtocol<GraphicElement>(original)->getBounds();
    auto payload = PasteboardParent::initWithChildren({ original });
    // Grabbed 3 points right of its left edge, dropped in the middle of panel 2.
    payload->setClickPoint(from.topLeft() + QPointF(3, 0));
    const QPointF point = panel(1)->bounds().center();
    model().setCurrentPanel(panel(1));
    const QByteArray before = bytes();
    model().setCurrentPanel(panel(0));
    ASSERT_TRUE(drop(new PasteboardMimeData(payload), point));
    EXPECT_EQ(model().currentPanel(), panel(1));
    const ElementList dropped = view->selection();
    ASSERT_EQ(dropped.size(), 1);
    EXPECT_EQ(panel(1)->frontLayer()->children().last(), dropped.first());
    const QRectF to = asProtocol<GraphicElement>(dropped.first())->getBounds();
    EXPECT_NEAR(to.left(), point.x() - 3, 0.01);
    EXPECT_NEAR(to.top(), point.y(), 0.01);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Drag in character parts"));
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
}

TEST_F(DropTest, ImportImageGoesToThePanelCentreAndTheArrowsNudgeIt)
{
    const QString path = writeFile(QStringLiteral("import.jpeg"), encoded(QSize(12, 6), "jpeg"));
    ZDLEditingView::setImageFileChooser([path](QWidget*) { return path; });
    model().setCurrentPanel(panel(4));
    const QByteArray before = bytes();
    choose(kImportImageAction);
    ZDLEditingView::setImageFileChooser([](QWidget*) { return QString(); });
    const auto image = lastImage();
    ASSERT_TRUE(image && image->image());
    EXPECT_EQ(image->image()->savedData(), encoded(QSize(12, 6), "jpeg"));
    const QPointF centre = image->getBounds().center();
    EXPECT_NEAR(centre.x(), panel(4)->bounds().center().x(), 0.01);
    EXPECT_NEAR(centre.y(), panel(4)->bounds().center().y(), 0.01);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Import image"));
    // The comic view nudges by one screen pixel too.
    view->setFocus();
    QTest::keyClick(view, Qt::Key_Left);
    endOfEvent();
    EXPECT_NEAR(image->getBounds().center().x(), centre.x() - 1.0 / view->viewScale(), 1e-4);
    EXPECT_EQ(undoTitle(), QStringLiteral("Undo Nudge Objects"));
    choose(kUndoAction);
    choose(kUndoAction);
    EXPECT_EQ(bytes(), before);
    // A cancelled chooser imports nothing.
    choose(kImportImageAction);
    EXPECT_EQ(bytes(), before);
}

TEST_F(DropTest, ADragRestingNearAnEdgeScrollsTheViewAndDropsWhereItRests)
{
    view->setViewScale(8.0f);
    view->scrollToCenterDocPoint(panel(0)->bounds().center());
    auto data = std::make_unique<QMimeData>();
    data->setData(QStringLiteral("image/png"), encoded(QSize(8, 8), "png"));
    const auto offset = [this] { return view->scrollArea()->scrollOffset(); };
    const QPoint start = offset();
    const QPoint middle(view->width() / 2, view->height() / 2);
    QDragEnterEvent enter(middle, Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(view, &enter);
    QDragMoveEvent inside(middle, Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(view, &inside);
    ASSERT_TRUE(inside.isAccepted());
    EXPECT_EQ(offset(), start) << "away from the edges nothing scrolls";

    // Four pixels from the right edge: twelve pixels deep into the margin.
    const QPoint nearRight(view->width() - 1 - 4, view->height() / 2);
    // A drag the view refuses scrolls nothing.
    std::unique_ptr<QMimeData> refused(files({ dir.filePath(QStringLiteral("a.gif")) }));
    QDragMoveEvent refusedMove(nearRight, Qt::CopyAction, refused.get(), Qt::LeftButton, {});
    QApplication::sendEvent(view, &refusedMove);
    EXPECT_FALSE(refusedMove.isAccepted());
    EXPECT_EQ(offset(), start);
    QDragMoveEvent move(nearRight, Qt::CopyAction, data.get(), Qt::LeftButton, {});
    QApplication::sendEvent(view, &move);
    EXPECT_EQ(offset(), start + QPoint(ZDLView::kDragScrollMargin - 4, 0));
    // Resting there, it keeps scrolling.
    const QPoint moved = offset();
    EXPECT_TRUE(QTest::qWaitFor([&] { return offset().x() > moved.x() + 20; }, 5000));

    QDropEvent dropped(nearRight, Qt::CopyAction, data.get(), Qt::LeftButton, {});
    const QPointF under = view->convertFromWidget(nearRight);
    QApplication::sendEvent(view, &dropped);
    endOfEvent();
    ASSERT_TRUE(dropped.isAccepted());
    const auto image = lastImage();
    ASSERT_TRUE(image);
    EXPECT_NEAR(image->getBounds().center().x(), under.x(), 0.01);
    EXPECT_EQ(model().getPanelAt(under), model().currentPanel());
    // Dropped, the view stays where it is.
    const QPoint after = offset();
    QTest::qWait(3 * 100);
    EXPECT_EQ(offset(), after);
}

TEST_F(DropTest, APromisedFileIsInsertedWhereItWasDroppedOnceItArrives)
{
    const QDir temporary(AppController::getMyTemporaryFolderURL());
    ASSERT_TRUE(temporary.mkpath(QStringLiteral(".")));
    const QByteArray png = encoded(QSize(10, 6), "png");
    struct Case {
        QString path;
        bool cancelled;
        bool kept;
    };
    // Written into our temporary folder it is ours to remove; elsewhere it is the user's.
    const QList<Case> cases { { temporary.filePath(QStringLiteral("promised.png")), false, false },
        { dir.filePath(QStringLiteral("promised.PNG")), false, true },
        { temporary.filePath(QStringLiteral("abandoned.png")), true, true } };
    const QPointF point = panel(2)->bounds().center();
    for (const Case& each : cases) {
        SCOPED_TRACE(each.path.toStdString());
        QFile::remove(each.path);
        const QByteArray before = bytes();
        ASSERT_TRUE(drop(files({ each.path }), point));
        auto* sheet = window->findChild<QDialog*>(QStringLiteral("WaitForFileDialog"));
        ASSERT_TRUE(sheet);
        EXPECT_EQ(bytes(), before);
        if (each.cancelled)
            sheet->reject();
        QPointer<QDialog> waiting(sheet);
        QFile file(each.path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(png);
        file.close();
        // The sheet looks twice a second; a cancelled one no longer looks.
        EXPECT_TRUE(QTest::qWaitFor([&] { return !waiting; }, 5000));
        QTest::qWait(each.cancelled ? 700 : 0);
        endOfEvent();
        EXPECT_EQ(QFile::exists(each.path), each.kept);
        if (each.cancelled) {
            EXPECT_EQ(bytes(), before);
            QFile::remove(each.path);
            continue;
        }
        const auto image = lastImage();
        ASSERT_TRUE(image && image->image());
        EXPECT_EQ(image->image()->savedData(), png);
        EXPECT_NEAR(image->getBounds().center().x(), point.x(), 0.01);
        EXPECT_NEAR(image->getBounds().center().y(), point.y(), 0.01);
        EXPECT_EQ(undoTitle(), QStringLiteral("Undo Import image"));
        choose(kUndoAction);
        EXPECT_EQ(bytes(), before);
    }
}

} // namespace
} // namespace zandrel
