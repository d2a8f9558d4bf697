#include "colorui/ColorSetWindows.h"

#include "app/core/CharacterDocument.h"
#include "app/core/ComicDocument.h"
#include "charmodel/CharacterModel.h"
#include "colorui/ColorControlDrawing.h"
#include "colorui/ColorPopups.h"
#include "colorui/ColorSheets.h"
#include "colorui/ColorSwatchGrid.h"
#include "comicmodel/ComicModel.h"
#include "panels/DialogController.h"
#include "panels/PopupButton.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/PainterCanvas.h"
#include "platform/UndoManager.h"

#include <QDataStream>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMimeData>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>
#include <algorithm>

namespace zandrel {

namespace {

constexpr int kRowHeight = 22;
constexpr int kSwatchColumnWidth = 44;

// Draws column 0 as a framed swatch of the row's colour.
class SwatchDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        if (index.column() != 0) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        const auto color = RgbColor::fromQColor(index.data(Qt::UserRole).value<QColor>());
        painter->save();
        PainterCanvas canvas(painter);
        drawColorCell(canvas, color, QRectF(option.rect).adjusted(4, 2, -4, -2));
        painter->restore();
    }
};

} // namespace

// --- Rows ---

ColorListModel::ColorListModel(ColorSetWindowController* owner)
    : QAbstractTableModel(owner)
    , m_owner(owner)
{
}

int ColorListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_owner->colors().size());
}

int ColorListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant ColorListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= m_owner->colors().size())
        return {};
    const ZDLColorPtr& color = m_owner->colors().at(index.row());
    if (role == Qt::UserRole)
        return color->color().toQColor();
    if (index.column() == 1 && (role == Qt::DisplayRole || role == Qt::EditRole))
        return color->name();
    if (index.column() == 0 && role == Qt::ToolTipRole)
        return localized("Click to edit the color");
    return {};
}

bool ColorListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || index.column() != 1 || index.row() >= m_owner->colors().size())
        return false;
    m_owner->renameColor(index.row(), value.toString());
    return true;
}

Qt::ItemFlags ColorListModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = Qt::ItemIsDropEnabled;
    if (!index.isValid())
        return flags;
    // Rows take no drop onto themselves: a drop lands between rows.
    flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    if (index.column() == 1)
        flags |= Qt::ItemIsEditable;
    return flags;
}

QVariant ColorListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return section == 0 ? localized("Color") : localized("Name");
    return {};
}

QStringList ColorListModel::mimeTypes() const
{
    return { kDragType };
}

QMimeData* ColorListModel::mimeData(const QModelIndexList& indexes) const
{
    QList<int> rows;
    for (const QModelIndex& index : indexes) {
        if (index.isValid() && !rows.contains(index.row()))
            rows.append(index.row());
    }
    std::sort(rows.begin(), rows.end());
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    // The table the rows come from, so that another window's rows are refused.
    stream << quint64(quintptr(this)) << quint32(rows.size());
    for (int row : rows)
        stream << qint32(row);
    auto* data = new QMimeData;
    data->setData(kDragType, bytes);
    return data;
}

// The drag copies nothing: the drop moves the rows itself, so the view must not remove any.
Qt::DropActions ColorListModel::supportedDragActions() const
{
    return Qt::CopyAction;
}

Qt::DropActions ColorListModel::supportedDropActions() const
{
    return Qt::CopyAction | Qt::MoveAction;
}

QList<int> ColorListModel::draggedRows(const QMimeData* data) const
{
    if (!data || !data->hasFormat(kDragType))
        return {};
    QByteArray bytes = data->data(kDragType);
    QDataStream stream(&bytes, QIODevice::ReadOnly);
    quint64 source = 0;
    quint32 count = 0;
    stream >> source >> count;
    // Another program may drop data of this type: nothing in it is trusted beyond the rows there are.
    if (stream.status() != QDataStream::Ok || source != quint64(quintptr(this))
        || count > quint32(rowCount()))
        return {};
    QList<int> rows;
    for (quint32 i = 0; i < count; ++i) {
        qint32 row = -1;
        stream >> row;
        if (stream.status() != QDataStream::Ok || row < 0 || row >= rowCount())
            return {};
        rows.append(row);
    }
    return rows;
}

