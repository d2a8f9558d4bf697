// The parts view's commands and the validation of its menu and toolbar items.
#include "app/FileDialogFolder.h"
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/CharacterDocument.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/DocumentExport.h"
#include "app/core/EditorContainer.h"
#include "app/core/LibraryParent.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "views/PartsView.h"
#include "views/SavePanel.h"

#include <QFileDialog>
#include <QPointer>
#include <algorithm>

namespace zandrel {

namespace {

// The parts view's JPEG is three times the parts' size.
constexpr float kMenuExportScale = 3.0f;

// Paths blurred more than this are drawn through a blurred bitmap.
constexpr float kBlurThreshold = 0.8f;

std::function<QString()>& imageChooser()
{
    static std::function<QString()> chooser;
    return chooser;
}

// What the one-type view, or a root that cannot be edited, refuses.
bool changesChildren(const QString& action)
{
    static const QStringList actions { kCutAction, kPasteAction, kDeleteAction, kScaleAction,
        kFlipHorizontalAction, kFlipVerticalAction, kBringToFrontAction, kBringForwardAction,
        kSendToBackAction, kSendBackwardAction, kGroupAction, kMergeAction, kImportImageAction,
        kAddBalloonAction, kAddNarrativeBoxAction, kAddTextBlockAction, kToggleThumbnailEditorAction };
    return actions.contains(action);
}

} // namespace

bool PartsView::editable() const
{
    const auto* root = asProtocol<Parent>(rootObject());
    return root && root->canSelectContents() && !m_partAliasesParent;
}

void PartsView::createNewPart()
{
    editNewPartIn(model());
}

void PartsView::countItems() const
{
    const CharacterModel* character = model();
    const auto* root = asProtocol<Parent>(rootObject());
    if (!character || !root)
        return;
    const ElementList parts = ArrayUtils::flattenComicElementsArray(root->children());
    qsizetype paths = 0;
    qsizetype blurred = 0;
    qsizetype overThreshold = 0;
    double blurSum = 0;
    for (const ObjectPtr& element : parts) {
        const auto* container = asProtocol<Parent>(element);
        if (!container)
            continue;
        for (const ObjectPtr& path : ArrayUtils::flattenContainedPathsArray(container->children())) {
            ++paths;
            const auto* partPath = dynamic_cast<const PartPath*>(path.get());
            const float blur = partPath ? partPath->blur() : 0.0f;
            if (blur > 0) {
                ++blurred;
                blurSum += blur;
            }
            if (blur > kBlurThreshold)
                ++overThreshold;
        }
    }
    Log::write(QStringLiteral("Counts for %1").arg(character->characterName()));
    Log::write(QStringLiteral("Parts: %1").arg(parts.size()));
    Log::write(QStringLiteral("Paths: %1").arg(paths));
    Log::write(QStringLiteral("Blurred paths: %1").arg(blurred));
    // No blurred path gives no average, rather than a division by zero.
    Log::write(
        QStringLiteral("Average blur: %1").arg(blurred > 0 ? blurSum / double(blurred) : 0.0, 0, 'f', 6));
    Log::write(QStringLiteral("Paths blurred over threshold: %1").arg(overThreshold));
}

// --- Tracing image ---

void PartsView::setImageChooser(std::function<QString()> chooser)
{
    imageChooser() = std::move(chooser);
}

void PartsView::openTracingImageFile(const QString& path)
{
    if (path.isEmpty() || !m_characterDocument)
        return;
    QString reason;
    if (!m_characterDocument->openTracingImage(path, &reason)) {
        appController()->showAlertMessage(
            localized("The image could not be read."), reason.isEmpty() ? path : reason, QWidget::window());
        return;
    }
    bringTracingImageIntoView();
}

void PartsView::bringTracingImageIntoView()
{
    const CharacterModel* character = model();
    if (!character)
        return;
    // The image lies at the character's origin, and the view on show may be far from it: the part
    // editor centres its part. Whichever view shows the image scrolls to it.
    const QRectF image = character->getTracingImageBounds();
    for (ZDLEditingView* shown : QWidget::window()->findChildren<ZDLEditingView*>()) {
        if (!shown->isVisible() || shown->document() != m_characterDocument
            || (shown == this && m_partAliasesParent))
            continue;
        shown->updateViewSize();
        shown->scrollRectToVisible(image);
    }
}

void PartsView::askForTracingImage()
{
    if (imageChooser()) {
        openTracingImageFile(imageChooser()());
        return;
    }
    // Attached to the window, as the other questions about this document are.
    auto* dialog = new QFileDialog(QWidget::window(), localized("Open Tracing Image"), QString(),
        localized("Images (*.png *.jpg *.jpeg)"));
    dialog->setFileMode(QFileDialog::ExistingFile);
    FileDialogFolder::setUp(*dialog, m_characterDocument ? m_characterDocument->filePath() : QString());
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &QFileDialog::fileSelected, this, &PartsView::openTracingImageFile);
    dialog->open();
}

