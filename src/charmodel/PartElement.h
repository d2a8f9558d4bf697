#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/Object.h"

#include <QImage>
#include <QString>

namespace zandrel {

class ClassRegistry;
class KeyedUnarchiver;

// The common base of the elements inside a part (paths and groups): an ordered list of children,
// first drawn first, a visibility flag and a link to the container. Most requests are passed on to
// the children, and bounds are unions of theirs. Children are part elements or image elements;
// anything that is not a graphic element is never taken in.
class PartElement : public Object, public virtual GraphicElement, public virtual PartElementParent {
public:
    ZDL_PROPERTIES

    PartElement() = default;
    // A deep copy: each child copied by its own class and adopted by the copy, which is visible
    // whatever the original is and has no parent yet.
    PartElement(const PartElement& other);
    PartElement& operator=(const PartElement&) = delete;
    // Children outliving their container (held by an undo action, say) must not keep a link to it.
    ~PartElement() override;

    // --- Archiving: "children" only; visibility is not archived, so every decoded element shows.
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Tree ---
    // The nearest ancestor that is not a group, or nullptr.
    Parent* flattenedParent() const;
    ElementList children() const override;
    ElementList flattenedChildren() const override;
    std::size_t numChildren() const override;
    ObjectPtr getChildAtIndex(std::size_t index) const override;
    // Replaces every child and adopts the new ones, then flushes the cached image. Elements that
    // leave the list keep their parent link, so that an undo can put them back as they were. The
    // element itself or one of its ancestors is never taken in, here or by addPartElement.
    void setChildren(const ElementList& children) override;
    bool hasChild(const Object* element) const override;
    // Appends and adopts the element, without flushing.
    void addPartElement(const ObjectPtr& element) override;

    QString displayName() const override;
    bool canEditContents() const override;
    bool canSelectContents() const override;

    // --- GraphicElement ---
    Parent* parent() const override;
    void setParent(Parent* parent) override;
    ObjectPtr initByCopying() const override;
    // Children are always moved with directly false: only what the user moved gets true.
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    void drawIn(ZDLContext& context) override;
    // Any child that contains the point, visible or not.
    bool containsPt(const QPointF& point, float viewScale) const override;
    void flushCachesUsingColor() override;

    // The empty rectangle while hidden or childless, else the union of the children's.
    QRectF getBounds() const override;
    QRectF getBoundsIgnoringVisibility() const override;
    QRectF getVisualBounds() const override;
    QRectF getInvalidationBounds() const override;
    QRectF getGeometryBounds() const override;
    QRectF getFilteredBounds() const override;
    QList<QRectF> getBoundsOfPaths() const override;

    // Removes the children that fail validation, last to first, logging each; the element itself
    // stays usable.
    bool validateData() override;

    bool visible() const override;
    // A change of value flushes the cached image; the same value does nothing.
    void setVisible(bool visible) override;

protected:
    // The application image of that name, loaded once and kept for the run; a null image where
    // the application provides none (tests, headless tools).
    static QImage applicationIcon(const QString& name);

private:
    // A container taking itself or an ancestor as a child would make every walk of the tree endless.
    bool isSelfOrAncestor(const Object* candidate) const;

    ElementList m_elements;
    bool m_visible = true;
    Parent* m_parent = nullptr;
};

// Takes decoded children into a container: members still being decoded (they would close an
// ownership cycle), members that are not graphic elements and members already adopted elsewhere in
// the file or listed twice (a damaged file naming one element in two places) are left out; the
// rest get the adopter as their parent. Every container that decodes part elements uses it.
ElementList adoptDecodedElements(KeyedUnarchiver& coder, const ElementList& decoded, Parent* adopter);

// The class names an archived list of part elements may hold.
QStringList partElementMemberClasses();

// Writes the character's "characterId" under that key, but only while the application archives
// elements for the pasteboard: a pasted element finds its character again by it.
void encodeCharacterIdForPasteboard(KeyedArchiver& coder, const Object* characterModel);

// The pivot ("originX", "originY", written only when set) and the character link ("model",
// "characterId") that parts and image elements archive alike. A pivot that is not finite is
// dropped, so the element's centre serves; the model is only a link, never owned.
void encodePivot(KeyedArchiver& coder, bool hasOrigin, const QPointF& origin);
bool decodePivot(KeyedUnarchiver& coder, QPointF& origin);
void decodeCharacterLink(KeyedUnarchiver& coder, std::weak_ptr<Object>& model, QString& characterId);

void registerPartElementClasses(ClassRegistry& registry);

} // namespace zandrel
