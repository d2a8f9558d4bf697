#include "app/CatalogAndLibraryController.h"

#include "app/AppController.h"
#include "app/CatalogPaneHost.h"
#include "app/CharacterLibraryView.h"
#include "app/DocumentController.h"
#include "app/FileDialogFolder.h"
#include "app/MenuActions.h"
#include "app/core/CatalogCommands.h"
#include "app/core/CatalogManifest.h"
#include "app/core/CharacterDocument.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "comicmodel/ComicModel.h"
#include "panels/HelpComicView.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"
#include "views/CatalogView.h"
#include "views/ViewTabs.h"
#include "views/ZDLScrollArea.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

namespace zandrel {

namespace {

constexpr int kTabStripHeight = CatalogPaneHost::kStripHeight;

// The character library view as the library side, its popups and edit button in the panel's band.
class LibraryViewArea : public LibraryAreaView {
public:
    LibraryViewArea(ComicDocument* document, QWidget* controlsBand)
        : m_area(new QWidget)
        , m_view(CharacterLibraryView::buildLibraryArea(m_area, document, controlsBand))
    {
        m_area->setObjectName(QStringLiteral("libraryArea"));
        // Parts files dropped on the view join the comic's library as the panel's own do.
        m_view->setCharacterFileOpener([document](const QString& path) {
            if (document)
                document->openAndShowCharacterFile(path);
        });
    }
    ~LibraryViewArea() override
    {
        // The panel's layout owns the area once it is placed; one never placed goes here.
        if (m_area && !m_area->parent())
            delete m_area;
    }

    QWidget* libraryWidget() override { return m_area; }
    std::shared_ptr<CharacterLibraryItem> currentCharacter() const override
    {
        return m_view ? m_view->currentCharacter() : nullptr;
    }
    void setCurrentCharacter(const std::shared_ptr<CharacterLibraryItem>& item) override
    {
        if (m_view)
            m_view->setCurrentCharacter(item);
    }
    void viewPartType(int type) override
    {
        if (m_view)
            m_view->viewPartType(type);
    }
    void documentClosing() override
    {
        if (m_view)
            m_view->documentClosing();
    }

private:
    QPointer<QWidget> m_area;
    QPointer<CharacterLibraryView> m_view;
};

LibraryAreaFactory standardLibraryArea()
{
    return [](ComicDocument* document, QWidget* controlsBand) {
        return std::make_unique<LibraryViewArea>(document, controlsBand);
    };
}

LibraryAreaFactory& libraryAreaFactory()
{
    static LibraryAreaFactory factory = standardLibraryArea();
    return factory;
}

CatalogAndLibraryController::OpenPanelChooser standardOpenPanel()
{
    return [](QWidget* parent, std::function<void(const QStringList&)> completion) {
        auto* dialog = new QFileDialog(
            parent, localized("Add Characters"), QString(), localized("Parts files (*.parts)"));
        dialog->setFileMode(QFileDialog::ExistingFiles);
        FileDialogFolder::setUp(*dialog, FileDialogFolder::documentPathOf(parent));
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QFileDialog::filesSelected, dialog, completion);
        dialog->open();
    };
}

CatalogAndLibraryController::OpenPanelChooser& openPanelChooser()
{
    static CatalogAndLibraryController::OpenPanelChooser chooser = standardOpenPanel();
    return chooser;
}

} // namespace

void CatalogAndLibraryController::setLibraryAreaFactory(LibraryAreaFactory factory)
{
    libraryAreaFactory() = factory ? std::move(factory) : standardLibraryArea();
}

void CatalogAndLibraryController::setOpenPanelChooser(OpenPanelChooser chooser)
{
    openPanelChooser() = chooser ? std::move(chooser) : standardOpenPanel();
}

