#pragma once

#include "platform/TextAttributes.h"
#include "views/BalloonEditingView.h"
#include "views/BalloonTextEditor.h"
#include "views/TextDocumentBridge.h"

#include <QPointer>
#include <QTextCharFormat>
#include <memory>

class QAction;
class QLineEdit;

namespace zandrel {

class Balloon;
class BalloonTextEditor;
class ColorPopupButton;
class PopupButton;
class SegmentedControl;
class Stepper;

// The text formatting bar of a document window, shown below the editing area while a balloon's text
// is edited in place: font family (the user's favourite families first) and face, size and line
// height (field, stepper and menu each), bold, italic and underline, alignment, space before and
// after paragraphs, text colour, and the balloon's shape and style.
//
// Text changes go through the editor's own undo history, each a named step ("Change Text Color"
// for a whole colour choice); the balloon's shape and style change at once and undo there too, and
// when the edit ends each becomes one document step from the value at the start to the last one.
class TextPropertiesController : public TextEditingBar {
    Q_OBJECT

public:
    // Popup limits: other numbers in the menus are ignored.
    static constexpr float kMinPopupSize = 5.0f;
    static constexpr float kMaxPopupSize = 100.0f;
    static constexpr float kMinPopupLineHeight = 0.3f;
    static constexpr float kMaxPopupLineHeight = 3.0f;

    explicit TextPropertiesController(QWidget* parent = nullptr);
    ~TextPropertiesController() override;

    void startTextEditing(BalloonEditingView* view, BalloonTextEditor* editor,
        const std::shared_ptr<Balloon>& balloon) override;
    void endTextEditing(bool record) override;
    bool editing() const { return m_editor != nullptr; }

    // Rebuilds the family menu and makes the popup wide enough for every name in it.
    void setupFontFamilyMenu();
    void updateFormatControls();

    // --- Actions of the controls ---
    void changeFontFamily(QAction* item);
    void changeFontStyle(QAction* item);
    void changeStyleFromSelector(int segment);
    void changeBalloonShape();
    void changeBalloonStyle();
    void changeFontSize();
    void changeFontSizeFromStepper();
    void changeFontSizeFromPopup();
    void changeFontSizeTo(float size);
    void changeLineHeight();
    void changeLineHeightFromStepper();
    void changeLineHeightFromPopup();
    void changeLineHeightTo(float height);
    void changeAlignment(int segment);
    void changeSpaceBefore(const QString& text);
    void changeSpaceAfter(const QString& text);
    void changeColor();
    void commitColor();
    void cancelColor();

    // The number an item of the size or line-height menu stands for: the title read as a number, or
    // its first word; 0 for an empty title.
    static float floatFromNumericMenuItem(const QAction* item);
    // Marks the items whose numbers are in the set (on for one, mixed for several); disables the
    // popup for an empty set.
    static void checkNumericMenuItems(PopupButton& popup, const QSet<float>& sizes);

    // --- The controls, for the window and its tests ---
    PopupButton* fontFamilyPopup() const { return m_familyPopup; }
    PopupButton* fontStylePopup() const { return m_facePopup; }
    QLineEdit* fontSizeField() const { return m_sizeField; }
    Stepper* fontSizeStepper() const { return m_sizeStepper; }
    PopupButton* fontSizePopup() const { return m_sizePopup; }
    QLineEdit* lineHeightField() const { return m_lineHeightField; }
    Stepper* lineHeightStepper() const { return m_lineHeightStepper; }
    PopupButton* lineHeightPopup() const { return m_lineHeightPopup; }
    SegmentedControl* styleToggles() const { return m_styleToggles; }
    SegmentedControl* alignmentControl() const { return m_alignment; }
    QLineEdit* beforeParField() const { return m_beforeField; }
    QLineEdit* afterParField() const { return m_afterField; }
    Stepper* beforeParStepper() const { return m_beforeStepper; }
    Stepper* afterParStepper() const { return m_afterStepper; }
    ColorPopupButton* colorWell() const { return m_colorWell; }
    PopupButton* balloonShapePopup() const { return m_shapePopup; }
    PopupButton* balloonStylePopup() const { return m_stylePopup; }
    float currentSize() const { return m_currentSize; }
    float currentLineHeight() const { return m_currentLineHeight; }

private:
    void buildControls();
    void fitFamilyPopupToItems();
    void moveIntoContainerOf(const BalloonEditingView& view);
    // Applies the converter to the selection (or the typing attributes, or the touched paragraphs)
    // as a step of the editor's history with the name.
    void apply(const QString& actionName, const TextDocumentBridge::Converter& convert, bool paragraphs);
    void setEditedBalloonValue(const QString& key, int code);
    void changeBalloonCode(const QString& key, PopupButton* popup, const QString& actionName);
    void setupFacePopup(const QString& family, const QSet<QString>& styles);
    void showSpacing(QLineEdit* field, Stepper* stepper, float value);
    void changeSpacing(const QString& text, bool before);

    PopupButton* m_familyPopup = nullptr;
    PopupButton* m_facePopup = nullptr;
    QLineEdit* m_sizeField = nullptr;
    Stepper* m_sizeStepper = nullptr;
    PopupButton* m_sizePopup = nullptr;
    QLineEdit* m_lineHeightField = nullptr;
    Stepper* m_lineHeightStepper = nullptr;
    PopupButton* m_lineHeightPopup = nullptr;
    SegmentedControl* m_styleToggles = nullptr;
    SegmentedControl* m_alignment = nullptr;
    QLineEdit* m_beforeField = nullptr;
    QLineEdit* m_afterField = nullptr;
    Stepper* m_beforeStepper = nullptr;
    Stepper* m_afterStepper = nullptr;
    ColorPopupButton* m_colorWell = nullptr;
    PopupButton* m_shapePopup = nullptr;
    PopupButton* m_stylePopup = nullptr;

    QPointer<BalloonEditingView> m_view;
    QPointer<BalloonTextEditor> m_editor;
    std::shared_ptr<Balloon> m_balloon;
    int m_initialShape = 0;
    int m_initialStyle = 0;
    QList<QMetaObject::Connection> m_editorConnections;

    float m_currentSize = 0;
    float m_currentLineHeight = 0;
    float m_currentSpaceBefore = -1;
    float m_currentSpaceAfter = -1;
    bool m_boldOn = false;
    bool m_italicOn = false;
    bool m_underlineOn = false;
    QString m_shownFamily;

    // A colour choice runs from its first change to OK or Cancel, as one step.
    bool m_settingColor = false;
    bool m_colorChangedText = false;
    int m_colorStepsBefore = 0;
    QTextCharFormat m_colorTypingFormat;
};

} // namespace zandrel
