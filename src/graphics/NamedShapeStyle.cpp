#include "graphics/NamedShapeStyle.h"

#include "charmodel/PartPath.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveNames.h"
#include "platform/CurrentCanvas.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/OffscreenImage.h"

#include <cmath>

namespace zandrel {

namespace {

// Archive key.
const QString kNameArchiveKey = QStringLiteral("name");

} // namespace

const PropertyTable& NamedShapeStyle::staticPropertyTable()
{
    static const PropertyTable table(&ShapeStyle::staticPropertyTable(),
        {
            property<NamedShapeStyle>(kNameKey, &NamedShapeStyle::name, &NamedShapeStyle::setName),
        });
    return table;
}

void NamedShapeStyle::setName(const QString& name)
{
    changeValueForKey(kNameKey, [&] { m_name = name; });
}

QImage NamedShapeStyle::image(double deviceScale) const
{
    return previewImage(QSize(30, 16),
        { { { 5, 3 }, true }, { { 2, 10 }, false }, { { 12, 14 }, false }, { { 28, 7 }, true } },
        deviceScale);
}

QImage NamedShapeStyle::largeImage(double deviceScale) const
{
    return previewImage(QSize(60, 52),
        { { { 6, 4 }, true }, { { 4, 26 }, false }, { { 16, 48 }, false }, { { 28, 44 }, false },
            { { 28, 15 }, false }, { { 40, 42 }, false }, { { 48, 48 }, false }, { { 57, 24 }, false },
            { { 45, 7 }, true } },
        deviceScale);
}

QImage NamedShapeStyle::previewImage(
    const QSize& points, const QList<std::pair<QPointF, bool>>& curvePoints, double deviceScale) const
{
    const double scale = std::isfinite(deviceScale) && deviceScale > 0 ? deviceScale : 1.0;
    auto curve = std::make_shared<Curve>();
    for (const auto& [point, onCurve] : curvePoints)
        curve->addPoint(point, onCurve);
    auto path = std::make_shared<PartPath>();
    path->setSegments({ curve });
    applyTo(path.get());

    OffscreenImage offscreen(OffscreenImage::pixelSizeFor(QSizeF(points), scale), scale);
    Canvas* canvas = offscreen.canvas();
    if (!canvas)
        return QImage();
    {
        CanvasScope current(canvas);
        ZDLContext context(1.0f);
        path->drawIn(context);
    }
    QImage result = offscreen.takeImage();
    result.setDevicePixelRatio(scale);
    return result;
}

ShapeStylePtr NamedShapeStyle::copy() const
{
    return std::make_shared<NamedShapeStyle>(*this);
}

QString NamedShapeStyle::className() const
{
    return kClassName;
}

void NamedShapeStyle::encodeWithCoder(KeyedArchiver& coder) const
{
    ShapeStyle::encodeWithCoder(coder);
    // A style never named is written as nil, not as an empty string.
    coder.encodeObject(m_name.isNull() ? Value() : Value(m_name), kNameArchiveKey);
}

ObjectPtr NamedShapeStyle::initWithCoder(KeyedUnarchiver& coder)
{
    ObjectPtr self = ShapeStyle::initWithCoder(coder);
    const Value name = coder.decodeObjectOfClass(PlatformClass::kString, kNameArchiveKey);
    m_name = name.isNull() ? QString() : name.toString();
    return self;
}

} // namespace zandrel
