#include "views/BalloonTextEditor.h"

#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "platform/Localization.h"

#include <QKeyEvent>
#include <QTextDocument>

namespace zandrel {

BalloonTextEditor::BalloonTextEditor(QWidget* parent)
    : QTextEdit(parent)
{
    setFrameStyle(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    // Pasted text takes the attributes where it lands, as typing does.
    setAcceptRichText(false);
    setTabChangesFocus(false);
    setUndoRedoEnabled(true);
    // No background: the balloon the view draws shows through.
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    QPalette colors = palette();
    colors.setColor(QPalette::Base, Qt::transparent);
    setPalette(colors);
    setVisible(false);
    // A change made after an undo replaces the steps that could have been redone, names and all.
    connect(document(), &QTextDocument::undoCommandAdded, this,
        [this] { forgetStepsFrom(document()->availableUndoSteps()); });
}

void BalloonTextEditor::forgetStepsFrom(int steps)
{
    for (QHash<int, QString>* names : { &m_namesByStepsAfter, &m_namesByStepsBefore }) {
        for (auto it = names->begin(); it != names->end();)
            it = it.key() >= steps ? names->erase(it) : std::next(it);
    }
}

void BalloonTextEditor::nameLastStep(const QString& name, int stepsBefore)
{
    const int stepsAfter = document()->availableUndoSteps();
    if (stepsAfter <= stepsBefore)
        return;
    // A step that grew (a colour being chosen) is named anew.
    forgetStepsFrom(stepsBefore + 1);
    m_namesByStepsAfter.insert(stepsAfter, name);
    m_namesByStepsBefore.insert(stepsBefore, name);
}

QString BalloonTextEditor::undoActionName() const
{
    return m_namesByStepsAfter.value(document()->availableUndoSteps(), localized("Typing"));
}

QString BalloonTextEditor::redoActionName() const
{
    return m_namesByStepsBefore.value(document()->availableUndoSteps(), localized("Typing"));
}

void BalloonTextEditor::setInsertionPointColor(const QColor& color)
{
    // The caret is drawn in the text colour of the palette; every character has its own colour.
    QPalette colors = palette();
    colors.setColor(QPalette::Text, color);
    setPalette(colors);
}

QColor BalloonTextEditor::insertionPointColor() const
{
    return palette().color(QPalette::Text);
}

void BalloonTextEditor::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        emit escapePressed();
        return;
    }
    QTextEdit::keyPressEvent(event);
}

const ActionTable<BalloonTextEditor>& BalloonTextEditor::actionTable()
{
    static const auto withSelection = [](BalloonTextEditor& editor, MenuItemValidation& item) {
        item.enabled = editor.textCursor().hasSelection();
    };
    static const ActionTable<BalloonTextEditor> table {
        { .action = kUndoAction,
            .validate =
                [](BalloonTextEditor& editor, MenuItemValidation& item) {
                    item.enabled = editor.document()->isUndoAvailable();
                    item.title = item.enabled ? localized("Undo %1").arg(editor.undoActionName())
                                              : localized("Undo");
                },
            .perform = runs<&BalloonTextEditor::undo> },
        { .action = kRedoAction,
            .validate =
                [](BalloonTextEditor& editor, MenuItemValidation& item) {
                    item.enabled = editor.document()->isRedoAvailable();
                    item.title = item.enabled ? localized("Redo %1").arg(editor.redoActionName())
                                              : localized("Redo");
                },
            .perform = runs<&BalloonTextEditor::redo> },
        { .action = kCutAction, .validate = withSelection, .perform = runs<&BalloonTextEditor::cut> },
        { .action = kCopyAction, .validate = withSelection, .perform = runs<&BalloonTextEditor::copy> },
        { .action = kPasteAction,
            .validate
            = [](BalloonTextEditor& editor, MenuItemValidation& item) { item.enabled = editor.canPaste(); },
            .perform = runs<&BalloonTextEditor::paste> },
        { .action = kDeleteAction,
            .validate = withSelection,
            .perform =
                [](BalloonTextEditor& editor, const ActionSender&) {
                    editor.textCursor().removeSelectedText();
                    return true;
                } },
        { .action = kSelectAllAction,
            .validate = [](BalloonTextEditor& editor,
                            MenuItemValidation& item) { item.enabled = !editor.document()->isEmpty(); },
            .perform = runs<&BalloonTextEditor::selectAll> },
    };
    return table;
}

bool BalloonTextEditor::tryToPerform(const QString& action, const ActionSender& sender)
{
    return actionTable().perform(*this, action, sender).value_or(false);
}

// Toolbar items pass on: the editor has none of its own.
bool BalloonTextEditor::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item);
}

} // namespace zandrel
