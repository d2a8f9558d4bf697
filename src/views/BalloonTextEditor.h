#pragma once

#include "app/core/Responder.h"

#include <QHash>
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

    // --- Names of the steps of the edit's undo history ---
    // Names the step just made, which the history held stepsBefore commands before; steps without
    // a name are typing.
    void nameLastStep(const QString& name, int stepsBefore);
    QString undoActionName() const;
    QString redoActionName() const;

    // --- Responder ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the editor with when it is offered.
    static const ActionTable<BalloonTextEditor>& actionTable();

signals:
    void escapePressed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    // The document counts commands, not steps: a named step is known by the count of commands it
    // leaves (for Undo) and the count it found (for Redo).
    void forgetStepsFrom(int steps);
    QHash<int, QString> m_namesByStepsAfter;
    QHash<int, QString> m_namesByStepsBefore;
};

} // namespace zandrel
