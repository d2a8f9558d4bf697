#pragma once

#include <QString>
#include <QUrl>
#include <functional>

namespace zandrel {

// The help menu's links: the program's web site and a bug report written as a mail. Links open with
// the desktop's handler; tests replace the opener to see what would have opened.
namespace WebLinks {

using UrlOpener = std::function<bool(const QUrl&)>;

inline const QString kWebsite = QStringLiteral("https://zandrel.org/");
// New versions of the program are downloaded from here.
inline const QString kDownloadPage = QStringLiteral("https://zandrel.org/download/");
inline const QString kSupportAddress = QStringLiteral("support@zandrel.org");
inline const QString kBugReportSubject = QStringLiteral("[Zandrel Bug]");

// An empty opener restores the desktop's handler.
void setUrlOpener(UrlOpener opener);

// A link that is not a URL, or that the desktop cannot open, is ignored.
void openInSecureBrowser(const QString& address);
void openUrl(const QUrl& url);

// The report mail: subject and body percent-encoded in full, so that "&", "#", "%", "?" or a line
// break in a version string cannot end the field or the link early. The body gives the program's
// and the system's versions, then empty sections to fill in, one line each (CR LF as mail wants).
QUrl bugReportUrl(const QString& programVersion, const QString& systemVersion);
// The running program's and system's versions.
QUrl bugReportUrl();

} // namespace WebLinks

} // namespace zandrel
