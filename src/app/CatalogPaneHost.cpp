#include "app/CatalogPaneHost.h"

#include <QApplication>
#include <QEasingCurve>
#include <QMouseEvent>
#include <QPropertyAnimation>
#include <QSplitterHandle>
#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// A divider that the user cannot drag closer than the minimum to either end of its splitter.
class PaneSplitterHandle : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        QSplitterHandle::mousePressEvent(event);
        if (event->button() == Qt::LeftButton) {
            m_offset = int(event->position().y());
            m_dragging = true;
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!m_dragging)
            return;
        const int proposed = splitter()->mapFromGlobal(event->globalPosition().toPoint()).y() - m_offset;
        const int lowest = CatalogPaneHost::kMinimumSideHeight;
        const int highest = splitter()->height() - CatalogPaneHost::kMinimumSideHeight - height();
        moveSplitter(std::clamp(proposed, lowest, std::max(lowest, highest)));
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (event->button() == Qt::LeftButton)
            m_dragging = false;
        QSplitterHandle::mouseReleaseEvent(event);
    }

private:
    int m_offset = 0;
    bool m_dragging = false;
};

} // namespace

PaneSplitter::PaneSplitter(QWidget* parent)
    : QSplitter(Qt::Vertical, parent)
{
    setObjectName(QStringLiteral("splitView"));
    setChildrenCollapsible(false);
    setOpaqueResize(true);
    setHandleWidth(CatalogPaneHost::kDividerThickness);
}

QSplitterHandle* PaneSplitter::createHandle()
{
    return new PaneSplitterHandle(orientation(), this);
}

CatalogPaneHost::CatalogPaneHost(QWidget* comicArea, QWidget* pane, bool open, QWidget* parent)
    : QWidget(parent)
    , m_split(new PaneSplitter(this))
    , m_comic(comicArea)
    , m_pane(pane)
    , m_open(true)
{
    setObjectName(QStringLiteral("contentView"));
    m_split->addWidget(m_comic);
    m_split->addWidget(m_pane);
    m_split->setStretchFactor(0, 1);
    m_split->setStretchFactor(1, 0);
    connect(
        m_split, &QSplitter::splitterMoved, this, [this] { m_wantedPaneHeight = m_split->sizes().value(1); });
    if (!open) {
        // A comic saved with its pane closed opens that way, without a slide.
        const bool slidesBefore = slides;
        slides = false;
        setPaneOpen(false);
        slides = slidesBefore;
    }
}

CatalogPaneHost::~CatalogPaneHost()
{
    if (m_animation)
        m_animation->stop();
}

bool CatalogPaneHost::isSliding() const
{
    return m_animation && m_animation->state() == QAbstractAnimation::Running;
}

void CatalogPaneHost::finishSlide()
{
    if (!isSliding())
        return;
    m_animation->setCurrentTime(m_animation->duration());
}

QWidget* CatalogPaneHost::focusInComic() const
{
    QWidget* focus = QApplication::focusWidget();
    return focus && m_comic && m_comic->isAncestorOf(focus) ? focus : nullptr;
}

void CatalogPaneHost::setPaneOpen(bool open)
{
    if (open == m_open || !m_comic || !m_pane)
        return;
    finishSlide();
    m_open = open;
    QWidget* focus = focusInComic();
    const int total = height();
    if (!open) {
        // Before the pane ever had its room in this window there is nothing to keep.
        m_savedHeight = m_sized ? m_split->height() : 0;
        const int paneHeight = m_pane->height();
        const QPoint from = m_pane->mapTo(this, QPoint(0, 0));
        m_comic->setParent(this);
        m_pane->setParent(this);
        layOutClosed(paneHeight);
        m_comic->show();
        m_pane->show();
        m_pane->raise();
        m_split->hide();
        if (focus)
            focus->setFocus();
        if (slides && isVisible())
            slidePane(from, m_pane->pos(), false);
        else
            emit paneSettled(false);
        return;
    }
    // A window that shrank while the pane was closed gets a pane shrunk in proportion.
    int paneHeight = m_pane->height();
    // A pane that was never open in this window (the comic was saved with it closed).
    if (!m_sized)
        paneHeight = std::min(kFirstPaneHeight, std::max(kStripHeight, total / 2));
    else if (m_savedHeight > 0 && total < m_savedHeight)
        paneHeight = int(std::lround(double(total) * paneHeight / m_savedHeight));
    m_pane->setGeometry(0, total - kStripHeight, width(), paneHeight);
    m_pane->raise();
    if (slides && isVisible())
        slidePane(m_pane->pos(), QPoint(0, total - paneHeight), true);
    else
        rehostInSplitView();
}

void CatalogPaneHost::slidePane(const QPoint& from, const QPoint& to, bool opening)
{
    auto* animation = new QPropertyAnimation(m_pane, "pos", this);
    animation->setDuration(kSlideMs);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setStartValue(from);
    animation->setEndValue(to);
    m_animation = animation;
    connect(animation, &QPropertyAnimation::finished, this, [this, opening] {
        if (opening)
            rehostInSplitView();
        else
            emit paneSettled(false);
    });
    m_pane->move(from);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void CatalogPaneHost::rehostInSplitView()
{
    if (!m_comic || !m_pane)
        return;
    QWidget* focus = focusInComic();
    const int paneHeight = m_pane->height();
    const int comicHeight = std::max(0, height() - paneHeight - kDividerThickness);
    m_split->setGeometry(rect());
    m_split->insertWidget(0, m_comic);
    m_split->insertWidget(1, m_pane);
    m_split->setStretchFactor(0, 1);
    m_split->setStretchFactor(1, 0);
    m_comic->show();
    m_pane->show();
    m_split->show();
    m_split->setSizes({ comicHeight, paneHeight });
    m_sized = true;
    m_wantedPaneHeight = paneHeight;
    fitPane();
    if (focus)
        focus->setFocus();
    emit paneSettled(true);
}

void CatalogPaneHost::layOutClosed(int paneHeight)
{
    m_comic->setGeometry(0, 0, width(), std::max(0, height() - kStripHeight));
    m_pane->setGeometry(0, height() - kStripHeight, width(), paneHeight);
}

void CatalogPaneHost::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    finishSlide();
    m_split->setGeometry(rect());
    if (!m_open && m_pane) {
        layOutClosed(m_pane->height());
    } else if (!m_sized && height() > 0) {
        // The pane's first height; the comic has the rest and keeps what the window gains.
        m_sized = true;
        const int paneHeight = std::min(kFirstPaneHeight, std::max(kStripHeight, height() / 2));
        m_split->setSizes({ std::max(0, height() - paneHeight - kDividerThickness), paneHeight });
        m_wantedPaneHeight = paneHeight;
        fitPane();
    } else if (m_open && m_sized) {
        fitPane();
    }
}

int CatalogPaneHost::paneRoom(int total) const
{
    const int sides = total - kDividerThickness;
    const int comicMinimum = std::min(kMinimumSideHeight, sides / 2);
    return std::max(kStripHeight, sides - comicMinimum);
}

void CatalogPaneHost::fitPane()
{
    const int total = m_split->height();
    if (total <= 0 || m_wantedPaneHeight <= 0)
        return;
    const int paneHeight = std::min(m_wantedPaneHeight, paneRoom(total));
    if (m_split->sizes().value(1) != paneHeight) {
        const int wanted = m_wantedPaneHeight;
        m_split->setSizes({ std::max(0, total - paneHeight - kDividerThickness), paneHeight });
        m_wantedPaneHeight = wanted;
    }
}

} // namespace zandrel
