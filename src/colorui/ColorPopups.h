#pragma once

#include "colorui/PopupController.h"
#include "colorui/PopupWell.h"
#include "graphics/ZDLColor.h"
#include "platform/RgbColor.h"
#include "platform/Value.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QLineEdit;
class QPushButton;

namespace zandrel {

class CharacterModel;
class ColorEditorController;
class ColorPopupController;

// What a host that shows values on the selection (the properties inspector) offers the new-colour
// popup: a value shown at once without an undo step, turned into one undoable change, or rolled
// back to what each object had before the first preview.
class PropertyPreviewer {
public:
    virtual ~PropertyPreviewer() = default;
    virtual void previewProperty(const QString& key, const Value& value, const QString& actionName) = 0;
    virtual void commitPreviewed() = 0;
    virtual void cancelPreviewed() = 0;
};

// A colour well: the colour over the checkerboard with a little triangle; a click opens its own
// colour popup.
class ColorPopupButton : public PopupWell {
    Q_OBJECT

public:
    // Wells at most this size draw their triangle at three quarters.
    static constexpr double kSmallWellWidth = 60.0;
    static constexpr double kSmallWellHeight = 30.0;

    explicit ColorPopupButton(QWidget* parent = nullptr);
    ~ColorPopupButton() override;

    RgbColor color() const { return m_color; }
    void setColor(const RgbColor& color);
    int attachmentSide() const;
    void setAttachmentSide(int side);
    ColorPopupController* popupController() const { return m_popupController; }

    // Takes the colour and reports it.
    void takeColorValue(const RgbColor& color);
    // Opens the popup; owners that keep the well hidden call this themselves.
    void popupColorPanel();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    RgbColor m_color;
    ColorPopupController* m_popupController = nullptr;
};

// The popup of a colour well: the colour editor with OK and Cancel.
class ColorPopupController : public ValuePopupController {
    Q_OBJECT

public:
    explicit ColorPopupController(ColorPopupButton* host);

    ColorEditorController* editorController() const { return m_editorController; }
    RgbColor savedValue() const { return m_savedValue; }

    void close() override;

protected:
    void beginEditingHostValue() override;
    void writeEditedValueToHost() override;
    void restoreHostValue() override;

private:
    ColorPopupButton* m_hostButton;
    RgbColor m_savedValue;
    ColorEditorController* m_editorController = nullptr;
};

// The popup that makes a new named colour in a character's colour list and applies it at once,
// through a previewing host, to a property of the selection, or hands it to whoever asked. While
// open the colour is in the list provisionally (the colour lists show it) without an undo step; OK
// adds it and applies it as one undoable step, Cancel takes it out and rolls the preview back.
class NewColorPopupController : public PopupController {
    Q_OBJECT

public:
    using ColorSetter = std::function<void(const ZDLColorPtr&)>;

    NewColorPopupController(CharacterModel* model, QWidget* anchor, PropertyPreviewer* propsController,
        const QString& editProperty);

    // Re-targets a popup that is reused; the previewing host stays.
    void setModelAndAnchor(CharacterModel* model, QWidget* anchor, const QString& editProperty);
    void setColorSetter(ColorSetter setter) { m_colorSetter = std::move(setter); }

    ZDLColorPtr newColor() const { return m_newColor; }
    QLineEdit* nameField() const { return m_nameField; }
    ColorEditorController* editorController() const { return m_editorController; }

    void showWindow() override;
    void close() override;
    void cancelDialog() override;
    void perform() override;

private:
    void colorChanged();
    void nameChanged(const QString& text);
    void preview();
    // Changes the provisional colour without the undo steps the colour list would record for it.
    void editProvisionally(const std::function<void()>& edit);

    CharacterModel* m_model;
    PropertyPreviewer* m_propsController;
    QString m_editProperty;
    ColorSetter m_colorSetter;
    ZDLColorPtr m_newColor;
    QLineEdit* m_nameField = nullptr;
    ColorEditorController* m_editorController = nullptr;
};

} // namespace zandrel
