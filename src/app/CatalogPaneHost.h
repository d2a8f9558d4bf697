#pragma once

#include <QPointer>
#include <QSplitter>
#include <QWidget>

class QPropertyAnimation;

namespace zandrel {

// The content of a comic window: the comic area above the catalog and library pane. While the pane
// is open both share a splitter; closed, the comic takes the window but for a strip along the bottom
// where the pane's tabs stay in sight, and the rest of the pane waits below, out of sight. Opening
// and closing slide the pane up or down over the comic instead of laying the comic out again at
// every step of the way; only once the pane is up does the comic give it its room.
class CatalogPaneHost : public QWidget {
    Q_OBJECT

public:
    // The pane's strip that stays in sight while it is closed: its tabs.
    static constexpr int kStripHeight = 24;
    // Neither side of the splitter can be dragged smaller than this.
    static constexpr int kMinimumSideHeight = 200;
    static constexpr int kDividerThickness = 10;
    // A pane opened for the first time in a window.
    static constexpr int kFirstPaneHeight = 280;
    static constexpr int kSlideMs = 350;
    // Whether opening and closing slide; without it the pane jumps into place.
    static inline bool slides = true;

    CatalogPaneHost(QWidget* comicArea, QWidget* pane, bool open, QWidget* parent = nullptr);
    ~CatalogPaneHost() override;

    bool isPaneOpen() const { return m_open; }
    // Setting the state the pane already has does nothing.
    void setPaneOpen(bool open);
    bool isSliding() const;
    // Ends a slide at once, where it was going.
    void finishSlide();

    QSplitter* splitView() const { return m_split; }
    QWidget* comicViewOwner() const { return m_comic; }
    QWidget* catalogViewOwner() const { return m_pane; }
    // The splitter's height when the pane was last closed; 0 before.
    int savedHeight() const { return m_savedHeight; }

    // Puts the comic and the pane back into the splitter, the comic taking what the pane leaves.
    void rehostInSplitView();

signals:
    // The pane has reached its place: up in the splitter, or down with only its strip in sight.
    void paneSettled(bool open);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void layOutClosed(int paneHeight);
    // In a low window the pane gives way: the comic keeps half the height, or the minimum side if
    // that is less, and the pane has what remains (never less than its tabs).
    int paneRoom(int total) const;
    // Sizes the splitter for the pane's wanted height, as far as the window has room for it.
    void fitPane();
    void slidePane(const QPoint& from, const QPoint& to, bool opening);
    // Reparenting hides the focused widget; the focus comes back after the move.
    QWidget* focusInComic() const;

    QSplitter* m_split;
    QPointer<QWidget> m_comic;
    QPointer<QWidget> m_pane;
    QPointer<QPropertyAnimation> m_animation;
    bool m_open = true;
    bool m_sized = false;
    int m_savedHeight = 0;
    // The pane's height as last set by its divider or by opening; a window grown again gives it back.
    int m_wantedPaneHeight = 0;
};

// The splitter between comic and pane: its divider stops short of either end by the minimum side.
class PaneSplitter : public QSplitter {
    Q_OBJECT

public:
    explicit PaneSplitter(QWidget* parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;
};

} // namespace zandrel
