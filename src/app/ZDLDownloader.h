#pragma once

#include "app/core/ZDLAppController.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace zandrel {

// One download held whole in memory, its progress shown in the shared download panel. What it
// fetches comes from the network and is not trusted: a transfer that stalls longer than the
// timeout fails and so does one that goes on longer than the whole download may take, a body
// larger than the cap (announced or received) is stopped and one longer than announced is cut at
// the announced length, redirects are followed only on the same server over the same scheme and
// only a few times, and only a 2xx answer counts as the file. HTTP 403 and 404 report a missing
// file; every other failure reports its reason. Downloads still running when the program quits end
// without a word.
class ZDLDownloader : public QObject {
    Q_OBJECT

public:
    // A stalled transfer fails after this long.
    static inline int transferTimeoutMs = 60000;
    // No download, however steadily it trickles in, takes longer than this.
    static inline int totalTimeoutMs = 30 * 60 * 1000;
    static constexpr int kMaxRedirects = 10;
    static constexpr qint64 kDefaultMaxBytes = qint64(256) << 20;

    ZDLDownloader(const QUrl& url, DownloadCallbacks callbacks, qint64 maxBytes = kDefaultMaxBytes);
    ~ZDLDownloader() override;

    // Starts the download, held by the application controller until it ends. Null when it could
    // not start (an address downloads may not come from: neither https nor plain http to this
    // machine).
    static ZDLDownloader* start(
        const QUrl& url, DownloadCallbacks callbacks, qint64 maxBytes = kDefaultMaxBytes);
    // Fetches a small file and waits for it, without the panel; nothing when it failed.
    static std::optional<QByteArray> fetchNow(const QUrl& url, qint64 maxBytes, int timeoutMs);

    const QUrl& url() const { return m_url; }
    // The last component of the address.
    const QString& filename() const { return m_filename; }
    const QByteArray& downloadedData() const { return m_data; }
    qint64 expectedLength() const { return m_expectedLength; }
    // Whether the panel shows this download.
    void setShowsProgress(bool shows) { m_showsProgress = shows; }

    // Why a redirect from one address to another is not followed; empty when it is.
    static QString refusalOfRedirect(const QUrl& from, const QUrl& to);

private:
    bool begin();
    void request(const QUrl& url);
    int status() const;
    // Whether the answer is the file (2xx), not a redirect or an error page.
    bool isFileAnswer() const;
    void metaDataChanged();
    void tookTooLong();
    void readyRead();
    void finished();
    void followRedirect();
    void fail(const QString& reason);
    void end();

    static QNetworkAccessManager& network();

    QUrl m_url;
    QString m_filename;
    DownloadCallbacks m_callbacks;
    qint64 m_maxBytes;
    QByteArray m_data;
    qint64 m_expectedLength = 0;
    QPointer<QNetworkReply> m_reply;
    QTimer* m_deadline = nullptr;
    int m_redirects = 0;
    // What was thrown away of the body of the current answer, and whether it was cut for its size.
    qint64 m_discarded = 0;
    bool m_discardCut = false;
    QString m_abortReason;
    bool m_ended = false;
    bool m_showsProgress = true;
};

} // namespace zandrel
