#include "panels/NavigationDots.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace zandrel {

namespace {

constexpr double kBackgroundRadius = 4.0;

} // namespace

NavigationDots::NavigationDots(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_TranslucentBackground);
}

void NavigationDots::setNumDots(int count)
{
    if (count < 0 || count == m_numDots)
        return;
    m_numDots = count;
    update();
}

void NavigationDots::setSelectedDot(int index)
{
    if (index < 0 || index >= m_numDots || index == m_selectedDot)
        return;
    m_selectedDot = index;
    update();
}

void NavigationDots::setDotSize(float size)
{
    m_dotSize = size;
    update();
}

void NavigationDots::setGap(float gap)
{
    m_gap = gap;
    update();
}

void NavigationDots::setDotsAlignment(int alignment)
{
    m_alignment = alignment;
    update();
}

void NavigationDots::setBackgroundColor(const QColor& color)
{
    m_backgroundColor = color;
    update();
}

void NavigationDots::setDotColor(const QColor& color)
{
    m_dotColor = color;
    update();
}

void NavigationDots::setSelectedDotColor(const QColor& color)
{
    m_selectedDotColor = color;
    update();
}

float NavigationDots::activeWidth() const
{
    const float needed = float(m_numDots) * m_dotSize + float(m_numDots + 1) * m_gap;
    return std::min(needed, float(width()));
}

float NavigationDots::alignmentShift() const
{
    const float spare = float(width()) - activeWidth();
    if (m_alignment == Right)
        return spare;
    if (m_alignment == Centred)
        return spare / 2;
    return 0.0f;
}

QRectF NavigationDots::activeBox() const
{
    return QRectF(alignmentShift(), 0, activeWidth(), height());
}

QRectF NavigationDots::dotBoxFor(int index) const
{
    if (index < 0 || index >= m_numDots)
        return QRectF();
    const float x = (m_gap + m_dotSize) * float(index) + m_gap + alignmentShift();
    return QRectF(x, (height() - m_dotSize) / 2.0, m_dotSize, m_dotSize);
}

void NavigationDots::paintEvent(QPaintEvent*)
{
    if (m_numDots < 1)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    if (m_backgroundColor.isValid()) {
        painter.setBrush(m_backgroundColor);
        painter.drawRoundedRect(activeBox(), kBackgroundRadius, kBackgroundRadius);
    }
    const QRectF first = dotBoxFor(0);
    for (int i = 0; i < m_numDots; ++i) {
        painter.setBrush(i == m_selectedDot ? m_selectedDotColor : m_dotColor);
        painter.drawEllipse(first.translated(i * (m_dotSize + m_gap), 0));
    }
}

void NavigationDots::mousePressEvent(QMouseEvent* event)
{
    for (int i = 0; i < m_numDots; ++i) {
        if (dotBoxFor(i).contains(event->position())) {
            setSelectedDot(i);
            emit dotClicked(i);
            return;
        }
    }
}

} // namespace zandrel
