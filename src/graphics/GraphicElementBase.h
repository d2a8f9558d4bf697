#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/Object.h"

namespace zandrel {

// The state every element of a model tree keeps for the protocols: the link to the container that
// holds it and the visibility flag, with the "visible" property. The link does not own: the
// container owns its members and clears their links when it goes or retires. Visibility is never
// archived, so a new, decoded or copied element is visible and a copy has no parent yet.
class GraphicElementBase : public Object, public virtual GraphicElement {
public:
    ZDL_PROPERTIES

    static inline const QString kVisibleKey = QStringLiteral("visible");

    Parent* parent() const override { return m_parent; }
    void setParent(Parent* parent) override;
    // Drops nothing of its own and tells the parent when it is a graphic element, so that a
    // change deep inside a part drops the part's bitmap.
    void flushCachedImage() override;
    bool visible() const override { return m_visible; }
    // A change of value tells the observers of "visible", then visibilityChanged; setting the value
    // held does nothing.
    void setVisible(bool visible) override;

protected:
    GraphicElementBase() = default;
    GraphicElementBase(const GraphicElementBase& other);
    GraphicElementBase& operator=(const GraphicElementBase&) = delete;
    ~GraphicElementBase() override = default;

    // After the flag changed and its observers were told. Elements whose drawing it changes drop
    // their caches here.
    virtual void visibilityChanged() { }
    // What decoding starts from: visibility is not archived.
    void resetVisibility() { m_visible = true; }

private:
    Parent* m_parent = nullptr;
    // The parent as a graphic element, found once when the link is set: flushes walk up often.
    GraphicElement* m_parentGraphic = nullptr;
    bool m_visible = true;
};

} // namespace zandrel
