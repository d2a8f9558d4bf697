#pragma once

#include "views/BalloonEditingView.h"

namespace zandrel {

class ZDLContext;

// An editing view of the children of one container (a character, a part, a group), drawn as the
// model draws them, with the selection tool for the left and the right button. It stands in for the
// editors' views until they come with their own commands: the editors show their edited object in one.
class ElementEditingView : public BalloonEditingView {
    Q_OBJECT

public:
    // Which zoom of the document's settings the view keeps.
    enum class ScaleSetting { None, PartEditing };

    ElementEditingView(ZDLDocument* document, ScaleSetting scaleSetting, QWidget* parent = nullptr);

    // The edited object comes into view centred.
    void setRootObject(const ObjectPtr& root) override;
    void setViewScale(float scale) override;
    // The content with room around it, so that any of it can be scrolled to the middle of the view.
    QRectF getContentBounds() const override;
    // Part elements and images of the payload go into the root; parts bring their elements.
    void insertFromScrap(const std::shared_ptr<PasteboardParent>& payload) override;

    // Showing a comic page's free objects: the selection can go back into panels ("Restrict to
    // Panel"), and the page's editor can be left from the menu that opened it.
    bool editingPage() const;
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // The page's commands, which hold only while a page is shown.
    static const ActionTable<ElementEditingView>& actionTable();

protected:
    void drawRect(const QRectF& dirtyRect) override;
    // The root's children; subclasses draw their content instead.
    virtual void drawContent(ZDLContext& context, const QRectF& dirtyRect);
    void fillBackground(const QRectF& dirtyRect);

private:
    ScaleSetting m_scaleSetting;
};

} // namespace zandrel
