#pragma once

class QMenuBar;
class QString;
class QWidget;

namespace zandrel {

// The menus every document window carries, built in code; their items send actions by name along
// the window's responder chain and are validated each time a menu opens and when an item fires.
namespace MainMenu {

void build(QMenuBar* menuBar, QWidget* window);
// For a window without menus (preferences, about): the keys of the application's own commands (new
// documents, open, quit) work there as they do in a document window.
void addApplicationKeys(QWidget* window);
// The title the menus give an action (its first item), so that other menus offering it say the same.
QString titleOf(const QString& action);

} // namespace MainMenu

} // namespace zandrel
