#include "graphics/NamedShapeStyle.h"

#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

namespace zandrel {

namespace {

const QString kName = QStringLiteral("name");

} // namespace

const PropertyTable& NamedShapeStyle::staticPropertyTable()
{
    static const PropertyTable table(&ShapeStyle::staticPropertyTable(),
        {
            property<NamedShapeStyle>(kName, &NamedShapeStyle::name, &NamedShapeStyle::setName),
        });
    return table;
}

void NamedShapeStyle::setName(const QString& name)
{
    KeyChange change(*this, kName);
    m_name = name;
}

ShapeStylePtr NamedShapeStyle::copy() const
{
    return std::make_shared<NamedShapeStyle>(*this);
}

QString NamedShapeStyle::className() const
{
    return QStringLiteral("NamedShapeStyle");
}

void NamedShapeStyle::encodeWithCoder(KeyedArchiver& coder) const
{
    ShapeStyle::encodeWithCoder(coder);
    // A style never named is written as nil, not as an empty string.
    coder.encodeObject(m_name.isNull() ? Value() : Value(m_name), kName);
}

ObjectPtr NamedShapeStyle::initWithCoder(KeyedUnarchiver& coder)
{
    ObjectPtr self = ShapeStyle::initWithCoder(coder);
    const Value name = coder.decodeObjectOfClass(QStringLiteral("NSString"), kName);
    m_name = name.isNull() ? QString() : name.toString();
    return self;
}

} // namespace zandrel
