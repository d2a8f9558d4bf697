// The editing views' exports: the save panel, then the file written by DocumentExport.
#include "app/core/DocumentExport.h"
#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"
#include "views/SavePanel.h"
#include "views/ZDLEditingView.h"

#include <QFileInfo>
#include <QPointer>
#include <functional>

namespace zandrel {

namespace {

using ExportWriter = std::function<ExportResult(
    ZDLDocument& document, ZDLDocument::ExportKind what, const ElementList& elements, const QString& path)>;

// Asks for a file of the type, named after what is exported, and writes it: the content is the
// sorted selection for a selection, the root's children otherwise. Without content the user hears
// so at once, rather than after choosing a file.
void exportWith(
    ZDLEditingView& view, int what, bool withFloaters, ExportFileType type, const ExportWriter& write)
{
    if (!view.document())
        return;
    const auto kind = ZDLDocument::ExportKind(what);
    const QString extension = DocumentExport::extensionFor(type);
    const ElementList elements
        = kind == ZDLDocument::ExportKind::Selection ? view.getSelectionSorted() : view.rootChildren();
    if (const ExportResult check
        = DocumentExport::checkContent(*view.document(), kind, withFloaters, elements);
        !check) {
        ZDLEditingView::showExportResult(check, view.QWidget::window());
        return;
    }
    QPointer<ZDLEditingView> self(&view);
    SavePanel::run(view.QWidget::window(), ZDLEditingView::exportTitle(type), view.document()->filePath(),
        extension, view.document()->documentNameWithQualifier(kind, extension), [=](const QString& path) {
            if (self && self->document())
                ZDLEditingView::showExportResult(
                    write(*self->document(), kind, elements, path), self->QWidget::window());
        });
}

} // namespace

QString ZDLEditingView::exportTitle(ExportFileType type)
{
    return localized("Export %1").arg(DocumentExport::extensionFor(type).toUpper());
}

void ZDLEditingView::showExportResult(const ExportResult& result, QWidget* window)
{
    if (!result.ok)
        appController()->showAlertMessage(result.message, result.explanation, window);
}

ElementList ZDLEditingView::rootChildren() const
{
    const auto* root = asProtocol<Parent>(rootObject());
    return root ? root->children() : ElementList();
}

void ZDLEditingView::exportJPEGOf(int what, bool withFloaters, float resolution, float quality)
{
    exportWith(*this, what, withFloaters, ExportFileType::Jpeg,
        [=](ZDLDocument& document, ZDLDocument::ExportKind kind, const ElementList& elements,
            const QString& path) {
            return DocumentExport::exportImage(
                document, kind, withFloaters, elements, ExportFileType::Jpeg, resolution, quality, path);
        });
}

void ZDLEditingView::exportPNGOf(int what, bool withFloaters, float resolution)
{
    exportWith(*this, what, withFloaters, ExportFileType::Png,
        [=](ZDLDocument& document, ZDLDocument::ExportKind kind, const ElementList& elements,
            const QString& path) {
            return DocumentExport::exportImage(
                document, kind, withFloaters, elements, ExportFileType::Png, resolution, 1.0f, path);
        });
}

void ZDLEditingView::exportPDFOf(int what, bool withFloaters)
{
    exportWith(*this, what, withFloaters, ExportFileType::Pdf,
        [=](ZDLDocument& document, ZDLDocument::ExportKind kind, const ElementList& elements,
            const QString& path) {
            return DocumentExport::exportPDF(document, kind, withFloaters, elements, path);
        });
}

void ZDLEditingView::exportPNG()
{
    if (!m_document || rootChildren().isEmpty())
        return;
    const ElementList elements = numSelected() > 0 ? getSelectionSorted() : rootChildren();
    if (const ExportResult check = DocumentExport::checkContent(elements); !check) {
        showExportResult(check, QWidget::window());
        return;
    }
    QPointer<ZDLEditingView> self(this);
    const QString extension = DocumentExport::extensionFor(ExportFileType::Png);
    const QString proposed = m_document->documentNameWithExtension(extension);
    SavePanel::run(QWidget::window(), exportTitle(ExportFileType::Png), m_document->filePath(), extension,
        proposed, [=](const QString& path) {
            if (!self)
                return;
            const ExportResult first = DocumentExport::exportElementsImage(
                elements, 1.0f, ExportFileType::Png, std::nullopt, path);
            showExportResult(first, self->QWidget::window());
            if (!first)
                return;
            // The second file goes beside the first, wherever the user put that.
            const QString name = QFileInfo(path).fileName();
            SavePanel::run(self->QWidget::window(), localized("Export PNG at Twice the Size (@2x)"), path,
                extension, name.left(name.size() - 4) + QStringLiteral("@2x.png"),
                [=](const QString& doubled) {
                    if (self)
                        showExportResult(DocumentExport::exportElementsImage(
                                             elements, 2.0f, ExportFileType::Png, std::nullopt, doubled),
                            self->QWidget::window());
                });
        });
}

} // namespace zandrel
