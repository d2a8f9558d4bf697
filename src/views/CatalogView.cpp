#include "views/CatalogView.h"

#include "app/AppController.h"
#include "app/DocumentController.h"
#include "app/FileDialogFolder.h"
#include "app/MenuActions.h"
#include "app/Pasteboard.h"
#include "app/WebLinks.h"
#include "app/core/ActionTable.h"
#include "app/core/CatalogCommands.h"
#include "app/core/CatalogThumbnailCache.h"
#include "app/core/ComicDocument.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/FontRegistry.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"
#include "tools/CatalogPickerTool.h"

#include <QApplication>
#include <QDrag>
#include <QFileDialog>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTextLayout>
#include <QTimer>
#include <QUrl>
#include <cmath>

namespace zandrel {

namespace {

CatalogView::DragRunner& dragRunner()
{
    static CatalogView::DragRunner runner
        = [](QDrag& drag) { return drag.exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction); };
    return runner;
}

CatalogView::SavePathChooser& savePathChooser()
{
    static CatalogView::SavePathChooser chooser
        = [](QWidget* parent, const QString& suggested, std::function<void(const QString&)> completion) {
              auto* dialog = new QFileDialog(
                  parent, localized("Save a Copy"), QString(), localized("Parts files (*.parts)"));
              dialog->setAcceptMode(QFileDialog::AcceptSave);
              FileDialogFolder::setUp(*dialog, FileDialogFolder::documentPathOf(parent));
              dialog->setDefaultSuffix(QStringLiteral("parts"));
              dialog->selectFile(suggested);
              dialog->setAttribute(Qt::WA_DeleteOnClose);
              QObject::connect(dialog, &QFileDialog::fileSelected, dialog, completion);
              dialog->open();
          };
    return chooser;
}

QString headingFor(int catalog)
{
    switch (catalog) {
    case CharacterLibraryItem::UserCatalog:
        return localized("User Catalog:");
    case CharacterLibraryItem::PurchasedCatalog:
        return localized("Purchased Catalog:");
    case CharacterLibraryItem::BuiltInCatalog:
        return localized("Bundled Catalog:");
    default:
        return QString();
    }
}

// One line of text in the rect, centred or from the left, cut with an ellipsis when too long, drawn
// as glyph runs into the canvas.
void drawLine(Canvas& canvas, const QString& text, const QFont& font, const QRectF& rect, bool centred,
    const QColor& color)
{
    const QFontMetricsF metrics(font);
    const QString shown = metrics.elidedText(text, Qt::ElideRight, rect.width());
    if (shown.isEmpty())
        return;
    QTextLayout layout(shown, font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();
    if (!line.isValid())
        return;
    const double x = centred ? rect.x() + (rect.width() - line.naturalTextWidth()) / 2 : rect.x();
    for (const QGlyphRun& run : line.glyphRuns())
        canvas.drawGlyphRun(QPointF(x, rect.y()), run, color);
}

// The user-catalog badge: a pencil on a small rounded square in the item's top-left corner.
void drawEditableBadge(Canvas& canvas, const QPointF& corner)
{
    CanvasPath back = CanvasPath::fromRect(QRectF(corner, QSizeF(16, 16)));
    canvas.fillPath(back, CanvasPaint(QColor(255, 255, 255, 220)));
    CanvasPath pencil;
    pencil.moveTo(corner + QPointF(4, 12));
    pencil.lineTo(corner + QPointF(12, 4));
    pencil.setLineWidth(2.5);
    canvas.strokePath(pencil, CanvasPaint(QColor(200, 120, 0)));
    CanvasPath tip;
    tip.moveTo(corner + QPointF(3, 13));
    tip.lineTo(corner + QPointF(4.5, 9.5));
    tip.lineTo(corner + QPointF(6.5, 11.5));
    tip.close();
    canvas.fillPath(tip, CanvasPaint(QColor(40, 40, 40)));
}

} // namespace

CatalogView::CatalogView(ComicDocument* document, QWidget* parent)
    : ZDLView(parent)
    , m_catalogTool(std::make_shared<CatalogPickerTool>())
    , m_selectedColor(QColor::fromRgbF(0, 0, 1, 0.5))
    , m_comicDocument(document)
{
    setObjectName(QStringLiteral("catalogView"));
    setCurrentTool(m_catalogTool);
    setRightClickTool(m_catalogTool);
    connect(
        &CatalogThumbnailCache::shared(), &CatalogThumbnailCache::thumbnailReady, this, [this] { update(); });
    NotificationCenter::defaultCenter().addObserver(
        this, kArtStoreChangedNotification, nullptr, [this](const Notification&) { updateStoreHeader(); });
    updateStoreHeader();
}

CatalogView::~CatalogView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void CatalogView::setDragRunner(DragRunner runner)
{
    dragRunner() = runner ? std::move(runner) : [](QDrag& drag) {
        return drag.exec(Qt::CopyAction | Qt::LinkAction, Qt::CopyAction);
    };
}

void CatalogView::setSavePathChooser(SavePathChooser chooser)
{
    static const SavePathChooser standard = savePathChooser();
    savePathChooser() = chooser ? std::move(chooser) : standard;
}

const QFont& CatalogView::catalogLabelFont()
{
    static const QFont font = [] {
        QFont chosen = FontRegistry::shared().hasFont(FontRegistry::kLetteringFontName)
            ? FontRegistry::shared().qfont(TextFont { FontRegistry::kLetteringFontName, 13.0 })
            : QApplication::font();
        if (!FontRegistry::shared().hasFont(FontRegistry::kLetteringFontName))
            chosen.setPointSizeF(std::max(6.0, chosen.pointSizeF() * 0.85));
        return chosen;
    }();
    return font;
}

const QFont& CatalogView::catalogSetNameFont()
{
    static const QFont font = [] {
        QFont bold = QApplication::font();
        bold.setPointSizeF(std::max(6.0, bold.pointSizeF() * 0.85));
        bold.setBold(true);
        return bold;
    }();
    return font;
}

// --- Shelf and selection ---

void CatalogView::setCatalog(const std::shared_ptr<Shelf>& catalog)
{
    m_catalog = catalog;
    m_selectedItemIndex = -1;
    updateViewSize();
    update();
}

void CatalogView::setSelectedItemIndex(qsizetype index)
{
    const qsizetype count = m_catalog ? qsizetype(m_catalog->size()) : 0;
    if (index < -1 || index >= count)
        return;
    if (index != m_selectedItemIndex)
        update();
    m_selectedItemIndex = index;
}

std::shared_ptr<CharacterLibraryItem> CatalogView::selectedItem() const
{
    if (!m_catalog || m_selectedItemIndex < 0 || m_selectedItemIndex >= qsizetype(m_catalog->size()))
        return nullptr;
    return m_catalog->at(std::size_t(m_selectedItemIndex));
}

// --- Grid ---

double CatalogView::visibleWidth() const
{
    return width() / double(viewScale());
}

int CatalogView::catalogItemsPerRow() const
{
    return std::max(1, int(std::floor((visibleWidth() - kLeftMargin) / kCellPitch)));
}

QRectF CatalogView::getCatalogItemRect(qsizetype index) const
{
    const qsizetype perRow = catalogItemsPerRow();
    const qsizetype count = m_catalog ? qsizetype(m_catalog->size()) : 0;
    const qsizetype columns = std::min(perRow, count);
    const qsizetype row = index / perRow;
    const qsizetype column = index % perRow;
    const double x = std::floor(
        column * kCellPitch + (visibleWidth() - (columns * kCellPitch + kLeftMargin)) / 2 + kLeftMargin);
    return QRectF(x, row * kCellPitch + m_topMargin, kItemWidth, kItemHeight);
}

QRectF CatalogView::getContentBounds() const
{
    if (!m_catalog)
        return QRectF();
    const qsizetype perRow = catalogItemsPerRow();
    const qsizetype rows = (qsizetype(m_catalog->size()) + perRow - 1) / perRow;
    return QRectF(0, 0, perRow * kCellPitch + kLeftMargin, rows * kCellPitch + m_topMargin);
}

qsizetype CatalogView::itemIndexAt(const QPointF& point) const
{
    if (!m_catalog)
        return -1;
    for (qsizetype index = 0; index < qsizetype(m_catalog->size()); ++index) {
        if (pointInRect(point, getCatalogItemRect(index)))
            return index;
    }
    return -1;
}

void CatalogView::resizeEvent(QResizeEvent* event)
{
    ZDLView::resizeEvent(event);
    placeStoreHeader();
    // A change of the number of columns moves every item.
    if (catalogItemsPerRow() != m_laidOutPerRow) {
        m_laidOutPerRow = catalogItemsPerRow();
        updateViewSize();
        update();
    }
}

// --- Drawing ---

QSize CatalogView::thumbnailPixelSize() const
{
    const double factor = viewScale() * devicePixelRatioF();
    return QSize(int(std::lround(kItemWidth * factor)), int(std::lround(kItemHeight * factor)));
}

void CatalogView::drawRect(const QRectF& dirtyRect)
{
    Canvas* canvas = currentCanvas();
    if (canvas) {
        canvas->fillRect(dirtyRect, CanvasPaint(palette().color(QPalette::Base)));
    }
    if (canvas && m_catalog) {
        const QColor text = palette().color(QPalette::Text);
        const QSize pixels = thumbnailPixelSize();
        CatalogThumbnailCache& thumbnails = CatalogThumbnailCache::shared();
        int previousCatalog = CharacterLibraryItem::NotFromCatalog;
        for (qsizetype index = 0; index < qsizetype(m_catalog->size()); ++index) {
            CharacterLibraryItem& item = *m_catalog->at(std::size_t(index));
            const QRectF r = getCatalogItemRect(index);
            const bool newGroup = item.fromCatalog() != previousCatalog;
            previousCatalog = item.fromCatalog();
            // The item with its heading above and its name below.
            const QRectF reach = r.adjusted(-1, -kHeadingHeight, 1, kNameGap + kNameHeight);
            if (!intersectsRect(reach, dirtyRect) || !needsToDrawRect(reach))
                continue;
            const QImage image = thumbnails.thumbnail(item.thumbnailFileURL(), pixels);
            if (!image.isNull()) {
                canvas->drawImage(image, r);
                CanvasPath frame = CanvasPath::fromRect(insetRect(r, -0.5, -0.5));
                frame.setLineWidth(1.0);
                canvas->strokePath(frame, CanvasPaint(QColor(Qt::black)));
            }
            if (item.fromCatalog() == CharacterLibraryItem::UserCatalog)
                drawEditableBadge(*canvas, r.topLeft());
            if (newGroup)
                drawLine(*canvas, headingFor(item.fromCatalog()), catalogSetNameFont(),
                    QRectF(r.x(), r.y() - kHeadingHeight, r.width(), kHeadingHeight), false, text);
            drawLine(*canvas, item.characterName(), catalogLabelFont(),
                QRectF(r.x(), r.y() + r.height() + kNameGap, r.width(), kNameHeight), true, text);
        }
        if (m_selectedItemIndex >= 0) {
            CanvasPath ring
                = CanvasPath::fromRect(insetRect(getCatalogItemRect(m_selectedItemIndex), -3, -3));
            ring.setLineWidth(4.0);
            ring.setLineJoin(LineJoin::Round);
            canvas->strokePath(ring, CanvasPaint(m_selectedColor));
        }
    }
    ZDLView::drawRect(dirtyRect);
}

// --- Commands ---

void CatalogView::openCatalogCharacter()
{
    const auto item = selectedItem();
    if (item && m_comicDocument)
        m_comicDocument->openAndShowCharacterFile(item->characterFileURL());
}

void CatalogView::deleteCatalogItem()
{
    const auto item = selectedItem();
    setSelectedItemIndex(-1);
    if (!item)
        return;
    AppController* controller = AppController::shared();
    const bool open
        = controller && controller->documentController().documentForFile(item->characterFileURL()) != nullptr;
    CatalogCommands::deleteCatalogItem(item, open, window());
}

void CatalogView::editCatalogItem()
{
    const auto item = selectedItem();
    setSelectedItemIndex(-1);
    if (CatalogCommands::allows(CatalogCommands::kEditCatalogItemAction, item.get()))
        item->openToEdit();
}

void CatalogView::saveACopy()
{
    const auto item = selectedItem();
    setSelectedItemIndex(-1);
    if (!item)
        return;
    // The item is the one chosen when the panel opened, whatever happens meanwhile.
    const QPointer<QWidget> sheetWindow(window());
    savePathChooser()(window(), item->characterFileName(), [item, sheetWindow](const QString& path) {
        QString reason;
        // A copy that could not be made is said so: the user would otherwise look for it in vain.
        if (!path.isEmpty() && !CatalogCommands::saveACopy(*item, path, &reason))
            appController()->showAlertMessage(
                localized("A copy of “%1” could not be saved.").arg(item->characterFileName()), reason,
                sheetWindow.data());
    });
}

void CatalogView::copyToUserCatalog()
{
    const auto item = selectedItem();
    setSelectedItemIndex(-1);
    if (item)
        appController()->copyCharacterLibraryItem(item, window());
}

// --- Dragging out ---

QMimeData* CatalogView::mimeDataForItem(CharacterLibraryItem& item)
{
    const PasteboardParentPtr payload = CatalogCommands::dragPayload(item);
    QMimeData* data = payload ? new PasteboardMimeData(payload) : new QMimeData;
    data->setUrls({ QUrl::fromLocalFile(item.characterFileURL()) });
    return data;
}

void CatalogView::startDragOfSelectedItem()
{
    const auto item = selectedItem();
    if (!item)
        return;
    const QRectF rect = getCatalogItemRect(m_selectedItemIndex);
    auto* drag = new QDrag(this);
    drag->setMimeData(mimeDataForItem(*item));
    const QSize pixels = thumbnailPixelSize();
    const QImage image = CatalogThumbnailCache::shared().thumbnail(item->thumbnailFileURL(), pixels);
    if (!image.isNull()) {
        QPixmap picture = QPixmap::fromImage(image);
        picture.setDevicePixelRatio(devicePixelRatioF());
        drag->setPixmap(picture);
        drag->setHotSpot(
            (viewTransform().map(getMouseDocPoint()) - viewTransform().map(rect.topLeft())).toPoint());
    }
    const QPointer<CatalogView> self(this);
    dragRunner()(*drag);
    drag->deleteLater();
    // The platform's drag took the release: the press's gesture ends here.
    if (self)
        setCurrentTracker(nullptr);
}

// --- The store header ---

void CatalogView::updateStoreHeader()
{
    ZDLAppController* controller = appController();
    const bool shown = controller && controller->artStoreDict();
    const double margin = shown ? kTopMargin + kStoreHeaderHeight : kTopMargin;
    if (margin != m_topMargin) {
        m_topMargin = margin;
        updateViewSize();
        update();
    }
    if (!shown) {
        // The header may be handling the click that refreshed the list: it goes once that is over.
        if (m_storeHeader)
            m_storeHeader->deleteLater();
        m_storeHeader = nullptr;
        m_visitStoreButton = nullptr;
        m_downloadButton = nullptr;
        m_newProductsNote = nullptr;
        return;
    }
    if (!m_storeHeader)
        buildStoreHeader();
    m_newProductsNote->setVisible(controller->newProductsInStore());
    m_storeHeader->adjustSize();
    m_storeHeader->show();
    placeStoreHeader();
}

void CatalogView::buildStoreHeader()
{
    QFont small = QApplication::font();
    small.setPointSizeF(std::max(6.0, small.pointSizeF() * 0.85));
    m_storeHeader = new QWidget(this);
    m_storeHeader->setObjectName(QStringLiteral("storeHeader"));
    auto* row = new QHBoxLayout(m_storeHeader);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(10);
    m_visitStoreButton = new QPushButton(localized("Visit the Quorvane Store"), m_storeHeader);
    m_visitStoreButton->setObjectName(QStringLiteral("visitStoreButton"));
    m_visitStoreButton->setFont(small);
    m_visitStoreButton->setFocusPolicy(Qt::NoFocus);
    connect(m_visitStoreButton, &QPushButton::clicked, this, &CatalogView::visitArtStore);
    row->addWidget(m_visitStoreButton);
    // The products reach the program from here: each one listed downloads and installs.
    m_downloadButton = new QPushButton(localized("Download"), m_storeHeader);
    m_downloadButton->setObjectName(QStringLiteral("downloadProductsButton"));
    m_downloadButton->setToolTip(localized("Download and install art products from the Quorvane Store"));
    m_downloadButton->setFont(small);
    m_downloadButton->setFocusPolicy(Qt::NoFocus);
    auto* menu = new QMenu(m_downloadButton);
    menu->setObjectName(QStringLiteral("downloadProductsMenu"));
    connect(menu, &QMenu::aboutToShow, this, [this, menu] { fillDownloadMenu(menu); });
    m_downloadButton->setMenu(menu);
    row->addWidget(m_downloadButton);
    m_newProductsNote = new QLabel(localized("New products available!"), m_storeHeader);
    m_newProductsNote->setObjectName(QStringLiteral("newProductsNote"));
    m_newProductsNote->setFont(small);
    m_newProductsNote->setStyleSheet(QStringLiteral("color: red;"));
    row->addWidget(m_newProductsNote);
}

void CatalogView::placeStoreHeader()
{
    if (!m_storeHeader)
        return;
    // Centred over the grid, scrolling with it.
    const double top = viewTransform().map(QPointF(0, kStoreHeaderTop)).y();
    m_storeHeader->move(int(std::floor((width() - m_storeHeader->width()) / 2.0)), int(std::lround(top)));
}

void CatalogView::visitArtStore()
{
    ZDLAppController* controller = appController();
    const QUrl page = controller ? controller->artStorePageURL() : QUrl();
    if (!page.isValid()) {
        if (controller)
            controller->showAlertMessage(localized("The Quorvane Store could not be reached."),
                controller->artStoreAddressExplanation(), window());
        return;
    }
    WebLinks::openUrl(page);
    UserDefaults::standard().set(kLastVisitedArtStoreKey, QDateTime::currentDateTimeUtc());
}

void CatalogView::fillDownloadMenu(QMenu* menu)
{
    menu->clear();
    ZDLAppController* controller = appController();
    if (!controller || !controller->artStoreDict())
        return;
    for (const ArtStore::Product& product : controller->artStoreDict()->products) {
        const QString name = MenuActions::titleForName(product.name.isEmpty() ? product.code : product.name);
        const std::optional<qint64> installed = controller->installedArtProductVersion(product.code);
        const bool readable
            = bool(ArtStore::chooseVersion(product, 0, CharacterModel::maximumSupportedFileVersion()));
        const bool newer = bool(ArtStore::chooseVersion(
            product, installed.value_or(0), CharacterModel::maximumSupportedFileVersion()));
        QString title = name;
        if (!readable)
            title = localized("%1 (needs a newer Zandrel)").arg(name);
        else if (installed && newer)
            title = localized("Update %1").arg(name);
        else if (installed)
            title = localized("%1 (installed)").arg(name);
        QAction* item = menu->addAction(title);
        item->setData(product.code);
        item->setEnabled(readable && newer);
        const QString code = product.code;
        const QPointer<CatalogView> self(this);
        connect(item, &QAction::triggered, this, [self, code] {
            if (self && appController())
                appController()->startArtProductDownloadForUser(code, self->window());
        });
    }
}

// --- Menu and validation ---

QMenu* CatalogView::contextMenuForView()
{
    if (!m_contextMenu) {
        m_contextMenu = new QMenu(this);
        MenuActions::add(m_contextMenu, localized("Open"), CatalogCommands::kOpenCatalogCharacterAction);
        MenuActions::add(m_contextMenu, localized("Edit"), CatalogCommands::kEditCatalogItemAction);
        MenuActions::add(m_contextMenu, localized("Save a Copy…"), CatalogCommands::kSaveACopyAction);
        MenuActions::add(
            m_contextMenu, localized("Copy to User Catalog"), CatalogCommands::kCopyToUserCatalogAction);
        m_contextMenu->addSeparator();
        MenuActions::add(m_contextMenu, localized("Delete…"), CatalogCommands::kDeleteCatalogItemAction);
        // A menu left without a choice leaves no item selected; a chosen item runs before this.
        connect(m_contextMenu, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, [this] { setSelectedItemIndex(-1); }); });
    }
    return m_contextMenu;
}

