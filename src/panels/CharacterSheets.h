#pragma once

#include "panels/DialogController.h"

#include <QPointer>
#include <memory>

class QButtonGroup;
class QCheckBox;
class QSlider;

namespace zandrel {

class CharacterDocument;
class CharacterModel;
class PartElementsView;
class PopupButton;
class ZDLDocument;
class ZDLEditingView;

// The name, artist and kind (character or scenery) of a parts file, as one undo step.
class CharacterPropertiesDialogController : public DialogController {
    Q_OBJECT

public:
    CharacterPropertiesDialogController(CharacterDocument* document, QWidget* hostWindow);
    void showWindow() override;
    // OK.
    void done();

    QString characterName;
    QString artistName;
    int partsKind = 0;

private:
    CharacterDocument* m_document;
    QButtonGroup* m_kindGroup = nullptr;
};

// The character a part drawn in a comic belongs to; OK opens the new, empty part in the part editor.
class NewPartController : public DialogController {
    Q_OBJECT

public:
    NewPartController(ZDLEditingView* view, QWidget* hostWindow);
    void showWindow() override;
    void updateCharacterPopup();
    void chooseCharacter();
    // OK.
    void performNewPart();

    PopupButton* characterPopup() const { return m_characterPopup; }
    const std::shared_ptr<CharacterModel>& characterForPart() const { return m_characterForPart; }

private:
    QPointer<ZDLEditingView> m_editView;
    PopupButton* m_characterPopup = nullptr;
    std::shared_ptr<CharacterModel> m_characterForPart;
};

// The part type of a new part made of the selected elements of the part being edited.
class SplitPartDialogController : public DialogController {
    Q_OBJECT

public:
    SplitPartDialogController(PartElementsView* view, QWidget* hostWindow);
    void showWindow() override;
    // OK.
    void performSplit();

    PopupButton* partTypePopup() const { return m_partTypePopup; }

private:
    QPointer<PartElementsView> m_editingView;
    PopupButton* m_partTypePopup = nullptr;
};

// The tracing image's visibility, scale and opacity, followed live by the drawing. Everything changed
// while the sheet is up is one undo step; Cancel takes it all back.
class TraceImageSettingsDialogController : public DialogController {
    Q_OBJECT

public:
    static constexpr double kSmallestScale = 0.01;
    static constexpr double kLargestScale = 20.0;

    TraceImageSettingsDialogController(CharacterDocument* document, QWidget* hostWindow);
    ~TraceImageSettingsDialogController() override;

    void showWindow() override;
    void close() override;
    void cancelDialog() override;
    bool setNilValueForKey(const QString& key) override;
    void setVisible(bool visible);
    void setScale(double scale);
    void setAlpha(double alpha);
    // OK.
    void done();

    bool visible = true;
    double scale = 1.0;
    double alpha = 0.2;

private:
    void endGroup(bool takeBack);

    CharacterDocument* m_document;
    QCheckBox* m_visibleCheckbox = nullptr;
    QSlider* m_scaleSlider = nullptr;
    QSlider* m_opacitySlider = nullptr;
    bool m_groupOpen = false;
    bool m_loading = false;
    // Changes made while the sheet is up: Cancel takes them back only when there are any.
    int m_changedCount = 0;
};

} // namespace zandrel