CatalogAndLibraryController::CatalogAndLibraryController(ComicDocument* document, QWidget* parent)
    : QWidget(parent)
    , m_comicDocument(document)
    , m_tabs(new ViewTabs(this))
    , m_moreTabsButton(new QToolButton(m_tabs))
    , m_addCharacterButton(new QToolButton)
    , m_body(new QWidget(this))
    , m_catalogViewBase(new QWidget(m_body))
    , m_libraryViewBase(new QWidget(m_body))
    , m_libraryItemPropsView(new QWidget(m_libraryViewBase))
    , m_catalogView(new CatalogView(document))
    , m_catalogScrollView(new ZDLScrollArea(m_catalogView, m_catalogViewBase))
    , m_characterList(std::make_shared<Shelf>())
    , m_backgroundList(std::make_shared<Shelf>())
{
    setObjectName(QStringLiteral("catalogViewOwner"));
    m_tabs->setObjectName(QStringLiteral("libraryViewTabs"));
    m_tabs->setFixedHeight(kTabStripHeight);
    m_moreTabsButton->setObjectName(QStringLiteral("moreTabsButton"));
    m_moreTabsButton->setText(QStringLiteral("»"));
    m_moreTabsButton->setAutoRaise(true);
    m_tabs->setMoreTabsButton(m_moreTabsButton);
    m_addCharacterButton->setObjectName(QStringLiteral("addCharacterButton"));
    m_addCharacterButton->setText(QStringLiteral("+"));
    m_addCharacterButton->setToolTip(localized("Add characters to the comic's library"));
    m_addCharacterButton->setAutoRaise(true);
    m_addCharacterButton->setFixedSize(20, 18);
    m_tabs->setControlAfterTabs(m_addCharacterButton);
    m_catalogViewBase->setObjectName(QStringLiteral("catalogViewBase"));
    m_libraryViewBase->setObjectName(QStringLiteral("libraryViewBase"));
    m_catalogScrollView->setObjectName(QStringLiteral("catalogScrollView"));
    m_libraryItemPropsView->setObjectName(QStringLiteral("libraryItemPropsView"));

    auto* catalogLayout = new QVBoxLayout(m_catalogViewBase);
    catalogLayout->setContentsMargins(0, 0, 0, 0);
    catalogLayout->addWidget(m_catalogScrollView);

    // The band of the library's controls, over the library view.
    m_libraryItemPropsView->setAutoFillBackground(true);
    QPalette band = m_libraryItemPropsView->palette();
    band.setColor(QPalette::Window, QColor::fromRgbF(0.85f, 0.85f, 0.85f));
    m_libraryItemPropsView->setPalette(band);
    new QHBoxLayout(m_libraryItemPropsView);
    m_libraryItemPropsView->layout()->setContentsMargins(4, 2, 4, 2);
    m_libraryView = libraryAreaFactory()(document, m_libraryItemPropsView);
    auto* libraryLayout = new QVBoxLayout(m_libraryViewBase);
    libraryLayout->setContentsMargins(0, 0, 0, 0);
    libraryLayout->setSpacing(0);
    libraryLayout->addWidget(m_libraryItemPropsView);
    m_libraryItemPropsView->setVisible(m_libraryItemPropsView->layout()->count() > 0);
    if (m_libraryView)
        libraryLayout->addWidget(m_libraryView->libraryWidget(), 1);

    auto* bodyLayout = new QVBoxLayout(m_body);
    bodyLayout->setContentsMargins(0, 0, 0, 0);
    bodyLayout->addWidget(m_catalogViewBase);
    bodyLayout->addWidget(m_libraryViewBase);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // With the body hidden (the pane down) the tabs stay at the top, where they are in sight.
    layout->addWidget(m_tabs, 0, Qt::AlignTop);
    layout->addWidget(m_body, 1);

    connect(m_tabs, &ViewTabs::tabAction, this, &CatalogAndLibraryController::viewTabClicked);
    // The menu drops down from the press.
    connect(m_addCharacterButton, &QToolButton::pressed, this, &CatalogAndLibraryController::addCharacter);
    connect(m_catalogScrollView->verticalScrollBar(), &QScrollBar::valueChanged, m_catalogView,
        qOverload<>(&QWidget::update));

    updateViewTabs();
    m_catalogView->setCatalog(m_characterList);
    m_tabs->setSelectedTab(0);
    showLibraryArea(false);

    NotificationCenter& center = NotificationCenter::defaultCenter();
    center.addObserver(this, kCharacterCatalogUpdateNotification, nullptr, [this](const Notification& n) {
        needsCatalogUpdate(n.userInfo.value(CatalogManifest::kCatalogFileKey).toString(),
            n.userInfo.value(CatalogManifest::kCharacterNameKey).toString());
    });
    center.addObserver(this, kUpdateCharacterFileNotification, nullptr, [this](const Notification& n) {
        needsCharacterUpdate(n.userInfo.value(kCharacterFileKey).toString());
    });
    center.addObserver(this, kCatalogCharacterDeletedNotification, nullptr, [this](const Notification& n) {
        catalogCharacterDeleted(n.userInfo.value(CatalogManifest::kCatalogFileKey).toString());
    });
    center.addObserver(
        this, kDocumentClosingNotification, document, [this](const Notification&) { documentClosing(); });
    document->setCatalogController(this);
    catalogViewOpenChanged(document->isCatalogViewOpen());
}

