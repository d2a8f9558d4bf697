#include "app/WaitForFileController.h"

#include "platform/Localization.h"

#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QVBoxLayout>

namespace zandrel {

WaitForFileController::WaitForFileController(
    QWidget* window, const QString& path, const QString& message, Completion completion)
    : QDialog(window)
    , m_path(path)
    , m_completion(std::move(completion))
{
    setWindowModality(Qt::WindowModal);
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(message, this));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    m_timer.setInterval(kPollIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &WaitForFileController::poll);
}

void WaitForFileController::showWindow()
{
    open();
    m_timer.start();
}

void WaitForFileController::poll()
{
    const QFileInfo info(m_path);
    const bool present = info.exists() && info.isFile() && info.isReadable() && info.size() > 0;
    // A file still being written would read as a damaged picture: it must look the same twice.
    const bool settled = present && info.size() == m_lastSize && info.lastModified() == m_lastModified;
    m_lastSize = present ? info.size() : -1;
    m_lastModified = present ? info.lastModified() : QDateTime();
    if (!settled)
        return;
    m_timer.stop();
    Completion completion = std::move(m_completion);
    m_completion = nullptr;
    accept();
    if (completion)
        completion(m_path);
}

void WaitForFileController::done(int result)
{
    m_timer.stop();
    if (result != QDialog::Accepted)
        m_completion = nullptr;
    QDialog::done(result);
}

} // namespace zandrel
