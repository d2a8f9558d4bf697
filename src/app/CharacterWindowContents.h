#pragma once

#include "app/ElementView.h"

#include <functional>

namespace zandrel {

class CharacterDocument;
class CharacterModel;
class DocumentWindow;

// The default view of a character window until the parts view exists: the character drawn
// read-only with its tracing image. It follows the document's model across reverts and answers the
// tracing-image command that needs a file dialog.
class CharacterView : public ElementView {
    Q_OBJECT

public:
    CharacterView(CharacterDocument* document, QWidget* parent = nullptr);

    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;

    // Tests answer the image dialog; without a chooser the dialog asks.
    static void setImageChooser(std::function<QString()> chooser);
    // Sets the tracing image of the file, telling the user when it cannot be read.
    void openTracingImageFile(const QString& path);

private:
    CharacterDocument* m_document;
};

// Fills a character document's window: the character view, the editors over it and the toolbar.
void buildCharacterWindowContents(DocumentWindow& window);

// The parts-view popup: its first three items stay (all parts, a separator, a heading); the first is
// titled after the parts kind; then one item per part type the character uses, tagged with it.
void setupPartsViewMenu(QMenu* menu, const CharacterModel& model);

} // namespace zandrel
