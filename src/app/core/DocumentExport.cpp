#include "app/core/DocumentExport.h"

#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "app/core/ComicPrintView.h"
#include "app/core/PartsPrintView.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPanel.h"
#include "graphics/ArrayUtils.h"
#include "graphics/EpsPaintDevice.h"
#include "platform/AtomicFile.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/OffscreenImage.h"
#include "platform/PngWriter.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <cmath>

namespace zandrel {

namespace {

constexpr double kMetresPerInch = 0.0254;

ExportResult nothingToExport()
{
    return ExportResult::failure(localized("There is nothing to export."),
        localized("Select something to export, or choose another part of the document."));
}

ExportResult tooLarge(float scale, const QRectF& area)
{
    return ExportResult::failure(localized("The image would be too large."),
        localized("At %1 pixels per inch it would be %2 by %3 pixels. Choose a lower resolution or export a "
                  "smaller part of the document.")
            .arg(double(scale) * 72.0, 0, 'g', 4)
            .arg(std::ceil(area.width() * scale), 0, 'f', 0)
            .arg(std::ceil(area.height() * scale), 0, 'f', 0));
}

ExportResult writeFailed(const QString& path, const QString& reason)
{
    return ExportResult::failure(
        localized("The file \u201c%1\u201d could not be written.").arg(QFileInfo(path).fileName()), reason);
}

// The area an image of the content covers; empty when there is nothing.
QRectF imageArea(
    ZDLDocument& document, DocumentExport::ExportKind what, bool withFloaters, const ElementList& elements)
{
    auto* comic = dynamic_cast<ComicDocument*>(&document);
    const auto& model = comic ? comic->model() : nullptr;
    if (what == DocumentExport::ExportKind::Selection || !model)
        return elements.isEmpty() ? QRectF() : integralRect(ArrayUtils::getElementsFilteredBounds(elements));
    if (what == DocumentExport::ExportKind::Panel) {
        const auto panel = model->currentPanel();
        if (!panel)
            return QRectF();
        return ComicModel::panelImageRect(
            *panel, withFloaters ? panel->overlappingFloatingElements() : ElementList());
    }
    return model->currentPage() ? model->bounds() : QRectF();
}

bool acceptableImage(const QRectF& area, float scale)
{
    return !OffscreenImage::pixelSizeFor(area.size(), scale).isEmpty();
}

// Writes through a temporary file beside the target, renamed into place once whole.
template <class Write> ExportResult saveFile(const QString& path, const Write& write)
{
    AtomicFile file(path);
    if (!file.open())
        return writeFailed(path, file.errorString());
    QString reason;
    if (!write(file, reason)) {
        file.cancel(reason);
        return writeFailed(path, file.errorString());
    }
    if (!file.commit())
        return writeFailed(path, file.errorString());
    return ExportResult();
}

ExportResult printToPdf(
    PrintView& view, int from, int to, const QRectF& paper, const QString& title, const QString& path)
{
    if (isEmptyRect(paper))
        return nothingToExport();
    if (paper.width() > PDFCopyView::kMaxPdfSide || paper.height() > PDFCopyView::kMaxPdfSide)
        return ExportResult::failure(localized("The page would be too large."),
            localized("A PDF page can be at most %1 points wide and high.").arg(PDFCopyView::kMaxPdfSide));
    return saveFile(path, [&](AtomicFile& file, QString& reason) {
        QPdfWriter writer(&file.device());
        writer.setResolution(72);
        writer.setPageMargins(QMarginsF());
        // The page is the content's size: portrait with the given width and height, landscape
        // when wider than high, as the paper of a print would be.
        const QPageSize page = PDFCopyView::pageSizeHolding(paper.size());
        writer.setPageSize(page);
        writer.setCreator(QStringLiteral("Zandrel"));
        writer.setTitle(title);
        const bool printed = PrintView::printPages(
            view, writer, from, to, 1.0f, QRectF(QPointF(), page.size(QPageSize::Point)));
        if (!printed)
            reason = localized("The pages could not be drawn.");
        return printed;
    });
}

} // namespace

ExportResult ExportResult::failure(const QString& message, const QString& explanation)
{
    ExportResult result;
    result.ok = false;
    result.message = message;
    result.explanation = explanation;
    return result;
}

QString DocumentExport::extensionFor(ExportFileType type)
{
    switch (type) {
    case ExportFileType::Jpeg:
        return QStringLiteral("jpg");
    case ExportFileType::Png:
        return QStringLiteral("png");
    case ExportFileType::Pdf:
        return QStringLiteral("pdf");
    case ExportFileType::Eps:
        return QStringLiteral("eps");
    }
    return QString();
}

ExportResult DocumentExport::checkContent(
    ZDLDocument& document, ExportKind what, bool withFloaters, const ElementList& elements)
{
    return isEmptyRect(imageArea(document, what, withFloaters, elements)) ? nothingToExport()
                                                                          : ExportResult();
}

ExportResult DocumentExport::checkContent(const ElementList& elements)
{
    const bool empty = elements.isEmpty() || isEmptyRect(ArrayUtils::getElementsFilteredBounds(elements));
    return empty ? nothingToExport() : ExportResult();
}

QImage DocumentExport::renderImage(ZDLDocument& document, ExportKind what, bool withFloaters,
    const ElementList& elements, float scale, ExportResult* result)
{
    ExportResult failure;
    QImage image;
    const QRectF area = imageArea(document, what, withFloaters, elements);
    auto* comic = dynamic_cast<ComicDocument*>(&document);
    const auto& model = comic ? comic->model() : nullptr;
    if (isEmptyRect(area))
        failure = nothingToExport();
    else if (!acceptableImage(area, scale))
        failure = tooLarge(scale, area);
    else if (what == ExportKind::Selection || !model)
        image = ArrayUtils::getImageForElements(elements, scale);
    else if (what == ExportKind::Panel)
        image = model->getImageOfPanel(model->currentPanel(), withFloaters, scale);
    else
        image = model->getImageOfPage(model->currentPageIndex(), scale);
    if (failure.ok && image.isNull())
        failure = tooLarge(scale, area);
    if (result)
        *result = failure;
    return image;
}

ExportResult DocumentExport::exportImage(ZDLDocument& document, ExportKind what, bool withFloaters,
    const ElementList& elements, ExportFileType type, float resolution, float quality, const QString& path,
    bool recordResolution)
{
    if (!(resolution >= kMinResolution && resolution <= kMaxResolution))
        return ExportResult::failure(localized("The resolution must be between %1 and %2 pixels per inch.")
                                         .arg(double(kMinResolution))
                                         .arg(double(kMaxResolution)));
    ExportResult result;
    const QImage image
        = renderImage(document, what, withFloaters, elements, scaleForResolution(resolution), &result);
    if (!result)
        return result;
    return writeImage(image, path, type,
        type == ExportFileType::Jpeg ? std::optional<float>(quality) : std::nullopt,
        recordResolution ? std::optional<float>(resolution) : std::nullopt);
}

ExportResult DocumentExport::exportElementsImage(const ElementList& elements, float scale,
    ExportFileType type, std::optional<float> quality, const QString& path)
{
    const QRectF area = elements.isEmpty() ? QRectF() : ArrayUtils::getElementsFilteredBounds(elements);
    if (isEmptyRect(area))
        return nothingToExport();
    if (!acceptableImage(integralRect(area), scale))
        return tooLarge(scale, area);
    const QImage image = ArrayUtils::getImageForElements(elements, scale);
    if (image.isNull())
        return tooLarge(scale, area);
    return writeImage(image, path, type, quality, std::nullopt);
}

ExportResult DocumentExport::exportPDF(ZDLDocument& document, ExportKind what, bool withFloaters,
    const ElementList& elements, const QString& path)
{
    auto* comic = dynamic_cast<ComicDocument*>(&document);
    const auto& model = comic ? comic->model() : nullptr;
    if (what == ExportKind::Selection || !model) {
        PartsPrintView view(elements);
        return printToPdf(
            view, 1, 1, ArrayUtils::getElementsFilteredBounds(elements), document.documentTitle(), path);
    }
    if (what == ExportKind::Panel) {
        const auto panel = model->currentPanel();
        if (!panel)
            return nothingToExport();
        const ElementList floaters = withFloaters ? panel->overlappingFloatingElements() : ElementList();
        ComicPrintView view(panel, floaters, *comic);
        return printToPdf(
            view, 1, 1, ComicModel::panelImageRect(*panel, floaters), document.documentTitle(), path);
    }
    ComicPrintView view(*comic);
    const QRectF paper = model->bounds();
    if (what == ExportKind::Page) {
        const int page = int(model->currentPageIndex()) + 1;
        return page < 1 ? nothingToExport()
                        : printToPdf(view, page, page, paper, document.documentTitle(), path);
    }
    return printToPdf(view, 1, int(model->numPages()), paper, document.documentTitle(), path);
}

ExportResult DocumentExport::exportPartsPDF(
    const CharacterDocument& document, const ElementList& onlyElements, const QString& path)
{
    PartsPrintView view(document);
    if (!onlyElements.isEmpty())
        view.showOnlyElements(onlyElements);
    // One page of the content's bounds: tiling is for paper of a fixed size.
    return printToPdf(
        view, 1, 1, QRectF(view.contentOffset(), view.docBounds().size()), document.documentTitle(), path);
}

ExportResult DocumentExport::exportEPS(const CharacterDocument& document, const QString& path)
{
    // The whole character, whatever is selected, on a bounding box of its bounds.
    PartsPrintView view(document);
    const QRectF paper(view.contentOffset(), view.docBounds().size());
    if (isEmptyRect(paper))
        return nothingToExport();
    // What PostScript cannot draw (translucency, blur) becomes pictures at the EPS resolution;
    // for very large parts at a lower one rather than refused, since a lower resolution only
    // softens those parts.
    int dotsPerInch = int(kEpsResolution);
    const QRectF whole = integralRect(QRectF(QPointF(), paper.size()));
    while (dotsPerInch > 9 && !acceptableImage(whole, scaleForResolution(float(dotsPerInch))))
        dotsPerInch /= 2;
    if (!acceptableImage(whole, scaleForResolution(float(dotsPerInch))))
        return tooLarge(scaleForResolution(float(dotsPerInch)), whole);
    EpsPaintDevice device(paper.size(), document.documentTitle(), dotsPerInch);
    if (!PrintView::printPage(view, device, QRectF(QPointF(), paper.size())) || device.data().isEmpty())
        return writeFailed(path, localized("The pages could not be drawn."));
    return writeData(device.data(), path);
}

ExportResult DocumentExport::writeImage(const QImage& image, const QString& path, ExportFileType type,
    std::optional<float> quality, std::optional<float> dpi)
{
    const std::optional<int> dotsPerMetre
        = dpi ? std::optional<int>(int(std::lround(double(*dpi) / kMetresPerInch))) : std::nullopt;
    if (type == ExportFileType::Png) {
        PngWriter::Options options;
        if (dotsPerMetre)
            options.dotsPerMeter = QSize(*dotsPerMetre, *dotsPerMetre);
        const QByteArray file = PngWriter::encode(image, options);
        if (file.isEmpty())
            return writeFailed(path, localized("There is not enough memory to compress the image."));
        return writeData(file, path);
    }
    QImage written(image.size(), QImage::Format_RGB32);
    written.fill(Qt::white);
    {
        QPainter painter(&written);
        painter.drawImage(0, 0, image);
    }
    if (dotsPerMetre) {
        written.setDotsPerMeterX(*dotsPerMetre);
        written.setDotsPerMeterY(*dotsPerMetre);
    }
    return saveFile(path, [&](AtomicFile& file, QString& reason) {
        QImageWriter writer(&file.device(), "jpeg");
        writer.setQuality(quality ? int(std::lround(std::clamp(*quality, 0.0f, 1.0f) * 100)) : 70);
        if (!writer.write(written)) {
            reason = writer.errorString();
            return false;
        }
        return true;
    });
}

ExportResult DocumentExport::writeData(const QByteArray& data, const QString& path)
{
    return saveFile(path, [&](AtomicFile& file, QString&) { return file.write(data); });
}

} // namespace zandrel
