#include "app/AboutPanelController.h"

#include "app/MainMenu.h"
#include "app/WebLinks.h"
#include "platform/Localization.h"

#include <QCoreApplication>
#include <QFile>
#include <QIcon>
#include <QLabel>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace zandrel {

AboutPanelController::AboutPanelController(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(localized("About Zandrel"));
    MainMenu::addApplicationKeys(this);
    auto* column = new QVBoxLayout(this);
    auto* icon = new QLabel(this);
    icon->setPixmap(QIcon(QStringLiteral(":/images/zandrel.png")).pixmap(64, 64));
    icon->setAlignment(Qt::AlignHCenter);
    column->addWidget(icon);
    auto* name = new QLabel(QStringLiteral("Zandrel"), this);
    QFont large = name->font();
    large.setBold(true);
    large.setPointSizeF(large.pointSizeF() * 1.4);
    name->setFont(large);
    name->setAlignment(Qt::AlignHCenter);
    column->addWidget(name);
    m_versionLabel = new QLabel(versionText(QCoreApplication::applicationVersion()), this);
    m_versionLabel->setObjectName(QStringLiteral("versionLabel"));
    m_versionLabel->setAlignment(Qt::AlignHCenter);
    m_versionLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    column->addWidget(m_versionLabel);

    // The text takes the palette's text colour, as any label does; links go to the browser rather
    // than replacing the credits.
    m_creditsView = new QTextBrowser(this);
    m_creditsView->setObjectName(QStringLiteral("creditsView"));
    m_creditsView->setReadOnly(true);
    m_creditsView->setOpenLinks(false);
    m_creditsView->setHtml(creditsHtml());
    connect(
        m_creditsView, &QTextBrowser::anchorClicked, this, [](const QUrl& url) { WebLinks::openUrl(url); });
    column->addWidget(m_creditsView, 1);
    resize(420, 440);
}

QString AboutPanelController::versionText(const QString& applicationVersion)
{
    QString shortVersion = applicationVersion;
    QString build = applicationVersion;
    const qsizetype lastDot = applicationVersion.lastIndexOf(QLatin1Char('.'));
    if (lastDot > 0) {
        shortVersion = applicationVersion.left(lastDot);
        build = applicationVersion.mid(lastDot + 1);
    }
    return localized("Version %1 (%2)").arg(shortVersion, build);
}

QString AboutPanelController::creditsHtml()
{
    QString html;
    for (const char* name : { "Credits", "SoftwareLicense", "ContentLicense" }) {
        QFile file(QStringLiteral(":/about/%1.html").arg(QLatin1String(name)));
        if (file.open(QIODevice::ReadOnly))
            html += QString::fromUtf8(file.readAll());
    }
    return html;
}

void AboutPanelController::showWindow()
{
    show();
    raise();
    activateWindow();
}

} // namespace zandrel
