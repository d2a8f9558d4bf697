#pragma once

#include "panels/DialogController.h"

#include <QTimer>
#include <functional>

class QLabel;
class QProgressBar;

namespace zandrel {

// The sheet that waits for a file another program has promised to write (a drag that names a file
// before it exists). It looks twice a second and, at the first look at which the file is there,
// closes and hands the path to its completion. Cancel stops looking and hands over nothing.
class WaitForFileController : public DialogController {
    Q_OBJECT

public:
    using Completion = std::function<void(const QString& path)>;

    // Construct through DialogController::create.
    WaitForFileController(
        QWidget* window, const QString& path, const QString& message, Completion completion);

    const QString& fileToWaitFor() const { return m_fileToWaitFor; }
    QLabel* messageField() const { return m_messageField; }
    QProgressBar* indicator() const { return m_indicator; }

    // Shows the sheet with its indicator running and starts looking.
    void showWindow() override;
    // One look at the file.
    void checkForFile();
    void close() override;

    static constexpr int kPollIntervalMs = 500;

private:
    QString m_fileToWaitFor;
    Completion m_fileCompletionHandler;
    QTimer m_waitForFileTimer;
    QLabel* m_messageField = nullptr;
    QProgressBar* m_indicator = nullptr;
};

} // namespace zandrel
