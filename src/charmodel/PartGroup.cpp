#include "charmodel/PartGroup.h"

#include "platform/Localization.h"

namespace zandrel {

namespace {

// The application image shown beside the editing level.
const QString kIconName = QStringLiteral("path_partgroup");

} // namespace

QString PartGroup::className() const
{
    return kClassName;
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
    return applicationIcon(kIconName);
}

bool PartGroup::validateData()
{
    PartElement::validateData();
    return numChildren() > 0;
}

} // namespace zandrel
