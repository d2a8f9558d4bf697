#pragma once

#include "app/core/ZDLAppController.h"
#include "views/ZDLView.h"

#include <QColor>
#include <QFont>
#include <functional>
#include <memory>

class QDrag;
class QLabel;
class QMimeData;
class QPushButton;

namespace zandrel {

class CatalogPickerTool;
class CharacterLibraryItem;
class ComicDocument;

// One shelf of the catalogs (characters or scenery) as a grid of thumbnails with the names under
// them, grouped by the catalog they come from with a heading at the first item of each group. A
// click opens the character into the comic's library; a drag carries it out (its parts file, and its
// parts for a comic to take); the contextual menu deletes, edits, saves a copy of, or copies into
// the user catalog the selected item. Drawing reads no parts file: the thumbnails come from files,
// read and scaled in the background at the size shown.
class CatalogView : public ZDLView {
    Q_OBJECT

public:
    using Shelf = ZDLAppController::CatalogList;

    explicit CatalogView(ComicDocument* document, QWidget* parent = nullptr);
    ~CatalogView() override;

    // Grid, in view points at scale 1.
    static constexpr double kCellPitch = 160.0;
    static constexpr double kItemWidth = 140.0;
    static constexpr double kItemHeight = 100.0;
    static constexpr double kLeftMargin = 20.0;
    static constexpr double kHeadingHeight = 15.0;
    static constexpr double kNameGap = 8.0;
    static constexpr double kNameHeight = 30.0;
    static constexpr double kTopMargin = 30.0;
    // The store header's strip adds to the top margin.
    static constexpr double kStoreHeaderHeight = 22.0;
    static constexpr double kStoreHeaderTop = 8.0;

    // The shelf on show: one of the panel's shelves, not a copy; null shows nothing.
    const std::shared_ptr<Shelf>& catalog() const { return m_catalog; }
    void setCatalog(const std::shared_ptr<Shelf>& catalog);

    qsizetype selectedItemIndex() const { return m_selectedItemIndex; }
    // Ignores values below -1 and past the last item.
    void setSelectedItemIndex(qsizetype index);
    std::shared_ptr<CharacterLibraryItem> selectedItem() const;

    int catalogItemsPerRow() const;
    QRectF getCatalogItemRect(qsizetype index) const;
    QRectF getContentBounds() const override;
    // The item whose rectangle holds the point; -1 for none.
    qsizetype itemIndexAt(const QPointF& point) const;
    double topMargin() const { return m_topMargin; }
    // The width the grid is laid out for, in view points: the scroll area's visible width.
    double visibleWidth() const;

    // --- Commands on the selected item ---
    void openCatalogCharacter();
    void deleteCatalogItem();
    void editCatalogItem();
    void saveACopy();
    void copyToUserCatalog();

    // --- Dragging out ---
    // What a drag of the item carries: its parts file, and the payload of its parts for a comic.
    static QMimeData* mimeDataForItem(CharacterLibraryItem& item);
    void startDragOfSelectedItem();
    // How a drag is run; tests drop its data where they like instead of running the platform's loop.
    using DragRunner = std::function<Qt::DropAction(QDrag&)>;
    static void setDragRunner(DragRunner runner);
    // Where "Save a Copy" writes: asked of the user, the answer given later; tests answer at once.
    using SavePathChooser = std::function<void(
        QWidget* parent, const QString& suggestedName, std::function<void(const QString& path)> completion)>;
    static void setSavePathChooser(SavePathChooser chooser);

    void documentClosing() override;
    ComicDocument* comicDocument() const { return m_comicDocument; }

    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command on the selected item with when it is offered.
    static const ActionTable<CatalogView>& actionTable();

    static const QFont& catalogLabelFont();
    static const QFont& catalogSetNameFont();

    // --- The store header: shown while the application has a store list ---
    // Opens the store's page in the browser and notes the visit.
    void visitArtStore();
    // Builds, rebuilds or removes the header after the store list changed.
    void updateStoreHeader();
    QWidget* storeHeader() const { return m_storeHeader; }
    QPushButton* visitStoreButton() const { return m_visitStoreButton; }
    // Offers the store's products; choosing one downloads and installs it.
    QPushButton* downloadButton() const { return m_downloadButton; }
    // Shown while the store has products newer than the user's last visit.
    QLabel* newProductsNote() const { return m_newProductsNote; }
    // Fills the download menu from the store list: each product, enabled when a version this
    // program reads is newer than the one installed.
    void fillDownloadMenu(QMenu* menu);

protected:
    void drawRect(const QRectF& dirtyRect) override;
    QMenu* contextMenuForView() override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The device size a thumbnail is shown at now.
    QSize thumbnailPixelSize() const;
    void placeStoreHeader();
    void buildStoreHeader();

    std::shared_ptr<CatalogPickerTool> m_catalogTool;
    std::shared_ptr<Shelf> m_catalog;
    qsizetype m_selectedItemIndex = -1;
    double m_topMargin = kTopMargin;
    QColor m_selectedColor;
    ComicDocument* m_comicDocument = nullptr;
    QMenu* m_contextMenu = nullptr;
    int m_laidOutPerRow = 0;
    QWidget* m_storeHeader = nullptr;
    QPushButton* m_visitStoreButton = nullptr;
    QPushButton* m_downloadButton = nullptr;
    QLabel* m_newProductsNote = nullptr;
};

} // namespace zandrel
