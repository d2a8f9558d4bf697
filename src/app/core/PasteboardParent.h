#pragma once

#include "graphics/ElementProtocols.h"
#include "graphics/ZDLColor.h"
#include "platform/Object.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <memory>

namespace zandrel {

class ClassRegistry;
class PasteboardParent;
using PasteboardParentPtr = std::shared_ptr<PasteboardParent>;

// The payload that carries graphic elements between views and documents, through the clipboard and
// through drags: deep copies of the elements, the point where a drag started, the identifier of the
// character they came from and the colours that travel with them. It offers itself as our own
// keyed archive, as PDF and as a bitmap (rendered only when asked for), and reads back only the
// archive, which is untrusted input like any file: decoded with the classes each key may hold and
// validated before anything is pasted.
class PasteboardParent : public Object {
public:
    PasteboardParent() = default;
    // Deep copies of the elements, in order, each made by its own class.
    static PasteboardParentPtr initWithChildren(const ElementList& elements);

    // The type of the archive: the bundle identifier followed by ".objects", and the MIME type the
    // clipboard and drags carry it under.
    static QString zdlObjectsType();
    static QString objectsMimeType();

    const ElementList& children() const { return m_children; }
    void setChildren(const ElementList& children) { m_children = children; }
    QPointF clickPoint() const { return m_clickPoint; }
    void setClickPoint(const QPointF& point) { m_clickPoint = point; }
    const QString& characterId() const { return m_characterId; }
    void setCharacterId(const QString& identifier) { m_characterId = identifier; }
    // An empty list when none were set.
    QList<ZDLColorPtr> colors() const { return m_colors; }
    void setColors(const QList<ZDLColorPtr>& colors) { m_colors = colors; }

    // The union of the children's bounds; the zero rect without children.
    QRectF childrenBounds() const;
    // Children that lie wholly outside the rect move so that their bounds are centred on it; any
    // overlap leaves them where they are.
    void ensureChildrenInRect(const QRectF& rect);

    // --- Flavours ---
    // The keyed archive of the payload. Elements that archive themselves write the identifier of
    // their character meanwhile, so that pasted elements know where they came from.
    QByteArray archivedData() const;
    // The payload of an archive, or null for anything that is not a usable one: the archive is
    // read with the classes each key may hold, repeated or nested children are dropped and every
    // child is validated, so a hostile payload can paste nothing worse than a damaged file could.
    static PasteboardParentPtr fromArchivedData(const QByteArray& data);
    // A picture of the children at scale 1 with every blur drawn, as an export draws them; empty data
    // or a null image when there is nothing to draw or the picture would be absurdly large.
    QByteArray getPDFData() const;
    QImage getImage() const;

    static inline const QString kClassName = QStringLiteral("PasteboardParent");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    // The copies of balloons link to the colour set their originals draw with.
    static void keepColorSetsOfBalloons(const ElementList& originals, const ElementList& copies);

    QList<ZDLColorPtr> m_colors;
    ElementList m_children;
    QString m_characterId;
    QPointF m_clickPoint;
};

// Registers "PasteboardParent" and the element classes a payload may hold.
void registerPasteboardClasses(ClassRegistry& registry);

} // namespace zandrel
