#pragma once

#include "app/core/EditorContainer.h"

#include <QWidget>

namespace zandrel {

class EditingLevelControl;
class ZDLEditingView;
class ZDLDocument;
class ZDLScrollArea;

// The base of the editor containers (part, image, group and balloon-group editors): the inner
// editing view that shows the edited object and the editing-level bar of where that object lies.
// The document's editor stack shows a container, fills its bar and hands it the object; closing it
// leaves the view without a root (so without a selection) and the bar empty.
class EditingControllerView : public QWidget, public EditorContainer {
    Q_OBJECT

public:
    EditingControllerView(ZDLDocument* document, bool usesWholeWindow, QWidget* parent = nullptr);
    ~EditingControllerView() override;

    ZDLEditingView* editingView() const { return m_editingView; }
    EditingLevelControl* levelBar() const { return m_levelBar; }

    bool usesWholeWindow() const override { return m_usesWholeWindow; }
    void edit(const ObjectPtr& object) override;
    void close() override;
    ObjectPtr rootObject() const override;
    void setRootObject(const ObjectPtr& object) override;
    void exitTool() override;
    void validateSelection() override;
    void levelsChanged() override;

    // The crumbs as text: "Bob › Part (Head) › Group".
    QString levelText() const;
    // A strip below the editing area for the window's text formatting bar to move into while this
    // editor's view edits a balloon's text; made on first request, empty (and flat) otherwise.
    QWidget* textBarSlot();

protected:
    // An editor with an editing view of its own kind; the base lays out the bar above it.
    EditingControllerView(
        ZDLDocument* document, bool usesWholeWindow, ZDLEditingView* editingView, QWidget* parent);
    ZDLDocument* document() const { return m_document; }
    ZDLScrollArea* scrollArea() const { return m_scrollArea; }

private:
    ZDLDocument* m_document;
    ZDLEditingView* m_editingView = nullptr;
    ZDLScrollArea* m_scrollArea = nullptr;
    EditingLevelControl* m_levelBar = nullptr;
    QWidget* m_textBarSlot = nullptr;
    bool m_usesWholeWindow;
};

} // namespace zandrel
