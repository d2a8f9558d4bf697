#pragma once

namespace zandrel {

class ClassRegistry;

// Registers every archivable class of the graphics foundation (curves, colours, fills, gradients,
// styles, images). Code about to decode a document runs it once through ClassRegistry::registerOnce.
void registerGraphicsClasses(ClassRegistry& registry);

} // namespace zandrel