bool ColorListModel::canDropMimeData(
    const QMimeData* data, Qt::DropAction, int row, int, const QModelIndex& parent) const
{
    return !parent.isValid() && row <= rowCount() && !draggedRows(data).isEmpty();
}

bool ColorListModel::dropMimeData(
    const QMimeData* data, Qt::DropAction action, int row, int column, const QModelIndex& parent)
{
    if (!canDropMimeData(data, action, row, column, parent))
        return false;
    // Below the last row.
    if (row < 0)
        row = rowCount();
    return m_owner->moveRows(draggedRows(data), row);
}

// --- The window ---

ColorSetWindowController::ColorSetWindowController(
    ZDLDocument* document, QWidget* hostWindow, const QString& nibName)
    : QWidget(hostWindow ? hostWindow->window() : nullptr, Qt::Tool)
    , m_document(document)
{
    setObjectName(nibName);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_topBar = new QWidget(this);
    m_topBar->setLayout(new QHBoxLayout);
    m_topBar->layout()->setContentsMargins(0, 0, 0, 0);
    m_topBar->hide();
    layout->addWidget(m_topBar);

    m_listModel = new ColorListModel(this);
    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("colorTable"));
    m_table->setModel(m_listModel);
    m_table->setItemDelegate(new SwatchDelegate(m_table));
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_table->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    m_table->setDragEnabled(true);
    m_table->setAcceptDrops(true);
    m_table->setDragDropMode(QAbstractItemView::DragDrop);
    m_table->setDragDropOverwriteMode(false);
    m_table->setDropIndicatorShown(true);
    m_table->setShowGrid(false);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(kRowHeight);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->setColumnWidth(0, kSwatchColumnWidth);
    layout->addWidget(m_table);
    // A click on a swatch opens its colour.
    connect(m_table, &QTableView::clicked, this, [this](const QModelIndex& index) {
        if (index.column() == 0) {
            editColor(index.row());
            selectRow(index.row());
        }
    });
    connect(
        m_table->selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] { setCanDelete(); });

    auto* buttons = new QHBoxLayout;
    m_addButton = new QPushButton(QStringLiteral("+"), this);
    m_addButton->setObjectName(QStringLiteral("addColor"));
    m_addButton->setToolTip(localized("Add a color"));
    m_deleteButton = new QPushButton(QStringLiteral("\u2212"), this);
    m_deleteButton->setObjectName(QStringLiteral("deleteColor"));
    m_deleteButton->setToolTip(localized("Delete the selected color"));
    for (QPushButton* button : { m_addButton, m_deleteButton }) {
        button->setFixedWidth(32);
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(m_addButton, &QPushButton::clicked, this, [this] { addColor(); });
    connect(m_deleteButton, &QPushButton::clicked, this, [this] { deleteColor(); });

    // The well that edits a colour lies hidden over the clicked swatch; its popup opens beside it.
    m_colorEditButton = new ColorPopupButton(this);
    m_colorEditButton->setObjectName(QStringLiteral("colorEditButton"));
    m_colorEditButton->hide();
    m_colorEditButton->setModeless(true);
    m_colorEditButton->setAttachmentSide(1);
    connect(m_colorEditButton, &PopupWell::action, this, [this] { colorChanged(); });
    m_colorEditButton->setCancelHandler([this](PopupWell*) { cancelColorChange(); });
    m_colorEditButton->setCommitHandler([this](PopupWell*) { commitColorChange(); });

    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, kDocumentClosingNotification, m_document, [this](const Notification&) {
        m_document = nullptr;
        NotificationCenter::defaultCenter().removeObserver(this);
        m_character.reset();
        m_colors.clear();
        m_listModel->reset();
        close();
    });
    // A revert installs another model; the views are told to redraw whole then.
    center.addObserver(
        this, kUpdateDocumentViewsNotification, m_document, [this](const Notification&) { refreshModel(); });
    // The title names the document as its window does, through saves under another name too.
    if (QWidget* documentWindow = parentWidget())
        connect(documentWindow, &QWidget::windowTitleChanged, this, [this] { updateTitle(); });
    resize(300, 380);
    setCanDelete();
}

