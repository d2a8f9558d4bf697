#pragma once

#include <QAbstractScrollArea>
#include <optional>

namespace zandrel {

class ZDLView;

// The scroll view of a ZDLView. The view covers the viewport and draws the part of its frame the
// scroll bars select; the area keeps the scroll bars' ranges equal to the view's frame (its bounds
// in document units times the zoom) less the viewport, and scrolls by moving the view's offset and
// blitting what stays visible.
class ZDLScrollArea : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit ZDLScrollArea(ZDLView* view, QWidget* parent = nullptr);

    ZDLView* view() const { return m_view; }
    QPoint scrollOffset() const;
    // Scrolls to the offset (widget pixels of the frame), clamped to the scroll range.
    void setScrollOffset(const QPoint& offset);
    // The view's frame changed size: the ranges follow. With an offset, the area then scrolls there
    // without moving what is on screen (the view redraws whole), for a frame that grew or shrank
    // at its top or left.
    void updateScrollBars(std::optional<QPoint> offset = std::nullopt);

protected:
    void scrollContentsBy(int dx, int dy) override;
    void resizeEvent(QResizeEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    ZDLView* m_view;
    bool m_updatingBars = false;
};

} // namespace zandrel
