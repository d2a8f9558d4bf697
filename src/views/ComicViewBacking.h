#pragma once

#include "graphics/ElementProtocols.h"
#include "platform/Value.h"
#include "views/SpanBitmap.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QTransform>
#include <optional>
#include <span>
#include <vector>

class QPainter;
class QWidget;

namespace zandrel {

class ComicView;

// The painter of a paint: one given, or one begun on the widget the first time it is asked for, so
// that a paint that only writes pixels begins none.
class LazyPainter {
public:
    explicit LazyPainter(QPainter& painter)
        : m_painter(&painter)
    {
    }
    explicit LazyPainter(QWidget& widget)
        : m_widget(&widget)
    {
    }
    QPainter& operator()();
    // Whether it had to begin one.
    bool begun() const { return m_own.has_value(); }

private:
    QWidget* m_widget = nullptr;
    QPainter* m_painter = nullptr;
    std::optional<QPainter> m_own;
};

// While the comic view has a selection, the page as the view shows it without the selection, kept
// as two bitmaps at the view's scale on its device pixel grid: what lies below the selected
// elements and, transparent elsewhere, what lies above them (the rest of their layer, the panel's
// border, later panels, free objects). A move of the selection then repaints as a blit of the one,
// the selection, and a blit of the other where it has anything. Together they are the fresh
// drawing: the view draws the page once in three slices (DrawingSplit).
//
// Once the selection moves (the document says its objects only moved), the middle slice is kept
// too, as a third bitmap drawn free of the clips of the containers around it, and blitted at the
// whole device pixel the move takes it to where those clips leave it wholly open (a probe of the
// same slice paints the clips into a mask); where an antialiased clip edge leaves a pixel it paints
// partly open, it is drawn through the clips there only. Off the pixel grid or after any other
// change of the selection it is drawn again.
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
    // has nothing to hold and paints as usual. Given the pixels the window paints into (the paint
    // event's, SpanBitmap::directTarget), it writes them straight and asks for the painter only to
    // draw what no bitmap holds.
    bool paint(LazyPainter& painter, const SpanBitmap::Target* window, const QRegion& region);
    // A notification of the document's ("updateDocumentViews" user info).
    void documentChanged(const ValueMap& info);
    // Forgets everything drawn.
    void invalidate();
    void release();

    // Off, the view paints as if it kept nothing (what is kept stays): tests compare the two.
    void setEnabled(bool enabled) { m_enabled = enabled; }
    // For tests: the bytes held and how many areas were drawn into the bitmaps.
    qint64 bytes() const { return m_below.sizeInBytes() + m_above.sizeInBytes() + m_held.sizeInBytes(); }
    static quint64 renderingsMade();
    // For tests and benchmarks: how many paints showed the selection from its bitmap.
    static quint64 heldBlits();
    // For tests: how many paint events wrote the window's pixels without beginning a painter.
    static quint64 paintsWithoutPainter();

private:
    // What the bitmaps were drawn for; any change drops them.
    struct Key {
        const Object* root = nullptr;
        // The layer's children and the view's selection as they were: while neither changes, each
        // shares its list with its owner, and comparing them compares two pointers.
        ElementList children;
        ElementList selection;
        // The selected objects in the layer's order, which follow from the two; the order of the
        // selection itself is not compared.
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
        bool operator==(const Key& other) const;
    };
    bool paintHeld(LazyPainter& painter, const SpanBitmap::Target* window, const QRegion& region);
    std::optional<Key> currentKey() const;
    // Whether the view is still as the bitmaps were drawn for, asked of every paint: it reads the
    // view in place and builds nothing.
    bool matchesKey() const;
    // Makes new bitmaps covering the view under its transform now.
    bool anchor(const QTransform& transform);
    // Draws the region (image pixels) of both slices.
    void render(const QRegion& stale);
    // Blits the device pixels (the bitmaps' pixel grid) of an image whose top left lies there.
    void blit(QPainter& painter, const QImage& image, const QRect& pixels, const QPoint& origin) const;
    // The rectangles of the pixels (device pixels of the bitmaps) the painter lets it write: those
    // in the writable region (the painter's pixels, the bitmaps' offset by the shift); all without one.
    // Kept in a member reused by every paint.
    const std::vector<QRect>& writableRects(
        const QRegion& pixels, const QRegion* writable, const QPoint& toTarget);
    // Where the moving selection lands, when its bitmap can stand in for drawing it.
    struct HeldPlacement {
        // Where the bitmap shows (device pixels): where it lands, within the clips it is drawn under.
        // Mostly one rectangle, kept as such (a region of it would be built each paint).
        QRect one;
        QRegion many;
        bool isOne = true;
        std::span<const QRect> shown() const
        {
            if (isOne)
                return one.isEmpty() ? std::span<const QRect>() : std::span<const QRect>(&one, 1);
            return std::span<const QRect>(many.begin(), many.end());
        }
        // The logical pixels (the bitmaps' coordinates) where those clips leave a pixel it paints
        // partly open: there it is drawn through them.
        QRegion drawn;
    };
    std::optional<HeldPlacement> placeHeld();
    bool renderHeld();
    // Paints the clips the selection is drawn under around the area into a mask.
    void probeClips(const QRect& around);
    // The logical pixels (the bitmaps' coordinates) holding a pixel the selection paints in the
    // area (where its bitmap lies) that the clips leave partly open; null when they are too many.
    std::optional<QRegion> partlyOpenPixels(const QRect& pixels) const;
    void dropHeld();

    ComicView& m_view;
    bool m_enabled = true;
    Key m_key;
    QImage m_below;
    // Kept with its opaque and partly transparent runs: it has little, and only those are laid over.
    SpanBitmap m_above;
    // Document coordinates to the bitmaps' logical pixels.
    QTransform m_toImage;
    // Widget pixels minus image pixels, for the view's transform now.
    QPoint m_shift;
    QRegion m_valid;

    // The moving selection: set by the first notice of a move, cleared by any other change.
    bool m_heldMoving = false;
    // Its drawing, where it was drawn (device pixels), and how far it moved since (model units).
    SpanBitmap m_held;
    QRect m_heldPixels;
    QPointF m_heldMoved;
    // Where its top left lies now.
    QPoint m_heldAt;
    // Over this area (device pixels), where the clips the selection is drawn under leave it open,
    // and how many pixels they leave partly open, summed from the top left: entry (x, y) counts
    // those above and left of it.
    QRect m_clipArea;
    QRegion m_clipRegion;
    std::vector<qint32> m_clipCuts;
    // The partly open pixels, row by row.
    std::vector<QPoint> m_clipPartial;
    // The rectangles the current paint writes.
    std::vector<QRect> m_written;
};

} // namespace zandrel
