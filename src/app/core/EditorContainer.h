#pragma once

#include "platform/Object.h"

#include <QImage>
#include <QList>
#include <QString>

namespace zandrel {

// One crumb of the editing-level bar: what it shows and the object it returns to (null for the
// outermost level, which stands for the document's default editing view).
struct EditingLevel {
    QString title;
    QImage image;
    ObjectPtr represented;
};

// The data of an editing-level bar, from the outermost level (index 0) to the edited object. The
// bar's widget draws these and reports the level clicked.
class EditingLevels {
public:
    void removeAllLevels() { m_levels.clear(); }
    // The spelling of the platform operation this mirrors is kept in its name.
    void insertLevel(
        qsizetype index, const QString& title, const QImage& image, const ObjectPtr& represented);
    qsizetype numLevels() const { return m_levels.size(); }
    ObjectPtr representedObjectAtLevel(qsizetype index) const;
    const QList<EditingLevel>& levels() const { return m_levels; }

private:
    QList<EditingLevel> m_levels;
};

// An editor the document shows when the user edits an object inside another: the part, image, group
// and balloon-group editors. It holds an editing view whose root object is the edited object, and the
// level bar of where that object lies. The GUI's editor widgets implement it.
class EditorContainer {
public:
    // The editor tools by the index their buttons carry; only the image editor has the ninth.
    enum ToolIndex : int {
        Selection = 0,
        Reshaping = 1,
        Hand = 2,
        Pen = 3,
        Pencil = 4,
        Line = 5,
        Rect = 6,
        Ellipse = 7,
        Cropping = 8
    };

    virtual ~EditorContainer() = default;

    // True: the editor covers the window's whole editing area; false: only the primary one.
    virtual bool usesWholeWindow() const { return true; }
    // Shows the object in the editing view; called once the editor is visible and its bar filled.
    virtual void edit(const ObjectPtr& object) { }
    // Leaves the editor: the tool exits, the editing view loses its root (and so its selection) and
    // the bar empties.
    virtual void close()
    {
        exitTool();
        setRootObject(nullptr);
        m_levels.removeAllLevels();
    }

    virtual ObjectPtr rootObject() const = 0;
    virtual void setRootObject(const ObjectPtr& object) = 0;
    virtual void exitTool() { }
    // Drops selected objects that no longer exist.
    virtual void validateSelection() { }
    // The group editors leave themselves when their group has fewer than two children left.
    virtual void checkNeedToExit() { }
    // The part editor inserts or removes the part it is creating.
    virtual void checkToAddOrDeleteCurrentPart() { }
    // Editors with tools choose one by its index (a new part starts with the pen); others ignore it.
    virtual void setCurrentTool(int index) { }
    // The document rebuilt the level bar's data: its widget shows them.
    virtual void levelsChanged() { }

    EditingLevels& levelControl() { return m_levels; }
    const EditingLevels& levelControl() const { return m_levels; }

private:
    EditingLevels m_levels;
};

} // namespace zandrel
