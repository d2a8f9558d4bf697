#include "platform/WebAddress.h"

#include <QUrl>

namespace zandrel {

bool isLoopbackAddress(const QUrl& url)
{
    const QString host = url.host();
    return host == QStringLiteral("127.0.0.1")
        || host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0;
}

bool isAllowedDownloadAddress(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    return url.scheme() == QStringLiteral("https")
        || (url.scheme() == QStringLiteral("http") && isLoopbackAddress(url));
}

} // namespace zandrel
