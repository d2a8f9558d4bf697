#include "app/DocumentPrinting.h"

#include "app/FileDialogFolder.h"
#include "app/core/ActionNames.h"
#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "app/core/ComicPrintView.h"
#include "app/core/DocumentDialogs.h"
#include "app/core/PartsPrintView.h"
#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"
#include "views/BalloonEditingView.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QSpinBox>
#include <algorithm>
#include <cmath>

namespace zandrel {

// --- The page-setup accessory ---

PageSetupAccessory::PageSetupAccessory(
    const ZDLDocument::PageSetup& setup, const QString& fitTitle, QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("pageSetupAccessory"));
    // The print panel names its tab after the widget's title.
    setWindowTitle(localized("Page Setup"));
    m_scale = new QSpinBox(this);
    m_scale->setObjectName(QStringLiteral("scale"));
    m_scale->setRange(kMinPercent, kMaxPercent);
    m_scale->setSuffix(localized(" %"));
    m_chosenPercent
        = std::clamp(int(std::lround(double(setup.scalingFactor) * 100)), kMinPercent, kMaxPercent);
    m_scale->setValue(m_chosenPercent);
    m_fit = new QCheckBox(fitTitle, this);
    m_fit->setObjectName(QStringLiteral("fitsPaper"));
    m_fit->setChecked(setup.fitsPaper);
    m_scale->setEnabled(!setup.fitsPaper);
    auto* layout = new QFormLayout(this);
    layout->setFieldGrowthPolicy(QFormLayout::FieldsStayAtSizeHint);
    layout->addRow(localized("Scale:"), m_scale);
    layout->addRow(QString(), m_fit);
    connect(m_scale, &QSpinBox::valueChanged, this, [this](int percent) {
        if (!m_fit->isChecked())
            m_chosenPercent = percent;
        emit changed();
    });
    connect(m_fit, &QCheckBox::toggled, this, [this] { fitToggled(); });
}

ZDLDocument::PageSetup PageSetupAccessory::pageSetup() const
{
    return { float(m_chosenPercent) / 100.0f, m_fit->isChecked() };
}

void PageSetupAccessory::showFittingScale(float scaling)
{
    if (!m_fit->isChecked() || !(scaling > 0))
        return;
    const QSignalBlocker quiet(m_scale);
    m_scale->setValue(std::clamp(int(std::lround(double(scaling) * 100)), kMinPercent, kMaxPercent));
}

void PageSetupAccessory::fitToggled()
{
    m_scale->setEnabled(!m_fit->isChecked());
    if (!m_fit->isChecked()) {
        const QSignalBlocker quiet(m_scale);
        m_scale->setValue(m_chosenPercent);
    }
    emit changed();
}

namespace DocumentPrinting {

namespace {

PrintPanelRunner& panelRunner()
{
    static PrintPanelRunner runner = [](QPrintDialog& panel) { panel.open(); };
    return runner;
}

// The last page of the view on the printer's paper at the page setup's scaling.
int lastPage(const ZDLDocument::PageSetup& setup, PrintView& view, const QPrinter& printer, float* scaling)
{
    const float s = scalingFor(setup, view, printer);
    if (scaling)
        *scaling = s;
    return s > 0 ? view.knowsPageRange(PrintView::imageableArea(printer), s) : 0;
}

} // namespace

QString proposedPdfPath(const ZDLDocument& document)
{
    // A comic or character not yet saved is named after its model, as saving it would be.
    const QString proposed = document.proposedFileName();
    const QString name = !document.filePath().isEmpty() ? document.documentNameWithoutExtension()
        : proposed.isEmpty()                            ? document.displayName()
                                                        : QFileInfo(proposed).completeBaseName();
    return FileDialogFolder::proposedPath(document.filePath(), name + QStringLiteral(".pdf"));
}

std::unique_ptr<PrintView> printViewFor(const ZDLDocument& document)
{
    if (const auto* comic = dynamic_cast<const ComicDocument*>(&document))
        return std::make_unique<ComicPrintView>(*comic);
    if (const auto* character = dynamic_cast<const CharacterDocument*>(&document))
        return std::make_unique<PartsPrintView>(*character);
    return nullptr;
}

float scalingFor(const ZDLDocument::PageSetup& setup, PrintView& view, const QPrinter& printer)
{
    if (setup.fitsPaper)
        return view.scalingToFit(PrintView::imageableArea(printer));
    return setup.scalingFactor > 0 && std::isfinite(setup.scalingFactor) ? setup.scalingFactor : 0.0f;
}

bool printDocument(const ZDLDocument& document, QPrinter& printer)
{
    const auto view = printViewFor(document);
    if (!view)
        return false;
    float scaling = 0;
    const int last = lastPage(document.pageSetup(), *view, printer, &scaling);
    if (last <= 0)
        return false;
    int from = 1;
    int to = last;
    if (printer.printRange() == QPrinter::PageRange || printer.fromPage() != 0 || printer.toPage() != 0) {
        from = std::max(1, printer.fromPage());
        to = printer.toPage() == 0 ? last : std::min(last, printer.toPage());
    }
    return PrintView::printPages(*view, printer, from, to, scaling);
}

void runPrintPanel(ZDLDocument& document, QWidget* window)
{
    const bool comic = dynamic_cast<ComicDocument*>(&document) != nullptr;
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    // The job's name, and the title of a PDF printed to a file.
    printer->setDocName(document.documentTitle());
    // Without a printer the panel prints to a PDF file: proposed beside the document, as the file
    // dialogs propose, and not in the working folder. Where printers are, the panel starts on one.
    if (printer->outputFormat() == QPrinter::PdfFormat || printer->printerName().isEmpty())
        printer->setOutputFileName(proposedPdfPath(document));
    auto* panel = new QPrintDialog(printer.get(), window);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setWindowTitle(localized("Print"));
    panel->setOptions(QAbstractPrintDialog::PrintPageRange | QAbstractPrintDialog::PrintToFile
        | QAbstractPrintDialog::PrintShowPageSize);
    auto* accessory = new PageSetupAccessory(document.pageSetup(),
        comic ? localized("Fit each page to the paper") : localized("Fit the parts to the paper"), panel);
    panel->setOptionTabs({ accessory });
    ZDLDocument* printed = &document;
    // The pages offered follow the scaling, on the paper the printer has now.
    auto offerPages = [panel, accessory, printer, printed] {
        const auto view = printViewFor(*printed);
        float scaling = 0;
        const int last = view ? lastPage(accessory->pageSetup(), *view, *printer, &scaling) : 0;
        accessory->showFittingScale(scaling);
        panel->setMinMax(1, std::max(1, last));
    };
    offerPages();
    QObject::connect(accessory, &PageSetupAccessory::changed, panel, offerPages);
    QObject::connect(panel, &QDialog::accepted, panel, [printer, printed, accessory, window, comic] {
        printed->setPageSetup(accessory->pageSetup());
        if (printDocument(*printed, *printer))
            return;
        if (comic)
            appController()->showAlertMessage(localized("The comic could not be printed."),
                localized("The printer did not start, or the pages chosen are not in the comic."), window);
        else
            appController()->showAlertMessage(localized("The character could not be printed."),
                localized("The printer did not start, or the pages chosen are not in the print."), window);
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
        auto* widget = qobject_cast<QWidget*>(window);
        if (!printViewFor(document))
            return;
        // A balloon being typed into is finished before it is printed.
        if (widget) {
            for (auto* view : widget->findChildren<BalloonEditingView*>())
                view->exitTextEditing();
        }
        runPrintPanel(document, widget);
    });
}

} // namespace DocumentPrinting

} // namespace zandrel
