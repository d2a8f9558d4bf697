#include "app/ZDLDownloader.h"

#include "app/DownloadPanel.h"
#include "platform/Localization.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>

namespace zandrel {

namespace {

constexpr int kForbidden = 403;
constexpr int kNotFound = 404;

} // namespace

ZDLDownloader::ZDLDownloader(const QUrl& url, DownloadCallbacks callbacks, qint64 maxBytes)
    : m_url(url)
    , m_filename(url.fileName())
    , m_callbacks(std::move(callbacks))
    , m_maxBytes(maxBytes)
{
}

ZDLDownloader::~ZDLDownloader()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

QNetworkAccessManager& ZDLDownloader::network()
{
    static QNetworkAccessManager* manager = new QNetworkAccessManager(qApp);
    return *manager;
}

bool ZDLDownloader::isAllowedScheme(const QUrl& url)
{
    return url.scheme() == QStringLiteral("https")
        || (allowsPlainHttp && url.scheme() == QStringLiteral("http"));
}

ZDLDownloader* ZDLDownloader::start(const QUrl& url, DownloadCallbacks callbacks, qint64 maxBytes)
{
    // Deleted from the event loop: the last signal of its reply may still be on the stack.
    std::shared_ptr<ZDLDownloader> downloader(
        new ZDLDownloader(url, std::move(callbacks), maxBytes), [](ZDLDownloader* d) { d->deleteLater(); });
    if (!downloader->begin())
        return nullptr;
    appController()->holdOnTo(downloader);
    return downloader.get();
}

bool ZDLDownloader::begin()
{
    if (!isAllowedScheme(m_url) || m_url.host().isEmpty())
        return false;
    QNetworkRequest request(m_url);
    request.setTransferTimeout(transferTimeoutMs);
    // Qt follows redirects only to an equally safe scheme (never https to http) and a few times.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    m_reply = network().get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ZDLDownloader::metaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &ZDLDownloader::readyRead);
    connect(m_reply, &QNetworkReply::finished, this, &ZDLDownloader::finished);
    return true;
}

void ZDLDownloader::metaDataChanged()
{
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400)
        return; // a redirect; the next answer counts
    m_data.clear();
    m_expectedLength = m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
    if (m_expectedLength > m_maxBytes) {
        m_abortReason
            = localized("The file is larger than %1.").arg(QLocale().formattedDataSize(m_maxBytes, 0));
        m_reply->abort();
    }
}

void ZDLDownloader::readyRead()
{
    if (!m_reply || !m_abortReason.isEmpty())
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status == kForbidden || status == kNotFound)
        return; // the body of an error page is not the file
    m_data += m_reply->read(m_maxBytes + 1 - m_data.size());
    if (m_data.size() > m_maxBytes) {
        m_abortReason
            = localized("The file is larger than %1.").arg(QLocale().formattedDataSize(m_maxBytes, 0));
        m_data.clear();
        m_reply->abort();
        return;
    }
    if (m_showsProgress)
        DownloadPanel::shared()->showDownloader(this, m_data.size(), std::max<qint64>(0, m_expectedLength));
}

void ZDLDownloader::finished()
{
    if (m_ended || !m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const QNetworkReply::NetworkError error = m_reply->error();
    const bool wentAstray = error == QNetworkReply::TooManyRedirectsError
        || error == QNetworkReply::InsecureRedirectError || (status >= 300 && status < 400)
        || !isAllowedScheme(m_reply->url());
    if (!m_abortReason.isEmpty()) {
        fail(m_abortReason);
    } else if (wentAstray) {
        fail(localized("The server sent the download somewhere it may not go."));
    } else if (status == kForbidden || status == kNotFound) {
        m_ended = true;
        m_data.clear();
        if (m_showsProgress)
            DownloadPanel::shared()->loadingDone(this);
        if (m_callbacks.fileNotFound)
            m_callbacks.fileNotFound(m_url);
        end();
    } else if (error == QNetworkReply::OperationCanceledError) {
        fail(localized("The server did not answer in time."));
    } else if (status != 0 && (status < 200 || status >= 300)) {
        // An error page is not the file, whatever it holds.
        fail(localized("The server answered %1 %2.")
                 .arg(status)
                 .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                 .trimmed());
    } else if (error != QNetworkReply::NoError || status == 0) {
        fail(m_reply->errorString());
    } else {
        m_ended = true;
        if (m_showsProgress)
            DownloadPanel::shared()->downloaderDone(this);
        if (m_callbacks.done)
            m_callbacks.done(m_url, m_data);
        if (m_showsProgress)
            DownloadPanel::shared()->loadingDone(this);
        end();
    }
}

void ZDLDownloader::fail(const QString& reason)
{
    m_ended = true;
    m_data.clear();
    if (m_callbacks.error)
        m_callbacks.error(m_url, reason);
    if (m_showsProgress)
        DownloadPanel::shared()->downloaderGotError(this, reason);
    end();
}

void ZDLDownloader::end()
{
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    appController()->letGoOf(this);
}

std::optional<QByteArray> ZDLDownloader::fetchNow(const QUrl& url, qint64 maxBytes, int timeoutMs)
{
    std::optional<QByteArray> result;
    QEventLoop loop;
    bool ended = false;
    DownloadCallbacks callbacks {
        [&](const QUrl&, const QByteArray& data) {
            result = data;
            ended = true;
            loop.quit();
        },
        [&](const QUrl&) {
            ended = true;
            loop.quit();
        },
        [&](const QUrl&, const QString&) {
            ended = true;
            loop.quit();
        },
    };
    ZDLDownloader downloader(url, std::move(callbacks), maxBytes);
    downloader.setShowsProgress(false);
    const int savedTimeout = transferTimeoutMs;
    transferTimeoutMs = std::min(transferTimeoutMs, timeoutMs);
    const bool started = downloader.begin();
    transferTimeoutMs = savedTimeout;
    if (!started)
        return std::nullopt;
    QTimer::singleShot(timeoutMs, &loop, [&] { loop.quit(); });
    if (!ended)
        loop.exec();
    return result;
}

} // namespace zandrel
