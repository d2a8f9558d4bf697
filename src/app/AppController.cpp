#include "app/AppController.h"

#include "app/AboutPanelController.h"
#include "app/ComicSharing.h"
#include "app/DeveloperPanel.h"
#include "app/DocumentController.h"
#include "app/DocumentPrinting.h"
#include "app/DownloadPanel.h"
#include "app/MainMenu.h"
#include "app/MenuActions.h"
#include "app/PreferencesController.h"
#include "app/ZDLDownloader.h"
#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/CharacterFileFormats.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "graphics/Dash.h"
#include "panels/ExportDialogController.h"
#include "panels/HelpComicView.h"
#include "panels/Sheets.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/FontRegistry.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/PainterCanvas.h"
#include "platform/UserDefaults.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QStandardPaths>
#include <QSystemTrayIcon>

namespace zandrel {

namespace {

// The store list is small; a few seconds are all the start-up may wait for it.
constexpr qint64 kMaxStoreListBytes = ArtStore::kMaxListBytes;
constexpr int kStoreListTimeoutMs = 10000;
// Downloaded documents are opened whole in memory; no comic or parts file a link names is larger.
constexpr qint64 kMaxLinkedFileBytes = qint64(128) << 20;

// Roundness choices of panels, in pixels; their items keep tag 0, the popup reads the title.
constexpr int kRoundnessSizes[] = { 4, 6, 7, 10, 12, 15, 18, 24, 30, 36, 48 };
constexpr int kSharpTag = 1;
constexpr int kFullyRoundTag = 2;
const QSize kLineStyleImageSize(32, 16);

// The part a button plays, so that the box lays its buttons out in the desktop's usual order as
// every dialog's button box does: the first button is the answer asked for, Cancel backs out, a
// button that gives up the user's work stands apart, any other is one more way on.
QMessageBox::ButtonRole roleOf(const QString& title, qsizetype index)
{
    if (index == 0)
        return QMessageBox::AcceptRole;
    if (title == localized("Cancel"))
        return QMessageBox::RejectRole;
    if (title == localized("Don’t Save"))
        return QMessageBox::DestructiveRole;
    return QMessageBox::ActionRole;
}

// Builds the message box of an alert; its buttons in the alert's order, the first the default.
QMessageBox* makeMessageBox(const ModalAlert& alert, QWidget* parent)
{
    auto* box = new QMessageBox(parent);
    switch (alert.style) {
    case ModalAlert::Style::Warning:
        box->setIcon(QMessageBox::Warning);
        break;
    case ModalAlert::Style::Informational:
        box->setIcon(QMessageBox::Information);
        break;
    case ModalAlert::Style::Question:
        box->setIcon(QMessageBox::Question);
        break;
    }
    box->setText(alert.message);
    box->setInformativeText(alert.shownInformativeText());
    const QStringList buttons = alert.buttons.isEmpty() ? QStringList { localized("OK") } : alert.buttons;
    QPushButton* cancel = nullptr;
    QPushButton* last = nullptr;
    for (qsizetype i = 0; i < buttons.size(); ++i) {
        const QMessageBox::ButtonRole role = roleOf(buttons.at(i), i);
        QPushButton* button = box->addButton(buttons.at(i), role);
        if (role == QMessageBox::RejectRole && !cancel)
            cancel = button;
        last = button;
        button->setProperty("zdlCode", int(ModalAlert::kFirstButton + i));
        if (i == 0)
            box->setDefaultButton(button);
    }
    // Escape, and closing the box, answer Cancel where there is one, else the last button (a
    // "Do Not Add").
    if (buttons.size() > 1)
        box->setEscapeButton(cancel ? cancel : last);
    if (!alert.suppressionText.isEmpty())
        box->setCheckBox(new QCheckBox(alert.suppressionText, box));
    return box;
}

void reportSuppression(const ModalAlert& alert, QMessageBox* box)
{
    if (alert.suppressed && box->checkBox())
        *alert.suppressed = box->checkBox()->isChecked();
}

int codeOf(QMessageBox* box)
{
    const QAbstractButton* clicked = box->clickedButton();
    // Closing the box without a button answers as the last button would (Cancel, where there is one).
    if (!clicked)
        return ModalAlert::kFirstButton + int(box->buttons().size()) - 1;
    return clicked->property("zdlCode").toInt();
}

} // namespace

AppController::AppController()
    : m_documentController(std::make_unique<DocumentController>())
{
    QStringList builtIn;
    QFile favorites(QStringLiteral(":/favorite_fonts.txt"));
    if (favorites.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : favorites.readAll().split('\n')) {
            if (!line.trimmed().isEmpty())
                builtIn.append(QString::fromUtf8(line.trimmed()));
        }
    }
    setBuiltInFavoriteFonts(QSet<QString>(builtIn.cbegin(), builtIn.cend()));
}

