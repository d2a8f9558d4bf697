#pragma once

#include "app/EditingControllerView.h"

namespace zandrel {

class BalloonGroupView;
class GroupView;
class ZDLView;

// The group editor: edits the members of a group, or the free objects of a comic page, in the
// primary editing area (a comic's catalog pane stays in sight). It takes the zoom of the default
// view on entry and gives its own back on leaving; with a page the scroll position carries over
// both ways, so that the page does not jump. It leaves itself when a group it edits is reduced to
// one member or none.
class GroupEditingView : public EditingControllerView {
    Q_OBJECT

public:
    explicit GroupEditingView(ZDLDocument* document, QWidget* parent = nullptr);

    GroupView* groupView() const;
    // Whether the help comic of group mode, respectively page mode, is still to be offered.
    bool firstGroupEntry() const { return m_firstGroupEntry; }
    bool firstPageEntry() const { return m_firstPageEntry; }

    void edit(const ObjectPtr& object) override;
    void close() override;
    void checkNeedToExit() override;

private:
    bool m_firstGroupEntry = true;
    bool m_firstPageEntry = true;
};

// The balloon group editor: the balloons of one balloon group over the whole editing area, with
// the zoom handed over as in the group editor. It leaves itself when the group is reduced to one
// balloon or none.
class BalloonGroupEditingView : public EditingControllerView {
    Q_OBJECT

public:
    explicit BalloonGroupEditingView(ZDLDocument* document, QWidget* parent = nullptr);

    BalloonGroupView* balloonGroupView() const;
    bool firstEntry() const { return m_firstEntry; }

    void edit(const ObjectPtr& object) override;
    void close() override;
    void checkNeedToExit() override;

private:
    bool m_firstEntry = true;
};

} // namespace zandrel
