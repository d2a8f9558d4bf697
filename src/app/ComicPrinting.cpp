#include "app/ComicPrinting.h"

#include "app/core/ActionNames.h"
#include "app/core/ComicDocument.h"
#include "app/core/ComicPrintView.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"
#include "platform/PainterCanvas.h"
#include "views/ComicView.h"

#include <QPainter>
#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <memory>

namespace zandrel {

namespace ComicPrinting {

namespace {

// Device units of the printer in one point of paper, which is one unit of the comic.
double devicePerPoint(const QPrinter& printer)
{
    return printer.resolution() / 72.0;
}

QRectF imageableArea(const QPrinter& printer)
{
    return printer.pageLayout().paintRect(QPageLayout::Point);
}

PrintPanelRunner& panelRunner()
{
    static PrintPanelRunner runner = [](QPrintDialog& panel) { panel.open(); };
    return runner;
}

} // namespace

bool printComic(const ComicDocument& document, QPrinter& printer)
{
    ComicPrintView view(document);
    const int last = view.knowsPageRange(imageableArea(printer), 1.0f);
    if (last <= 0)
        return false;
    int from = 1;
    int to = last;
    if (printer.printRange() == QPrinter::PageRange || printer.fromPage() != 0 || printer.toPage() != 0) {
        from = std::max(1, printer.fromPage());
        to = printer.toPage() == 0 ? last : std::min(last, printer.toPage());
    }
    if (from > to)
        return false;
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    const double unit = devicePerPoint(printer);
    for (int page = from; page <= to; ++page) {
        if (page > from && !printer.newPage())
            return false;
        const QRectF tile = view.rectForPage(page);
        painter.save();
        painter.scale(unit, unit);
        painter.setClipRect(QRectF(QPointF(0, 0), tile.size()));
        {
            PainterCanvas canvas(&painter, CanvasTarget::Printer);
            canvas.translate(-tile.x(), -tile.y());
            view.drawRect(canvas, tile);
            canvas.finish();
        }
        painter.restore();
    }
    return painter.end();
}

void runPrintPanel(ComicDocument& document, QWidget* window)
{
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    ComicPrintView view(document);
    const int last = view.knowsPageRange(imageableArea(*printer), 1.0f);
    auto* panel = new QPrintDialog(printer.get(), window);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowTitle(localized("Print"));
    panel->setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile
        | QAbstractPrintDialog::PrintShowPageSize);
    panel->setMinMax(1, std::max(1, last));
    ComicDocument* printed = &document;
    QObject::connect(panel, &QDialog::accepted, panel, [printer, printed, window] {
        if (!printComic(*printed, *printer))
            appController()->showAlertMessage(localized("The comic could not be printed."),
                localized("The printer did not start, or the pages chosen are not in the comic."), window);
    });
    panelRunner()(*panel);
}

void setPrintPanelRunner(PrintPanelRunner runner)
{
    panelRunner() = runner ? std::move(runner) : [](QPrintDialog& panel) { panel.open(); };
}

void install()
{
    DocumentDialogs::install(kPrintDocumentAction, [](ZDLDocument& document, QObject* window) {
        auto* comic = dynamic_cast<ComicDocument*>(&document);
        auto* widget = qobject_cast<QWidget*>(window);
        if (!comic)
            return;
        // A balloon being typed into is finished before its page is printed.
        if (auto* view = widget ? widget->findChild<ComicView*>() : nullptr)
            view->exitTextEditing();
        runPrintPanel(*comic, widget);
    });
}

} // namespace ComicPrinting

} // namespace zandrel
