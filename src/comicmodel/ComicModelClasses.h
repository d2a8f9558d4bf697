#pragma once

namespace zandrel {

class ClassRegistry;

// Registers every archivable class of the comic model, and those of the character model and the
// graphics foundation it builds on. Code about to decode a comic file or a pasteboard payload runs
// it once through ClassRegistry::registerOnce.
void registerComicModelClasses(ClassRegistry& registry);

} // namespace zandrel