const ActionTable<CatalogView>& CatalogView::actionTable()
{
    // Each command acts on the selected item, and only on items of the catalogs it applies to.
    static const auto forSelected = [](CatalogView& view, MenuItemValidation& item) {
        item.enabled = CatalogCommands::allows(item.action, view.selectedItem().get());
    };
    // Toolbar items follow the menu items' rules.
    static const ActionTable<CatalogView> table(
        {
            { .action = CatalogCommands::kOpenCatalogCharacterAction,
                .validate = forSelected,
                .perform =
                    [](CatalogView& view, const ActionSender&) {
                        view.openCatalogCharacter();
                        view.setSelectedItemIndex(-1);
                        return true;
                    } },
            { .action = CatalogCommands::kDeleteCatalogItemAction,
                .validate = forSelected,
                .perform = runs<&CatalogView::deleteCatalogItem> },
            { .action = CatalogCommands::kEditCatalogItemAction,
                .validate = forSelected,
                .perform = runs<&CatalogView::editCatalogItem> },
            { .action = CatalogCommands::kSaveACopyAction,
                .validate = forSelected,
                .perform = runs<&CatalogView::saveACopy> },
            { .action = CatalogCommands::kCopyToUserCatalogAction,
                .validate = forSelected,
                .perform = runs<&CatalogView::copyToUserCatalog> },
        },
        ToolbarItems::LikeMenuItems);
    return table;
}

bool CatalogView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    MenuItemValidation known;
    known.action = action;
    // The base view's own commands mean nothing on a shelf.
    return ZDLView::validateMenuItem(known);
}

bool CatalogView::validateMenuItem(MenuItemValidation& item)
{
    if (actionTable().validate(*this, item))
        return true;
    if (!ZDLView::validateMenuItem(item))
        return false;
    item.enabled = false;
    return true;
}

void CatalogView::documentClosing()
{
    ZDLView::documentClosing();
    NotificationCenter::defaultCenter().removeObserver(this);
    m_catalogTool.reset();
    m_catalog.reset();
    m_comicDocument = nullptr;
}

} // namespace zandrel
