#pragma once

#include "app/core/ZDLDocument.h"

#include <QWidget>
#include <functional>
#include <memory>

class QCheckBox;
class QPrintDialog;
class QPrinter;
class QSpinBox;

namespace zandrel {

class PrintView;

// The page-setup accessory of the print panel: the scale the document prints at, or each page
// made to fit the paper (the scale field then shows the scale that gives).
class PageSetupAccessory : public QWidget {
    Q_OBJECT
public:
    PageSetupAccessory(
        const ZDLDocument::PageSetup& setup, const QString& fitTitle, QWidget* parent = nullptr);

    ZDLDocument::PageSetup pageSetup() const;
    // The scaling that fitting gives on the paper chosen; shown while fitting is on.
    void showFittingScale(float scaling);

    // The least and greatest scale offered, in per cent.
    static constexpr int kMinPercent = 1;
    static constexpr int kMaxPercent = 1000;

signals:
    void changed();

private:
    void fitToggled();

    QSpinBox* m_scale = nullptr;
    QCheckBox* m_fit = nullptr;
    // The scale the user typed, kept while fitting shows another.
    int m_chosenPercent = 100;
};

// Printing a document from its window: the print panel with its page-setup accessory, and the
// pages it prints (a comic's pages, or a character's parts, tiled over as many sheets as they need
// at the scaling), drawn by the model at the printer's resolution.
namespace DocumentPrinting {

// The comic's pages or the character's parts; null for a document of another kind.
std::unique_ptr<PrintView> printViewFor(const ZDLDocument& document);
// The PDF file the print panel proposes for the document when it prints to a file.
QString proposedPdfPath(const ZDLDocument& document);
// The scaling the page setup gives the view on the printer's paper: its factor, or the one that
// fits each page; 0 when there is nothing to print.
float scalingFor(const ZDLDocument::PageSetup& setup, PrintView& view, const QPrinter& printer);

// Prints the printer's page range (every page when it names none) of the document at the scaling
// of its page setup; false when nothing could be printed (no pages, a range outside them, a
// printer that would not start).
bool printDocument(const ZDLDocument& document, QPrinter& printer);

// The print panel over the window, with the page-setup accessory: the page range offered follows
// the scaling chosen, and on confirming the page setup becomes the document's and the document is
// printed. A failure is told in an alert.
void runPrintPanel(ZDLDocument& document, QWidget* window);

// Shows the panel; the default opens it window-modal. Tests replace it to choose and confirm.
using PrintPanelRunner = std::function<void(QPrintDialog& panel)>;
void setPrintPanelRunner(PrintPanelRunner runner);

// Makes "printDocument:" of comic and character documents open the print panel, ending balloon
// text editing first.
void install();

} // namespace DocumentPrinting

} // namespace zandrel
