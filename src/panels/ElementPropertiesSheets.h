#pragma once

#include "graphics/ColorFill.h"
#include "graphics/ElementFields.h"
#include "graphics/GradientFill.h"
#include "graphics/ZDLColor.h"
#include "panels/DialogController.h"
#include "platform/Value.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QWidget>
#include <memory>
#include <vector>

class QSlider;

namespace zandrel {

class Balloon;
class CharacterModel;
class ColorAdjuster;
class ComicDocument;
class ComicPanel;
class GradientPopupButton;
class NewColorPopupController;
class PanelFrameControls;
class PopupButton;
class SegmentedControl;
class ZDLDocument;

// Edits the frame and fill of the current panel or of every panel of the comic: shape, border
// weight, line style, corner roundness, fill (none, a colour with its lightness adjustment, or a
// gradient), the layer the fill is painted on and its opacity. A control the user touches marks
// its property; OK writes only the marked properties, to every chosen panel, as one undo step.
class PanelPropertiesDialogController : public DialogController {
    Q_OBJECT

public:
    enum FillKind { NoFill = 0, ColorFillKind = 1, GradientFillKind = 2 };

    PanelPropertiesDialogController(ComicDocument* document, QWidget* hostWindow);

    void showWindow() override;
    // OK.
    void applyProperties();

    // Segment 0: the current panel; 1: every panel of the comic.
    void selectPanels(int segment);

    const std::vector<std::shared_ptr<ComicPanel>>& panels() const { return m_panels; }

private:
    void setupColorPopup();
    void setPopupValues();
    void showFillKind(int kind);
    void setFillType(int kind);
    void setColor(const ZDLColorPtr& color);
    void addColorAndSetToFill();
    void setWithNewColor(const ZDLColorPtr& color);
    void setRoundness();
    bool roundnessTextIsValid() const;

    ComicDocument* m_comicDoc;
    std::vector<std::shared_ptr<ComicPanel>> m_panels;
    SegmentedControl* m_setSelector = nullptr;
    PanelFrameControls* m_frame = nullptr;
    SegmentedControl* m_fillSelector = nullptr;
    QWidget* m_colorControls = nullptr;
    PopupButton* m_colorPopup = nullptr;
    ColorAdjuster* m_colorAdjuster = nullptr;
    GradientPopupButton* m_gradientWell = nullptr;
    PopupButton* m_layerPopup = nullptr;
    QSlider* m_opacitySlider = nullptr;
    QPointer<NewColorPopupController> m_newColorPopup;
    ZDLColorPtr m_currentColor;

    bool m_shapeSet = false;
    bool m_weightSet = false;
    bool m_lineStyleSet = false;
    bool m_fillSet = false;
    bool m_layerSet = false;
    bool m_opacitySet = false;
    bool m_roundnessSet = false;
};

// Edits the look of the selected balloons: shape, outline style, line colour and its adjustment,
// line weight and dash, and the fill (a colour with an adjustment, or a gradient). Values the
// balloons share show as such, others as mixed; OK writes a property only when the user chose one
// value for it, and only to the balloons whose value differs, as one undo step.
class BalloonPropertiesController : public DialogController {
    Q_OBJECT

public:
    // Beyond this a line is no outline any more.
    static constexpr double kLargestLineWeight = 100.0;

    BalloonPropertiesController(const QList<std::shared_ptr<Balloon>>& balloons, CharacterModel* model,
        ZDLDocument* document, QWidget* hostWindow);

    void showWindow() override;
    bool setNilValueForKey(const QString& key) override;
    // OK.
    void applyBalloonProperties();

private:
    void updateColorMenus();
    void updateControls();
    // The popups show the colours of their sets.
    void showColorChoices();
    void showFillGroups(bool colour, bool gradient);
    void setFillType(int segment);
    void setLineColor();
    void setFillColor();
    void addColor(bool toLine);
    void setWithNewColor(bool toLine, const ZDLColorPtr& color);
    void setLineWeight(float weight);
    ZDLColorPtr colorOf(const QAction* item) const;

    ZDLDocument* m_document;
    CharacterModel* m_model;
    QList<std::shared_ptr<Balloon>> m_editBalloons;
    QPointer<NewColorPopupController> m_newColorPopup;

    // A popup of a field the balloon declares for the sheet, with the field's values over the
    // balloons: one value once the user chose it.
    struct FieldPopup {
        const ElementField<Balloon>* field;
        PopupButton* popup;
        QSet<int> values;
    };
    std::vector<FieldPopup> m_fieldPopups;
    PopupButton* m_lineColorPopup = nullptr;
    ColorAdjuster* m_lineColorAdjuster = nullptr;
    PopupButton* m_lineWeightPopup = nullptr;
    PopupButton* m_lineDashPopup = nullptr;
    SegmentedControl* m_fillTypeSelector = nullptr;
    QWidget* m_fillColorControls = nullptr;
    PopupButton* m_fillColorPopup = nullptr;
    ColorAdjuster* m_fillColorAdjuster = nullptr;
    GradientPopupButton* m_gradientWell = nullptr;

    // The values of each property over the balloons; one value once the user chose it.
    QList<ZDLColorPtr> m_lineColors;
    QSet<float> m_lineColorAdjusts;
    QSet<float> m_lineWeights;
    QSet<int> m_lineDashes;
    QList<ZDLColorPtr> m_fillColors;
    QSet<float> m_fillColorAdjusts;
    // The working fills: copies of the first colour and gradient fills met.
    std::shared_ptr<ColorFill> m_colorFill;
    std::shared_ptr<GradientFill> m_gradientFill;
    bool m_setGradient = false;
    bool m_setFillColor = false;
    bool m_setFillAdjust = false;
    // What the weight field shows.
    double m_typedWeight = 0.0;
};

} // namespace zandrel
