#pragma once

#include "colorui/ColorEyedropperOverlay.h"
#include "platform/RgbColor.h"

#include <QPointer>
#include <QString>
#include <QWidget>

class QPushButton;
class QToolButton;

namespace zandrel {

class AlphaSlider;
class ColorSwatchGrid;
class HueSlider;
class SaturationBrightnessControl;
class SolidFillView;

// The colour editor of the colour popups and sheets: hue slider, saturation-brightness square and
// opacity slider, a swatch of the colour, the saved swatches with their save and delete buttons,
// and the eyedropper. Emits action() at each change the user makes. An edit runs from
// beginEditingColor to doneEditing; the saved swatches are read at the start and written at the
// end, so every editor shares one list.
class ColorEditorController : public QWidget {
    Q_OBJECT

public:
    // The user default that keeps the saved swatches, as "#RRGGBBAA" texts.
    static inline const QString kGridColorsKey = QStringLiteral("colorPickerGridColors");
    static constexpr int kMaxSavedSwatches = 50;

    explicit ColorEditorController(QWidget* parent = nullptr);
    ~ColorEditorController() override;

    // Registers the swatches' default (no swatches).
    static void registerDefaults();

    RgbColor color() const { return m_color; }
    void setColor(const RgbColor& color);
    void beginEditingColor(const RgbColor& color);
    void doneEditing();
    void setDeleteButtonState();

    // Controls, for the popups and sheets that embed the editor and for tests.
    HueSlider* hueSlider() const { return m_hueSlider; }
    SaturationBrightnessControl* saturationBrightnessControl() const { return m_square; }
    AlphaSlider* alphaSlider() const { return m_alphaSlider; }
    ColorSwatchGrid* swatchGrid() const { return m_swatchGrid; }
    SolidFillView* swatch() const { return m_swatch; }
    QPushButton* saveColorButton() const { return m_saveColorButton; }
    QPushButton* deleteColorButton() const { return m_deleteColorButton; }
    QToolButton* eyedropperButton() const { return m_eyedropperButton; }
    ColorEyedropperOverlay* eyedropperOverlay() const { return m_eyedropperOverlay; }

    void addColorToGrid();
    void removeColorFromGrid();
    void beginEyedropper();
    void eyedropperClicked();

signals:
    void action();

private:
    void colorChanged();
    void setColorFromSender();
    void endEyedropper();

    HueSlider* m_hueSlider = nullptr;
    SaturationBrightnessControl* m_square = nullptr;
    AlphaSlider* m_alphaSlider = nullptr;
    QToolButton* m_eyedropperButton = nullptr;
    QPushButton* m_saveColorButton = nullptr;
    QPushButton* m_deleteColorButton = nullptr;
    ColorSwatchGrid* m_swatchGrid = nullptr;
    SolidFillView* m_swatch = nullptr;
    QPointer<ColorEyedropperOverlay> m_eyedropperOverlay;
    RgbColor m_color;
};

} // namespace zandrel