CatalogAndLibraryController::~CatalogAndLibraryController()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    if (m_comicDocument && m_comicDocument->catalogController() == this)
        m_comicDocument->setCatalogController(nullptr);
}

void CatalogAndLibraryController::documentClosing()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    if (m_comicDocument && m_comicDocument->catalogController() == this)
        m_comicDocument->setCatalogController(nullptr);
    m_comicDocument = nullptr;
    m_tabs->removeAllTabs();
    m_catalogView->documentClosing();
    if (m_libraryView)
        m_libraryView->documentClosing();
}

// --- Shelves and tabs ---

void CatalogAndLibraryController::updateCatalogLists()
{
    CatalogCommands::fillShelves(appController()->characterCatalog(), *m_characterList, *m_backgroundList);
    m_catalogView->setSelectedItemIndex(-1);
    m_catalogView->updateViewSize();
    m_catalogView->update();
}

void CatalogAndLibraryController::updateViewTabs()
{
    updateCatalogLists();
    m_tabs->removeAllTabs();
    m_tabs->addTab(localized("Vivaviv Izazuda"), false, m_characterList);
    m_tabs->addTab(localized("Scenery"), false, m_backgroundList);
    if (!m_comicDocument || !m_comicDocument->model())
        return;
    for (const auto& item : m_comicDocument->model()->characterLibrary())
        m_tabs->addTab(item->characterName(), true, item);
}

std::shared_ptr<CharacterLibraryItem> CatalogAndLibraryController::libraryItemFor(
    const void* represented) const
{
    if (!represented || !m_comicDocument || !m_comicDocument->model())
        return nullptr;
    for (const auto& item : m_comicDocument->model()->characterLibrary()) {
        if (item.get() == represented)
            return item;
    }
    return nullptr;
}

void CatalogAndLibraryController::showLibraryArea(bool library)
{
    m_catalogViewBase->setVisible(!library);
    m_libraryViewBase->setVisible(library);
}

void CatalogAndLibraryController::showCharacterLibraryItem(const std::shared_ptr<CharacterLibraryItem>& item)
{
    updateViewTabs();
    m_tabs->selectTabRepresentingObject(item.get());
    if (m_libraryView)
        m_libraryView->setCurrentCharacter(item);
    showLibraryArea(true);
    enterLibraryArea();
}

void CatalogAndLibraryController::enterLibraryArea()
{
    // The first showing in a window, from the catalog or from a tab of a comic opened with its
    // library, offers the library's help comic over the library area and gives the view its help.
    if (m_firstEntry && m_comicDocument && m_libraryView) {
        QWidget* widget = m_libraryView->libraryWidget();
        auto* view = dynamic_cast<ZDLView*>(widget);
        if (!view && widget)
            view = widget->findChild<ZDLView*>();
        if (view)
            HelpComicView::registerAndOffer(
                view, HelpComicView::kLibraryViewHelp, m_comicDocument, m_libraryViewBase);
    }
    m_firstEntry = false;
}

void CatalogAndLibraryController::openPane(bool toggle)
{
    if (m_comicDocument)
        m_comicDocument->setIsCatalogViewOpen(toggle ? !m_comicDocument->isCatalogViewOpen() : true);
}

