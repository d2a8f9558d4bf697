#pragma once

#include "app/EditingControllerView.h"
#include "platform/Object.h"
#include "views/PartElementsView.h"

#include <QList>
#include <memory>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;

namespace zandrel {

class Part;
class PartPreviewCornerView;
class PropertiesController;
class ZDLTool;

// The editor of one part, in character and comic documents alike: the part elements view that
// edits it, a row of tool buttons, the part-type popup and the preview of the part at its real
// size in a corner. It keeps the part in step with its content: a new part is inserted into its
// character when it gains its first element, and a part that loses its last one is removed.
class PartEditingView : public EditingControllerView, public PartEditor {
    Q_OBJECT

public:
    // The first eight editor tools (ToolIndex): all but the crop tool.
    static constexpr int kToolCount = 8;

    explicit PartEditingView(ZDLDocument* document, QWidget* parent = nullptr);
    ~PartEditingView() override;

    PartElementsView* partElementsView() const { return m_partElementsView; }
    PartPreviewCornerView* previewView() const { return m_previewView; }
    // The properties inspector of the selected elements, beside the editing area.
    PropertiesController* propsController() const { return m_propsController; }
    QComboBox* partTypePopup() const { return m_partTypePopup; }
    QAbstractButton* toolButton(int index) const { return m_toolButtons.value(index); }
    const std::shared_ptr<Part>& currentPart() const { return m_currentPart; }
    qsizetype partIndex() const { return m_partIndex; }
    bool firstEntry() const { return m_firstEntry; }

    // --- PartEditor ---
    std::shared_ptr<CharacterModel> model() const override { return m_model; }
    int currentTool() const { return m_currentTool; }
    // Tools not built yet keep their buttons disabled and are not chosen.
    void setCurrentTool(int index) override;
    void checkToAddOrDeleteCurrentPart() override;

    // --- EditorContainer ---
    void edit(const ObjectPtr& object) override;
    void close() override;

    // A new part not yet in its parent's children.
    bool partIsPending() const;
    // Through the document: the edited root's part type, one step "Set Part Type".
    void setCurrentPartType(int partType);
    // The popup and its label show only while a part itself is edited.
    void fixPartTypeMenus();
    void documentClosing();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void observeModel(const std::shared_ptr<CharacterModel>& model);
    void observePart(const std::shared_ptr<Part>& part);
    void selectPartTypeInPopup();

    PartElementsView* m_partElementsView;
    PartPreviewCornerView* m_previewView = nullptr;
    PropertiesController* m_propsController = nullptr;
    QComboBox* m_partTypePopup = nullptr;
    QLabel* m_partTypeLabel = nullptr;
    QList<QAbstractButton*> m_toolButtons;
    std::vector<std::shared_ptr<ZDLTool>> m_tools;
    std::shared_ptr<CharacterModel> m_model;
    std::shared_ptr<Part> m_currentPart;
    ObserverToken m_partTypeObservation = 0;
    ObserverToken m_stylesObservation = 0;
    qsizetype m_partIndex = 0;
    int m_currentTool = Selection;
    bool m_firstEntry = true;
};

} // namespace zandrel
