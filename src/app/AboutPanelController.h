#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QTextBrowser;

namespace zandrel {

// The about panel: the program's name and version over the credits and the licences, read from the
// HTML resources ":/about/Credits.html", "SoftwareLicense.html" and "ContentLicense.html" in that
// order (a missing one adds nothing). Links in the text open in the browser.
class AboutPanelController : public QDialog {
public:
    explicit AboutPanelController(QWidget* parent = nullptr);

    // "Version 1.0 (134)" from the application's version "1.0.134": the last number is the build.
    static QString versionText(const QString& applicationVersion);
    // The three texts appended.
    static QString creditsHtml();

    // Shows the panel and brings it to the front.
    void showWindow();

    QTextBrowser* creditsView() const { return m_creditsView; }
    QLabel* versionLabel() const { return m_versionLabel; }

private:
    QTextBrowser* m_creditsView = nullptr;
    QLabel* m_versionLabel = nullptr;
};

} // namespace zandrel
