#pragma once

#include "colorui/PopupController.h"
#include "graphics/GradientFill.h"

#include <QWidget>
#include <functional>

class QPushButton;

namespace zandrel {

class GradientGeometryControl;
class GradientPopupController;
class GradientRuler;
class SegmentedControl;

// The gradient well: a gradient fill over the checkerboard with a little triangle; a click opens
// its gradient popup. Reports like a colour well: action() once on OK for a modal well, at every
// change for a modeless one, with the commit and cancel handlers after OK and Cancel.
class GradientPopupButton : public QWidget {
    Q_OBJECT

public:
    using Handler = std::function<void(GradientPopupButton*)>;

    explicit GradientPopupButton(QWidget* parent = nullptr);

    // A copy: changing it leaves the well's own fill alone.
    GradientFillPtr gradientFillValue() const { return std::make_shared<GradientFill>(m_fill); }
    void setGradientFillValue(const GradientFill& fill);
    bool modeless() const { return m_modeless; }
    void setModeless(bool modeless) { m_modeless = modeless; }
    const Handler& commitHandler() const { return m_commitHandler; }
    void setCommitHandler(Handler handler) { m_commitHandler = std::move(handler); }
    const Handler& cancelHandler() const { return m_cancelHandler; }
    void setCancelHandler(Handler handler) { m_cancelHandler = std::move(handler); }
    GradientPopupController* popupController() const { return m_popupController; }
    void sendAction() { emit action(); }

signals:
    void action();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    GradientFill m_fill;
    GradientPopupController* m_popupController = nullptr;
    bool m_modeless = false;
    Handler m_commitHandler;
    Handler m_cancelHandler;
};

// The popup of a gradient well: the type, the geometry preview above the stops ruler, OK and
// Cancel, under the same rules as the colour popup.
class GradientPopupController : public PopupController {
    Q_OBJECT

public:
    explicit GradientPopupController(GradientPopupButton* host);

    bool modeless() const { return m_modeless; }
    void setModeless(bool modeless) { m_modeless = modeless; }
    GradientGeometryControl* gradientControl() const { return m_gradientControl; }
    GradientRuler* gradientRuler() const { return m_gradientRuler; }
    SegmentedControl* typeControl() const { return m_typeControl; }
    QPushButton* cancelButton() const { return m_cancelButton; }
    QPushButton* okButton() const { return m_okButton; }

    void showWindow() override;
    void close() override;
    void cancelDialog() override;
    void perform() override;

private:
    void gradientChanged();

    GradientPopupButton* m_hostButton;
    std::shared_ptr<GradientFill> m_savedValue;
    bool m_modeless = false;
    GradientGeometryControl* m_gradientControl = nullptr;
    GradientRuler* m_gradientRuler = nullptr;
    SegmentedControl* m_typeControl = nullptr;
    QPushButton* m_okButton = nullptr;
    QPushButton* m_cancelButton = nullptr;
};

} // namespace zandrel
