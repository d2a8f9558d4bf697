#include "app/DownloadPanel.h"

#include "app/ZDLDownloader.h"
#include "platform/Localization.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>

namespace zandrel {

namespace {

constexpr int kPanelWidth = 360;
// Gauges count in kibibytes: a progress bar's range is an int.
constexpr int kGaugeShift = 10;

} // namespace

DownloadPane::DownloadPane(const QString& name, QWidget* parent)
    : QWidget(parent)
    , m_name(new QLabel(name, this))
    , m_gauge(new QProgressBar(this))
    , m_errorView(new QWidget(this))
    , m_errorField(new QLabel(m_errorView))
    , m_close(new QPushButton(localized("Close"), m_errorView))
{
    m_name->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_gauge->setTextVisible(false);
    m_errorField->setWordWrap(true);
    auto* errorLayout = new QHBoxLayout(m_errorView);
    errorLayout->setContentsMargins(0, 0, 0, 0);
    errorLayout->addWidget(m_errorField, 1);
    errorLayout->addWidget(m_close);
    m_errorView->hide();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_name);
    layout->addWidget(m_gauge);
    layout->addWidget(m_errorView);
    connect(m_close, &QPushButton::clicked, this, &DownloadPane::closeRequested);
}

void DownloadPane::setProgress(qint64 bytes, qint64 total)
{
    if (total <= 0) {
        m_gauge->setRange(0, 0);
        return;
    }
    m_gauge->setRange(0, int(std::min<qint64>(total >> kGaugeShift, INT_MAX)));
    m_gauge->setValue(int(std::min<qint64>(bytes >> kGaugeShift, m_gauge->maximum())));
}

void DownloadPane::setSteps(qint64 done, qint64 total)
{
    if (total <= 0 || total > INT_MAX) {
        m_gauge->setRange(0, 0);
        return;
    }
    m_gauge->setRange(0, int(total));
    m_gauge->setValue(int(std::clamp<qint64>(done, 0, total)));
}

void DownloadPane::showError(const QString& error)
{
    m_gauge->hide();
    m_errorField->setText(error);
    m_errorView->show();
}

QString DownloadPane::name() const
{
    return m_name->text();
}

QString DownloadPane::errorText() const
{
    return m_errorField->text();
}

bool DownloadPane::showsError() const
{
    return !m_errorView->isHidden();
}

DownloadPanel* DownloadPanel::shared()
{
    static QPointer<DownloadPanel> panel;
    if (!panel)
        panel = new DownloadPanel;
    return panel;
}

DownloadPanel::DownloadPanel()
    : QWidget(nullptr, Qt::Tool)
    , m_stack(new QVBoxLayout(this))
{
    setWindowTitle(localized("Downloads"));
    setAttribute(Qt::WA_QuitOnClose, false);
    m_stack->setSizeConstraint(QLayout::SetFixedSize);
    setMinimumWidth(kPanelWidth);
    connect(qApp, &QCoreApplication::aboutToQuit, this, &QObject::deleteLater);
}

QList<DownloadPane*> DownloadPanel::panes() const
{
    QList<DownloadPane*> result;
    for (int i = 0; i < m_stack->count(); ++i) {
        if (auto* pane = qobject_cast<DownloadPane*>(m_stack->itemAt(i)->widget()))
            result.append(pane);
    }
    return result;
}

DownloadPane* DownloadPanel::paneFor(const void* key, const QString& name)
{
    DownloadPane* pane = m_panes.value(key);
    if (!pane) {
        pane = new DownloadPane(name, this);
        pane->setFixedWidth(kPanelWidth);
        m_panes.insert(key, pane);
        m_stack->addWidget(pane);
        connect(pane, &DownloadPane::closeRequested, this, [this, pane] { loadingDone(m_panes.key(pane)); });
        arrange();
        show();
        raise();
    }
    return pane;
}

void DownloadPanel::showDownloader(const ZDLDownloader* downloader, qint64 bytes, qint64 total)
{
    paneFor(downloader, downloader->filename())->setProgress(bytes, total);
}

void DownloadPanel::showWork(const void* work, const QString& name, qint64 done, qint64 total)
{
    paneFor(work, name)->setSteps(done, total);
}

void DownloadPanel::downloaderDone(const ZDLDownloader* downloader)
{
    if (DownloadPane* pane = m_panes.value(downloader))
        pane->setProgress(0, 0);
}

void DownloadPanel::downloaderGotError(const ZDLDownloader* downloader, const QString& error)
{
    DownloadPane* pane = m_panes.take(downloader);
    if (!pane)
        return;
    pane->showError(error);
    // The pane outlives its download, whose address may serve another one soon.
    m_panes.insert(pane, pane);
    arrange();
}

void DownloadPanel::loadingDone(const void* downloader)
{
    DownloadPane* pane = m_panes.take(downloader);
    if (!pane)
        return;
    m_stack->removeWidget(pane);
    pane->deleteLater();
    arrange();
    if (m_panes.isEmpty())
        hide();
}

void DownloadPanel::arrange()
{
    m_stack->activate();
    adjustSize();
}

} // namespace zandrel
