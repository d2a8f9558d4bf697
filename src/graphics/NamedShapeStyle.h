#pragma once

#include "graphics/ShapeStyle.h"

#include <QString>

namespace zandrel {

// A shape style with a name: the entries of a character's style list, shown in menus and applied
// to selected paths.
class NamedShapeStyle : public ShapeStyle {
public:
    ZDL_PROPERTIES

    // The style defaults and no name (a null string).
    NamedShapeStyle() = default;
    NamedShapeStyle(const NamedShapeStyle& other) = default;
    NamedShapeStyle& operator=(const NamedShapeStyle& other) = default;
    ~NamedShapeStyle() override = default;

    const QString& name() const { return m_name; }
    void setName(const QString& name);

    // Callers send it after changing a style. Previews are drawn anew on every request, so there
    // is nothing to drop; it stays so that callers need not know that.
    void flushCache() { }

    ShapeStylePtr copy() const override;

    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    QString m_name;
};

using NamedShapeStylePtr = std::shared_ptr<NamedShapeStyle>;

} // namespace zandrel
