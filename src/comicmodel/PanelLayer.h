#pragma once

#include "comicmodel/LayerRunCache.h"
#include "graphics/ElementChildren.h"
#include "platform/Object.h"

#include <QString>
#include <memory>

namespace zandrel {

class CharacterModel;
class ClassRegistry;
class ComicPanel;

// One content layer of a panel, its front or its back (background): the comic elements placed in
// it (parts, images, balloons, groups), first drawn first. The comic views edit a layer as their
// root, and elements reach their panel, comic and colour set through it.
class PanelLayer : public Object, public virtual Parent, public virtual InvalidationBoundsSource {
public:
    PanelLayer() = default;
    // A deep copy: the elements are copied by their own classes and adopted by the copy, which has
    // no parent yet.
    PanelLayer(const PanelLayer& other);
    PanelLayer& operator=(const PanelLayer&) = delete;
    ~PanelLayer() override = default;

    // A layer holding the elements (a legacy file's element arrays).
    static std::shared_ptr<PanelLayer> initWithChildren(const ElementList& children);
    // A layer holding the element array under the key, read with the same checks as "elements".
    static std::shared_ptr<PanelLayer> initWithDecodedChildren(KeyedUnarchiver& coder, const QString& key);
    std::shared_ptr<PanelLayer> initByCopying() const;

    // "elements", each adopted on decoding; the panel sets the parent afterwards.
    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("PanelLayer");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Parent ---
    ElementList children() const override { return m_elements.items(); }
    // Elements that leave keep their link to the layer. Null, repeated and non-element members are
    // refused.
    void setChildren(const ElementList& children) override;
    std::size_t numChildren() const override { return m_elements.size(); }
    // The topmost element that contains the point, hidden or not.
    ObjectPtr getChildAt(const QPointF& point, float viewScale) const override;
    // The panel's frame, whatever the elements cover; the zero rect without a panel.
    QRectF getBounds() const override;
    QRectF getGeometryBounds() const override;
    QString displayName() const override;
    QImage pathIcon() const override;
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }

    ComicPanel* parent() const { return m_parent; }
    void setParent(ComicPanel* parent) { m_parent = parent; }

    QRectF getInvalidationBounds() const override;
    // The elements with groups opened, nested ones too, that are of the archived class or a
    // subclass of it (by class name, so that classes this code cannot see are found as well).
    ElementList allComicElementsOfClass(const QString& className) const;
    // Removes, last to first, the elements that are no longer usable; false when none is left.
    bool validateData();
    // Empties the list and clears the elements' links to the layer; the elements are not retired.
    void retire();

    // The colour set of the comic the layer belongs to, for its elements; null when detached.
    CharacterModel* comicColorsModel() const;
    // Draws the elements in order, on screen the runs of parts from bitmaps.
    void drawElementsIn(ZDLContext& context);

private:
    void adoptDecodedElements(KeyedUnarchiver& coder, const QString& key);

    GraphicElementChildren m_elements { this };
    ComicPanel* m_parent = nullptr;
    // Made with the layer, so that bands drawn on several threads never make it; a copy has its own.
    std::unique_ptr<LayerRunCache> m_runCache = std::make_unique<LayerRunCache>();
};

using PanelLayerPtr = std::shared_ptr<PanelLayer>;

// Registers "PanelLayer" and "ComicPanel", and lets image elements in a layer find the comic's
// colour set.
void registerPanelClasses(ClassRegistry& registry);

} // namespace zandrel
