#pragma once

#include "colorui/ColorPopups.h"
#include "graphics/NamedShapeStyle.h"
#include "panels/DialogController.h"

#include <QListWidget>
#include <QPointer>
#include <functional>
#include <memory>

class QLabel;
class QLineEdit;
class QMimeData;
class QPushButton;
class QSlider;

namespace zandrel {

class CharacterModel;
class ColorAdjuster;
class GradientPopupButton;
class PopupButton;
class SegmentedControl;
class ZDLDocument;

class EditStylesController;

// The list of the styles sheet: a row per style, its small preview and name. Rows are reordered by
// dragging them within the list; drags from elsewhere are refused.
class StyleTable : public QListWidget {
    Q_OBJECT

public:
    StyleTable(EditStylesController* controller, QWidget* parent);

    // The insertion row (0 ... count) a drop at the point of the viewport stands for.
    int dropRowAt(const QPoint& point) const;
    EditStylesController* controller() const { return m_controller; }

protected:
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    EditStylesController* m_controller;
};

// Edits a character's named styles. Everything happens on copies of the styles, so nothing of the
// character changes until Save, which replaces its list as one undoable step "Edit Styles"; Cancel
// drops the copies. Only a colour added through "Add Color…" reaches the character at once, as a
// step of its own.
class EditStylesController : public DialogController {
    Q_OBJECT

public:
    // The drag type of rows: the dragged row numbers.
    static inline const QString kStyleDragType = QStringLiteral("application/x-zandrel-styledragdata");
    // The heaviest line the weight field takes.
    static constexpr float kLargestWeight = 1000.0f;
    // The blur slider's range, in blur units.
    static constexpr float kLargestBlur = 50.0f;

    EditStylesController(
        const std::shared_ptr<CharacterModel>& model, ZDLDocument* document, QWidget* hostWindow);
    ~EditStylesController() override;

    void showWindow() override;

    const QList<NamedShapeStylePtr>& styles() const { return m_styles; }
    const NamedShapeStylePtr& currentStyle() const { return m_currentStyle; }
    StyleTable* table() const { return m_table; }
    NewColorPopupController* newColorPopup() const { return m_newColorPopup; }

    // The colour menus anew from the character's colours.
    void updateColorControls();
    // Every control from the current style.
    void updateControls();
    // The current style's preview drawn anew.
    void flushCache();
    void tableSelectionDidChange();

    // The edits of the current style (none touches the character).
    void setName(const QString& text);
    void setLineColor();
    void setLineStyle();
    void setLineAdjust();
    void setLineOpacity();
    void setLineWeight(double weight);
    void setLineWeightFromPopup();
    void setFillColor();
    void setFillAdjust();
    void setFillOpacity();
    void setFillType();
    void setFillGradient();
    void setBlur();
    // "Add Color…" of a colour menu: a new colour added to the character and set on the style.
    void addColorAndSetToLine();
    void addColorAndSetToFill();
    void setLineWithNewColor(const ZDLColorPtr& color);
    void setFillWithNewColor(const ZDLColorPtr& color);
    void deleteStyle();
    // Save.
    void saveChanges();

    // Reordering by drag: the data of the rows, and the move they ask for when dropped before the
    // row (0 ... count). False, with nothing moved, for data that is not a set of rows of this list.
    static QMimeData* dragDataForRows(const QList<int>& rows);
    bool acceptDrop(const QMimeData* data, int row);

private:
    void prepareColorPopupForProperty(const QString& property);
    void reloadTable();
    void selectRow(int row);
    void showWeight(float weight);
    // Runs the edit on the current style and shows the result.
    void editCurrentStyle(const std::function<void(NamedShapeStyle&)>& edit);

    std::shared_ptr<CharacterModel> m_model;
    ZDLDocument* m_document;
    QList<NamedShapeStylePtr> m_styles;
    NamedShapeStylePtr m_currentStyle;
    // Made on first use as a child of its first anchor: it may go with the sheet's widgets first.
    QPointer<NewColorPopupController> m_newColorPopup;
    bool m_loading = false;

    QLabel* m_stylesLabel = nullptr;
    QLineEdit* m_nameField = nullptr;
    StyleTable* m_table = nullptr;
    PopupButton* m_lineColorPopup = nullptr;
    PopupButton* m_lineStylePopup = nullptr;
    PopupButton* m_lineWeightPopup = nullptr;
    PopupButton* m_fillColorPopup = nullptr;
    ColorAdjuster* m_lineColorAdjuster = nullptr;
    ColorAdjuster* m_fillColorAdjuster = nullptr;
    QSlider* m_lineOpacitySlider = nullptr;
    QSlider* m_fillOpacitySlider = nullptr;
    QSlider* m_blurSlider = nullptr;
    QLineEdit* m_lineWeightField = nullptr;
    SegmentedControl* m_fillTypeSelector = nullptr;
    QWidget* m_fillColorView = nullptr;
    GradientPopupButton* m_fillGradientPopup = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QLabel* m_previewImage = nullptr;
};

// Names a new style made from the selected path (or the character's defaults) and adds it to the
// character's styles as one undoable step "Save Style".
class NewStyleController : public DialogController {
    Q_OBJECT

public:
    NewStyleController(const NamedShapeStylePtr& style, ZDLDocument* document,
        const std::shared_ptr<CharacterModel>& model, QWidget* hostWindow);

    void showWindow() override;
    // OK.
    void performNewStyle();

    QLineEdit* nameField() const { return m_nameField; }

private:
    NamedShapeStylePtr m_newStyle;
    ZDLDocument* m_document;
    std::shared_ptr<CharacterModel> m_model;
    QLineEdit* m_nameField = nullptr;
};

} // namespace zandrel
