// The application controller's preferences window, about panel and help-menu links.
#include "app/AboutPanelController.h"
#include "app/AppController.h"
#include "app/DeveloperPanel.h"
#include "app/PreferencesController.h"
#include "app/WebLinks.h"
#include "app/core/ActionNames.h"

#include <QApplication>

namespace zandrel {

void AppController::showPreferences()
{
    if (!m_prefsDialog)
        m_prefsDialog = std::make_unique<PreferencesController>();
    m_prefsDialog->show();
    m_prefsDialog->raise();
    m_prefsDialog->activateWindow();
}

void AppController::showAbout()
{
    if (!m_aboutPanel)
        m_aboutPanel = std::make_unique<AboutPanelController>();
    m_aboutPanel->showWindow();
}

void AppController::visitWebsite()
{
    WebLinks::openInSecureBrowser(WebLinks::kWebsite);
}

void AppController::reportABug()
{
    WebLinks::openUrl(WebLinks::bugReportUrl());
}

void AppController::checkForUpdates()
{
    WebLinks::openInSecureBrowser(WebLinks::kDownloadPage);
}

void AppController::showTestPanel()
{
    if (!m_developerPanel)
        m_developerPanel = std::make_unique<DeveloperPanel>();
    if (m_developerPanel->isVisible()) {
        m_developerPanel->hide();
        return;
    }
    m_developerPanel->show();
    m_developerPanel->raise();
}

bool AppController::performPanelAction(const QString& action)
{
    if (action == kShowPreferencesAction)
        showPreferences();
    else if (action == kShowAboutAction)
        showAbout();
    else if (action == kVisitWebsiteAction || action == kVisitAppStoreAction)
        visitWebsite();
    else if (action == kReportABugAction)
        reportABug();
    else if (action == kCheckForArtStoreAction)
        checkForArtStoreForUser(QApplication::activeWindow());
    else if (action == kCheckForUpdatesAction)
        checkForUpdates();
    else if (action == kShowTestPanelAction)
        showTestPanel();
    else
        return false;
    return true;
}

} // namespace zandrel
