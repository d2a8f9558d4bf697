#pragma once

#include "app/EditingControllerView.h"
#include "platform/Object.h"
#include "tools/CroppingTool.h"

#include <QList>
#include <memory>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;
class QPushButton;

namespace zandrel {

class ImageElement;
class ImageMasksView;
class ZDLImage;

// The editor of one image element, in character and comic documents alike; it takes the whole
// window. Its masks view shows the image at its pixel size and edits the masks and the pivot point
// with the editor tools; around it are the tool buttons, the part-type popup, a resample button and
// the crop tool with its crop and cancel buttons. Cropping and resampling change the picture itself,
// so they change every element of the document that shares it, each adjusted so that it stays where
// it was; each is one undo step.
class ImageEditingView : public EditingControllerView, public CroppingController {
    Q_OBJECT

public:
    // All nine editor tools (ToolIndex); the line tool has no button.
    static constexpr int kToolCount = 9;
    // The action under which the resample sheet is installed; it calls back resampleImageByScale.
    static inline const QString kResampleAction = QStringLiteral("resample:");

    explicit ImageEditingView(ZDLDocument* document, QWidget* parent = nullptr);
    ~ImageEditingView() override;

    ImageMasksView* masksView() const { return m_masksView; }
    CroppingTool* croppingTool() const { return m_croppingTool.get(); }
    QAbstractButton* toolButton(int index) const;
    QComboBox* partTypePopup() const { return m_partTypePopup; }
    QAbstractButton* cropButton() const;
    QAbstractButton* cancelCropButton() const;
    QAbstractButton* resampleButton() const;
    const std::shared_ptr<ImageElement>& editImage() const;

    int currentTool() const { return m_currentTool; }
    // An index past the list is ignored.
    void setCurrentTool(int index) override;

    // --- EditorContainer ---
    void edit(const ObjectPtr& object) override;
    void close() override;

    // Through the document: the element's part type, one step "Set Part Type".
    void setCurrentPartType(int partType);
    // Opens the resample sheet when one is installed.
    void resample();
    // Every element sharing the picture gets it scaled by the factor, its masks and pivot scaled
    // with it and its placement kept: one step "Resample Image". Nothing happens for a factor that
    // is not a positive number or a picture that cannot be scaled.
    void resampleImageByScale(float factor);
    // Crops to the crop tool's rectangle, asking first when other elements share the picture.
    void crop();
    void doCropTo(
        const std::shared_ptr<ZDLImage>& cropped, const QRectF& cropRect, const ElementList& elements);
    void cancelCrop();
    void setCroppingButtonsVisibility(bool visible) override;
    void documentClosing();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void observeElement(const std::shared_ptr<ImageElement>& element);
    void selectPartTypeInPopup();
    ElementList elementsSharingImage(const ZDLImage* image) const;
    void keepReachable(const ObjectPtr& element);

    ImageMasksView* m_masksView;
    QList<QAbstractButton*> m_toolButtons;
    QPushButton* m_cropButton = nullptr;
    QPushButton* m_cancelCropButton = nullptr;
    QPushButton* m_resampleButton = nullptr;
    QComboBox* m_partTypePopup = nullptr;
    QLabel* m_partTypeLabel = nullptr;
    std::vector<std::shared_ptr<ZDLTool>> m_tools;
    std::shared_ptr<CroppingTool> m_croppingTool;
    std::shared_ptr<ImageElement> m_observedElement;
    ObserverToken m_partTypeObservation = 0;
    int m_currentTool = Selection;
    bool m_firstEntry = true;
};

} // namespace zandrel
