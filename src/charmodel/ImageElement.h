#pragma once

#include "charmodel/ComicGraphicElementState.h"
#include "charmodel/MaskingPath.h"
#include "graphics/ElementChildren.h"
#include "graphics/GraphicElementBase.h"
#include "graphics/ZDLImage.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QPointF>
#include <QString>
#include <QTransform>
#include <QUrl>
#include <functional>
#include <memory>

namespace zandrel {

class BigEndianReader;
class ClassRegistry;
class ImageElement;

using ImageElementPtr = std::shared_ptr<ImageElement>;

// A bitmap or PDF picture placed in a drawing: in a character part, loose in a character, or in a
// comic's panel layer, group or page. The ZDLImage is shared between copies; the element adds the
// placement transform, the masks that clip the picture, a part type, an optional pivot and the link
// to the character whose colours it belongs to.
//
// Image coordinates are the picture's pixels, origin top-left, y down; masks, pivot and crop rects
// are in them, and the transform maps them into the container. The element is the parent of its
// masks in the editing path.
//
// Archive, in writing order: "image", "transform", "masks", "type", "originX" and "originY" (floats,
// only with a pivot), "model" (only when linked), "characterId" (only while the pasteboard is
// written). Visibility is not archived.
class ImageElement : public GraphicElementBase, public ComicGraphicElementState, public virtual Parent {
public:
    ZDL_PROPERTIES

    ImageElement() = default;
    // The same picture, copies of the transform and masks (adopted by the copy) and the same part
    // type, pivot and character link. The copy is visible and has no parent yet.
    ImageElement(const ImageElement& other);
    ImageElement& operator=(const ImageElement&) = delete;
    ~ImageElement() override = default;

    // --- Constructors. The first two make an element even when the picture cannot be read; it then
    // draws nothing, has empty bounds and is never hit, and the caller tells the user.
    // A file that cannot be read gives the reason in error when one is given.
    static ImageElementPtr initFromURL(const QUrl& url, FileReadError* error = nullptr);
    static ImageElementPtr initFromImageData(const QByteArray& data);
    // A PDF representation stays vector; a bitmap is encoded as PNG when it has alpha, else as JPEG
    // at the import quality. Null when there is nothing to encode.
    static ImageElementPtr initFromImage(const ZDLImageRepPtr& firstRepresentation);
    static ImageElementPtr initFromImage(const QImage& image);
    // One image record of a legacy parts file, placed at its left and top. A short or damaged record
    // raises the reader's exception; a record without pixels gives an element without a picture.
    // Its pixels (four bytes each) are charged to the current decoding budget before anything is
    // decoded: every record is small, but a file of many records at the largest legacy size would
    // take minutes to decode.
    static ImageElementPtr initFromParts86Reader(BigEndianReader& reader);

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("ImageElement");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

    // --- Identity and links ---
    // The linked character; else, inside a comic panel layer, the comic's colour set; else the
    // nearest character model among the ancestors; nullptr when none.
    Object* model() const override;
    // The picture, also the property "image": cropping and resampling replace it undoably.
    static inline const QString kImageKey = QStringLiteral("image");
    const ZDLImagePtr& image() const { return m_image; }
    void setImage(const ZDLImagePtr& image);
    QTransform transform() const { return m_transform; }
    void setTransform(const QTransform& transform) { m_transform = transform; }
    const QList<MaskingPathPtr>& maskPaths() const { return m_masks.items(); }

    // Finds the comic colour set of a panel layer. Panels live in the comic model, which installs
    // this; without it an element in a panel layer falls back to its character ancestors.
    using PanelLayerModelLookup = std::function<Object*(const Object& panelLayer)>;
    static void setPanelLayerModelLookup(PanelLayerModelLookup lookup);

    // --- Pivot: the stored one when set, else the centre of the picture ---
    QPointF appliedOrigin() const override;

    // --- Parent: the masks ---
    ElementList children() const override;
    std::size_t numChildren() const override { return m_masks.size(); }
    ObjectPtr getChildAtIndex(std::size_t index) const override { return m_masks.at(index); }
    bool hasChild(const Object* element) const override { return m_masks.contains(element); }
    // Keeps the masking paths of the list and adopts them.
    void setChildren(const ElementList& children) override;
    // The last mask that contains the point (image coordinates), visible or not.
    ObjectPtr getChildAt(const QPointF& point, float viewScale) const override;
    QString displayName() const override;
    QImage pathIcon() const override;
    bool canEditContents() const override { return true; }
    bool canSelectContents() const override { return true; }
    // All masks as one even-odd path in image coordinates; empty without masks.
    CanvasPath createCGPath() const;

    // --- Geometry ---
    ObjectPtr initByCopying() const override;
    // Both append to the transform, so they act in the container's coordinates.
    void offsetBy(const QPointF& delta, bool directly) override;
    void transformBy(const QTransform& transform) override;
    // The picture is not distorted: it moves so that its bounds centre goes where the quad mapping
    // takes it.
    void perspectiveTransformFrom(const QRectF& source, const std::array<QPointF, 4>& quad) override;
    void recordGeometry(GeometryRecord& record) const override;
    void restoreGeometry(GeometryReader& reader) override;
    void centerOn(const QPointF& point);
    // Shrinks (never enlarges) until the element just covers the panel's bounds in one direction,
    // then centres it on them. Callers pass the panel's getBounds.
    void fitInPanel(const QRectF& panelBounds);
    // Shrinks (never enlarges) to fit a square of that side, then centres it on the point.
    void fitToSize(float length, const QPointF& point);
    // How far the picture moves in the container when it is cropped to the rect (image coordinates).
    QPointF getOffsetForCrop(const QRectF& cropRect) const;

    // --- Bounds: the box of the transformed masks, or of the whole picture without masks; every
    // kind of bounds is that box while the element is visible.
    QRectF getBoundsIgnoringVisibility() const override;
    QRectF getBounds() const override { return GraphicElement::getBounds(); }
    QRectF getGeometryBounds() const override { return GraphicElement::getGeometryBounds(); }

    // --- Drawing and hit-testing ---
    // The picture upright with its top-left at the element's origin, clipped to the masks.
    void drawIn(ZDLContext& context) override;
    // Inside the masks when there are any, else on an opaque pixel of the picture.
    bool containsPt(const QPointF& point, float viewScale) const override;
    void flushCachesUsingColor() override;
    // The element keeps no rendering of its own; the part that holds it drops its bitmap.
    void flushCachedImage() override;

    bool validateData() override;

protected:
    QPointF defaultOrigin() const override;

private:
    // A new element showing the picture, with every other field at its default.
    static ImageElementPtr withImage(const ZDLImagePtr& image);

    ZDLImagePtr m_image;
    QTransform m_transform;
    ElementChildren<TypedLinks<MaskingPath, Parent, QList<MaskingPathPtr>>> m_masks { this };
};

void registerImageElementClasses(ClassRegistry& registry);

} // namespace zandrel
