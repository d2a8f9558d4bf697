#pragma once

#include "views/ZDLEditingView.h"

#include <memory>

namespace zandrel {

class EditorContainer;
class ImageElement;

// The editing view of the image editor: one image element shown upright at one document unit per
// pixel, so that its document coordinates are the image's pixels. Its root is the element, so the
// selectable children are the masks: the drawing tools add masks, the reshaping tool reshapes them,
// delete removes them. What the masks leave out is washed out and every outline is drawn in green.
// The contextual menu sets the image's pivot point where it was opened. An image holds masks and
// nothing else, so the view takes neither dropped pictures nor dragged objects, and it offers none of
// the lettering and grouping commands of the views that hold comic elements.
class ImageMasksView : public ZDLEditingView {
    Q_OBJECT

public:
    explicit ImageMasksView(ZDLDocument* document, QWidget* parent = nullptr);

    const std::shared_ptr<ImageElement>& editImage() const { return m_editImage; }
    // The element becomes the root; null leaves the view empty.
    void setEditImage(const std::shared_ptr<ImageElement>& image);
    // The image editor that hosts the view: tool changes go to it.
    void setEditor(EditorContainer* editor) { m_editor = editor; }

    void setToDefaultTool() override;
    void setToReshapingTool() override;
    // The image's pixels; empty without an image.
    QRectF getContentBounds() const override;
    // The zoom at which the whole image fits the visible area.
    void scaleToFit();
    // A curve of three points or more becomes a new mask; a shorter one adds nothing.
    ObjectPtr createPathWith(const std::shared_ptr<Curve>& curve) override;
    // One step each: "Set Image Pivot Point" at the point, "Reset Image Pivot Point".
    void setPivotPoint(const QPointF& point);
    void resetPivotPoint();
    void updateView(const Notification& notification) override;
    void documentClosing() override;

    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the view with when it is offered.
    static const ActionTable<ImageMasksView>& actionTable();

protected:
    void drawRect(const QRectF& dirtyRect) override;

private:
    std::shared_ptr<ImageElement> m_editImage;
    EditorContainer* m_editor = nullptr;
};

} // namespace zandrel
