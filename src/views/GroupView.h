#pragma once

#include "views/ElementEditingView.h"

namespace zandrel {

class ComicPanel;

// The editing view of the group editor: the members of one container edited in place with the
// comic's selection tool, lettering and text editing, over a dimmed view of what surrounds them.
// The container is a comic or character `Group` (group mode) or a comic page, whose children are
// the objects that float over it outside every panel (page mode).
class GroupView : public ElementEditingView {
    Q_OBJECT

public:
    explicit GroupView(ZDLDocument* document, QWidget* parent = nullptr);

    // The edited container; the view's root. Null while the editor is idle.
    ObjectPtr editParent() const { return rootObject(); }
    void setEditParent(const ObjectPtr& parent) { setRootObject(parent); }
    bool editingGroup() const;
    // editingPage() comes from the element editing view.

    // The members with a margin of 14 screen points, and the comic's pages or the character's
    // tracing image, so that everything around the group can be scrolled to.
    QRectF getContentBounds() const override;
    // Free objects stay where the paste put them; a group's members are placed as elsewhere.
    void adjustPastedObjects(const ElementList& objects) override;
    // An image imported onto a page is fitted into 300 points around the point.
    void sizeAndPositionImportedImage(
        ImageElement& image, const ObjectPtr& parent, const QPointF& point) override;
    // Lettering, groups and comic parts go here as in the comic or parts view.
    void insertFromScrap(const std::shared_ptr<PasteboardParent>& payload) override;
    // In a character, a new part of the edited group opens in the part editor with the pen.
    void createNewPart();
    void documentClosing() override;

    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the view with when it is offered.
    static const ActionTable<GroupView>& actionTable();

protected:
    void drawRect(const QRectF& dirtyRect) override;

private:
    void drawPageBackground(ZDLContext& context, const QRectF& dirtyRect);
};

} // namespace zandrel