void CatalogAndLibraryController::viewTabClicked()
{
    const qsizetype closed = m_tabs->closedTabIndex();
    const bool tabClosed = closed >= 0;
    ComicModel* comic = m_comicDocument ? m_comicDocument->model().get() : nullptr;
    if (tabClosed && comic) {
        const qsizetype selected = m_tabs->selectedTab();
        const qsizetype libraryIndex = closed - 2;
        const auto& library = comic->characterLibrary();
        const auto item = libraryIndex >= 0 && libraryIndex < qsizetype(library.size())
            ? library[std::size_t(libraryIndex)]
            : nullptr;
        if (selected > closed) {
            m_tabs->setSelectedTab(selected - 1);
        } else if (selected == closed) {
            const auto character = item ? item->character() : nullptr;
            m_tabs->setSelectedTab(character && character->partsKind() != 0 ? 1 : 0);
            if (m_libraryView)
                m_libraryView->setCurrentCharacter(nullptr);
        }
        if (item)
            comic->removeCharacterLibrary(item.get());
        updateViewTabs();
        // The comic file keeps its library: the change is saved with it.
        m_comicDocument->updateChangeCount();
    }
    const std::shared_ptr<void> represented = m_tabs->selectedTabRepresentedObject();
    if (const auto item = libraryItemFor(represented.get())) {
        if (!tabClosed)
            openPane(
                m_libraryView && m_libraryView->currentCharacter() == item && m_catalogViewBase->isHidden());
        if (m_libraryView)
            m_libraryView->setCurrentCharacter(item);
        showLibraryArea(true);
        enterLibraryArea();
    } else if (represented == m_characterList || represented == m_backgroundList) {
        const auto shelf = std::static_pointer_cast<Shelf>(represented);
        if (!tabClosed)
            openPane(m_libraryViewBase->isHidden() && m_catalogView->catalog() == shelf);
        if (m_catalogView->catalog() != shelf)
            m_catalogView->setCatalog(shelf);
        showLibraryArea(false);
    }
}

// --- Adding parts files ---

void CatalogAndLibraryController::addCharacter()
{
    AppController* controller = AppController::shared();
    ComicModel* comic = m_comicDocument ? m_comicDocument->model().get() : nullptr;
    if (!comic)
        return;
    QStringList offered;
    if (controller) {
        for (ZDLDocument* document : controller->documentController().documents()) {
            auto* character = dynamic_cast<CharacterDocument*>(document);
            if (!character || character->filePath().isEmpty())
                continue;
            const QString path = character->filePath();
            const auto& library = comic->characterLibrary();
            if (std::none_of(library.begin(), library.end(),
                    [&path](const auto& item) { return item->characterFileURL() == path; }))
                offered.append(path);
        }
    }
    if (offered.isEmpty()) {
        addCharacterWithDialog();
        return;
    }
    delete m_addMenu;
    m_addMenu = new QMenu(this);
    m_addMenu->setObjectName(QStringLiteral("addCharacterMenu"));
    m_addMenu->addAction(localized("Open Characters"))->setEnabled(false);
    for (const QString& path : offered) {
        // Indented under the header.
        QAction* item = m_addMenu->addAction(
            QStringLiteral("    ") + MenuActions::titleForName(QFileInfo(path).fileName()));
        item->setData(path);
        connect(item, &QAction::triggered, this, [this, path] { addCharacterFromMenu(path); });
    }
    m_addMenu->addSeparator();
    connect(m_addMenu->addAction(localized("Add Other…")), &QAction::triggered, this,
        &CatalogAndLibraryController::addCharacterWithDialog);
    m_addMenu->popup(m_addCharacterButton->mapToGlobal(QPoint(0, m_addCharacterButton->height())));
    // The press that opened the menu must not leave the button down.
    m_addCharacterButton->setDown(false);
}

void CatalogAndLibraryController::addCharacterFromMenu(const QString& path)
{
    if (!m_comicDocument)
        return;
    m_comicDocument->openAndShowCharacterFile(path);
    m_comicDocument->setIsCatalogViewOpen(true);
}

