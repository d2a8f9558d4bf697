#pragma once

#include "graphics/ElementChildren.h"
#include "graphics/GraphicElementBase.h"

#include <QString>
#include <memory>

namespace zandrel {

class ClassRegistry;
class Group;
class PartGroup;

using GroupPtr = std::shared_ptr<Group>;

// Comic elements bound together so that they are selected, moved, transformed, copied and drawn
// as one object, and opened to edit their members one by one. A group holds parts, images,
// balloons and other groups, and sits wherever comic elements sit: in a panel layer, among a
// page's free objects, in another group or among a character's root objects.
//
// Archive: "elements" only. Visibility is not archived: a decoded group is visible. A group left
// without members is not usable, so its container removes it.
class Group : public GraphicElementBase,
              public BoundsByKind,
              public virtual ComicElement,
              public virtual Parent {
public:
    static inline const QString kClassName = QStringLiteral("Group");

    Group() = default;
    // Copies of the members, each made by its own class and adopted by the copy. The copy is
    // visible and has no parent yet.
    Group(const Group& other);
    Group& operator=(const Group&) = delete;
    ~Group() override = default;

    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;
    ObjectPtr initByCopying() const override;

    // A part group for pasting into a character's part: images (stripped of their character
    // links), parts' drawings and nested groups' part groups, in order; balloons are left out.
    // Null when nothing is left.
    std::shared_ptr<PartGroup> convertToPartGroup() const;

    // --- ComicElement ---
    // The one character all the parts inside come from, at any depth; null with no part or with
    // parts of several characters. Balloons and images do not count.
    Object* model() const override;
    int partType() const override { return 0; }
    void setPartType(int) override { }
    // Removes the unusable members, last to first, logging each; false when none is left.
    bool validateData() override;

    // --- Parent ---
    ElementList children() const override { return m_elements.items(); }
    std::size_t numChildren() const override { return m_elements.size(); }
    ObjectPtr getChildAtIndex(std::size_t index) const override { return m_elements.at(index); }
    bool hasChild(const Object* element) const override { return m_elements.contains(element); }
    // Members that leave keep their link to the group, so that an undo can put them back.
    void setChildren(const ElementList& children) override;
    // The topmost member containing the point, visible or not.
    ObjectPtr getChildAt(const QPointF& point, float viewScale) const override;
    QString displayName() const override;
    QImage pathIcon() const override;
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }
    void addComicElement(const ObjectPtr& element);

    // --- GraphicElement: passed on to every member ---
    // Members always move with directly false.
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    void recordGeometry(GeometryRecord& record) const override;
    void restoreGeometry(GeometryReader& reader) override;
    void drawIn(ZDLContext& context) override;
    // Any member containing the point; the group's own visibility is not asked.
    bool containsPt(const QPointF& point, float viewScale) const override;
    void flushCachesUsingColor() override;
    // A group keeps no rendering of its own.
    void flushCachedImage() override { }

    // Empty while hidden or without members, else the union of the members' bounds of the kind.
    QRectF getBounds() const override { return BoundsByKind::getBounds(); }
    QRectF getGeometryBounds() const override { return BoundsByKind::getGeometryBounds(); }
    QRectF getBoundsIgnoringVisibility() const override;
    // The members' path rectangles, in member order.
    QList<QRectF> getBoundsOfPaths() const override;

protected:
    GraphicElementChildren m_elements { this };

private:
    QRectF boundsOfKind(BoundsKind kind) const override;
};

// Merged balloons: drawn as one balloon, every member's outline first, then every fill, then every
// text, so that no outline crosses another member's fill.
class BalloonGroup : public Group {
public:
    static inline const QString kClassName = QStringLiteral("BalloonGroup");

    BalloonGroup() = default;
    BalloonGroup(const BalloonGroup& other) = default;

    QString className() const override;
    ObjectPtr initByCopying() const override;
    QString displayName() const override;
    QImage pathIcon() const override;
    // Members that are not balloons (a file may hold them) draw whole after the merged balloons.
    void drawIn(ZDLContext& context) override;
};

// Registers "Group" and "BalloonGroup" for decoding.
void registerGroupClasses(ClassRegistry& registry);

} // namespace zandrel
