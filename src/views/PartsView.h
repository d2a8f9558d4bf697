#pragma once

#include "views/BalloonEditingView.h"

#include <QTimer>
#include <functional>
#include <memory>

namespace zandrel {

class CharacterDocument;
class CharacterModel;
class LibraryParent;

// The main view of a character window: every part, image, group and balloon of the parts file at
// once, selected, arranged, grouped and ungrouped here; new parts start here and parts open in the
// part editor from here. It can show the parts of one part type alone instead, as aliases laid out
// in rows to the width of the window (then they are only selected, looked at and opened). While it
// shows the character it renders one part's bitmap ahead of drawing every 0.2 s on the interface
// thread, so that a large character comes to draw from bitmaps without ever blocking the user.
class PartsView : public BalloonEditingView {
    Q_OBJECT

public:
    // How often, in milliseconds, one more part is rendered ahead of drawing.
    static constexpr int kBackgroundCachingInterval = 200;

    explicit PartsView(CharacterDocument* document, QWidget* parent = nullptr);
    ~PartsView() override;

    // The character shown, or null once the document has closed.
    CharacterModel* model() const;
    // The part type shown alone, or -1 while every part is shown.
    int viewPartType() const { return m_viewPartType; }
    // The root while one part type is shown: a sheet of aliases; null while every part is shown.
    const std::shared_ptr<LibraryParent>& partAliasesParent() const { return m_partAliasesParent; }

    // --- Commands ---
    // Shows the aliases of the parts of one type, laid out to the window's width.
    void viewSelectedType(int partType);
    void viewAllWithPoses();
    // Fetches the aliases of the shown type again, keeping selected those whose parts were.
    void rebuildSortedView();
    // A new part, not yet in the character, opens in the part editor with the pen; it joins the
    // character with its first element.
    void createNewPart();
    // The thumbnail editor: the thumbnail's frame over the parts, moved and scaled with its own tool
    // instead of the selection tool.
    void toggleThumbnailEditor();
    void exitMode();
    bool thumbnailEditing() const;
    // Writes counts of the character's parts, paths and blurs to the log.
    void countItems() const;
    // The character or the selection as a JPEG at scale 3 (quality 0.7); the character, or the
    // selection, as a PDF of its bounds; the whole character as an EPS. Each asks for the file first,
    // once it knows there is something to export.
    void exportJPEG();
    void exportPDF();
    void exportEPS();
    // Says there is nothing to export when the elements draw nothing; true when they do.
    bool showsContentToExport(const ElementList& elements);
    // Renders the bitmap of the first part that needs one at the view's scale; true when it did.
    // Nothing while the user zooms continuously, nor for the aliases of the one-type view.
    bool backgroundCache();

    // --- Editing view ---
    QString contentName() const override;
    bool canEditBalloon() const override { return m_viewPartType < 0; }
    bool acceptsImages() const override { return m_viewPartType < 0; }
    bool acceptsLibraryDrags() const override { return m_viewPartType < 0; }
    void doEditObject(const ObjectPtr& object) override;
    void sizeAndPositionImportedImage(
        ImageElement& image, const ObjectPtr& parent, const QPointF& point) override;
    void reenterAfterEditing() override;
    // The exports, the tracing image and the blur of every path concern the whole character: they
    // stay within reach from inside the editors.
    bool actsOnWholeDocument(const QString& action) const override;
    // The parts with a margin, the tracing image and the thumbnail frame while every part is shown;
    // the laid-out sheet while one type is.
    QRectF getContentBounds() const override;
    // Kept with the file, so that it opens as it was left.
    void setViewScale(float scale) override;
    void documentClosing() override;

    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;

    // --- Tracing image ---
    // Tests answer the image dialog; without a chooser the dialog asks.
    static void setImageChooser(std::function<QString()> chooser);
    // Sets the tracing image of the file, telling the user when it cannot be read.
    void openTracingImageFile(const QString& path);

signals:
    // What the view shows changed: a part type, or -1 for every part.
    void viewPartTypeChanged(int partType);

protected:
    void drawRect(const QRectF& dirtyRect) override;
    // Arrow keys do not move the aliases of the one-type view.
    bool performKeyEquivalent(const ZDLEvent& event) override;

private:
    // Follows the document: a new model after a revert, the character's name, part type changes.
    void observeDocument();
    void showModel();
    // What the view shows or its tool changed: the toolbar's items follow.
    void modeChanged();
    void askForTracingImage();
    // The views of the window that show the character's tracing image scroll it into sight.
    void bringTracingImageIntoView();
    // Each command of the view with when it is offered.
    static const ActionTable<PartsView>& actionTable();
    // Whether the commands that change the root's children or move them may run.
    bool editable() const;

    CharacterDocument* m_characterDocument;
    std::shared_ptr<ZDLTool> m_selectionTool;
    std::shared_ptr<ZDLTool> m_thumbnailTool;
    QTimer m_backgroundCachingTimer;
    std::shared_ptr<LibraryParent> m_partAliasesParent;
    int m_viewPartType = -1;
    // The model whose parts (or aliases of them) are shown: a revert installs another.
    const CharacterModel* m_shownModel = nullptr;
};

} // namespace zandrel
