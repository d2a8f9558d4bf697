#pragma once

#include "graphics/ZDLColor.h"
#include "panels/DialogController.h"
#include "platform/RgbColor.h"

#include <memory>

class QLabel;

namespace zandrel {

class CharacterModel;
class ColorEditorController;
class PopupButton;
class SolidFillView;
class ZDLDocument;

// Asks for the colour and the name of a colour to insert into a character's palette; OK inserts it
// as one "Add Color" step, under a name no other colour of the character has.
class NewColorDialogController : public DialogController {
    Q_OBJECT

public:
    // insertionIndex counts the palette's fixed colours too.
    NewColorDialogController(QWidget* hostWindow, ZDLDocument* document,
        const std::shared_ptr<CharacterModel>& model, int insertionIndex, const RgbColor& initialColor);

    ColorEditorController* editingController() const { return m_editingController; }
    void showWindow() override;
    void close() override;
    // OK.
    void perform();

    QString name;

private:
    ZDLDocument* m_document;
    std::weak_ptr<CharacterModel> m_model;
    int m_insertionIndex;
    RgbColor m_initialColor;
    ColorEditorController* m_editingController = nullptr;
};

// Deleting a colour the character still uses: the user picks the colour that takes its place
// everywhere, and the colour goes, as one "Delete Color" step.
class DeleteUsedColorController : public DialogController {
    Q_OBJECT

public:
    DeleteUsedColorController(const ZDLColorPtr& color, const std::shared_ptr<CharacterModel>& model,
        ZDLDocument* document, QWidget* hostWindow);

    PopupButton* colorPopup() const { return m_colorPopup; }
    QLabel* deleteLabel() const { return m_deleteLabel; }
    void showWindow() override;
    // OK.
    void performDeleteColor();

private:
    ZDLColorPtr m_colorToDelete;
    std::weak_ptr<CharacterModel> m_model;
    ZDLDocument* m_document;
    PopupButton* m_colorPopup = nullptr;
    SolidFillView* m_deleteColorWell = nullptr;
    QLabel* m_deleteLabel = nullptr;
};

} // namespace zandrel
