#include "charmodel/PartGroup.h"

#include "platform/Localization.h"

namespace zandrel {

QString PartGroup::className() const
{
    return QStringLiteral("PartGroup");
}

ObjectPtr PartGroup::initByCopying() const
{
    return std::make_shared<PartGroup>(*this);
}

QString PartGroup::displayName() const
{
    return localized("Group");
}

QImage PartGroup::pathIcon() const
{
    return applicationIcon(QStringLiteral("path_partgroup"));
}

bool PartGroup::validateData()
{
    PartElement::validateData();
    return numChildren() > 0;
}

} // namespace zandrel
