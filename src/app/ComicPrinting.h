#pragma once

#include <functional>

class QPrintDialog;
class QPrinter;
class QWidget;

namespace zandrel {

class ComicDocument;

// Printing a comic: the print panel of its window and the pages it prints, each comic page tiled
// over as many printer pages as it needs, drawn by the model at the printer's resolution.
namespace ComicPrinting {

// Prints the printer's page range (every page when it names none) of the comic, one unit of the
// comic to one point of paper; false when nothing could be printed (no pages, a range outside the
// comic, a printer that would not start).
bool printComic(const ComicDocument& document, QPrinter& printer);

// The print panel over the window: the page range offered is the comic's, and the comic is
// printed when the user confirms. A failure is told in an alert.
void runPrintPanel(ComicDocument& document, QWidget* window);

// Shows the panel; the default opens it window-modal. Tests replace it to choose and confirm.
using PrintPanelRunner = std::function<void(QPrintDialog& panel)>;
void setPrintPanelRunner(PrintPanelRunner runner);

// Makes the comic documents' "printDocument:" open the print panel, ending balloon text editing
// first.
void install();

} // namespace ComicPrinting

} // namespace zandrel