AppController::~AppController() = default;

AppController* AppController::shared()
{
    return dynamic_cast<AppController*>(ZDLAppController::appController());
}

void AppController::applicationDidFinishLaunching()
{
    setMeasurementUnits(UserDefaults::standard().integer(kDefaultUnitsKey));
    activateFonts();
    registerStandardFileFormats();
    m_documentController->registerStandardTypes();
    DocumentPrinting::install();
    ExportDialogController::install();
    ComicSharing::install();
    Sheets::install();
}

bool AppController::applicationShouldTerminate()
{
    return m_documentController->reviewUnsavedDocuments();
}

void AppController::applicationWillTerminate()
{
    m_documentController->closeAllDocuments();
    QDir(getFontCacheFolderURL()).removeRecursively();
}

// --- Alerts ---

int AppController::runModalAlert(const ModalAlert& alert)
{
    if (hasModalAlertHandler())
        return ZDLAppController::runModalAlert(alert);
    auto* over = qobject_cast<QWidget*>(alert.window);
    std::unique_ptr<QMessageBox> box(makeMessageBox(alert, over ? over : QApplication::activeWindow()));
    box->exec();
    reportSuppression(alert, box.get());
    return codeOf(box.get());
}

void AppController::showAlert(const ModalAlert& alert, QObject* window, std::function<void(int)> completion)
{
    auto* parent = qobject_cast<QWidget*>(window);
    if (hasModalAlertHandler() || !parent) {
        ZDLAppController::showAlert(alert, window, std::move(completion));
        return;
    }
    // Attached to its window: the rest of the program goes on while the question is open.
    QMessageBox* box = makeMessageBox(alert, parent);
    box->setWindowModality(Qt::WindowModal);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QMessageBox::finished, box, [box, completion, alert] {
        reportSuppression(alert, box);
        if (completion)
            completion(codeOf(box));
    });
    box->open();
}

// --- Downloads ---

bool AppController::startDownload(const QUrl& url, const DownloadCallbacks& callbacks)
{
    const bool isProduct = url.fileName().endsWith(QStringLiteral(".zip"), Qt::CaseInsensitive);
    return ZDLDownloader::start(
               url, callbacks, isProduct ? ZDLDownloader::kDefaultMaxBytes : kMaxLinkedFileBytes)
        != nullptr;
}

void AppController::showWorkProgress(const void* work, const QString& name, qint64 done, qint64 total)
{
    DownloadPanel::shared()->showWork(work, name, done, total);
}

void AppController::workEnded(const void* work)
{
    DownloadPanel::shared()->loadingDone(work);
}

std::optional<QByteArray> AppController::fetchNow(const QUrl& url)
{
    return ZDLDownloader::fetchNow(url, kMaxStoreListBytes, kStoreListTimeoutMs);
}

void AppController::checkArtStoreInBackground()
{
    if (!artStoreURL().isValid())
        return;
    auto check = [this](std::optional<QByteArray> fetched) {
        checkForArtStore(fetched);
        checkArtProductsForUpdates();
    };
    DownloadCallbacks callbacks { [check](const QUrl&, const QByteArray& data) { check(data); },
        [check](const QUrl&) { check(std::nullopt); },
        [check](const QUrl&, const QString&) { check(std::nullopt); } };
    if (ZDLDownloader* downloader = ZDLDownloader::start(
            artStoreURL().resolved(QUrl(ArtStore::kListFileName)), callbacks, kMaxStoreListBytes))
        downloader->setShowsProgress(false);
    else
        check(std::nullopt);
}

bool AppController::useUserNotifications() const
{
    return QSystemTrayIcon::isSystemTrayAvailable() && QSystemTrayIcon::supportsMessages();
}

