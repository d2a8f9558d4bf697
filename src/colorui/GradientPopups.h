#pragma once

#include "colorui/PopupWell.h"
#include "graphics/GradientFill.h"

#include <QWidget>

namespace zandrel {

class GradientGeometryControl;
class GradientPopupController;
class GradientRuler;
class SegmentedControl;

// The gradient well: a gradient fill over the checkerboard with a little triangle; a click opens
// its gradient popup.
class GradientPopupButton : public PopupWell {
    Q_OBJECT

public:
    explicit GradientPopupButton(QWidget* parent = nullptr);

    // A copy: changing it leaves the well's own fill alone.
    GradientFillPtr gradientFillValue() const { return std::make_shared<GradientFill>(m_fill); }
    void setGradientFillValue(const GradientFill& fill);
    GradientPopupController* popupController() const { return m_popupController; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    GradientFill m_fill;
    GradientPopupController* m_popupController = nullptr;
};

// The popup of a gradient well: the type, the geometry preview above the stops ruler, OK and
// Cancel.
class GradientPopupController : public ValuePopupController {
    Q_OBJECT

public:
    explicit GradientPopupController(GradientPopupButton* host);

    GradientGeometryControl* gradientControl() const { return m_gradientControl; }
    GradientRuler* gradientRuler() const { return m_gradientRuler; }
    SegmentedControl* typeControl() const { return m_typeControl; }

    void close() override;

protected:
    void beginEditingHostValue() override;
    void writeEditedValueToHost() override;
    void restoreHostValue() override;

private:
    GradientPopupButton* m_hostButton;
    std::shared_ptr<GradientFill> m_savedValue;
    GradientGeometryControl* m_gradientControl = nullptr;
    GradientRuler* m_gradientRuler = nullptr;
    SegmentedControl* m_typeControl = nullptr;
};

} // namespace zandrel
