#include "colorui/PopupWell.h"

#include <QPushButton>

namespace zandrel {

ValuePopupController::ValuePopupController(PopupWell* host, const QString& name)
    : PopupController(host, name)
    , m_hostWell(host)
{
}

void ValuePopupController::showWindow()
{
    // A modeless well without a way to cancel has applied every change already.
    if (cancelButton())
        cancelButton()->setVisible(!(m_modeless && !m_hostWell->cancelHandler()));
    beginEditingHostValue();
    PopupController::showWindow();
}

void ValuePopupController::editorChanged()
{
    writeEditedValueToHost();
    if (m_modeless)
        m_hostWell->sendAction();
}

void ValuePopupController::perform()
{
    if (!isShown())
        return;
    writeEditedValueToHost();
    m_hostWell->sendAction();
    if (m_hostWell->commitHandler())
        m_hostWell->commitHandler()(m_hostWell);
    close();
}

void ValuePopupController::cancelDialog()
{
    if (!isShown())
        return;
    restoreHostValue();
    if (m_hostWell->cancelHandler())
        m_hostWell->cancelHandler()(m_hostWell);
    PopupController::cancelDialog();
}

} // namespace zandrel
