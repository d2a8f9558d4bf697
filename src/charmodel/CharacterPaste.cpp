// Preparing objects pasted or dropped into a character.
#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"

namespace zandrel {

ElementList CharacterModel::filterObjects(const ElementList& objects) const
{
    ElementList filtered;
    for (const ObjectPtr& object : objects) {
        if (!object)
            continue;
        if (auto* part = dynamic_cast<Part*>(object.get())) {
            // The part takes its owner from the container it is pasted into.
            part->setModel(nullptr);
            filtered.append(object);
        } else if (auto* image = dynamic_cast<ImageElement*>(object.get())) {
            image->stripIdentity();
            filtered.append(object);
        } else if (auto* group = dynamic_cast<Group*>(object.get());
                   group && object->className() == Group::kClassName) {
            // Exactly a group: merged balloons stay merged.
            const ElementList members = filterObjects(group->children());
            group->setChildren(members);
            if (members.size() == 1)
                filtered.append(members.first());
            else if (!members.isEmpty())
                filtered.append(object);
        } else {
            filtered.append(object);
        }
    }
    return filtered;
}

ElementList CharacterModel::filterScrapObjects(const ElementList& scrapChildren)
{
    if (scrapChildren.isEmpty())
        return {};
    if (!ArrayUtils::anyIn<PartElement>(scrapChildren))
        return filterObjects(scrapChildren);

    ElementList members = scrapChildren;
    if (scrapChildren.size() == 1 && dynamic_cast<const PartGroup*>(scrapChildren.first().get()))
        members = asProtocol<Parent>(scrapChildren.first())->children();
    auto part = std::make_shared<Part>(shared_from_this());
    part->setChildren(members);
    return { part };
}

bool CharacterModel::pastedPartsAreFromThisCharacter(const ElementList& objects) const
{
    const QString ownId = characterId();
    for (const ObjectPtr& object : ArrayUtils::flattenComicElementsArray(objects)) {
        QString id;
        if (const auto* part = dynamic_cast<const Part*>(object.get()))
            id = part->characterId();
        else if (const auto* balloon = dynamic_cast<const Balloon*>(object.get()))
            id = balloon->characterId();
        if (!id.isEmpty() && id != ownId)
            return false;
    }
    return true;
}

} // namespace zandrel
