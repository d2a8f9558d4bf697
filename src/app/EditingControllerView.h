#pragma once

#include "app/core/EditorContainer.h"

#include <QWidget>

class QHBoxLayout;

namespace zandrel {

class ElementView;
class ZDLDocument;

// The base of the editor containers (part, image, group and balloon-group editors): the inner
// editing view that shows the edited object and the editing-level bar of where that object lies.
// The document's editor stack shows a container, fills its bar and hands it the object; closing it
// leaves the view without a root (so without a selection) and the bar empty.
class EditingControllerView : public QWidget, public EditorContainer {
    Q_OBJECT

public:
    EditingControllerView(ZDLDocument* document, bool usesWholeWindow, QWidget* parent = nullptr);
    ~EditingControllerView() override;

    ElementView* editingView() const { return m_editingView; }

    bool usesWholeWindow() const override { return m_usesWholeWindow; }
    void edit(const ObjectPtr& object) override;
    void close() override;
    ObjectPtr rootObject() const override;
    void setRootObject(const ObjectPtr& object) override;
    void validateSelection() override;
    void levelsChanged() override { showLevels(); }

    // The crumbs as text: "Bob › Part (Head) › Group".
    QString levelText() const;
    // The crumb buttons, outermost first; clicking one returns the document to that level.
    QList<QWidget*> levelButtons() const;

private:
    void showLevels();

    ZDLDocument* m_document;
    ElementView* m_editingView = nullptr;
    // A plain row of crumbs until the level bar's own widget draws and shrinks them.
    QWidget* m_levelBar = nullptr;
    QHBoxLayout* m_levelLayout = nullptr;
    bool m_usesWholeWindow;
};

} // namespace zandrel
