#include "views/StackView.h"

#include "platform/DeferredCalls.h"

#include <QChildEvent>
#include <algorithm>

namespace zandrel {

namespace {

const QString kArrangeKey = QStringLiteral("arrange");

} // namespace

StackView::StackView(QWidget* parent)
    : QWidget(parent)
{
}

StackView::~StackView()
{
    DeferredCalls::cancelAll(this);
    for (QWidget* view : std::as_const(m_stackedViews))
        view->removeEventFilter(this);
}

void StackView::childEvent(QChildEvent* event)
{
    QWidget::childEvent(event);
    auto* widget = qobject_cast<QWidget*>(event->child());
    if (event->type() == QEvent::ChildAdded && widget && !m_stackedViews.contains(widget)) {
        widget->installEventFilter(this);
        // Kept from the top down, as the children were placed.
        const auto at = std::find_if(m_stackedViews.begin(), m_stackedViews.end(),
            [widget](const QWidget* other) { return other->y() > widget->y(); });
        m_stackedViews.insert(at, widget);
    } else if (event->type() == QEvent::ChildRemoved) {
        // The child may be half destroyed already: it is only compared, never used.
        m_stackedViews.removeIf([event](const QWidget* view) { return view == event->child(); });
    }
}

bool StackView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShowToParent || event->type() == QEvent::HideToParent)
        scheduleArrange();
    return QWidget::eventFilter(watched, event);
}

void StackView::scheduleArrange()
{
    if (m_arrangePending)
        return;
    m_arrangePending = true;
    DeferredCalls::perform(this, kArrangeKey, 0, [this] { arrange(); });
}

void StackView::arrange()
{
    int y = 0;
    for (QWidget* view : std::as_const(m_stackedViews)) {
        if (view->y() != y)
            view->move(view->x(), y);
        if (!view->isHidden())
            y += view->height();
    }
    const int height = y + kBottomMargin;
    const int change = height - this->height();
    if (change != 0) {
        // The top edge stays: the window and the other widget grow or shrink below it.
        if (m_sizesWindow && window() != this)
            window()->resize(window()->width(), window()->height() + change);
        resize(width(), height);
        if (m_resizeSuperview)
            m_resizeSuperview->resize(m_resizeSuperview->width(), m_resizeSuperview->height() + change);
    }
    update();
    m_arrangePending = false;
}

} // namespace zandrel
