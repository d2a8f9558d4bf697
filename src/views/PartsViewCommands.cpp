// The parts view's commands and the validation of its menu and toolbar items.
#include "app/FileDialogFolder.h"
#include "app/core/ActionNames.h"
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
    if (!m_characterDocument->openTracingImage(path))
        appController()->showAlertMessage(localized("The image could not be read."), path, QWidget::window());
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

bool PartsView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (action == kViewSelectedTypeAction)
        viewSelectedType(sender.tag);
    else if (action == kViewAllWithPosesAction)
        viewAllWithPoses();
    else if (action == kCreateNewPartAction)
        createNewPart();
    else if (action == kCountItemsAction)
        countItems();
    else if (action == kToggleThumbnailEditorAction)
        toggleThumbnailEditor();
    else if (action == kExitModeAction)
        exitMode();
    else if (action == kOpenTracingImageAction)
        askForTracingImage();
    else if (action == kEditStylesAction && m_characterDocument)
        DocumentDialogs::open(action, *m_characterDocument, QWidget::window());
    else if ((action == kGlobalBlurAdjustmentAction || action == kExportDialogAction) && document())
        DocumentDialogs::open(action, *document(), QWidget::window());
    else if (action == kExportPNGAction)
        exportPNG();
    else if (action == kExportJPEGAction)
        exportJPEG();
    else if (action == kExportPDFAction)
        exportPDF();
    else if (action == kExportEPSAction)
        exportEPS();
    else
        return BalloonEditingView::tryToPerform(action, sender);
    return true;
}

bool PartsView::validateToolbarItem(MenuItemValidation& item)
{
    if (m_partAliasesParent
        && (item.action == kFlipHorizontalAction || item.action == kFlipVerticalAction
            || item.action == kScaleAction)) {
        item.enabled = false;
        return true;
    }
    if (item.action == kCreateNewPartAction) {
        item.enabled = editable() && !thumbnailEditing();
        return true;
    }
    if (item.action == kOpenTracingImageAction) {
        item.enabled = m_characterDocument != nullptr;
        return true;
    }
    return BalloonEditingView::validateMenuItem(item);
}

bool PartsView::validateMenuItem(MenuItemValidation& item)
{
    if (item.isToolbarItem)
        return validateToolbarItem(item);
    const QString& action = item.action;
    if (changesChildren(action) && !editable()) {
        item.enabled = false;
        return true;
    }
    // The frame is all the thumbnail editor edits.
    if (thumbnailEditing()
        && (action == kSelectAllAction || action == kPasteAction || action == kCreateNewPartAction
            || action == kViewSelectedTypeAction)) {
        item.enabled = false;
        return true;
    }
    if (action == kCreateNewPartAction || action == kCountItemsAction) {
        item.enabled = editable();
    } else if (action == kViewSelectedTypeAction || action == kViewAllWithPosesAction) {
        // The popup shows the choice in force.
        const int type = action == kViewAllWithPosesAction ? -1 : item.tag;
        item.enabled = model() != nullptr;
        item.state = type == m_viewPartType ? MenuItemValidation::State::On : MenuItemValidation::State::Off;
    } else if (action == kOpenTracingImageAction) {
        item.enabled = m_characterDocument != nullptr;
    } else if (action == kToggleThumbnailEditorAction) {
        item.enabled = editable();
        item.state = thumbnailEditing() ? MenuItemValidation::State::On : MenuItemValidation::State::Off;
    } else if (action == kExitModeAction) {
        item.enabled = thumbnailEditing();
    } else if (action == kGlobalBlurAdjustmentAction || action == kExportDialogAction) {
        item.enabled = document() && DocumentDialogs::isInstalled(action);
    } else if (action == kEditStylesAction) {
        // The character's own styles: in a comic the parts view edits no character.
        item.enabled = m_characterDocument && DocumentDialogs::isInstalled(action);
    } else if (action == kExportPNGAction || action == kExportJPEGAction || action == kExportPDFAction
        || action == kExportEPSAction) {
        // An empty character has nothing to export (a PDF or EPS of it would be a page of no size).
        item.enabled = m_characterDocument && !rootChildren().isEmpty();
    } else if (action == kSetBackgroundAction) {
        // The parts view always draws on white.
        item.enabled = false;
        item.state = MenuItemValidation::State::Off;
    } else if (action == kSetPartTypeAction) {
        validatePartTypeItem(item);
    } else if (action == kGroupAction) {
        item.enabled = numSelected() >= 2;
    } else if (action == kUngroupAction) {
        const ElementList selected = selection();
        item.enabled = editable()
            && std::any_of(selected.cbegin(), selected.cend(),
                [](const ObjectPtr& object) { return dynamic_cast<const Group*>(object.get()) != nullptr; });
    } else {
        return BalloonEditingView::validateMenuItem(item);
    }
    return true;
}

// --- Exports ---

void PartsView::exportJPEG()
{
    if (!m_characterDocument || rootChildren().isEmpty())
        return;
    const ElementList elements = numSelected() > 0 ? getSelectionSorted() : rootChildren();
    QPointer<PartsView> self(this);
    SavePanel::run(QWidget::window(), exportTitle(ExportFileType::Jpeg), m_characterDocument->filePath(),
        DocumentExport::extensionFor(ExportFileType::Jpeg),
        m_characterDocument->documentNameWithoutExtension(), [=](const QString& path) {
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
    QPointer<PartsView> self(this);
    SavePanel::run(QWidget::window(), exportTitle(ExportFileType::Pdf), m_characterDocument->filePath(),
        DocumentExport::extensionFor(ExportFileType::Pdf),
        m_characterDocument->documentNameWithoutExtension(), [=](const QString& path) {
            if (self && self->m_characterDocument)
                showExportResult(DocumentExport::exportPartsPDF(*self->m_characterDocument, only, path),
                    self->QWidget::window());
        });
}

void PartsView::exportEPS()
{
    if (!m_characterDocument || rootChildren().isEmpty())
        return;
    QPointer<PartsView> self(this);
    // Proposed like the PDF's, so that the panel can be confirmed at once.
    SavePanel::run(QWidget::window(), exportTitle(ExportFileType::Eps), m_characterDocument->filePath(),
        DocumentExport::extensionFor(ExportFileType::Eps),
        m_characterDocument->documentNameWithoutExtension(), [=](const QString& path) {
            if (self && self->m_characterDocument)
                showExportResult(
                    DocumentExport::exportEPS(*self->m_characterDocument, path), self->QWidget::window());
        });
}

} // namespace zandrel
