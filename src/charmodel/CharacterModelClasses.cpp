#include "charmodel/CharacterModelClasses.h"

#include "charmodel/PartElement.h"
#include "graphics/GraphicsClasses.h"
#include "platform/ClassRegistry.h"

namespace zandrel {

void registerCharacterModelClasses(ClassRegistry& registry)
{
    // Direct calls: this function itself runs under registerOnce, whose lock does not nest.
    registerGraphicsClasses(registry);
    registerPartElementClasses(registry);
}

} // namespace zandrel