void AppController::deliverUserNotification(const QString& title, const QString& text)
{
    if (!useUserNotifications()) {
        ZDLAppController::deliverUserNotification(title, text);
        return;
    }
    if (!m_trayIcon) {
        m_trayIcon = new QSystemTrayIcon(QApplication::windowIcon(), qApp);
        m_trayIcon->show();
    }
    m_trayIcon->showMessage(title, text);
}

ZDLDocument* AppController::openUntitledDocumentFromData(
    const QByteArray& data, const QString& typeName, DocumentError* error)
{
    return m_documentController->openUntitledDocumentFromData(data, typeName, error);
}

// --- Fonts ---

QString AppController::getMyTemporaryFolderURL()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/")
        + kBundleIdentifier;
}

QString AppController::getFontCacheFolderURL()
{
    return getMyTemporaryFolderURL() + QStringLiteral("/.fontcache");
}

bool AppController::openCharacterFileToEdit(const QString& path)
{
    DocumentError error;
    return m_documentController->openDocument(path, &error) != nullptr;
}

int AppController::activateFonts()
{
    // The font registry registers the fonts compiled into the program straight from its resources,
    // once; the count is of the files it registered.
    if (!FontRegistry::shared().registerShippedFonts())
        return 0;
    return int(QDir(QStringLiteral(":/Fonts"))
                   .entryList({ QStringLiteral("*.otf"), QStringLiteral("*.ttf") }, QDir::Files)
                   .size());
}

// --- Menus built in code ---

void AppController::setupPartTypeMenu(QMenu* menu, const QString& action)
{
    menu->clear();
    for (int type : CharacterModel::getAllPartTypesSorted())
        MenuActions::add(menu, Part::singularNameForType(static_cast<PartType>(type)), action, type);
}

void AppController::setupRoundnessMenu(QMenu* menu)
{
    menu->clear();
    // A title item: it does nothing and is not translated.
    menu->addAction(QStringLiteral("Roundness"))->setEnabled(false);
    menu->addAction(localized("Sharp"))->setData(kSharpTag);
    menu->addSeparator();
    for (int size : kRoundnessSizes)
        menu->addAction(localized("%1 px").arg(size))->setData(0);
    menu->addSeparator();
    menu->addAction(localized("Fully Round"))->setData(kFullyRoundTag);
}

void AppController::setupLineStyleMenu(QMenu* menu)
{
    menu->clear();
    auto* controller = appController();
    for (qsizetype index = 0; index < controller->numberOfDashes(); ++index) {
        const Dash& dash = controller->getDashAtIndex(index);
        QImage image(kLineStyleImageSize, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            PainterCanvas canvas(&image);
            CanvasPath path;
            path.moveTo(QPointF(0, 7.5));
            path.lineTo(QPointF(32, 7.5));
            path.setLineWidth(1);
            dash.setDashOnBezierPath(path, 1.0, 0.5);
            canvas.strokePath(path, CanvasPaint(Qt::black));
        }
        QAction* item = menu->addAction(QIcon(QPixmap::fromImage(image)), QStringLiteral("  ") + dash.name());
        item->setData(int(index));
    }
}

void AppController::setupStyleMenuWithStyles(QMenu* menu, const QList<NamedShapeStylePtr>& styles)
{
    menu->clear();
    for (qsizetype i = 0; i < styles.size(); ++i) {
        QAction* item = MenuActions::add(menu, styles.at(i)->name(), kApplyStyleAction, int(i));
        item->setIcon(QIcon(QPixmap::fromImage(styles.at(i)->image())));
    }
}

