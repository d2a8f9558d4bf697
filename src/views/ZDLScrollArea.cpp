#include "views/ZDLScrollArea.h"

#include "views/ZDLView.h"

#include <QResizeEvent>
#include <QScrollBar>
#include <cmath>

namespace zandrel {

namespace {

// One arrow click or wheel notch scrolls this many pixels.
constexpr int kSingleStep = 20;

} // namespace

ZDLScrollArea::ZDLScrollArea(ZDLView* view, QWidget* parent)
    : QAbstractScrollArea(parent)
    , m_view(view)
{
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::NoFocus);
    view->setParent(viewport());
    view->m_scrollArea = this;
    view->setGeometry(viewport()->rect());
    horizontalScrollBar()->setSingleStep(kSingleStep);
    verticalScrollBar()->setSingleStep(kSingleStep);
}

QPoint ZDLScrollArea::scrollOffset() const
{
    return QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void ZDLScrollArea::setScrollOffset(const QPoint& offset)
{
    horizontalScrollBar()->setValue(offset.x());
    verticalScrollBar()->setValue(offset.y());
}

void ZDLScrollArea::updateScrollBars(std::optional<QPoint> offset)
{
    if (m_updatingBars)
        return;
    m_updatingBars = true;
    const QSizeF frame = m_view->frameSize();
    const QSize port = viewport()->size();
    const int width = int(std::ceil(frame.width() - 1e-6));
    const int height = int(std::ceil(frame.height() - 1e-6));
    horizontalScrollBar()->setRange(0, std::max(0, width - port.width()));
    horizontalScrollBar()->setPageStep(port.width());
    verticalScrollBar()->setRange(0, std::max(0, height - port.height()));
    verticalScrollBar()->setPageStep(port.height());
    if (offset) {
        setScrollOffset(*offset);
        m_view->update();
    }
    m_view->setScrollOffset(scrollOffset());
    m_updatingBars = false;
}

void ZDLScrollArea::scrollContentsBy(int dx, int dy)
{
    m_view->setScrollOffset(scrollOffset());
    // While the ranges change the whole view redraws anyway.
    if (m_updatingBars)
        m_view->update();
    else
        m_view->scroll(dx, dy);
}

void ZDLScrollArea::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    m_view->setGeometry(viewport()->rect());
    // The view is never smaller than what the area shows.
    m_view->updateViewSize();
    updateScrollBars();
}

bool ZDLScrollArea::viewportEvent(QEvent* event)
{
    // The view handles its own events; wheels it leaves reach the viewport and scroll the area.
    if (event->type() == QEvent::Resize)
        m_view->setGeometry(viewport()->rect());
    return QAbstractScrollArea::viewportEvent(event);
}

} // namespace zandrel
