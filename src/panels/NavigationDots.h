#pragma once

#include <QColor>
#include <QRectF>
#include <QWidget>

namespace zandrel {

// A row of page dots on a rounded, translucent background: one dot a page, the selected one in
// its own colour. Clicking a dot selects it and emits dotClicked. Usable by itself.
class NavigationDots : public QWidget {
    Q_OBJECT

public:
    enum Alignment : int { Left = 0, Centred = 1, Right = 2 };

    explicit NavigationDots(QWidget* parent = nullptr);

    int numDots() const { return m_numDots; }
    // Negative counts are ignored.
    void setNumDots(int count);
    int selectedDot() const { return m_selectedDot; }
    // Indexes outside the dots are ignored.
    void setSelectedDot(int index);
    float dotSize() const { return m_dotSize; }
    void setDotSize(float size);
    float gap() const { return m_gap; }
    void setGap(float gap);
    int dotsAlignment() const { return m_alignment; }
    void setDotsAlignment(int alignment);
    // An invalid colour draws no background.
    void setBackgroundColor(const QColor& color);
    void setDotColor(const QColor& color);
    void setSelectedDotColor(const QColor& color);

    // The width the dots and their gaps need, at most the control's width (single precision).
    float activeWidth() const;
    // The part of the control the dots use, placed by the alignment.
    QRectF activeBox() const;
    // The dot's square; the zero rectangle for an index that is no dot.
    QRectF dotBoxFor(int index) const;

signals:
    // The user clicked the dot (it is selected already).
    void dotClicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    float alignmentShift() const;

    int m_numDots = 0;
    int m_selectedDot = 0;
    float m_dotSize = 8.0f;
    float m_gap = 7.0f;
    int m_alignment = Centred;
    QColor m_backgroundColor = QColor::fromRgbF(0, 0, 0, 0.5f);
    QColor m_dotColor = Qt::white;
    QColor m_selectedDotColor = QColor::fromRgbF(0.508f, 0.642f, 0.989f, 1.0f);
};

} // namespace zandrel
