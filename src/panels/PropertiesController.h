#pragma once

#include "colorui/ColorPopups.h"
#include "graphics/ElementProtocols.h"
#include "platform/NotificationCenter.h"
#include "platform/Object.h"
#include "platform/Value.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <vector>

class QAbstractButton;
class QAbstractSlider;
class QLabel;
class QLineEdit;
class QSlider;

namespace zandrel {

class CharacterModel;
class ColorAdjuster;
class CurveToleranceAdjuster;
class GradientPopupButton;
class PartElementsView;
class PopupButton;
class SegmentedControl;
class ZDLColor;
class ZDLDocument;

// The inspector's area: opaque, in the window's background colour under its controls.
class PropertiesView : public QWidget {
    Q_OBJECT

public:
    explicit PropertiesView(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

// The properties inspector of the part editor. It shows the line and fill of the selected part
// elements, their blur and, after a pencil stroke, the tolerance the stroke was fitted at; with
// nothing selected it shows and edits the character's defaults for new paths (no undo). A choice
// from a popup is one undo step; a slider or adjuster changes the elements live and becomes one
// undo step when it is let go; the gradient and new-colour popups preview and commit on OK or roll
// back on Cancel. Values that differ over the selection show as mixed.
class PropertiesController : public QObject, public PropertyPreviewer {
    Q_OBJECT

public:
    // Opacity and blur sliders hold hundredths, the tolerance slider thousandths.
    static constexpr int kSliderScale = 100;
    static constexpr int kToleranceScale = 1000;
    static constexpr float kMaxBlur = 50.0f;

    PropertiesController(ZDLDocument* document, PartElementsView* elementsView, QWidget* parent);
    ~PropertiesController() override;

    PropertiesView* propertiesView() const { return m_propertiesView; }
    const std::shared_ptr<CharacterModel>& model() const { return m_model; }
    void setModel(const std::shared_ptr<CharacterModel>& model);
    void documentClosing();
    // Schedules one refresh at the next pass of the event loop.
    void needsUpdate();
    void updateControlProperties();
    void updateColorControls();

    // --- Actions of the controls ---
    void setLineColor();
    void setFillColor();
    void setLineStyle();
    void setLineWeight();
    void setLineWeightFromPopup();
    void setLineAdjust();
    void setFillAdjust();
    void setLineOpacity();
    void setFillOpacity();
    void setBlur();
    void setFillType(int type);
    void setFillGradient();
    void addColorAndSetToLine();
    void addColorAndSetToFill();
    // Kept for a control that never came: it only writes its name to the log.
    void adjustLineColorLighter();
    void setTolerance();

    // --- Writes ---
    // One undo step over the selection, or the character's default without undo.
    void setProperty(const QString& property, const Value& value, const QString& actionName);
    // A live change that becomes one undo step when the control is let go.
    void applyProperty(const QString& property, const Value& value, const QString& actionName);
    void commitProperty();

    // --- PropertyPreviewer ---
    void previewProperty(const QString& key, const Value& value, const QString& actionName) override;
    void commitPreviewed() override;
    void cancelPreviewed() override;

    void prepareColorPopupForProperty(const QString& property);
    void setToleranceAdjuster(const std::shared_ptr<CurveToleranceAdjuster>& adjuster);
    const std::shared_ptr<CurveToleranceAdjuster>& toleranceAdjuster() const { return m_tolerator; }
    void disableTolerance();
    void commitTolerance();

    static float blurFromSlider(float value);
    static float sliderFromBlur(float blur);

    // The controls, for their owner and tests.
    PopupButton* lineColorPopup() const { return m_lineColorPopup; }
    PopupButton* lineStylePopup() const { return m_lineStylePopup; }
    ColorAdjuster* lineColorAdjuster() const { return m_lineColorAdjuster; }
    QSlider* lineOpacitySlider() const { return m_lineOpacitySlider; }
    QLineEdit* lineWeightField() const { return m_lineWeightField; }
    PopupButton* lineWeightPopup() const { return m_lineWeightPopup; }
    SegmentedControl* fillTypeSelector() const { return m_fillTypeSelector; }
    QAbstractButton* fillTypeButton(int type) const;
    QWidget* fillColorView() const { return m_fillColorView; }
    GradientPopupButton* fillGradientPopup() const { return m_fillGradientPopup; }
    PopupButton* fillColorPopup() const { return m_fillColorPopup; }
    ColorAdjuster* fillColorAdjuster() const { return m_fillColorAdjuster; }
    QSlider* fillOpacitySlider() const { return m_fillOpacitySlider; }
    QSlider* blurSlider() const { return m_blurSlider; }
    QAbstractButton* hideButton() const { return m_hideButton; }
    QAbstractButton* showAllButton() const { return m_showAllButton; }
    QLabel* selectionLabel() const { return m_selectionLabel; }
    QWidget* toleranceSliderView() const { return m_toleranceSliderView; }
    QSlider* toleranceSlider() const { return m_toleranceSlider; }
    QLabel* toleranceLabel() const { return m_toleranceLabel; }
    NewColorPopupController* newColorPopup() const { return m_newColorPopup; }
    bool changeOpen() const { return !m_setPropertyProperty.isEmpty(); }

protected:
    // Notes when a slider or adjuster is held, so that its live change is committed once at the
    // release rather than at every pass of the event loop.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Where the blur slider shows a blur, in slider units.
    float blurSliderPosition(float blur) const;
    void buildControls();
    ElementList selection() const;
    // Records the value of every selected element that has the property, unless a change is open.
    void collectOriginalValuesFor(const QString& property, const ElementList& elements);
    void setOnOpenChange(const Value& value);
    void scheduleCommit();
    // The character the defaults are read from and written to.
    std::shared_ptr<CharacterModel> character() const;
    void setOnCharacter(const QString& property, const Value& value);
    void observeTolerancePath(bool observe);
    void setColorFromPopup(PopupButton* popup, const QString& property, const QString& actionName);
    void addColorAndSet(const QString& property);

    ZDLDocument* m_document;
    PartElementsView* m_partElementsView;
    PropertiesView* m_propertiesView = nullptr;
    std::shared_ptr<CharacterModel> m_model;
    NotificationToken m_colorsObservation = 0;
    bool m_updatePending = false;

    PopupButton* m_lineColorPopup = nullptr;
    PopupButton* m_lineStylePopup = nullptr;
    ColorAdjuster* m_lineColorAdjuster = nullptr;
    QSlider* m_lineOpacitySlider = nullptr;
    QLineEdit* m_lineWeightField = nullptr;
    PopupButton* m_lineWeightPopup = nullptr;
    SegmentedControl* m_fillTypeSelector = nullptr;
    QWidget* m_fillColorView = nullptr;
    GradientPopupButton* m_fillGradientPopup = nullptr;
    PopupButton* m_fillColorPopup = nullptr;
    ColorAdjuster* m_fillColorAdjuster = nullptr;
    QSlider* m_fillOpacitySlider = nullptr;
    QSlider* m_blurSlider = nullptr;
    QAbstractButton* m_hideButton = nullptr;
    QAbstractButton* m_showAllButton = nullptr;
    QLabel* m_selectionLabel = nullptr;
    QWidget* m_toleranceSliderView = nullptr;
    QSlider* m_toleranceSlider = nullptr;
    QLabel* m_toleranceLabel = nullptr;

    std::shared_ptr<CurveToleranceAdjuster> m_tolerator;
    ObserverToken m_segmentsObservation = 0;
    bool m_toleratorChangingCurve = false;

    // The open change: each element's value before it, the property and the undo name.
    std::vector<std::pair<ObjectPtr, Value>> m_setPropertyOriginalValues;
    QString m_setPropertyProperty;
    QString m_setPropertyActionName;
    int m_controlsHeld = 0;

    QPointer<NewColorPopupController> m_newColorPopup;
};

} // namespace zandrel
