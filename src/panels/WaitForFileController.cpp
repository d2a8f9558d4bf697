#include "panels/WaitForFileController.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace zandrel {

WaitForFileController::WaitForFileController(
    QWidget* window, const QString& path, const QString& message, Completion completion)
    : DialogController(window, QStringLiteral("WaitForFileDialog"))
    , m_fileToWaitFor(path)
    , m_fileCompletionHandler(std::move(completion))
{
    auto* layout = static_cast<QVBoxLayout*>(sheet()->layout());
    m_messageField = new QLabel(message, sheet());
    m_messageField->setObjectName(QStringLiteral("messageField"));
    layout->addWidget(m_messageField);
    m_indicator = new QProgressBar(sheet());
    m_indicator->setObjectName(QStringLiteral("indicator"));
    m_indicator->setTextVisible(false);
    m_indicator->setRange(0, 1);
    layout->addWidget(m_indicator);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, sheet());
    connect(buttons, &QDialogButtonBox::rejected, this, [this] { cancelDialog(); });
    layout->addWidget(buttons);
    m_waitForFileTimer.setInterval(kPollIntervalMs);
    connect(&m_waitForFileTimer, &QTimer::timeout, this, &WaitForFileController::checkForFile);
}

void WaitForFileController::showWindow()
{
    m_waitForFileTimer.start();
    // A range of nothing runs the indicator without a known end.
    m_indicator->setRange(0, 0);
    DialogController::showWindow();
}

void WaitForFileController::checkForFile()
{
    if (!m_fileCompletionHandler)
        return;
    const QFileInfo file(m_fileToWaitFor);
    if (!file.exists() || file.isDir())
        return;
    const Completion completion = std::move(m_fileCompletionHandler);
    m_fileCompletionHandler = nullptr;
    const QString path = m_fileToWaitFor;
    // The sheet goes first, so that what the completion shows is not held behind it.
    close();
    completion(path);
}

void WaitForFileController::close()
{
    m_waitForFileTimer.stop();
    m_fileCompletionHandler = nullptr;
    DialogController::close();
}

} // namespace zandrel
