// The links between containers and their members, the same for every container of the model:
// taking members in, refusing the container itself, copies and members that outlive their
// container.
#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "charmodel/MaskingPath.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/PanelLayer.h"
#include "platform/ClassRegistry.h"

#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

struct ContainerKind {
    const char* name;
    std::function<ObjectPtr()> makeContainer;
    std::function<ObjectPtr()> makeMember;
    std::function<ObjectPtr(const ObjectPtr&)> copy;
    // Whether the container is itself an element that could be offered as its own member.
    bool isElement;
};

ObjectPtr copyOf(const ObjectPtr& container)
{
    if (auto* graphic = asProtocol<GraphicElement>(container))
        return graphic->initByCopying();
    if (auto layer = std::dynamic_pointer_cast<PanelLayer>(container))
        return layer->initByCopying();
    return nullptr;
}

Parent* linkOf(const ObjectPtr& member)
{
    return asProtocol<ModelElement>(member)->parent();
}

std::vector<ContainerKind> containerKinds()
{
    const auto path = [] { return ObjectPtr(std::make_shared<PartPath>()); };
    return {
        { "PartElement", [] { return std::make_shared<PartElement>(); }, path, copyOf, true },
        { "PartGroup", [] { return std::make_shared<PartGroup>(); }, path, copyOf, true },
        { "PartPath", path, path, copyOf, true },
        { "Part", [] { return std::make_shared<Part>(); }, path, copyOf, true },
        { "ImageElement", [] { return std::make_shared<ImageElement>(); },
            [] { return std::make_shared<MaskingPath>(); }, copyOf, false },
        { "PanelLayer", [] { return std::make_shared<PanelLayer>(); },
            [] { return std::make_shared<Part>(); }, copyOf, false },
        { "CharacterModel", [] { return std::make_shared<CharacterModel>(); },
            [] { return std::make_shared<Part>(); }, nullptr, false },
    };
}

TEST(ElementTree, EveryContainerLinksItsMembersAndLetsThemGo)
{
    ClassRegistry::shared().registerOnce(&registerComicModelClasses);
    for (const ContainerKind& kind : containerKinds()) {
        SCOPED_TRACE(kind.name);
        ObjectPtr container = kind.makeContainer();
        auto* parent = asProtocol<Parent>(container);
        const ObjectPtr member = kind.makeMember();
        const ObjectPtr other = kind.makeMember();
        parent->setChildren({ member, other });
        ASSERT_EQ(parent->numChildren(), 2u);
        EXPECT_EQ(linkOf(member), parent);
        EXPECT_TRUE(parent->hasChild(other.get()));
        EXPECT_EQ(parent->getChildAtIndex(1), other);
        EXPECT_EQ(parent->getChildAtIndex(2), nullptr);

        // A container never takes itself in, nor an ancestor of itself.
        if (kind.isElement) {
            parent->setChildren({ container, member });
            EXPECT_EQ(parent->children(), ElementList { member });
            auto outer = std::make_shared<PartGroup>();
            outer->setChildren({ container });
            parent->setChildren({ outer, member });
            EXPECT_EQ(parent->children(), ElementList { member });
            outer->setChildren({});
            parent->setChildren({ member, other });
        }

        // A copy holds copies of the members, linked to the copy; the originals stay.
        if (kind.copy) {
            const ObjectPtr copy = kind.copy(container);
            const ElementList copied = asProtocol<Parent>(copy)->children();
            ASSERT_EQ(copied.size(), 2);
            EXPECT_NE(copied[0], member);
            EXPECT_EQ(linkOf(copied[0]), asProtocol<Parent>(copy));
            EXPECT_EQ(linkOf(member), parent);
        }

        // Members that outlive their container (held by an undo step) keep no link to it.
        container.reset();
        EXPECT_EQ(linkOf(member), nullptr);
        EXPECT_EQ(linkOf(other), nullptr);
    }
}

} // namespace
} // namespace zandrel
