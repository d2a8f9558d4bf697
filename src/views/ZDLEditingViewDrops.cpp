// The editing view's way in for images and objects from outside: drops of image files, PDF and
// bitmap data and library objects, and the "Import Image" command. Every insertion is one undo step.
#include "app/AppController.h"
#include "app/FileDialogFolder.h"
#include "app/Pasteboard.h"
#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/ImageElement.h"
#include "charmodel/PartAlias.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "panels/WaitForFileController.h"
#include "platform/Localization.h"
#include "platform/PngWriter.h"
#include "platform/RegularFile.h"
#include "views/ZDLEditingView.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QHash>
#include <QMimeData>
#include <QPointer>
#include <QSet>
#include <QUrl>

namespace zandrel {

namespace {

const QString kPdfMimeType = QStringLiteral("application/pdf");
// The platform's bitmap picture data, taken like a TIFF on other systems.
const QStringList kBitmapMimeTypes
    = { QStringLiteral("image/tiff"), QStringLiteral("image/png"), QStringLiteral("image/jpeg") };

ZDLEditingView::ImageFileChooser& imageFileChooser()
{
    static ZDLEditingView::ImageFileChooser chooser = [](QWidget* parent) {
        const QString path = QFileDialog::getOpenFileName(parent, localized("Import Image"),
            FileDialogFolder::startingFolder(FileDialogFolder::documentPathOf(parent)),
            localized("Images (*.png *.jpg *.jpeg)"));
        FileDialogFolder::remember(path);
        return path;
    };
    return chooser;
}

bool offersCopyOrLink(Qt::DropActions offered)
{
    return offered & (Qt::CopyAction | Qt::LinkAction);
}

// Pictures are copied in; a source that offers only a link gets the link answer, which the
// platform needs, though the picture is copied all the same.
Qt::DropAction pictureOperation(Qt::DropActions offered)
{
    if (offered & Qt::CopyAction)
        return Qt::CopyAction;
    return offered & Qt::LinkAction ? Qt::LinkAction : Qt::IgnoreAction;
}

// The one local image file a file drag carries; empty for several files, another kind or a remote one.
QString singleImageFile(const QMimeData* data)
{
    const QList<QUrl> urls = data->urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return QString();
    const QString path = urls.first().toLocalFile();
    const QString extension = QFileInfo(path).suffix().toLower();
    if (extension != QStringLiteral("png") && extension != QStringLiteral("jpg")
        && extension != QStringLiteral("jpeg"))
        return QString();
    return path;
}

// What the alert says of an image file that could not be read.
QString unreadableFile(const QString& path)
{
    return localized("The image “%1” could not be read.").arg(QFileInfo(path).fileName());
}

// The element of the picture in the file, and why the file could not be read when it could not.
std::pair<ImageElementPtr, QString> imageOfFile(const QString& path)
{
    FileReadError error;
    ImageElementPtr element = ImageElement::initFromURL(QUrl::fromLocalFile(path), &error);
    return { element, error.message };
}

QString firstBitmapType(const QMimeData* data)
{
    for (const QString& type : kBitmapMimeTypes) {
        if (data->hasFormat(type))
            return type;
    }
    return QString();
}

} // namespace

void ZDLEditingView::setImageFileChooser(ImageFileChooser chooser)
{
    imageFileChooser() = std::move(chooser);
}

void ZDLEditingView::importImage()
{
    if (!acceptsImages())
        return;
    const QString path = imageFileChooser()(this);
    if (path.isEmpty())
        return;
    const auto [image, reason] = imageOfFile(path);
    insertImportedImage(image, graphicPastePoint(), unreadableFile(path), reason);
}

bool ZDLEditingView::insertImportedImage(const std::shared_ptr<ImageElement>& image, const QPointF& point,
    const QString& unreadableMessage, const QString& reason)
{
    auto* root = asProtocol<Parent>(rootObject());
    if (!root || !m_document)
        return false;
    // A damaged, hostile or oversized picture is refused by the image readers; it must not become
    // an empty element the user cannot see or select.
    if (!image || !image->image() || image->image()->size().isEmpty()) {
        appController()->showAlertMessage(unreadableMessage,
            reason.isEmpty() ? localized("It is damaged, too large, or not a PNG, JPEG or PDF picture.")
                             : reason,
            window());
        return false;
    }
    sizeAndPositionImportedImage(*image, rootObject(), point);
    ElementList children = root->children();
    children.append(image);
    m_document->undoableSetChildren(children, rootObject());
    // A picture given to a new part makes the part real: the part editor puts it into its parent.
    if (EditorContainer* partEditor = m_document->partEditingView())
        partEditor->checkToAddOrDeleteCurrentPart();
    undoableSetSelection({ image }, false);
    m_document->undoManager()->setActionName(localized("Import image"));
    return true;
}

// --- Drags ---

Qt::DropAction ZDLEditingView::dragOperationFor(const QMimeData* data, Qt::DropActions offered) const
{
    if (!data)
        return Qt::IgnoreAction;
    // Our own objects are never taken as their picture renderings.
    if (data->hasFormat(PasteboardParent::objectsMimeType()))
        return acceptsLibraryDrags() && (offered & Qt::CopyAction) ? Qt::CopyAction : Qt::IgnoreAction;
    if (!acceptsImages())
        return Qt::IgnoreAction;
    if (data->hasUrls() && offersCopyOrLink(offered) && !singleImageFile(data).isEmpty())
        return pictureOperation(offered);
    if (!firstBitmapType(data).isEmpty() || data->hasFormat(kPdfMimeType))
        return pictureOperation(offered);
    return Qt::IgnoreAction;
}

Qt::DropAction ZDLEditingView::answerDrag(QDragMoveEvent* event, Qt::DropAction operation)
{
    if (operation == Qt::IgnoreAction) {
        event->ignore();
        return operation;
    }
    event->setDropAction(operation);
    event->accept();
    return operation;
}

void ZDLEditingView::dragEnterEvent(QDragEnterEvent* event)
{
    answerDrag(event, dragOperationFor(event->mimeData(), event->possibleActions()));
}

void ZDLEditingView::dragMoveEvent(QDragMoveEvent* event)
{
    // The answer on entering holds for the whole drag; only a drag the view takes scrolls it.
    if (answerDrag(event, dragOperationFor(event->mimeData(), event->possibleActions())) != Qt::IgnoreAction)
        autoscrollForDrag(event->position());
    else
        stopDragAutoscroll();
}

void ZDLEditingView::dropEvent(QDropEvent* event)
{
    stopDragAutoscroll();
    const Qt::DropAction operation = dragOperationFor(event->mimeData(), event->possibleActions());
    if (operation == Qt::IgnoreAction) {
        event->ignore();
        return;
    }
    performDrop(event->mimeData(), event->possibleActions(), convertFromWidget(event->position()));
    setFocus();
    event->setDropAction(operation);
    event->accept();
}

bool ZDLEditingView::performDrop(const QMimeData* data, Qt::DropActions offered, const QPointF& point)
{
    if (data->hasFormat(PasteboardParent::objectsMimeType())) {
        if (!acceptsLibraryDrags() || !(offered & Qt::CopyAction))
            return false;
        // Read exactly as a file is read: what does not decode is not dropped.
        const PasteboardParentPtr payload = Pasteboard::readPayload(data);
        if (!payload || payload->children().isEmpty())
            return false;
        insertLibraryDrop(payload, point);
        return true;
    }
    if (!acceptsImages())
        return false;
    // Picture data first, then a file: a drag that carries a picture and its file inserts the
    // picture it carries.
    if (hasPictureData(data))
        return insertPictureData(data, point, localized("The dropped picture could not be read."));
    const QString path = singleImageFile(data);
    if (path.isEmpty() || !offersCopyOrLink(offered))
        return false;
    // A file named before it is written is a promise of the program the drag came from.
    if (!QFileInfo::exists(path))
        return waitForPromisedFile(path, point);
    const auto [image, reason] = imageOfFile(path);
    return insertImportedImage(image, point, unreadableFile(path), reason);
}

bool ZDLEditingView::hasPictureData(const QMimeData* data)
{
    return data && (data->hasFormat(kPdfMimeType) || !firstBitmapType(data).isEmpty() || data->hasImage());
}

bool ZDLEditingView::insertPictureData(
    const QMimeData* data, const QPointF& point, const QString& unreadableMessage)
{
    // PDF first: it stays vector.
    const QString type = data->hasFormat(kPdfMimeType) ? kPdfMimeType : firstBitmapType(data);
    if (!type.isEmpty())
        return insertImportedImage(
            ImageElement::initFromImageData(data->data(type)), point, unreadableMessage);
    // A picture this program put on the clipboard itself is held there as Qt's image, not as file
    // bytes: it comes in as the PNG file another program would have given.
    if (!data->hasImage())
        return false;
    const QByteArray png = PngWriter::encode(qvariant_cast<QImage>(data->imageData()));
    return insertImportedImage(ImageElement::initFromImageData(png), point, unreadableMessage);
}

bool ZDLEditingView::waitForPromisedFile(const QString& path, const QPointF& point)
{
    const QString name = QFileInfo(path).fileName();
    const QPointer<ZDLEditingView> self(this);
    auto* sheet = DialogController::create<WaitForFileController>(QWidget::window(), path,
        localized("Waiting for file “%1”").arg(name), [self, point](const QString& arrived) {
            if (!self)
                return;
            // Into the root of the moment the file arrives, at the point where it was dropped.
            const auto [image, reason] = imageOfFile(arrived);
            self->insertImportedImage(image, point, unreadableFile(arrived), reason);
            // Written for us into our temporary folder, the file is ours to remove; a file anywhere
            // else is the user's.
            const QString folder = QDir(AppController::getMyTemporaryFolderURL()).canonicalPath();
            const QString within = QFileInfo(arrived).canonicalPath();
            if (!folder.isEmpty() && (within == folder || within.startsWith(folder + u'/')))
                QFile::remove(arrived);
        });
    sheet->showWindow();
    return true;
}

ElementList ZDLEditingView::resolveAliases(const ElementList& objects)
{
    // An element that would come more than once (two aliases of one part, or a part listed beside
    // its own alias) comes first as itself and then as copies taken before anything moved: one
    // object must never stand twice in a tree.
    QHash<const Object*, int> uses;
    const auto elementOf = [](const ObjectPtr& object) {
        const auto* alias = dynamic_cast<const PartAlias*>(object.get());
        return alias ? alias->realPart() : object;
    };
    for (const ObjectPtr& object : objects) {
        if (const ObjectPtr element = elementOf(object))
            ++uses[element.get()];
    }
    QHash<const Object*, ObjectPtr> pristine;
    for (const ObjectPtr& object : objects) {
        const ObjectPtr element = elementOf(object);
        const auto* graphic = asProtocol<GraphicElement>(element);
        if (graphic && uses.value(element.get()) > 1 && !pristine.contains(element.get()))
            pristine.insert(element.get(), graphic->initByCopying());
    }
    ElementList resolved;
    QSet<const Object*> taken;
    for (const ObjectPtr& object : objects) {
        const auto alias = std::dynamic_pointer_cast<PartAlias>(object);
        const ObjectPtr element = elementOf(object);
        if (!element)
            continue;
        if (!taken.contains(element.get())) {
            taken.insert(element.get());
            resolved.append(alias ? alias->extractPart() : element);
            continue;
        }
        const auto* original = asProtocol<GraphicElement>(pristine.value(element.get()));
        if (!original)
            continue;
        const ObjectPtr copy = original->initByCopying();
        if (alias)
            asProtocol<GraphicElement>(copy)->offsetBy(alias->displayOffset(), true);
        resolved.append(copy);
    }
    return resolved;
}

void ZDLEditingView::insertLibraryDrop(const PasteboardParentPtr& payload, const QPointF& point)
{
    const QPointF offset = point - payload->clickPoint();
    for (const ObjectPtr& child : payload->children()) {
        if (auto* graphic = asProtocol<GraphicElement>(child))
            graphic->offsetBy(offset, true);
    }
    const ElementList objects = resolveAliases(payload->children());
    if (objects.isEmpty() || !m_document)
        return;
    if (m_characterDoc) {
        m_characterDoc->undoableInsertFromScrap(objects, *this, true);
        return;
    }
    auto* root = asProtocol<Parent>(rootObject());
    ComicModel* comic = m_comicDoc ? m_comicDoc->model().get() : nullptr;
    if (!root || !comic)
        return;
    const auto panel = comic->currentPanel();
    if (panel && !dynamic_cast<const ComicPage*>(rootObject().get()))
        panel->ensureObjectsInPanel(objects);
    comic->mergeInCharactersAndColors(objects);
    if (!payload->characterId().isEmpty())
        comic->mergeInColors(payload->colors(), payload->characterId());
    ElementList children = root->children();
    children.append(objects);
    m_document->undoableSetChildren(children, rootObject());
    undoableSetSelection(objects, false);
    m_document->undoManager()->setActionName(localized("Drag in character parts"));
}

} // namespace zandrel
