#pragma once

#include <QHash>
#include <QString>
#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace zandrel {

class ZDLDownloader;

// One download in the panel: its file's name, a gauge, and in place of the gauge the reason when it
// failed, with a button that closes the pane.
class DownloadPane : public QWidget {
    Q_OBJECT

public:
    DownloadPane(const QString& name, QWidget* parent);

    // A total of 0 makes the gauge indeterminate (busy).
    void setProgress(qint64 bytes, qint64 total);
    // The same counting steps (files) rather than bytes.
    void setSteps(qint64 done, qint64 total);
    void showError(const QString& error);

    QString name() const;
    QString errorText() const;
    bool showsError() const;
    QProgressBar* gauge() const { return m_gauge; }
    QPushButton* closeButton() const { return m_close; }

signals:
    void closeRequested();

private:
    QLabel* m_name;
    QProgressBar* m_gauge;
    QWidget* m_errorView;
    QLabel* m_errorField;
    QPushButton* m_close;
};

// The one window that shows every running download: a pane appears with a download's first
// progress report and goes when the download ends; a failed download's pane stays with the reason
// until the user closes it. The window hides when no pane is left.
class DownloadPanel : public QWidget {
    Q_OBJECT

public:
    static DownloadPanel* shared();

    void showDownloader(const ZDLDownloader* downloader, qint64 bytes, qint64 total);
    // Other work that follows a download (an art product installing): its pane, named, appears with
    // the first report and goes with loadingDone; it counts steps, a total of 0 being unknown.
    void showWork(const void* work, const QString& name, qint64 done, qint64 total);
    void downloaderDone(const ZDLDownloader* downloader);
    void downloaderGotError(const ZDLDownloader* downloader, const QString& error);
    void loadingDone(const void* downloader);

    int paneCount() const { return int(m_panes.size()); }
    QList<DownloadPane*> panes() const;

private:
    DownloadPanel();
    void arrange();
    DownloadPane* paneFor(const void* key, const QString& name);

    QVBoxLayout* m_stack;
    QHash<const void*, DownloadPane*> m_panes;
};

} // namespace zandrel
