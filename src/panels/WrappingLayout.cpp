#include "panels/WrappingLayout.h"

#include <QWidget>
#include <algorithm>

namespace zandrel {

WrappingLayout::WrappingLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing)
    : QLayout(parent)
    , m_horizontalSpacing(horizontalSpacing)
    , m_verticalSpacing(verticalSpacing)
{
}

WrappingLayout::~WrappingLayout()
{
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void WrappingLayout::addItem(QLayoutItem* item)
{
    m_items.append(item);
    invalidate();
}

QLayoutItem* WrappingLayout::takeAt(int index)
{
    if (index < 0 || index >= m_items.size())
        return nullptr;
    QLayoutItem* item = m_items.takeAt(index);
    invalidate();
    return item;
}

int WrappingLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize WrappingLayout::sizeHint() const
{
    int width = 0;
    int height = 0;
    int shown = 0;
    for (const QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint();
        width += size.width();
        height = std::max(height, size.height());
        ++shown;
    }
    const QMargins margins = contentsMargins();
    width += std::max(0, shown - 1) * m_horizontalSpacing;
    return QSize(width + margins.left() + margins.right(), height + margins.top() + margins.bottom());
}

QSize WrappingLayout::minimumSize() const
{
    QSize widest;
    for (const QLayoutItem* item : m_items) {
        if (!item->isEmpty())
            widest = widest.expandedTo(item->sizeHint());
    }
    const QMargins margins = contentsMargins();
    return widest + QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
}

void WrappingLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int WrappingLayout::arrange(const QRect& rect, bool apply) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    int top = area.top();
    QList<QLayoutItem*> line;
    int lineWidth = 0;
    int lineHeight = 0;
    const auto placeLine = [&] {
        if (apply) {
            int x = area.left();
            for (QLayoutItem* item : std::as_const(line)) {
                const QSize size = item->sizeHint();
                item->setGeometry(QRect(QPoint(x, top + (lineHeight - size.height()) / 2), size));
                x += size.width() + m_horizontalSpacing;
            }
        }
        top += lineHeight;
    };
    for (QLayoutItem* item : m_items) {
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint();
        const int needed = line.isEmpty() ? size.width() : lineWidth + m_horizontalSpacing + size.width();
        if (!line.isEmpty() && needed > area.width()) {
            placeLine();
            top += m_verticalSpacing;
            line.clear();
            lineWidth = 0;
            lineHeight = 0;
        }
        lineWidth = line.isEmpty() ? size.width() : lineWidth + m_horizontalSpacing + size.width();
        lineHeight = std::max(lineHeight, size.height());
        line.append(item);
    }
    if (!line.isEmpty())
        placeLine();
    const QMargins margins = contentsMargins();
    return top - area.top() + margins.top() + margins.bottom();
}

} // namespace zandrel
