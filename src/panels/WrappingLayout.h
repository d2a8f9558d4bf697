#pragma once

#include <QLayout>
#include <QList>

namespace zandrel {

// Lays its items out left to right at their preferred sizes and starts a new line when the width
// runs out, each line's items centred on the line. A bar built on it is as wide as its widest item
// at the least, so it never forces its window wider; a narrower window makes it taller.
class WrappingLayout : public QLayout {
public:
    WrappingLayout(QWidget* parent, int horizontalSpacing, int verticalSpacing);
    ~WrappingLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return int(m_items.size()); }
    QLayoutItem* itemAt(int index) const override { return m_items.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    // Every item on one line.
    QSize sizeHint() const override;
    // The widest item.
    QSize minimumSize() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Places the items in the rectangle (only measures when not applying); answers the height used.
    int arrange(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> m_items;
    int m_horizontalSpacing;
    int m_verticalSpacing;
};

} // namespace zandrel
