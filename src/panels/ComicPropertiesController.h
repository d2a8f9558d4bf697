#pragma once

#include <QPointer>
#include <QWidget>

namespace zandrel {

class ComicModel;
class ComicView;
class SegmentedControl;
struct Notification;

// The comic window's property bar: which layer of the panels is edited (foreground or background)
// and whether the view focuses on the current panel. Both are the comic's state, not undoable
// steps; the bar follows them whoever changes them, and rests while a balloon's text is edited and
// while an editor works over the comic.
class ComicPropertiesController : public QWidget {
    Q_OBJECT

public:
    explicit ComicPropertiesController(ComicView* comicView, QWidget* parent = nullptr);
    ~ComicPropertiesController() override;

    ComicModel* comicModel() const;
    // The document is closing: the bar stops listening.
    void documentClosing();

    void updateLayerControl();
    void updateFocusControl();
    // Enables the controls unless the comic view is editing text or an editor is open.
    void updateControlProperties();

    // Actions of the controls.
    void setLayer();
    void setFocusOnPanel();

    SegmentedControl* layerControl() const { return m_layerControl; }
    SegmentedControl* focusControl() const { return m_focusControl; }

private:
    void modelPropertyChanged(const Notification& notification);
    // Several selection changes in one pass of the event loop make one update.
    void needsUpdate();

    QPointer<ComicView> m_comicView;
    SegmentedControl* m_layerControl = nullptr;
    SegmentedControl* m_focusControl = nullptr;
    bool m_updatePending = false;
};

} // namespace zandrel
