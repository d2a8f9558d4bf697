#include "app/GroupEditors.h"

#include "app/DocumentWindow.h"
#include "comicmodel/Group.h"
#include "panels/HelpComicView.h"
#include "views/BalloonGroupView.h"
#include "views/GroupView.h"

namespace zandrel {

namespace {

// The help comics of the two modes of the group editor and of the balloon group editor.
const QString kGroupHelp = QStringLiteral("group_view");
const QString kPageHelp = QStringLiteral("floating_view");
const QString kBalloonGroupHelp = QStringLiteral("balloon_group_view");

// The document's default editing view, in the window the editor lies in.
ZDLView* defaultViewOf(const QWidget* editor)
{
    const auto* window = qobject_cast<const DocumentWindow*>(editor->window());
    return window ? qobject_cast<ZDLView*>(window->defaultEditingView()) : nullptr;
}

qsizetype numChildrenOf(const ObjectPtr& container)
{
    const auto* parent = asProtocol<Parent>(container);
    return parent ? qsizetype(parent->numChildren()) : 0;
}

} // namespace

// --- Group editor ---

GroupEditingView::GroupEditingView(ZDLDocument* document, QWidget* parent)
    : EditingControllerView(document, false, new GroupView(document), parent)
{
    setObjectName(QStringLiteral("groupEditor"));
}

GroupView* GroupEditingView::groupView() const
{
    return static_cast<GroupView*>(editingView());
}

void GroupEditingView::edit(const ObjectPtr& object)
{
    GroupView* view = groupView();
    view->deselectAll();
    EditingControllerView::edit(object);
    ZDLView* defaultView = defaultViewOf(this);
    if (defaultView)
        view->setViewScale(defaultView->viewScale());
    if (view->editingPage()) {
        view->registerForHelpPanel(kPageHelp, document(), this);
        if (m_firstPageEntry)
            HelpComicView::createHelp(kPageHelp, document(), this, false);
        // The page stays where the default view showed it.
        if (defaultView)
            view->scrollPoint(defaultView->visibleRect().topLeft());
        m_firstPageEntry = false;
    } else {
        view->registerForHelpPanel(kGroupHelp, document(), this);
        if (m_firstGroupEntry)
            HelpComicView::createHelp(kGroupHelp, document(), this, false);
        if (const auto* group = asProtocol<GraphicElement>(object))
            view->scrollToCenterDocPoint(group->getBounds().center());
        m_firstGroupEntry = false;
    }
}

void GroupEditingView::close()
{
    GroupView* view = groupView();
    if (ZDLView* defaultView = defaultViewOf(this)) {
        // A zoom made in the editor carries back, and a page stays where the editor showed it.
        defaultView->setViewScale(view->viewScale());
        if (view->editingPage())
            defaultView->scrollPoint(view->visibleRect().topLeft());
    }
    view->exitTextEditing();
    EditingControllerView::close();
}

void GroupEditingView::checkNeedToExit()
{
    GroupView* view = groupView();
    if (!view->editingGroup() || numChildrenOf(view->editParent()) >= 2)
        return;
    view->deselectAll();
    document()->popEditor();
}

// --- Balloon group editor ---

BalloonGroupEditingView::BalloonGroupEditingView(ZDLDocument* document, QWidget* parent)
    : EditingControllerView(document, true, new BalloonGroupView(document), parent)
{
    setObjectName(QStringLiteral("balloonGroupEditor"));
    balloonGroupView()->registerForHelpPanel(kBalloonGroupHelp, document, this);
}

BalloonGroupView* BalloonGroupEditingView::balloonGroupView() const
{
    return static_cast<BalloonGroupView*>(editingView());
}

void BalloonGroupEditingView::edit(const ObjectPtr& object)
{
    BalloonGroupView* view = balloonGroupView();
    view->deselectAll();
    EditingControllerView::edit(object);
    if (ZDLView* defaultView = defaultViewOf(this))
        view->setViewScale(defaultView->viewScale());
    if (m_firstEntry)
        HelpComicView::createHelp(kBalloonGroupHelp, document(), this, false);
    m_firstEntry = false;
}

void BalloonGroupEditingView::close()
{
    BalloonGroupView* view = balloonGroupView();
    if (ZDLView* defaultView = defaultViewOf(this))
        defaultView->setViewScale(view->viewScale());
    view->exitTextEditing();
    EditingControllerView::close();
}

void BalloonGroupEditingView::checkNeedToExit()
{
    BalloonGroupView* view = balloonGroupView();
    if (!view->editBalloonGroup() || numChildrenOf(view->rootObject()) >= 2)
        return;
    view->deselectAll();
    document()->popEditor();
}

} // namespace zandrel
