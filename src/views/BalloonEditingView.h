#pragma once

#include "platform/AttributedText.h"
#include "views/TextDocumentBridge.h"
#include "views/ZDLEditingView.h"

#include <QPointer>
#include <memory>

namespace zandrel {

class Balloon;
class BalloonTextEditor;
class ComicPanel;

class BalloonEditingView;

// What shows and changes the formatting of the text being edited: the view tells it when an edit
// starts and when it ends.
class TextEditingBar : public QWidget {
public:
    using QWidget::QWidget;
    virtual void startTextEditing(
        BalloonEditingView* view, BalloonTextEditor* editor, const std::shared_ptr<Balloon>& balloon)
        = 0;
    // Without recording the document is going away: nothing of the edit is kept.
    virtual void endTextEditing(bool record) = 0;
};

// The three kinds of lettering the creation commands make.
enum class TextObjectKind { SpeechBalloon, NarrationBox, TextBlock };

// Where a new lettering object goes: the top-left corner of its text and its text width.
struct TextObjectPlacement {
    QPointF origin;
    float width = 0;
};

// The editing view of every view that holds balloons: the comic view, the parts view and the group
// editors. It adds the lettering: creating speech balloons, narration boxes and text blocks (one
// undo step each, then straight into typing), editing a balloon's text in place, and the balloon
// and grouping commands.
//
// A text edit lays one text editor widget over the balloon. Keystrokes and their undo stay in the
// editor; when the edit ends (Escape, a click in the view, another edit, a command that needs the
// model) a changed text becomes one document undo step, "Edit Balloon Text", and the attributes the
// next typed character would get become the defaults of new balloons.
class BalloonEditingView : public ZDLEditingView {
    Q_OBJECT

public:
    explicit BalloonEditingView(ZDLDocument* document, QWidget* parent = nullptr);
    ~BalloonEditingView() override;

    // --- Creating lettering ---
    void addBalloon();
    void addNarrativeBox();
    void addTextBlock();
    void addTextObject(TextObjectKind kind);
    // Where a new object goes: in a comic document by the current panel, elsewhere around the
    // centre of the visible area. Views that place lettering otherwise override it.
    virtual TextObjectPlacement placementFor(TextObjectKind kind) const;
    // The two fixed rules; without a panel the panel's rectangle counts as empty at (0, 0).
    static TextObjectPlacement placementInPanel(TextObjectKind kind, const ComicPanel* panel);
    static TextObjectPlacement placementAroundCentre(TextObjectKind kind, const QPointF& centre);

    // --- Text editing ---
    // Ends a running edit first; the selection is emptied while the balloon is edited.
    void editTextBalloon(const std::shared_ptr<Balloon>& balloon);
    // Ends the running edit, if any: the comic's selection tool, printing, exports and the group
    // editors call it before they act.
    void exitTextEditing();
    bool textEditing() const { return m_editingBalloon != nullptr; }
    const std::shared_ptr<Balloon>& editingBalloon() const { return m_editingBalloon; }
    BalloonTextEditor* textEditingView() const { return m_textEditingView; }
    // Carries the edited text between the balloon and the editor; the formatting bar changes the
    // editor's text through it.
    TextDocumentBridge& textBridge() { return m_bridge; }
    // The bar shown while a text edit runs; none by default.
    TextEditingBar* textPropertiesBar() const { return m_textBar; }
    void setTextPropertiesBar(TextEditingBar* bar) { m_textBar = bar; }
    // Where the bar goes while this view edits text (a widget with a layout, below the view); none
    // leaves the bar where it is.
    QWidget* textPropertiesContainer() const { return m_textBarContainer; }
    void setTextPropertiesContainer(QWidget* container) { m_textBarContainer = container; }

    // --- Balloon and group commands ---
    void addBalloonPointer();
    // The value is the sender's segment (its value) or, from a menu item, its tag.
    void setBalloonShape(const ActionSender& sender);
    void setBalloonStyle(const ActionSender& sender);
    void editBalloonProperties();
    void group();
    void ungroup();
    // The colour set all the objects use; null when there are none or they differ.
    static Object* modelForBalloons(const ElementList& objects);

    // --- Overrides of the editing view ---
    void doEditObject(const ObjectPtr& object) override;
    // In a comic, pasted part elements come as one part of their character, placed in the current
    // panel; in a character the document inserts them.
    void insertFromScrap(const std::shared_ptr<PasteboardParent>& payload) override;
    // Places pasted objects: in a comic the current panel pulls them in.
    virtual void adjustPastedObjects(const ElementList& objects);
    bool acceptsImages() const override { return true; }
    bool acceptsLibraryDrags() const override { return true; }
    bool canEditBalloon() const override { return true; }
    void documentClosing() override;
    void setRootObject(const ObjectPtr& root) override;
    void setViewScale(float scale) override;
    void updateView(const Notification& notification) override;

    // --- Responder ---
    bool tryToPerform(const QString& action, const ActionSender& sender) override;
    bool validateMenuItem(MenuItemValidation& item) override;
    // Each command of the view with when it is offered.
    static const ActionTable<BalloonEditingView>& actionTable();

protected:
    // A text edit started or ended: the comic document disables its page controls while one runs.
    virtual void textEditingChanged() { }

    // The edited balloon is drawn over the content; the editor shows its text.
    void drawRect(const QRectF& dirtyRect) override;
    // A press in the view, outside the editor, only ends the edit.
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void textDidChange();
    // Lays the editor over the balloon: at its rounded origin, as wide as its text, as high as the
    // text or the editor's content, whichever is higher.
    void placeTextEditor();
    void writeTypingAttributesToDefaults();
    // Ends the edit without recording anything: the document is going away.
    void abandonTextEditing();
    void setBalloonProperty(const QString& key, const ActionSender& sender);
    bool validateTaggedProperty(MenuItemValidation& item, const QString& key) const;
    bool canEditBalloonProperties() const;
    void postSelectionChange();
    // Lettering and comic groups go where comic elements live, never into a part's drawing, which
    // the part editor shows in this view too.
    bool rootHoldsComicElements() const;

    BalloonTextEditor* m_textEditingView = nullptr;
    std::shared_ptr<Balloon> m_editingBalloon;
    AttributedText m_savedEditText;
    TextDocumentBridge m_bridge;
    bool m_fillingEditor = false;
    QPointer<TextEditingBar> m_textBar;
    QPointer<QWidget> m_textBarContainer;
};

} // namespace zandrel
