#include "charmodel/CharacterModelClasses.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/DocumentSettings.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartElement.h"
#include "charmodel/PartPath.h"
#include "graphics/GraphicsClasses.h"
#include "platform/ClassRegistry.h"

namespace zandrel {

void registerCharacterModelClasses(ClassRegistry& registry)
{
    // Registering a class again only replaces it with the same entry, so direct calls are safe.
    registerGraphicsClasses(registry);
    registerPartElementClasses(registry);
    registerPartPathClasses(registry);
    registerImageElementClasses(registry);
    registerPartClasses(registry);
    registerPartAliasClasses(registry);
    registerDocumentSettingsClasses(registry);
    registerCharacterModelClass(registry);
}

} // namespace zandrel
