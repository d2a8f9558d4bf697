#pragma once

#include "graphics/ShapeStyle.h"

#include <QImage>
#include <QString>

namespace zandrel {

// A shape style with a name: the entries of a character's style list, shown in menus and applied
// to selected paths.
class NamedShapeStyle : public ShapeStyle {
public:
    ZDL_PROPERTIES

    // Property name.
    static inline const QString kNameKey = QStringLiteral("name");

    // The style defaults and no name (a null string).
    NamedShapeStyle() = default;
    NamedShapeStyle(const NamedShapeStyle& other) = default;
    NamedShapeStyle& operator=(const NamedShapeStyle& other) = default;
    ~NamedShapeStyle() override = default;

    const QString& name() const { return m_name; }
    void setName(const QString& name);

    // Previews for menus and style lists: a sample stroke drawn as a part path in this style, on a
    // transparent image of 30 x 16 points (image) or 60 x 52 points (largeImage), y down. Each
    // request draws a new image. A device scale above 1 gives a sharper image of the same size
    // in points.
    QImage image(double deviceScale = 1.0) const;
    QImage largeImage(double deviceScale = 1.0) const;

    // Callers send it after changing a style. Previews are drawn anew on every request, so there
    // is nothing to drop; it stays so that callers need not know that.
    void flushCache() { }

    ShapeStylePtr copy() const override;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("NamedShapeStyle");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    QImage previewImage(
        const QSize& points, const QList<std::pair<QPointF, bool>>& curve, double deviceScale) const;

    QString m_name;
};

using NamedShapeStylePtr = std::shared_ptr<NamedShapeStyle>;

} // namespace zandrel
