#pragma once

#include "app/core/ComicDocument.h"
#include "app/core/ZDLAppController.h"

#include <QMenu>
#include <QPointer>
#include <QToolButton>
#include <QWidget>
#include <functional>
#include <memory>

namespace zandrel {

class CatalogPaneHost;
class CatalogView;
class CharacterLibraryItem;
class ViewTabs;
class ZDLScrollArea;

// What the panel asks of the view on its library side: the parts file it shows, which part type,
// and the end of the document.
class LibraryAreaView {
public:
    virtual ~LibraryAreaView() = default;
    // The widget filling the library area.
    virtual QWidget* libraryWidget() = 0;
    virtual std::shared_ptr<CharacterLibraryItem> currentCharacter() const = 0;
    virtual void setCurrentCharacter(const std::shared_ptr<CharacterLibraryItem>& item) = 0;
    // Shows the part type again (after the file changed); -1 is the whole character.
    virtual void viewPartType(int type) = 0;
    virtual void documentClosing() = 0;
};

// Makes the library side for a comic document; its controls may go into the band above it.
using LibraryAreaFactory
    = std::function<std::unique_ptr<LibraryAreaView>(ComicDocument* document, QWidget* controlsBand)>;

// The comic window's catalog and library panel: a strip of tabs over either the catalog area, a grid
// of one shelf of the catalogs ("Vivaviv Izazuda" for characters, "Scenery"), or the library area,
// one parts file of the comic's character library, each of which has a closeable tab after the two
// shelves. Clicking a tab shows its shelf or parts file; clicking the tab already on show opens or
// closes the pane, which then keeps only its tabs. The add button offers the open character documents
// or an open panel. The shelves and tabs follow the catalogs and the parts files saved meanwhile.
class CatalogAndLibraryController : public QWidget, public CatalogPanelLink {
    Q_OBJECT

public:
    using Shelf = ZDLAppController::CatalogList;

    explicit CatalogAndLibraryController(ComicDocument* document, QWidget* parent = nullptr);
    ~CatalogAndLibraryController() override;

    // The library side of panels made from now on; an empty factory restores the standard one.
    static void setLibraryAreaFactory(LibraryAreaFactory factory);
    // The open panel of "Add Other…": the chosen files, given later; tests answer at once.
    using OpenPanelChooser = std::function<void(QWidget* parent, std::function<void(const QStringList&)>)>;
    static void setOpenPanelChooser(OpenPanelChooser chooser);

    void documentClosing();
    void updateCatalogLists();
    void updateViewTabs();
    void viewTabClicked();
    void addCharacter();
    void addCharacterWithDialog();
    void addCharacterFromMenu(const QString& path);

    // --- CatalogPanelLink ---
    void showCharacterLibraryItem(const std::shared_ptr<CharacterLibraryItem>& item) override;
    void catalogViewOpenChanged(bool open) override;
    void comicModelReplaced() override;

    ViewTabs* libraryViewTabs() const { return m_tabs; }
    CatalogView* catalogView() const { return m_catalogView; }
    LibraryAreaView* libraryView() const { return m_libraryView.get(); }
    QWidget* libraryViewBase() const { return m_libraryViewBase; }
    QWidget* catalogViewBase() const { return m_catalogViewBase; }
    QToolButton* addCharacterButton() const { return m_addCharacterButton; }
    // The menu of the add button while it is shown.
    QMenu* addCharacterMenu() const { return m_addMenu; }
    const std::shared_ptr<Shelf>& characterList() const { return m_characterList; }
    const std::shared_ptr<Shelf>& backgroundList() const { return m_backgroundList; }
    bool firstEntry() const { return m_firstEntry; }

private:
    void needsCatalogUpdate(const QString& catalogFile, const QString& characterName);
    void needsCharacterUpdate(const QString& characterFile);
    void catalogCharacterDeleted(const QString& catalogFile);
    void showLibraryArea(bool library);
    void enterLibraryArea();
    // The window's content that slides this pane, when it is in one.
    CatalogPaneHost* paneHost() const;
    // Opens the pane, or toggles it when asked.
    void openPane(bool toggle);
    std::shared_ptr<CharacterLibraryItem> libraryItemFor(const void* represented) const;

    ComicDocument* m_comicDocument;
    ViewTabs* m_tabs;
    QToolButton* m_moreTabsButton;
    QToolButton* m_addCharacterButton;
    QWidget* m_body;
    QWidget* m_catalogViewBase;
    QWidget* m_libraryViewBase;
    QWidget* m_libraryItemPropsView;
    CatalogView* m_catalogView;
    ZDLScrollArea* m_catalogScrollView;
    std::unique_ptr<LibraryAreaView> m_libraryView;
    QPointer<QMenu> m_addMenu;
    std::shared_ptr<Shelf> m_characterList;
    std::shared_ptr<Shelf> m_backgroundList;
    bool m_firstEntry = true;
    bool m_open = true;
    bool m_hostConnected = false;
};

} // namespace zandrel