// --- Responder ---

bool PartsView::actsOnWholeDocument(const QString& action) const
{
    static const QStringList actions { kExportDialogAction, kExportPNGAction, kExportJPEGAction,
        kExportPDFAction, kExportEPSAction, kGlobalBlurAdjustmentAction, kOpenTracingImageAction };
    return actions.contains(action);
}

const ActionTable<PartsView>& PartsView::actionTable()
{
    using State = MenuItemValidation::State;
    static const auto whenEditable
        = [](PartsView& view, MenuItemValidation& item) { item.enabled = view.editable(); };
    static const auto showsType = [](PartsView& view, MenuItemValidation& item, int type) {
        // The popup shows the choice in force.
        item.enabled = view.model() != nullptr;
        item.state = type == view.m_viewPartType ? State::On : State::Off;
    };
    static const auto withCharacter = [](PartsView& view, MenuItemValidation& item) {
        item.enabled = view.m_characterDocument != nullptr;
    };
    static const auto documentSheet = [](PartsView& view, MenuItemValidation& item) {
        item.enabled = view.document() && DocumentDialogs::isInstalled(item.action);
    };
    static const auto openDocumentSheet = [](PartsView& view, const ActionSender& sender) {
        if (!view.document())
            return false;
        DocumentDialogs::open(sender.action, *view.document(), view.QWidget::window());
        return true;
    };
    // An empty character has nothing to export (a PDF or EPS of it would be a page of no size).
    static const auto exportable = [](PartsView& view, MenuItemValidation& item) {
        item.enabled = view.m_characterDocument && !view.rootChildren().isEmpty();
    };
    // The frame is all the thumbnail editor edits.
    static const auto thumbnailEditing = [](PartsView& view) { return view.thumbnailEditing(); };
    static const auto newPart = [](PartsView& view, MenuItemValidation& item) {
        item.enabled = view.editable() && !view.thumbnailEditing();
    };
    // The aliases of the one-type view stand for their parts as they are.
    static const auto showsAliases = [](PartsView& view) { return view.m_partAliasesParent != nullptr; };
    static const ActionTable<PartsView> table {
        { .action = kViewSelectedTypeAction,
            .validate =
                [](PartsView& view, MenuItemValidation& item) {
                    if (view.thumbnailEditing())
                        item.enabled = false;
                    else
                        showsType(view, item, item.tag);
                },
            .perform =
                [](PartsView& view, const ActionSender& sender) {
                    view.viewSelectedType(sender.tag);
                    return true;
                } },
        { .action = kViewAllWithPosesAction,
            .validate = [](PartsView& view, MenuItemValidation& item) { showsType(view, item, -1); },
            .perform = runs<&PartsView::viewAllWithPoses> },
        { .action = kCreateNewPartAction,
            .validate = newPart,
            .perform = runs<&PartsView::createNewPart>,
            .validateToolbarItem = newPart },
        { .action = kSelectAllAction, .validate = neverEnabled<PartsView>, .applies = thumbnailEditing },
        { .action = kPasteAction, .validate = neverEnabled<PartsView>, .applies = thumbnailEditing },
        { .action = kFlipHorizontalAction,
            .validateToolbarItem = neverEnabled<PartsView>,
            .applies = showsAliases },
        { .action = kFlipVerticalAction,
            .validateToolbarItem = neverEnabled<PartsView>,
            .applies = showsAliases },
        { .action = kScaleAction, .validateToolbarItem = neverEnabled<PartsView>, .applies = showsAliases },
        { .action = kCountItemsAction, .validate = whenEditable, .perform = runs<&PartsView::countItems> },
        { .action = kToggleThumbnailEditorAction,
            .validate =
                [](PartsView& view, MenuItemValidation& item) {
                    item.enabled = view.editable();
                    item.state = view.thumbnailEditing() ? State::On : State::Off;
                },
            .perform = runs<&PartsView::toggleThumbnailEditor> },
        { .action = kExitModeAction,
            .validate
            = [](PartsView& view, MenuItemValidation& item) { item.enabled = view.thumbnailEditing(); },
            .perform = runs<&PartsView::exitMode> },
        { .action = kOpenTracingImageAction,
            .validate = withCharacter,
            .perform = runs<&PartsView::askForTracingImage>,
            .validateToolbarItem = withCharacter },
        { .action = kEditStylesAction,
            .validate =
                [](PartsView& view, MenuItemValidation& item) {
                    // The character's own styles: in a comic the parts view edits no character.
                    item.enabled = view.m_characterDocument && DocumentDialogs::isInstalled(item.action);
                },
            .perform =
                [](PartsView& view, const ActionSender& sender) {
                    if (!view.m_characterDocument)
                        return false;
                    DocumentDialogs::open(sender.action, *view.m_characterDocument, view.QWidget::window());
                    return true;
                } },
        { .action = kGlobalBlurAdjustmentAction, .validate = documentSheet, .perform = openDocumentSheet },
        { .action = kExportDialogAction, .validate = documentSheet, .perform = openDocumentSheet },
        { .action = kExportPNGAction, .validate = exportable, .perform = runs<&PartsView::exportPNG> },
        { .action = kExportJPEGAction, .validate = exportable, .perform = runs<&PartsView::exportJPEG> },
        { .action = kExportPDFAction, .validate = exportable, .perform = runs<&PartsView::exportPDF> },
        { .action = kExportEPSAction, .validate = exportable, .perform = runs<&PartsView::exportEPS> },
        // The parts view always draws on white.
        { .action = kSetBackgroundAction,
            .validate =
                [](PartsView&, MenuItemValidation& item) {
                    item.enabled = false;
                    item.state = State::Off;
                } },
        { .action = kSetPartTypeAction,
            .validate = [](PartsView& view, MenuItemValidation& item) { view.validatePartTypeItem(item); } },
        { .action = kGroupAction,
            .validate
            = [](PartsView& view, MenuItemValidation& item) { item.enabled = view.numSelected() >= 2; } },
        { .action = kUngroupAction,
            .validate =
                [](PartsView& view, MenuItemValidation& item) {
                    const ElementList selected = view.selection();
                    item.enabled = view.editable()
                        && std::any_of(selected.cbegin(), selected.cend(), [](const ObjectPtr& object) {
                               return dynamic_cast<const Group*>(object.get()) != nullptr;
                           });
                } },
    };
    return table;
}

