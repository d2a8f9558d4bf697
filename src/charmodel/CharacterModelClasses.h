#pragma once

namespace zandrel {

class ClassRegistry;

// Registers every archivable class of the character model, and the graphics foundation's classes it
// builds on. Code about to decode a parts file, a comic file or a pasteboard payload runs it once
// through ClassRegistry::registerOnce.
void registerCharacterModelClasses(ClassRegistry& registry);

} // namespace zandrel
