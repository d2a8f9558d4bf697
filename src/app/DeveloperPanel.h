#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace zandrel {

// A panel for testing the program: where it keeps its files and what state its open documents are
// in, read again each time the panel is shown. The application controller shows and hides it.
class DeveloperPanel : public QWidget {
    Q_OBJECT

public:
    explicit DeveloperPanel(QWidget* parent = nullptr);

    QString text() const;
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPlainTextEdit* m_text = nullptr;
};

} // namespace zandrel
