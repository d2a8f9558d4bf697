#include "app/ZDLDownloader.h"

#include "app/DownloadPanel.h"
#include "platform/Localization.h"
#include "platform/WebAddress.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>

namespace zandrel {

namespace {

constexpr int kForbidden = 403;
constexpr int kNotFound = 404;
// What is read of a redirect's or an error page's body, only to be thrown away.
constexpr qint64 kMaxDiscardedBytes = qint64(1) << 20;

QPointer<QNetworkAccessManager> g_network;

// The network goes while the application still exists: its thread closes the connections it keeps
// open (a download still running, a secure connection kept for reuse) as it ends, and that work
// needs the application. Downloads still running end without a word.
void endNetwork()
{
    if (!g_network)
        return;
    for (QNetworkReply* reply : g_network->findChildren<QNetworkReply*>()) {
        reply->disconnect();
        reply->abort();
    }
    delete g_network;
}

int defaultPort(const QUrl& url)
{
    return url.port(url.scheme() == QStringLiteral("http") ? 80 : 443);
}

} // namespace

QString ZDLDownloader::refusalOfRedirect(const QUrl& from, const QUrl& to)
{
    const QUrl target = from.resolved(to);
    // Never from https down to plain http, not even to this machine.
    if (!isAllowedDownloadAddress(target)
        || (from.scheme() == QStringLiteral("https") && target.scheme() != from.scheme()))
        return localized("The server sent the download on to “%1”, which is not an https address.")
            .arg(target.toDisplayString());
    // The file stays on the server the address names: a server may move it within itself, but
    // never hand the download to another server, another port or another scheme.
    if (target.scheme() != from.scheme() || target.host().compare(from.host(), Qt::CaseInsensitive) != 0
        || defaultPort(target) != defaultPort(from))
        return localized("The server sent the download on to another server, “%1”.")
            .arg(target.toDisplayString(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveUserInfo));
    return QString();
}

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
    if (!g_network) {
        g_network = new QNetworkAccessManager(qApp);
        qAddPostRoutine(&endNetwork);
    }
    return *g_network;
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
    if (!isAllowedDownloadAddress(m_url))
        return false;
    m_deadline = new QTimer(this);
    m_deadline->setSingleShot(true);
    connect(m_deadline, &QTimer::timeout, this, &ZDLDownloader::tookTooLong);
    m_deadline->start(totalTimeoutMs);
    request(m_url);
    return true;
}

void ZDLDownloader::request(const QUrl& url)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(transferTimeoutMs);
    // Redirects are judged and followed here, one request each (finished).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    m_discarded = 0;
    m_reply = network().get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &ZDLDownloader::metaDataChanged);
    connect(m_reply, &QNetworkReply::readyRead, this, &ZDLDownloader::readyRead);
    connect(m_reply, &QNetworkReply::finished, this, &ZDLDownloader::finished);
}

void ZDLDownloader::tookTooLong()
{
    if (!m_reply || !m_abortReason.isEmpty())
        return;
    const QString duration = totalTimeoutMs >= 120000
        ? localized("%1 minutes").arg(totalTimeoutMs / 60000)
        : localized("%1 seconds").arg(QLocale().toString(totalTimeoutMs / 1000.0, 'g', 3));
    m_abortReason = localized("The download was still not complete after %1.").arg(duration);
    m_reply->abort();
}

int ZDLDownloader::status() const
{
    return m_reply ? m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
}

bool ZDLDownloader::isFileAnswer() const
{
    const int code = status();
    return code >= 200 && code < 300;
}

void ZDLDownloader::metaDataChanged()
{
    if (!isFileAnswer())
        return; // a redirect or an error page: not the file
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
    if (!isFileAnswer()) {
        // The body of an error page or a redirect is not the file: read to be thrown away, and
        // only so far, so that a page that never ends neither fills memory nor holds the download.
        m_discarded += m_reply->skip(kMaxDiscardedBytes + 1 - m_discarded);
        if (m_discarded > kMaxDiscardedBytes) {
            m_discardCut = true;
            m_reply->abort();
        }
        return;
    }
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
    const int code = status();
    const QNetworkReply::NetworkError error = m_discardCut ? QNetworkReply::NoError : m_reply->error();
    m_discardCut = false;
    if (!m_abortReason.isEmpty()) {
        fail(m_abortReason);
    } else if (code >= 300 && code < 400 && error == QNetworkReply::NoError) {
        followRedirect();
    } else if (code == kForbidden || code == kNotFound) {
        m_ended = true;
        m_data.clear();
        if (m_showsProgress)
            DownloadPanel::shared()->loadingDone(this);
        if (m_callbacks.fileNotFound)
            m_callbacks.fileNotFound(m_url);
        end();
    } else if (error == QNetworkReply::OperationCanceledError) {
        fail(localized("The server did not answer in time."));
    } else if (code != 0 && (code < 200 || code >= 300)) {
        // An error page is not the file, whatever it holds.
        fail(localized("The server answered %1 %2.")
                 .arg(code)
                 .arg(m_reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString())
                 .trimmed());
    } else if (error != QNetworkReply::NoError || code == 0) {
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

void ZDLDownloader::followRedirect()
{
    const QUrl from = m_reply->url();
    const QUrl location = m_reply->attribute(QNetworkRequest::RedirectionTargetAttribute).toUrl();
    QString refusal = location.isEmpty() ? localized("The server sent the download on without saying where.")
                                         : refusalOfRedirect(from, location);
    if (refusal.isEmpty() && ++m_redirects > kMaxRedirects)
        refusal = localized("The server sent the download on more than %1 times.").arg(kMaxRedirects);
    if (!refusal.isEmpty()) {
        fail(refusal);
        return;
    }
    m_reply->disconnect(this);
    m_reply->deleteLater();
    request(from.resolved(location));
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
    if (m_deadline)
        m_deadline->stop();
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
