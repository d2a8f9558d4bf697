#pragma once

#include "app/core/ComicDocument.h"
#include "views/ComicView.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QToolButton;

namespace zandrel {

class DocumentWindow;

// The page controls under the comic: previous page, a popup of the pages and next page. Hidden while
// the comic has a single page; the document tells it what to show whenever the page or the number of
// pages changes.
class ComicPageNavigation : public QWidget, public ComicWindowLink {
    Q_OBJECT

public:
    explicit ComicPageNavigation(ComicDocument* document, QWidget* parent = nullptr);
    ~ComicPageNavigation() override;

    void showPageControls(const PageControls& controls) override;
    // The page stays put while a balloon's text is being typed in the comic view.
    bool textEditing() const override;
    // The comic view takes no commands, clicks or keys under the new-comic sheet; afterwards it has
    // the keys and its help is offered in the help area.
    void newComicSheetShown(bool shown) override;
    void setComicView(ComicView* view) { m_view = view; }
    void setHelpArea(QWidget* area) { m_helpArea = area; }

    QToolButton* previousButton() const { return m_previous; }
    QToolButton* nextButton() const { return m_next; }
    QComboBox* pagePopup() const { return m_popup; }

private:
    ComicDocument* m_document;
    QPointer<ComicView> m_view;
    QPointer<QWidget> m_helpArea;
    QToolButton* m_previous;
    QToolButton* m_next;
    QComboBox* m_popup;
};

// A new comic without the new-comic sheet takes the layout the sheet would propose from the user's
// defaults: one page of that size with those rows of panels, the first panel current.
void layOutNewComic(ComicModel& model);
// The new-comic setting the user last chose ("comicWidth", "gutter", "numRows"...), held within what
// a page can be; the proposal where the user never chose.
double newComicDefault(const QString& key);

// Fills a comic document's window: the comic view in its scroll area, the page controls, the editors
// over them and the toolbar.
void buildComicWindowContents(DocumentWindow& window);

} // namespace zandrel
