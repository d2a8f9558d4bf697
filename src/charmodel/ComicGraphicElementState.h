#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/PropertyTable.h"

#include <QPointF>
#include <QString>
#include <memory>
#include <vector>

namespace zandrel {

class KeyedArchiver;
class KeyedUnarchiver;

// What the pieces of a character (parts and image elements) keep as comic graphic elements: the
// part type, the pivot about which rotate and scale gestures turn them, and the link to the
// character model they came from, which they do not own (a character that goes away leaves them
// unlinked), with its identifier.
//
// Archived after the element's own keys, in this order: "type", "originX" and "originY" (floats,
// only with a pivot), "model" (only when linked) and "characterId" (only while the pasteboard is
// written).
class ComicGraphicElementState : public virtual ComicGraphicElement {
public:
    static inline const QString kPartTypeKey = QStringLiteral("partType");
    static inline const QString kOriginKey = QStringLiteral("origin");
    static inline const QString kHasOriginKey = QStringLiteral("hasOrigin");

    int partType() const override { return m_partType; }
    void setPartType(int partType) override { m_partType = partType; }
    // The stored pivot when set, else the element's own default.
    QPointF origin() const override { return m_hasOrigin ? m_origin : defaultOrigin(); }
    // Stores the pivot and marks it as set.
    void setOrigin(const QPointF& origin) override;
    bool hasOrigin() const override { return m_hasOrigin; }
    void setHasOrigin(bool hasOrigin) override { m_hasOrigin = hasOrigin; }

    // Links without owning.
    void setModel(const ObjectPtr& model) { m_model = model; }
    QString characterId() const { return m_characterId; }
    void setCharacterId(const QString& characterId) { m_characterId = characterId; }
    // Forgets the character link and identifier (after pasting into a character).
    void stripIdentity();

    // The properties "partType", "origin" and "hasOrigin", for the owner's property table.
    template <class Owner> static std::vector<Property> placementProperties()
    {
        return {
            property<Owner>(kPartTypeKey, &Owner::partType, &Owner::setPartType),
            property<Owner>(kOriginKey, &Owner::origin, &Owner::setOrigin),
            property<Owner>(kHasOriginKey, &Owner::hasOrigin, &Owner::setHasOrigin),
        };
    }

protected:
    ComicGraphicElementState() = default;
    // The same part type, pivot and character link.
    ComicGraphicElementState(const ComicGraphicElementState&) = default;
    ~ComicGraphicElementState() override = default;

    // The pivot of an element without a stored one.
    virtual QPointF defaultOrigin() const = 0;
    // The linked character model, or null.
    Object* linkedModel() const { return m_model.lock().get(); }
    // The pivot moved along with the element; nothing without a stored pivot.
    template <class Map> void moveOrigin(Map map)
    {
        if (m_hasOrigin)
            m_origin = map(m_origin);
    }

    // The stored pivot as it is, for an exact undo (see GeometryRecord).
    void recordOrigin(GeometryRecord& record) const;
    void restoreOrigin(GeometryReader& reader);

    void encodePlacement(KeyedArchiver& coder) const;
    // A pivot that is not finite is dropped, so the element's default serves.
    void decodePlacement(KeyedUnarchiver& coder);

private:
    std::weak_ptr<Object> m_model;
    QString m_characterId;
    QPointF m_origin;
    bool m_hasOrigin = false;
    int m_partType = 0;
};

// Writes the character's identifier under "characterId", but only while the application archives
// elements for the pasteboard: a pasted element finds its character again by it.
void encodeCharacterIdForPasteboard(KeyedArchiver& coder, const Object* characterModel);

} // namespace zandrel
