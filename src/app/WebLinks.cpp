#include "app/WebLinks.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QStringList>
#include <QSysInfo>

namespace zandrel::WebLinks {

namespace {

UrlOpener& opener()
{
    static UrlOpener current;
    return current;
}

} // namespace

void setUrlOpener(UrlOpener replacement)
{
    opener() = std::move(replacement);
}

void openUrl(const QUrl& url)
{
    if (!url.isValid() || url.isRelative())
        return;
    if (opener())
        opener()(url);
    else
        QDesktopServices::openUrl(url);
}

void openInSecureBrowser(const QString& address)
{
    openUrl(QUrl(address, QUrl::StrictMode));
}

QUrl bugReportUrl(const QString& programVersion, const QString& systemVersion)
{
    const QString lineBreak = QStringLiteral("\r\n");
    const QStringList lines { QStringLiteral("Zandrel version: ") + programVersion,
        QStringLiteral("System version: ") + systemVersion, QString(), QStringLiteral("Description:"),
        QString(), QStringLiteral("Steps to Duplicate:"), QString(), QStringLiteral("Result:"), QString(),
        QStringLiteral("Expected Result:"), QString() };
    // Everything but the unreserved characters is escaped, the field delimiters included.
    const QByteArray query = "subject=" + QUrl::toPercentEncoding(kBugReportSubject)
        + "&body=" + QUrl::toPercentEncoding(lines.join(lineBreak));
    return QUrl::fromEncoded(
        "mailto:" + QUrl::toPercentEncoding(kSupportAddress, "@") + "?" + query, QUrl::StrictMode);
}

QUrl bugReportUrl()
{
    return bugReportUrl(QCoreApplication::applicationVersion(),
        QSysInfo::prettyProductName() + QStringLiteral(" (") + QSysInfo::kernelType() + QStringLiteral(" ")
            + QSysInfo::kernelVersion() + QStringLiteral(")"));
}

} // namespace zandrel::WebLinks
