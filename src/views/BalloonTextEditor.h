#pragma once

#include "app/core/Responder.h"

#include <QTextEdit>

namespace zandrel {

// The in-place editor of a balloon's text: a frameless, transparent text widget laid over the
// balloon, whose outline and fill the view keeps drawing beneath it. Its document's undo history is
// the private undo of one text edit: while it has the focus, Undo, Redo and the clipboard commands
// act on the text and never reach the document. Escape ends the edit.
class BalloonTextEditor : public QTextEdit, public Responder {
    Q_OBJECT

public:
    explicit BalloonTextEditor(QWidget* parent = nullptr);

    // The colour of the insertion point.
    void setInsertionPointColor(const QColor& color);
    QColor insertionPointColor() const;

    // --- Responder ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;

signals:
    void escapePressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
};

} // namespace zandrel
