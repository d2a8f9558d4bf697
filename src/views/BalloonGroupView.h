#pragma once

#include "views/ElementEditingView.h"

namespace zandrel {

class BalloonGroup;

// The editing view of the balloon group editor: the merged balloons of one balloon group, moved,
// reshaped and retyped with the comic's selection tool over a dimmed view of the page. A paste keeps
// the balloons of what was copied, and no image is taken. Objects dragged from a library come in as
// they do anywhere on the page: a balloon group holds any comic element and draws what is not a
// balloon after its merged balloons.
class BalloonGroupView : public ElementEditingView {
    Q_OBJECT

public:
    explicit BalloonGroupView(ZDLDocument* document, QWidget* parent = nullptr);

    // The edited group; the view's root. Null while the editor is idle.
    std::shared_ptr<BalloonGroup> editBalloonGroup() const;
    void setEditBalloonGroup(const ObjectPtr& group) { setRootObject(group); }

    QRectF getContentBounds() const override;
    // The balloons of the payload, however deeply grouped, are appended to the group and selected,
    // one "Paste" step; a payload without balloons changes nothing.
    void insertFromScrap(const std::shared_ptr<PasteboardParent>& payload) override;
    bool acceptsImages() const override { return false; }
    void documentClosing() override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // What the view refuses that its bases offer.
    static const ActionTable<BalloonGroupView>& actionTable();

protected:
    void drawRect(const QRectF& dirtyRect) override;
};

} // namespace zandrel
