#pragma once

#include "app/core/CharacterDocument.h"
#include "app/core/Responder.h"

#include <QWidget>

namespace zandrel {

class ZDLDocument;

// Shows a root object (a character, a part, a group) read-only, scaled to fit, and redraws whenever
// its document announces a change. It stands where the editing views will: it holds the root and
// the selection they will hold, and receives pasted parts as they will.
class ElementView : public QWidget, public InsertionView, public Responder {
    Q_OBJECT

public:
    ElementView(ZDLDocument* document, QWidget* parent = nullptr);
    ~ElementView() override;

    ObjectPtr rootObject() const override { return m_root; }
    void setRootObject(const ObjectPtr& root);
    const ElementList& selection() const { return m_selection; }
    // Not recorded for undo yet: the editing views record selections.
    void undoableSetSelection(const ElementList& selection, bool bothWays) override;
    // Drops selected objects the root no longer holds.
    void validateSelection();
    QObject* window() const override { return QWidget::window(); }

    // The scale the root is drawn at, to fit the view with a margin.
    double fitScale() const;

    // Shows only the root's children of one part type; -1 shows them all.
    int viewPartType() const { return m_viewPartType; }
    void setViewPartType(int type);

    // From the root's coordinates to the view's.
    QTransform viewTransform() const;
    // The root's child under a point of the view, or null.
    ObjectPtr childAt(const QPointF& viewPoint) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    // A click selects the child under it; a double click edits it.
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    ZDLDocument* m_document;
    ObjectPtr m_root;
    ElementList m_selection;
    int m_viewPartType = -1;
};

} // namespace zandrel