QMenu* AppController::contextualMenu()
{
    if (!m_contextualMenu) {
        m_contextualMenu = std::make_unique<QMenu>();
        QMenu* menu = m_contextualMenu.get();
        // The main menu's commands on the selection, under the same actions and titles: the view
        // that was clicked validates them as it validates the main menu, and what it refuses is
        // hidden. An empty action is a separator.
        const QString* const editing[] = { &kUndoAction, &kRedoAction, nullptr, &kCutAction, &kCopyAction,
            &kPasteAction, &kDeleteAction, nullptr, &kBringToFrontAction, &kBringForwardAction,
            &kSendBackwardAction, &kSendToBackAction, nullptr, &kFlipHorizontalAction, &kFlipVerticalAction,
            nullptr, &kGroupAction, &kUngroupAction };
        for (const QString* action : editing) {
            if (action)
                MenuActions::add(menu, MainMenu::titleOf(*action), *action);
            else
                menu->addSeparator();
        }
        m_contextualMenu->addSeparator();
        setupPartTypeMenu(m_contextualMenu->addMenu(localized("Part Type")), kSetPartTypeAction);
        m_contextualStyleMenu = m_contextualMenu->addMenu(localized("Style"));
        // These act at the point the menu was opened on.
        MenuActions::add(
            m_contextualMenu.get(), MainMenu::titleOf(kCreateNewPartAction), kCreateNewPartAction);
        MenuActions::add(m_contextualMenu.get(), localized("Set Pivot Point"), kSetPivotPointAction)
            ->setData(kContextualMenuSender);
        MenuActions::add(
            m_contextualMenu.get(), MainMenu::titleOf(kResetPivotPointAction), kResetPivotPointAction);
        MenuActions::add(m_contextualMenu.get(), MainMenu::titleOf(kPopEditorAction), kPopEditorAction);
    }
    return m_contextualMenu.get();
}

QMenu* AppController::contextualStyleMenu()
{
    contextualMenu();
    return m_contextualStyleMenu;
}

// --- Responder ---

const ActionTable<AppController>& AppController::actionTable()
{
    static const ActionTable<AppController> table {
        {
            { .action = kShowAllHelpPanelsAction,
                .validate = alwaysEnabled<AppController>,
                .perform = runs<&AppController::showAllHelpPanels> },
            { .action = kHideAllHelpPanelsAction,
                .validate = alwaysEnabled<AppController>,
                .perform =
                    [](AppController& controller, const ActionSender&) {
                        controller.hideAllHelpPanels();
                        // The help on screen goes too: hiding it all and leaving it in sight would
                        // look ignored.
                        for (HelpComicView* help : QList<HelpComicView*>(HelpComicView::openHelpComics()))
                            help->animateOut();
                        return true;
                    } },
            { .action = kTerminateAction,
                .validate = alwaysEnabled<AppController>,
                .perform =
                    [](AppController& controller, const ActionSender&) {
                        if (controller.applicationShouldTerminate()) {
                            controller.applicationWillTerminate();
                            QApplication::quit();
                        }
                        return true;
                    } },
            { .action = kShowPreferencesAction,
                .validate = alwaysEnabled<AppController>,
                .perform = runs<&AppController::showPreferences> },
            { .action = kShowAboutAction,
                .validate = alwaysEnabled<AppController>,
                .perform = runs<&AppController::showAbout> },
            { .action = kVisitWebsiteAction,
                .validate = alwaysEnabled<AppController>,
                .perform = runs<&AppController::visitWebsite> },
            // There is no store page here: the web site stands for it.
            { .action = kVisitAppStoreAction,
                .validate = alwaysEnabled<AppController>,
                .perform = runs<&AppController::visitWebsite> },
            { .action = kReportABugAction,
                .validate = alwaysEnabled<AppController>,
                .perform = runs<&AppController::reportABug> },
            { .action = kCheckForArtStoreAction,
                .validate = alwaysEnabled<AppController>,
                .perform =
                    [](AppController& controller, const ActionSender&) {
                        controller.checkForArtStoreForUser(QApplication::activeWindow());
                        return true;
                    } },
            { .action = kCheckForUpdatesAction,
                .validate = alwaysEnabled<AppController>,
                .perform = runs<&AppController::checkForUpdates> },
            { .action = kShowTestPanelAction,
                .validate =
                    [](AppController& controller, MenuItemValidation& item) {
                        item.enabled = true;
                        const bool shown
                            = controller.m_developerPanel && controller.m_developerPanel->isVisible();
                        item.state = shown ? MenuItemValidation::State::On : MenuItemValidation::State::Off;
                    },
                .perform = runs<&AppController::showTestPanel> },
        },
        ToolbarItems::LikeMenuItems
    };
    return table;
}

bool AppController::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return m_documentController->tryToPerform(action, sender);
}

bool AppController::validateMenuItem(MenuItemValidation& item)
{
    return m_documentController->validateMenuItem(item) || actionTable().validate(*this, item);
}

} // namespace zandrel
