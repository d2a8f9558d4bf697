#pragma once

#include "app/core/ActionTable.h"
#include "app/core/Responder.h"
#include "app/core/ZDLAppController.h"
#include "graphics/NamedShapeStyle.h"

#include <QList>
#include <QString>
#include <memory>

class QMenu;
class QSystemTrayIcon;
class QWidget;

namespace zandrel {

class AboutPanelController;
class DeveloperPanel;
class DocumentController;
class PreferencesController;

// The application controller of the running program: the headless controller's services plus what
// needs the window system. It shows alerts as message boxes (attached to a window when one is
// given), builds the menus filled in code, registers the shipped fonts, owns the document controller
// and ends the responder chain, answering the application's own actions.
class AppController : public ZDLAppController, public Responder {
public:
    AppController();
    ~AppController() override;

    // The installed controller when it is this class (the running program), else null.
    static AppController* shared();

    // Start-up once the application object exists: units from the defaults, the shipped fonts, the
    // file formats and document types.
    void applicationDidFinishLaunching();
    // At quit: unsaved documents are reviewed (false: the user cancelled), documents with a file are
    // saved in place, and the font cache folder goes.
    bool applicationShouldTerminate();
    void applicationWillTerminate();

    DocumentController& documentController() { return *m_documentController; }

    // --- Alerts: message boxes ---
    int runModalAlert(const ModalAlert& alert) override;
    void showAlert(const ModalAlert& alert, QObject* window, std::function<void(int)> completion) override;

    // --- Downloads, notifications and downloaded documents ---
    bool startDownload(const QUrl& url, const DownloadCallbacks& callbacks) override;
    std::optional<QByteArray> fetchNow(const QUrl& url) override;
    bool useUserNotifications() const override;
    void deliverUserNotification(const QString& title, const QString& text) override;
    QString temporaryFolder() override { return getMyTemporaryFolderURL(); }
    // An art product installing has its pane in the download panel.
    void showWorkProgress(const void* work, const QString& name, qint64 done, qint64 total) override;
    void workEnded(const void* work) override;
    ZDLDocument* openUntitledDocumentFromData(
        const QByteArray& data, const QString& typeName, DocumentError* error) override;
    // At start-up, without holding it up: the store list is fetched, then the installed products
    // are checked for updates.
    void checkArtStoreInBackground();

    // --- Fonts ---
    int activateFonts() override;
    // A library or catalog item's parts file, opened as any file is; a file that cannot be read
    // shows nothing.
    bool openCharacterFileToEdit(const QString& path) override;
    // The program's folder in the user's caches, and the font cache in it that older versions
    // filled; it is removed at quit.
    static QString getMyTemporaryFolderURL();
    static QString getFontCacheFolderURL();

    // --- Menus built in code; each first empties the menu ---
    static void setupPartTypeMenu(QMenu* menu, const QString& action);
    static void setupRoundnessMenu(QMenu* menu);
    static void setupLineStyleMenu(QMenu* menu);
    static void setupStyleMenuWithStyles(QMenu* menu, const QList<NamedShapeStylePtr>& styles);
    // The editing views' contextual menu, made on first use; its part-type submenu is filled in
    // code, its style submenu by the view that shows it (setupStyleMenuWithStyles).
    QMenu* contextualMenu();
    QMenu* contextualStyleMenu();

    // --- Preferences, about panel and web links: the window and the panel are made on first use and
    // kept until the program ends ---
    void showPreferences();
    void showAbout();
    PreferencesController* preferences() const { return m_prefsDialog.get(); }
    AboutPanelController* aboutPanel() const { return m_aboutPanel.get(); }
    // The help menu's links; the store page stands for the web site here.
    void visitWebsite();
    void reportABug();
    // Updates come as new downloads of the program: its download page opens.
    void checkForUpdates();
    // Shows the developer panel when it is hidden and hides it when it is shown.
    void showTestPanel();
    DeveloperPanel* developerPanel() const { return m_developerPanel.get(); }

    // --- Responder: the end of every chain ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the program as a whole (help panels, quit, preferences, about, the help menu's
    // links, the developer panel) with when it is offered; the document controller answers the
    // commands on documents.
    static const ActionTable<AppController>& actionTable();

private:
    std::unique_ptr<DocumentController> m_documentController;
    std::unique_ptr<QMenu> m_contextualMenu;
    QMenu* m_contextualStyleMenu = nullptr;
    std::unique_ptr<PreferencesController> m_prefsDialog;
    std::unique_ptr<AboutPanelController> m_aboutPanel;
    std::unique_ptr<DeveloperPanel> m_developerPanel;

    QSystemTrayIcon* m_trayIcon = nullptr;
};

} // namespace zandrel
