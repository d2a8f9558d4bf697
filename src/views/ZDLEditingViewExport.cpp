// The editing views' exports: the save panel, then the file written by DocumentExport.
#include "views/ZDLEditingView.h"

#include "app/core/DocumentExport.h"
#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"
#include "views/SavePanel.h"

#include <QFileInfo>
#include <QPointer>

namespace zandrel {

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
    if (!m_document)
        return;
    const auto kind = ZDLDocument::ExportKind(what);
    const QString extension = DocumentExport::extensionFor(ExportFileType::Jpeg);
    const ElementList elements = kind == ZDLDocument::ExportKind::Selection ? getSelectionSorted() : rootChildren();
    QPointer<ZDLEditingView> self(this);
    SavePanel::run(QWidget::window(), extension, m_document->documentNameWithQualifier(kind, extension),
        [=](const QString& path) {
            if (self && self->m_document)
                showExportResult(DocumentExport::exportImage(*self->m_document, kind, withFloaters, elements,
                         ExportFileType::Jpeg, resolution, quality, path),
                    self->QWidget::window());
        });
}

void ZDLEditingView::exportPNGOf(int what, bool withFloaters, float resolution)
{
    if (!m_document)
        return;
    const auto kind = ZDLDocument::ExportKind(what);
    const QString extension = DocumentExport::extensionFor(ExportFileType::Png);
    const ElementList elements = kind == ZDLDocument::ExportKind::Selection ? getSelectionSorted() : rootChildren();
    QPointer<ZDLEditingView> self(this);
    SavePanel::run(QWidget::window(), extension, m_document->documentNameWithQualifier(kind, extension),
        [=](const QString& path) {
            if (self && self->m_document)
                showExportResult(DocumentExport::exportImage(*self->m_document, kind, withFloaters, elements,
                         ExportFileType::Png, resolution, 1.0f, path),
                    self->QWidget::window());
        });
}

void ZDLEditingView::exportPDFOf(int what, bool withFloaters)
{
    if (!m_document)
        return;
    const auto kind = ZDLDocument::ExportKind(what);
    const QString extension = DocumentExport::extensionFor(ExportFileType::Pdf);
    const ElementList elements = kind == ZDLDocument::ExportKind::Selection ? getSelectionSorted() : rootChildren();
    QPointer<ZDLEditingView> self(this);
    SavePanel::run(QWidget::window(), extension, m_document->documentNameWithQualifier(kind, extension),
        [=](const QString& path) {
            if (self && self->m_document)
                showExportResult(DocumentExport::exportPDF(*self->m_document, kind, withFloaters, elements, path), self->QWidget::window());
        });
}

void ZDLEditingView::exportPNG()
{
    if (!m_document || rootChildren().isEmpty())
        return;
    const ElementList elements = numSelected() > 0 ? getSelectionSorted() : rootChildren();
    QPointer<ZDLEditingView> self(this);
    const QString extension = DocumentExport::extensionFor(ExportFileType::Png);
    SavePanel::run(QWidget::window(), extension, m_document->documentNameWithExtension(extension), [=](const QString& path) {
        if (!self)
            return;
        const ExportResult first
            = DocumentExport::exportElementsImage(elements, 1.0f, ExportFileType::Png, std::nullopt, path);
        showExportResult(first, self->QWidget::window());
        if (!first)
            return;
        const QString name = QFileInfo(path).fileName();
        SavePanel::run(self->QWidget::window(), extension, name.left(name.size() - 4) + QStringLiteral("@2x.png"),
            [=](const QString& doubled) {
                if (self)
                    showExportResult(DocumentExport::exportElementsImage(
                             elements, 2.0f, ExportFileType::Png, std::nullopt, doubled),
                        self->QWidget::window());
            });
    });
}

} // namespace zandrel
