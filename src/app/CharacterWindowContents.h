#pragma once

class QMenu;

namespace zandrel {

class CharacterModel;
class DocumentWindow;

// Fills a character document's window: the parts view, the editors over it and the toolbar.
void buildCharacterWindowContents(DocumentWindow& window);

// The parts-view popup: its first three items stay (all parts, a separator, a heading); the first is
// titled after the parts kind; then one item per part type the character uses, tagged with it.
void setupPartsViewMenu(QMenu* menu, const CharacterModel& model);

} // namespace zandrel
