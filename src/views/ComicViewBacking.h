#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/Value.h"

#include <QColor>
#include <QImage>
#include <QRegion>
#include <QTransform>

class QPainter;

namespace zandrel {

class ComicView;

// While the comic view has a selection, the page as the view shows it without the selection, kept
// as two bitmaps at the view's scale on its device pixel grid: what lies below the selected
// elements and, transparent elsewhere, what lies above them (the rest of their layer, the panel's
// border, later panels, free objects). A move of the selection then repaints as a blit of the one,
// the selection drawn (from its own bitmaps where it has them) and a blit of the other where it has
// anything. Together they are the fresh drawing: the view draws the page once in three slices
// (DrawingSplit), the middle one every time.
//
// The bitmaps are filled only where the view paints and kept while nothing but the selection
// changes: a notification of the document invalidates the area it names unless it names held
// objects only, and a change of the selection, its layer's children, the page, the current panel,
// the modes, the scale, or a move off the device pixel grid drops them. They cover the visible area
// and go when the selection does, when the view hides, and when they would exceed their budget.
// Screen only: exports, printing and bands never see them.
class ComicViewBacking {
public:
    // Two bitmaps of a view larger than this are not kept.
    static constexpr qint64 kBudgetBytes = 128LL * 1024 * 1024;

    explicit ComicViewBacking(ComicView& view);

    // Paints the region (widget pixels) from the bitmaps and the selection; false when the view
    // has nothing to hold and paints as usual.
    bool paint(QPainter& painter, const QRegion& region);
    // A notification of the document's ("updateDocumentViews" user info).
    void documentChanged(const ValueMap& info);
    // Forgets everything drawn.
    void invalidate();
    void release();

    // Off, the view paints as if it kept nothing (what is kept stays): tests compare the two.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    // For tests: the bytes held and how many areas were drawn into the bitmaps.
    qint64 bytes() const { return m_below.sizeInBytes() + m_above.sizeInBytes(); }
    static quint64 renderingsMade();

private:
    // What the bitmaps were drawn for; any change drops them.
    struct Key {
        const Object* root = nullptr;
        ElementList children;
        ElementList held;
        const Object* page = nullptr;
        const Object* panel = nullptr;
        bool editBackground = false;
        bool focusOnPanel = false;
        bool showCurrentRow = false;
        float scale = 0;
        qreal devicePixelRatio = 0;
        QColor window;
        QSize size;
        bool operator==(const Key& other) const = default;
    };
    std::optional<Key> currentKey() const;
    // Makes new bitmaps covering the view under its transform now.
    bool anchor(const QTransform& transform);
    // Draws the region (image pixels) of both slices.
    void render(const QRegion& stale);
    void recordInk(const QRect& area);

    ComicView& m_view;
    bool m_enabled = true;
    Key m_key;
    QImage m_below;
    QImage m_above;
    // Document coordinates to the bitmaps' logical pixels.
    QTransform m_toImage;
    // Widget pixels minus image pixels, for the view's transform now.
    QPoint m_shift;
    QRegion m_valid;
    // Where the above slice has anything, in tiles.
    QRegion m_aboveInk;
};

} // namespace zandrel