ColorSetWindowController::~ColorSetWindowController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void ColorSetWindowController::updateTitle()
{
    if (m_document)
        setWindowTitle(titleFormat().arg(m_document->displayName()));
}

void ColorSetWindowController::showCharacter(const std::shared_ptr<CharacterModel>& character)
{
    const std::shared_ptr<CharacterModel> shown = m_character.lock();
    if (shown != character) {
        if (shown)
            NotificationCenter::defaultCenter().removeObserver(
                this, kUpdateModelColorsNotification, shown.get());
        m_character = character;
        if (character) {
            NotificationCenter::defaultCenter().addObserver(this, kUpdateModelColorsNotification,
                character.get(), [this](const Notification&) { needsColorUpdate(); });
        }
    }
    const QList<ZDLColorPtr> shownBefore = m_colors;
    m_colors.clear();
    if (character)
        m_colors = character->colors().mid(kFixedColors);
    // The same colours with a new name or value: the rows redraw, and a name being typed in the
    // table keeps its editor.
    if (m_colors == shownBefore && !m_colors.isEmpty())
        emit m_listModel->dataChanged(
            m_listModel->index(0, 0), m_listModel->index(int(m_colors.size()) - 1, 1));
    else
        m_listModel->reset();
    setCanDelete();
}

void ColorSetWindowController::needsColorUpdate()
{
    const QList<ZDLColorPtr> old = m_colors;
    const int selected = selectedRow();
    showCharacter(m_character.lock());
    // A colour edited or renamed: the rows and their selection stay as they are.
    if (m_colors == old)
        return;
    if (m_colors.size() > old.size()) {
        for (int row = 0; row < m_colors.size(); ++row) {
            if (!old.contains(m_colors.at(row))) {
                selectRow(row);
                m_table->scrollTo(m_listModel->index(row, 0));
                return;
            }
        }
    }
    if (selected >= 0 && selected < m_colors.size())
        selectRow(selected);
}

int ColorSetWindowController::selectedRow() const
{
    const QModelIndexList rows = m_table->selectionModel()->selectedRows();
    return rows.size() == 1 ? rows.first().row() : -1;
}

void ColorSetWindowController::selectRow(int row)
{
    m_table->clearSelection();
    if (row >= 0 && row < m_colors.size())
        m_table->selectRow(row);
    setCanDelete();
}

void ColorSetWindowController::setCanDelete()
{
    m_canDelete = m_table->selectionModel()->hasSelection() && !m_colors.isEmpty();
    m_deleteButton->setEnabled(m_canDelete);
    m_addButton->setEnabled(bool(m_character.lock()));
}

// --- Editing a colour ---

void ColorSetWindowController::editColor(int row)
{
    if (row < 0 || row >= m_colors.size())
        return;
    m_colorRow = row;
    const QRect cell = m_table->visualRect(m_listModel->index(row, 0));
    m_colorEditButton->setGeometry(QRect(m_table->viewport()->mapTo(this, cell.topLeft()), cell.size()));
    m_colorBeforeEdit = m_colors.at(row)->color();
    m_colorEditButton->setColor(m_colorBeforeEdit);
    m_colorEditButton->popupColorPanel();
}

