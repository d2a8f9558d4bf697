#include "app/ComicPrinting.h"

#include "app/core/ActionNames.h"
#include "app/core/ComicDocument.h"
#include "app/core/ComicPrintView.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"
#include "views/ComicView.h"

#include <QPointer>
#include <QPrintDialog>
#include <QPrinter>
#include <algorithm>
#include <memory>

namespace zandrel {

namespace ComicPrinting {

namespace {

PrintPanelRunner& panelRunner()
{
    static PrintPanelRunner runner = [](QPrintDialog& panel) { panel.open(); };
    return runner;
}

} // namespace

bool printComic(const ComicDocument& document, QPrinter& printer)
{
    ComicPrintView view(document);
    const int last = view.knowsPageRange(PrintView::imageableArea(printer), 1.0f);
    if (last <= 0)
        return false;
    int from = 1;
    int to = last;
    if (printer.printRange() == QPrinter::PageRange || printer.fromPage() != 0 || printer.toPage() != 0) {
        from = std::max(1, printer.fromPage());
        to = printer.toPage() == 0 ? last : std::min(last, printer.toPage());
    }
    return PrintView::printPages(view, printer, from, to);
}

void runPrintPanel(ComicDocument& document, QWidget* window)
{
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    ComicPrintView view(document);
    const int last = view.knowsPageRange(PrintView::imageableArea(*printer), 1.0f);
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
