#include "comicmodel/ComicModelClasses.h"

#include "charmodel/CharacterModelClasses.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicStructureElement.h"
#include "comicmodel/Group.h"
#include "comicmodel/PanelLayer.h"
#include "platform/ClassRegistry.h"

namespace zandrel {

void registerComicModelClasses(ClassRegistry& registry)
{
    // Registering a class again only replaces it with the same entry, so direct calls are safe.
    registerCharacterModelClasses(registry);
    registerComicStructureClasses(registry);
    registerPanelClasses(registry);
    registerBalloonClasses(registry);
    registerGroupClasses(registry);
    registerComicModelClass(registry);
}

} // namespace zandrel
