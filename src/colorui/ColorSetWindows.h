#pragma once

#include "graphics/ZDLColor.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <memory>

class QPushButton;
class QTableView;

namespace zandrel {

class CharacterModel;
class ColorPopupButton;
class ComicDocument;
class ComicModel;
class CharacterDocument;
class PopupButton;
class ZDLDocument;
class ColorSetWindowController;

// The rows of a colour-set window: column 0 the swatch, column 1 the name, which the user may edit.
// Rows are dragged to reorder them, within the same table only.
class ColorListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    static inline const QString kDragType = QStringLiteral("application/x-zandrel-colordragdata");

    explicit ColorListModel(ColorSetWindowController* owner);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
        const QModelIndex& parent) const override;
    // A drop between rows moves the dragged rows there; a drop onto a row, or rows of another
    // table, are refused.
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
        const QModelIndex& parent) override;

    void reset() { beginResetModel(), endResetModel(); }

private:
    // The dragged rows when the data comes from this table, else nothing.
    QList<int> draggedRows(const QMimeData* data) const;

    ColorSetWindowController* m_owner;
};

// A window listing the named colours of one character (without the fixed none, black and white at
// the front of every palette) where the user adds, edits, renames, reorders and deletes them, each
// an undo step of the document. Row i of the window is palette index i + 3. The window belongs to
// its document's window and closes with it.
class ColorSetWindowController : public QWidget {
    Q_OBJECT

public:
    // The palette entries in front of every list: none, black and white.
    static constexpr int kFixedColors = 3;

    ~ColorSetWindowController() override;

    ZDLDocument* document() const { return m_document; }
    std::shared_ptr<CharacterModel> character() const { return m_character.lock(); }
    const QList<ZDLColorPtr>& colors() const { return m_colors; }
    bool canDelete() const { return m_canDelete; }
    int colorRow() const { return m_colorRow; }

    QTableView* table() const { return m_table; }
    ColorListModel* listModel() const { return m_listModel; }
    ColorPopupButton* colorEditButton() const { return m_colorEditButton; }
    QPushButton* addButton() const { return m_addButton; }
    QPushButton* deleteButton() const { return m_deleteButton; }
    // The row selected alone, or -1.
    int selectedRow() const;
    void selectRow(int row);

    // Opens the colour popup over the row's swatch; every change shows at once, OK makes it one
    // "Edit Color" step, Cancel leaves no trace.
    void editColor(int row);
    // The new-colour sheet, for the selected row or after the last.
    void addColor();
    // Removes the selected colour, or asks for a replacement when the character uses it.
    void deleteColor();
    // Moves the rows (in any order) to stand before the row (0 … count) as one "Rearrange Colors"
    // step. False when nothing would move.
    bool moveRows(QList<int> rows, int before);
    // A new name typed into the table: an "Edit Color" step, made unique by the character.
    void renameColor(int row, const QString& name);

    // Palette changes of the shown character with their undo (the undo keeps the character, so it
    // acts on it whatever the window shows by then).
    static void insertColor(ZDLDocument* document, const std::shared_ptr<CharacterModel>& character,
        const ZDLColorPtr& color, int row);
    static void removeColor(ZDLDocument* document, const std::shared_ptr<CharacterModel>& character, int row);

protected:
    ColorSetWindowController(ZDLDocument* document, QWidget* hostWindow, const QString& nibName);

    // Observes the character's colours and shows them.
    void showCharacter(const std::shared_ptr<CharacterModel>& character);
    // Rebuilds the list from the character; the first colour the list did not hold yet gets selected.
    void needsColorUpdate();
    // May the character's colour go without a replacement?
    virtual bool okToDeleteColor(const ZDLColorPtr& color) const = 0;
    // The document read its file again (a revert): follow its new model.
    virtual void refreshModel() = 0;
    virtual QString titleFormat() const = 0;
    // The row layout above the table (the comic window's character popup).
    QWidget* topBar() const { return m_topBar; }
    void updateTitle();
    void setCanDelete();

private:
    void colorChanged();
    void cancelColorChange();
    void commitColorChange();

    ZDLDocument* m_document;
    std::weak_ptr<CharacterModel> m_character;
    QList<ZDLColorPtr> m_colors;
    QTableView* m_table = nullptr;
    ColorListModel* m_listModel = nullptr;
    ColorPopupButton* m_colorEditButton = nullptr;
    QPushButton* m_addButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QWidget* m_topBar = nullptr;
    int m_colorRow = -1;
    // The value of the colour being edited when its popup opened.
    RgbColor m_colorBeforeEdit;
    bool m_canDelete = false;
};

// The colours of a parts file's character.
class ColorsListWindowController : public ColorSetWindowController {
    Q_OBJECT

public:
    ColorsListWindowController(CharacterDocument* document, QWidget* hostWindow);
    // The window of the document, made on the first call and brought to the front.
    static ColorsListWindowController* showFor(CharacterDocument* document, QWidget* hostWindow);

protected:
    bool okToDeleteColor(const ZDLColorPtr& color) const override;
    void refreshModel() override;
    QString titleFormat() const override;

private:
    CharacterDocument* m_partsDocument;
};

// The colour sets of a comic's characters, one shown at a time, chosen in a popup.
class ComicColorsWindowController : public ColorSetWindowController {
    Q_OBJECT

public:
    ComicColorsWindowController(ComicDocument* document, QWidget* hostWindow);
    ~ComicColorsWindowController() override;
    static ComicColorsWindowController* showFor(ComicDocument* document, QWidget* hostWindow);

    PopupButton* characterPopup() const { return m_characterPopup; }
    void updateCharacterPopup();
    void showColorsFor(const std::shared_ptr<CharacterModel>& character);

protected:
    bool okToDeleteColor(const ZDLColorPtr& color) const override;
    void refreshModel() override;
    QString titleFormat() const override;

private:
    void observeComic();
    // The popup shows the shown character, or its first item without one.
    void selectShownCharacter();
    void charactersChanged(const Value& oldValue);

    ComicDocument* m_comicDocument;
    std::weak_ptr<ComicModel> m_comic;
    PopupButton* m_characterPopup = nullptr;
};

} // namespace zandrel
