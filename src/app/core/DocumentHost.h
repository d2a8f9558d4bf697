#pragma once

#include "app/core/DocumentError.h"

class QObject;

namespace zandrel {

class EditorContainer;

// What a failed file operation was doing, for the words the user is shown.
enum class FileOperation { Open, Save };

// What a document asks of the windows that show it. The GUI's window controller implements it;
// a document without windows (tests, the headless tools) has none and the defaults apply.
class DocumentHost {
public:
    virtual ~DocumentHost() = default;

    // The window alerts about this document are attached to.
    virtual QObject* alertWindow() const { return nullptr; }
    // The file, its name or its edited state changed: titles and menus follow.
    virtual void documentStateChanged() { }
    // A save, autosave or revert failed; the user is told (the "user cancelled" error never is).
    virtual void presentError(const DocumentError& error, FileOperation operation) { }
    // Switches the visible areas from the current editor (null: the default view) to the next one.
    virtual void transitionToNewEditor(EditorContainer* current, EditorContainer* next) { }
    // Back at the default editing view: it takes the focus, its selection is checked.
    virtual void focusDefaultEditingView() { }
    virtual void validateDefaultViewSelection() { }
    // The scale control of the window shows the zoom of the editing view the user sees.
    virtual void setScalePopupValue(float scale) { }
};

} // namespace zandrel
