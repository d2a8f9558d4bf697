#pragma once

#include "views/ElementEditingView.h"

#include <functional>

namespace zandrel {

class CharacterDocument;
class CharacterModel;
class DocumentWindow;

// The default view of a character window until the parts view exists: the character's parts with
// its tracing image, selected, arranged, copied and pasted with the editing commands. It follows the
// document's model across reverts, can show the parts of one type alone (then only selecting and
// opening them), and answers the tracing-image command that needs a file dialog.
class CharacterView : public ElementEditingView {
    Q_OBJECT

public:
    CharacterView(CharacterDocument* document, QWidget* parent = nullptr);

    // Shows only the parts of one type; -1 shows them all.
    int viewPartType() const { return m_viewPartType; }
    void setViewPartType(int type);
    ObjectPtr childAt(const QPointF& point) const override;
    QRectF getContentBounds() const override;
    // Pasted parts go in through the document, which asks before it merges another file's colours.
    void insertFromScrap(const std::shared_ptr<PasteboardParent>& payload) override;

    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;

    // Tests answer the image dialog; without a chooser the dialog asks.
    static void setImageChooser(std::function<QString()> chooser);
    // Sets the tracing image of the file, telling the user when it cannot be read.
    void openTracingImageFile(const QString& path);

protected:
    void drawContent(ZDLContext& context, const QRectF& dirtyRect) override;

private:
    bool showsPart(const ObjectPtr& child) const;

    CharacterDocument* m_document;
    int m_viewPartType = -1;
};

// Fills a character document's window: the character view, the editors over it and the toolbar.
void buildCharacterWindowContents(DocumentWindow& window);

// The parts-view popup: its first three items stay (all parts, a separator, a heading); the first is
// titled after the parts kind; then one item per part type the character uses, tagged with it.
void setupPartsViewMenu(QMenu* menu, const CharacterModel& model);

} // namespace zandrel