bool PartsView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return BalloonEditingView::tryToPerform(action, sender);
}

bool PartsView::validateMenuItem(MenuItemValidation& item)
{
    if (!item.isToolbarItem && changesChildren(item.action) && !editable()) {
        item.enabled = false;
        return true;
    }
    return actionTable().validate(*this, item) || BalloonEditingView::validateMenuItem(item);
}

// --- Exports ---

bool PartsView::showsContentToExport(const ElementList& elements)
{
    const ExportResult check = DocumentExport::checkContent(elements);
    if (!check)
        showExportResult(check, QWidget::window());
    return bool(check);
}

void PartsView::exportJPEG()
{
    if (!m_characterDocument || rootChildren().isEmpty())
        return;
    const ElementList elements = numSelected() > 0 ? getSelectionSorted() : rootChildren();
    if (!showsContentToExport(elements))
        return;
    QPointer<PartsView> self(this);
    const QString extension = DocumentExport::extensionFor(ExportFileType::Jpeg);
    SavePanel::run(QWidget::window(), exportTitle(ExportFileType::Jpeg), m_characterDocument->filePath(),
        extension, m_characterDocument->documentNameWithExtension(extension), [=](const QString& path) {
            if (self)
                showExportResult(DocumentExport::exportElementsImage(
                                     elements, kMenuExportScale, ExportFileType::Jpeg, 0.7f, path),
                    self->QWidget::window());
        });
}

void PartsView::exportPDF()
{
    if (!m_characterDocument || rootChildren().isEmpty())
        return;
    const ElementList only = numSelected() > 0 ? getSelectionSorted() : ElementList();
    if (!showsContentToExport(only.isEmpty() ? rootChildren() : only))
        return;
    QPointer<PartsView> self(this);
    const QString extension = DocumentExport::extensionFor(ExportFileType::Pdf);
    SavePanel::run(QWidget::window(), exportTitle(ExportFileType::Pdf), m_characterDocument->filePath(),
        extension, m_characterDocument->documentNameWithExtension(extension), [=](const QString& path) {
            if (self && self->m_characterDocument)
                showExportResult(DocumentExport::exportPartsPDF(*self->m_characterDocument, only, path),
                    self->QWidget::window());
        });
}

void PartsView::exportEPS()
{
    if (!m_characterDocument || rootChildren().isEmpty() || !showsContentToExport(rootChildren()))
        return;
    QPointer<PartsView> self(this);
    // Proposed like the PDF's, so that the panel can be confirmed at once.
    const QString extension = DocumentExport::extensionFor(ExportFileType::Eps);
    SavePanel::run(QWidget::window(), exportTitle(ExportFileType::Eps), m_characterDocument->filePath(),
        extension, m_characterDocument->documentNameWithExtension(extension), [=](const QString& path) {
            if (self && self->m_characterDocument)
                showExportResult(
                    DocumentExport::exportEPS(*self->m_characterDocument, path), self->QWidget::window());
        });
}

} // namespace zandrel