// While the popup is open the colour follows it without undo steps; the edit becomes one step when
// the popup commits.
void ColorSetWindowController::colorChanged()
{
    if (m_colorRow < 0 || m_colorRow >= m_colors.size() || !m_document)
        return;
    UndoManager* undo = m_document->undoManager();
    undo->disableUndoRegistration();
    m_colors.at(m_colorRow)->setColor(m_colorEditButton->color());
    undo->enableUndoRegistration();
    m_table->viewport()->update();
}

void ColorSetWindowController::cancelColorChange()
{
    if (m_colorRow < 0 || m_colorRow >= m_colors.size() || !m_document)
        return;
    UndoManager* undo = m_document->undoManager();
    undo->disableUndoRegistration();
    m_colors.at(m_colorRow)->setColor(m_colorBeforeEdit);
    undo->enableUndoRegistration();
    m_table->viewport()->update();
}

void ColorSetWindowController::commitColorChange()
{
    if (m_colorRow < 0 || m_colorRow >= m_colors.size() || !m_document)
        return;
    const RgbColor chosen = m_colorEditButton->color();
    cancelColorChange();
    // The model records the change as "Edit Color".
    if (!(chosen == m_colorBeforeEdit))
        m_colors.at(m_colorRow)->setColor(chosen);
    m_table->viewport()->update();
}

void ColorSetWindowController::renameColor(int row, const QString& name)
{
    if (row < 0 || row >= m_colors.size() || name.trimmed().isEmpty() || name == m_colors.at(row)->name())
        return;
    m_colors.at(row)->setName(name.trimmed());
}

// --- Adding, deleting and moving ---

void ColorSetWindowController::addColor()
{
    const std::shared_ptr<CharacterModel> character = m_character.lock();
    if (!character || !m_document)
        return;
    const int selected = selectedRow();
    const int row = selected >= 0 ? selected : int(m_colors.size());
    const RgbColor start = selected >= 0 ? m_colors.at(selected)->color() : RgbColor(0.0, 0.0, 1.0);
    DialogController::create<NewColorDialogController>(this, m_document, character, row + kFixedColors, start)
        ->showWindow();
}

void ColorSetWindowController::deleteColor()
{
    const std::shared_ptr<CharacterModel> character = m_character.lock();
    const int row = selectedRow();
    if (!character || !m_document || row < 0)
        return;
    const ZDLColorPtr color = m_colors.at(row);
    if (okToDeleteColor(color)) {
        removeColor(m_document, character, row);
        setCanDelete();
        return;
    }
    DialogController::create<DeleteUsedColorController>(color, character, m_document, this)->showWindow();
}

void ColorSetWindowController::insertColor(ZDLDocument* document,
    const std::shared_ptr<CharacterModel>& character, const ZDLColorPtr& color, int row)
{
    if (!document || !character || !color)
        return;
    UndoManager* undo = document->undoManager();
    std::weak_ptr<CharacterModel> weak = character;
    undo->registerUndo(character.get(), [document, weak, row] {
        if (auto target = weak.lock())
            removeColor(document, target, row);
    });
    if (!undo->isUndoing())
        undo->setActionName(localized("Add Color"));
    character->insertColor(color, row + kFixedColors);
}

void ColorSetWindowController::removeColor(
    ZDLDocument* document, const std::shared_ptr<CharacterModel>& character, int row)
{
    if (!document || !character || row < 0 || row + kFixedColors >= character->colors().size())
        return;
    const ZDLColorPtr color = character->colors().at(row + kFixedColors);
    if (color->locked())
        return;
    UndoManager* undo = document->undoManager();
    std::weak_ptr<CharacterModel> weak = character;
    undo->registerUndo(character.get(), [document, weak, color, row] {
        if (auto target = weak.lock())
            insertColor(document, target, color, row);
    });
    if (!undo->isUndoing())
        undo->setActionName(localized("Remove Color"));
    character->removeColorAtIndex(row + kFixedColors);
}

