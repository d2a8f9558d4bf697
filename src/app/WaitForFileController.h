#pragma once

#include <QDateTime>
#include <QDialog>
#include <QTimer>
#include <functional>

namespace zandrel {

// A window-modal sheet that waits for a file another program has promised to write (a drag that
// names a file before it exists), polling twice a second. Once the file is there and has stopped
// growing between two looks, the sheet closes and runs the completion with its path; Cancel gives
// up and runs nothing. The sheet deletes itself when it closes.
class WaitForFileController : public QDialog {
    Q_OBJECT

public:
    using Completion = std::function<void(const QString& path)>;

    WaitForFileController(
        QWidget* window, const QString& path, const QString& message, Completion completion);

    const QString& path() const { return m_path; }
    // Shows the sheet over its window and starts polling.
    void showWindow();
    // One look at the file; runs the completion when it is whole.
    void poll();

    static constexpr int kPollIntervalMs = 500;

protected:
    void done(int result) override;

private:
    QString m_path;
    Completion m_completion;
    QTimer m_timer;
    qint64 m_lastSize = -1;
    QDateTime m_lastModified;
};

} // namespace zandrel
