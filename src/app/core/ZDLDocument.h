#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/UndoManager.h"
#include "platform/Value.h"

#include <QPointF>
#include <QRectF>
#include <QString>
#include <QTransform>
#include <memory>

namespace zandrel {

class CharacterModel;
class DocumentSettings;
class GraphicManipulator;
class ZDLColor;

// Notifications the document posts with itself as object, and the keys of their user info.
inline const QString kUpdateDocumentViewsNotification = QStringLiteral("updateDocumentViews");
inline const QString kModelPropertyChangeNotification = QStringLiteral("modelPropertyChange");
inline const QString kPropertyChangedNotification = QStringLiteral("propertyChanged");
inline const QString kEditViewChangedNotification = QStringLiteral("editViewChanged");
inline const QString kDocumentClosingNotification = QStringLiteral("documentClosing");
inline const QString kDirtyRectKey = QStringLiteral("dirtyRect");
inline const QString kAfterChangeKey = QStringLiteral("afterChange");
inline const QString kUnscaledOutsetKey = QStringLiteral("unscaledOutset");
inline const QString kPropertyKey = QStringLiteral("property");
inline const QString kOldValueKey = QStringLiteral("oldValue");

// The base of the comic and character documents as the models see it: every undoable change of a
// model goes through one of its operations, which registers its own inverse and tells the views what
// to redraw. Views never poll the model; they redraw on the notifications posted here. The GUI adds
// windows, editors and file handling in subclasses.
class ZDLDocument {
public:
    ZDLDocument();
    virtual ~ZDLDocument();
    ZDLDocument(const ZDLDocument&) = delete;
    ZDLDocument& operator=(const ZDLDocument&) = delete;

    UndoManager* undoManager() { return &m_undoManager; }

    // Posts "documentClosing" and forgets pending work. Subclasses do their own work first and end
    // with this.
    virtual void close();

    // --- View notifications ---
    // Every view redraws whole (and recomputes its size).
    void updateViews();
    // The views redraw the rectangle (model coordinates): the area before a change (afterChange
    // false) or after it (true).
    void updateViewsRect(const QRectF& rect, bool afterChange);
    // The same with a margin in screen points around the rectangle, independent of the zoom.
    void updateViewsRect(const QRectF& rect, float unscaledOutset, bool afterChange);
    // Called by the models for changes that are not element geometry; a null old value is passed on
    // as null.
    void notifyModelPropertyChange(const QString& property, const Value& oldValue);
    // Posts "propertyChanged"; the property operations call it once per key per pass of the event loop.
    void notifyPropertyChange(const QString& property);
    // Hands a graphic notice to every element of the model; the base has no model.
    virtual void tellAllGraphics(GraphicNotice notice, GraphicManipulator* object);

    // --- Undoable operations ---
    // None opens an undo group: the event-loop grouping makes one user action one undo step.

    // Sets a property by name. A null old value means "read the current value first". The inverse
    // passes a null old value, so that redo sets the value read when the undo runs.
    void undoableSetPropertyFor(const ObjectPtr& object, const QString& property, const Value& value,
        const Value& oldValue = Value());
    // The same with another undo manager (a text editor's own, while text is edited in place).
    void undoableSetPropertyFor(const ObjectPtr& object, const QString& property, const Value& value,
        const Value& oldValue, UndoManager* undoManager);
    // Replaces the children of a container (anything adopting Parent).
    void undoableSetChildren(const ElementList& children, const ObjectPtr& parent);
    // alreadyDone: the caller has moved, transformed or manipulated the elements live already, so only
    // the inverse is registered. The inverses always pass false.
    void undoableOffsetObjects(const ElementList& objects, const QPointF& offset, bool alreadyDone);
    void undoableTransformObjects(
        const ElementList& objects, const QTransform& transform, const QString& actionName, bool alreadyDone);
    void undoableManipulateGraphics(const ElementList& graphics,
        const std::shared_ptr<GraphicManipulator>& manipulator,
        const std::shared_ptr<GraphicManipulator>& undoManipulator, bool alreadyDone);

    // Deletes a colour of the model's palette, first replacing its uses with another colour. Only the
    // documents know where their colours are used; the base deletes nothing.
    virtual void undoableDeleteColor(const std::shared_ptr<ZDLColor>& color, const ObjectPtr& model,
        const std::shared_ptr<ZDLColor>& replacement);

    // --- Model links ---
    // Shared with the model: the view settings of the document.
    std::shared_ptr<DocumentSettings> documentSettings() const { return m_documentSettings; }
    void setDocumentSettings(const std::shared_ptr<DocumentSettings>& settings)
    {
        m_documentSettings = settings;
    }
    // In a character document its own model; in a comic document the character last opened in the
    // part editor.
    std::shared_ptr<CharacterModel> currentCharacter() const { return m_currentCharacter; }
    void setCurrentCharacter(const std::shared_ptr<CharacterModel>& character)
    {
        m_currentCharacter = character;
    }

private:
    // Posts the element's invalidation bounds; false when it has none.
    bool announceBounds(const ObjectPtr& object, bool afterChange);
    void schedulePropertyChanged(const QString& property);

    UndoManager m_undoManager;
    std::shared_ptr<DocumentSettings> m_documentSettings;
    std::shared_ptr<CharacterModel> m_currentCharacter;
};

} // namespace zandrel