void CatalogAndLibraryController::addCharacterWithDialog()
{
    const QPointer<CatalogAndLibraryController> self(this);
    openPanelChooser()(window(), [self](const QStringList& paths) {
        if (!self || !self->m_comicDocument || paths.isEmpty())
            return;
        for (const QString& path : paths)
            self->m_comicDocument->openAndShowCharacterFile(path);
        self->m_comicDocument->setIsCatalogViewOpen(true);
    });
}

// --- The pane ---

CatalogPaneHost* CatalogAndLibraryController::paneHost() const
{
    for (QWidget* ancestor = parentWidget(); ancestor; ancestor = ancestor->parentWidget()) {
        if (auto* host = qobject_cast<CatalogPaneHost*>(ancestor))
            return host;
    }
    return nullptr;
}

void CatalogAndLibraryController::catalogViewOpenChanged(bool open)
{
    m_open = open;
    CatalogPaneHost* host = paneHost();
    if (host && !m_hostConnected) {
        m_hostConnected = true;
        // Down and out of sight, the pane keeps only its tabs.
        connect(host, &CatalogPaneHost::paneSettled, this, [this](bool settledOpen) {
            if (!settledOpen && !m_open)
                m_body->hide();
        });
    }
    if (open)
        m_body->show();
    if (host)
        host->setPaneOpen(open);
    else if (!open)
        m_body->hide();
}

void CatalogAndLibraryController::comicModelReplaced()
{
    if (m_libraryView)
        m_libraryView->setCurrentCharacter(nullptr);
    updateViewTabs();
    m_tabs->setSelectedTab(0);
    m_catalogView->setCatalog(m_characterList);
    showLibraryArea(false);
    if (m_comicDocument)
        catalogViewOpenChanged(m_comicDocument->isCatalogViewOpen());
}

// --- Notifications ---

void CatalogAndLibraryController::needsCatalogUpdate(const QString& catalogFile, const QString& characterName)
{
    if (m_comicDocument && m_comicDocument->model()) {
        QVariantMap entry;
        entry.insert(CatalogManifest::kCharacterNameKey, characterName);
        for (const auto& item : m_comicDocument->model()->characterLibrary()) {
            if (item->characterFileURL() != catalogFile)
                continue;
            item->resetWithManifestDictionary(entry);
            if (m_libraryView && m_libraryView->currentCharacter() == item)
                m_libraryView->viewPartType(item->partType());
        }
    }
    updateCatalogLists();
}

void CatalogAndLibraryController::needsCharacterUpdate(const QString& characterFile)
{
    if (!m_comicDocument || !m_comicDocument->model())
        return;
    for (const auto& item : m_comicDocument->model()->characterLibrary()) {
        if (item->characterFileURL() != characterFile)
            continue;
        item->characterFileUpdated(characterFile);
        if (m_libraryView && m_libraryView->currentCharacter() == item)
            m_libraryView->viewPartType(item->partType());
        const qsizetype selected = m_tabs->selectedTab();
        updateViewTabs();
        m_tabs->setSelectedTab(selected);
        return;
    }
}

void CatalogAndLibraryController::catalogCharacterDeleted(const QString& catalogFile)
{
    ComicModel* comic = m_comicDocument ? m_comicDocument->model().get() : nullptr;
    if (comic) {
        for (const auto& item : comic->characterLibrary()) {
            if (item->characterFileURL() != catalogFile)
                continue;
            const auto removed = item;
            const bool shown = m_libraryView && m_libraryView->currentCharacter() == removed;
            const std::shared_ptr<void> selected = m_tabs->selectedTabRepresentedObject();
            comic->removeCharacterLibrary(removed.get());
            if (shown)
                m_libraryView->setCurrentCharacter(nullptr);
            updateViewTabs();
            // The tab on show stays selected; the removed one's shelf takes its place.
            if (!m_tabs->selectTabRepresentingObject(selected.get())) {
                m_tabs->setSelectedTab(removed->partsKind() != 0 ? 1 : 0);
                m_catalogView->setCatalog(removed->partsKind() != 0 ? m_backgroundList : m_characterList);
                showLibraryArea(false);
            }
            break;
        }
    }
    updateCatalogLists();
}

} // namespace zandrel
