// The application controller's preferences window, about panel and help-menu links.
#include "app/AboutPanelController.h"
#include "app/AppController.h"
#include "app/DeveloperPanel.h"
#include "app/PreferencesController.h"
#include "app/WebLinks.h"

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

} // namespace zandrel