namespace {

// Puts the palette in the order given, with the order before as its undo.
void setPaletteOrder(
    ZDLDocument* document, const std::shared_ptr<CharacterModel>& character, const QList<ZDLColorPtr>& order)
{
    const QList<ZDLColorPtr> before = character->colors();
    std::weak_ptr<CharacterModel> weak = character;
    document->undoManager()->registerUndo(character.get(), [document, weak, before] {
        if (auto target = weak.lock())
            setPaletteOrder(document, target, before);
    });
    character->setColors(order);
}

} // namespace

bool ColorSetWindowController::moveRows(QList<int> rows, int before)
{
    const std::shared_ptr<CharacterModel> character = m_character.lock();
    if (!character || !m_document || rows.isEmpty())
        return false;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    if (rows.first() < 0 || rows.last() >= m_colors.size() || before < 0 || before > m_colors.size())
        return false;
    QList<ZDLColorPtr> moved;
    int at = before;
    for (int row : rows) {
        moved.append(m_colors.at(row));
        if (row < before)
            --at;
    }
    QList<ZDLColorPtr> order = m_colors;
    for (auto row = rows.rbegin(); row != rows.rend(); ++row)
        order.removeAt(*row);
    for (int i = 0; i < moved.size(); ++i)
        order.insert(at + i, moved.at(i));
    if (order == m_colors)
        return false;
    // The reorder is one step that keeps every colour in the palette throughout: taking a colour out
    // and putting it back would make the defaults that use it fall back to black or white.
    QList<ZDLColorPtr> palette = character->colors().mid(0, kFixedColors);
    palette.append(order);
    setPaletteOrder(m_document, character, palette);
    m_document->undoManager()->setActionName(localized("Rearrange Colors"));
    m_table->clearSelection();
    for (int i = 0; i < moved.size(); ++i)
        m_table->selectionModel()->select(
            m_listModel->index(at + i, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    setCanDelete();
    return true;
}

namespace {

// The document window's colour window, made on the first call, brought to the front.
template <class Window, class Document> Window* showWindowOf(Document* document, QWidget* hostWindow)
{
    QWidget* top = hostWindow ? hostWindow->window() : nullptr;
    auto* window = top ? top->findChild<Window*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    if (!window)
        window = new Window(document, hostWindow);
    window->show();
    window->raise();
    window->activateWindow();
    return window;
}

} // namespace

// --- A character's window ---

ColorsListWindowController::ColorsListWindowController(CharacterDocument* document, QWidget* hostWindow)
    : ColorSetWindowController(document, hostWindow, QStringLiteral("ColorsListWindow"))
    , m_partsDocument(document)
{
    updateTitle();
    showCharacter(document->model());
}

ColorsListWindowController* ColorsListWindowController::showFor(
    CharacterDocument* document, QWidget* hostWindow)
{
    return showWindowOf<ColorsListWindowController>(document, hostWindow);
}

bool ColorsListWindowController::okToDeleteColor(const ZDLColorPtr& color) const
{
    const std::shared_ptr<CharacterModel> shown = character();
    return shown && shown->okToDeleteColor(color.get());
}

void ColorsListWindowController::refreshModel()
{
    if (document() && m_partsDocument->model() != character())
        showCharacter(m_partsDocument->model());
}

QString ColorsListWindowController::titleFormat() const
{
    return localized("%1 colors");
}

// --- A comic's window ---

ComicColorsWindowController::ComicColorsWindowController(ComicDocument* document, QWidget* hostWindow)
    : ColorSetWindowController(document, hostWindow, QStringLiteral("ComicColorsWindow"))
    , m_comicDocument(document)
{
    m_characterPopup = new PopupButton(topBar());
    m_characterPopup->setObjectName(QStringLiteral("characterPopup"));
    topBar()->layout()->addWidget(m_characterPopup);
    topBar()->show();
    connect(m_characterPopup, &PopupButton::activated, this, [this](QAction* item) {
        const void* chosen = PopupButton::representedObjectOf(item).value<void*>();
        if (const auto comic = m_comic.lock(); comic && chosen) {
            for (const auto& candidate : comic->characters()) {
                if (candidate.get() == chosen)
                    showColorsFor(candidate);
            }
        }
    });
    updateTitle();
    observeComic();
    updateCharacterPopup();
    const std::shared_ptr<ComicModel> comic = m_comic.lock();
    showColorsFor(comic && !comic->characters().empty() ? comic->characters().front() : nullptr);
}

ComicColorsWindowController::~ComicColorsWindowController()
{
    if (auto comic = m_comic.lock())
        comic->removeObservers(this);
}

ComicColorsWindowController* ComicColorsWindowController::showFor(
    ComicDocument* document, QWidget* hostWindow)
{
    return showWindowOf<ComicColorsWindowController>(document, hostWindow);
}

void ComicColorsWindowController::observeComic()
{
    if (auto old = m_comic.lock())
        old->removeObservers(this);
    const std::shared_ptr<ComicModel> comic = m_comicDocument->model();
    m_comic = comic;
    if (comic) {
        comic->addObserver(ComicModel::kCharactersKey, this,
            [this](Object&, const QString&, const Value& oldValue, const Value&) {
                charactersChanged(oldValue);
            });
    }
}

void ComicColorsWindowController::updateCharacterPopup()
{
    m_characterPopup->removeAllItems();
    const std::shared_ptr<ComicModel> comic = m_comic.lock();
    if (!comic || comic->characters().empty()) {
        m_characterPopup->addItem(localized("None Open"));
    } else {
        for (const auto& character : comic->characters())
            m_characterPopup->addItem(
                character->characterName(), 0, QVariant::fromValue<void*>(character.get()));
    }
    selectShownCharacter();
}

void ComicColorsWindowController::selectShownCharacter()
{
    const auto shown = character();
    QAction* item = shown
        ? m_characterPopup->itemWithRepresentedObject(QVariant::fromValue<void*>(shown.get()))
        : nullptr;
    m_characterPopup->selectItem(item ? item : m_characterPopup->items().value(0));
}

void ComicColorsWindowController::showColorsFor(const std::shared_ptr<CharacterModel>& shown)
{
    showCharacter(shown);
    selectShownCharacter();
}

void ComicColorsWindowController::charactersChanged(const Value& oldValue)
{
    const std::shared_ptr<ComicModel> comic = m_comic.lock();
    if (!comic)
        return;
    QList<const Object*> old;
    for (const Value& entry : oldValue.toList())
        old.append(entry.toObject().get());
    updateCharacterPopup();
    const CharacterList& now = comic->characters();
    if (qsizetype(now.size()) > old.size()) {
        for (const auto& candidate : now) {
            if (!old.contains(candidate.get())) {
                showColorsFor(candidate);
                return;
            }
        }
    }
    const auto shown = character();
    if (!shown || std::find(now.begin(), now.end(), shown) == now.end())
        showColorsFor(now.empty() ? nullptr : now.front());
}

bool ComicColorsWindowController::okToDeleteColor(const ZDLColorPtr& color) const
{
    const std::shared_ptr<ComicModel> comic = m_comic.lock();
    const std::shared_ptr<CharacterModel> shown = character();
    return comic && shown && comic->okToDeleteColor(color.get(), shown->characterId())
        && shown->okToDeleteColor(color.get());
}

void ComicColorsWindowController::refreshModel()
{
    if (!document() || m_comicDocument->model() == m_comic.lock())
        return;
    observeComic();
    updateCharacterPopup();
    const std::shared_ptr<ComicModel> comic = m_comic.lock();
    showColorsFor(comic && !comic->characters().empty() ? comic->characters().front() : nullptr);
}

QString ComicColorsWindowController::titleFormat() const
{
    return localized("%1 color sets");
}

} // namespace zandrel
