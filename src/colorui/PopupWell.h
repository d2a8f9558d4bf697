#pragma once

#include "colorui/PopupController.h"

#include <QWidget>
#include <functional>

namespace zandrel {

// A well that shows a value and edits it in its own popup. action() reports the value: once on OK
// for a modal well, at every change for a modeless one; the commit and cancel handlers, where set,
// follow OK and Cancel.
class PopupWell : public QWidget {
    Q_OBJECT

public:
    using Handler = std::function<void(PopupWell*)>;

    using QWidget::QWidget;

    bool modeless() const { return m_modeless; }
    void setModeless(bool modeless) { m_modeless = modeless; }
    const Handler& commitHandler() const { return m_commitHandler; }
    void setCommitHandler(Handler handler) { m_commitHandler = std::move(handler); }
    const Handler& cancelHandler() const { return m_cancelHandler; }
    void setCancelHandler(Handler handler) { m_cancelHandler = std::move(handler); }
    void sendAction() { emit action(); }

signals:
    void action();

private:
    bool m_modeless = false;
    Handler m_commitHandler;
    Handler m_cancelHandler;
};

// The popup of a well. It keeps the well's value from the opening; each edit shows in the well at
// once (and is reported by a modeless well); OK, or turning to another window, writes the value
// and reports it; Cancel puts back the value of the opening without reporting it.
class ValuePopupController : public PopupController {
    Q_OBJECT

public:
    ValuePopupController(PopupWell* host, const QString& name);

    bool modeless() const { return m_modeless; }
    void setModeless(bool modeless) { m_modeless = modeless; }

    void showWindow() override;
    void cancelDialog() override;
    void perform() override;

protected:
    // Keeps the well's value and loads it into the editor.
    virtual void beginEditingHostValue() = 0;
    // Writes the editor's value into the well, without reporting it.
    virtual void writeEditedValueToHost() = 0;
    // Writes the value of the opening back into the well.
    virtual void restoreHostValue() = 0;
    // The editors call this at each change.
    void editorChanged();
    PopupWell* m_hostWell;

private:
    bool m_modeless = false;
};

} // namespace zandrel
