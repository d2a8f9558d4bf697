#include "colorui/ColorSwatchGrid.h"

#include "colorui/ColorControlDrawing.h"
#include "graphics/ZDLColor.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/PainterCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <cmath>

namespace zandrel {

namespace {

constexpr double kSwatchRadius = 2.0;
constexpr double kOutlineLevel = 0.2;

CanvasPath roundedRect(const QRectF& rect, double radius, double lineWidth)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    CanvasPath result(path);
    result.setLineWidth(lineWidth);
    return result;
}

} // namespace

ColorSwatchGrid::ColorSwatchGrid(int columns, int rows, QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(int(columns * kPitch), int(rows * kPitch));
    m_numColumns = columns;
    m_numRows = rows;
}

void ColorSwatchGrid::resizeEvent(QResizeEvent*)
{
    m_numColumns = int(std::floor((width() + 1) / kPitch));
    m_numRows = int(std::floor((height() + 1) / kPitch));
}

void ColorSwatchGrid::setColors(const QList<RgbColor>& colors)
{
    m_colors = colors;
    update();
}

int ColorSwatchGrid::selectedSwatch() const
{
    return m_selectedSwatch < m_colors.size() ? m_selectedSwatch : -1;
}

void ColorSwatchGrid::setSelectedSwatch(int index)
{
    m_selectedSwatch = (index < 0 || index >= m_colors.size()) ? -1 : index;
    if (m_showSelection)
        update();
}

void ColorSwatchGrid::addColor(const RgbColor& color)
{
    if (!color.isValid())
        return;
    const qsizetype existing = m_colors.indexOf(color);
    if (existing >= 0) {
        setSelectedSwatch(int(existing));
    } else {
        m_colors.prepend(color);
        setSelectedSwatch(0);
    }
    update();
}

void ColorSwatchGrid::deleteSelectedColor()
{
    const int index = selectedSwatch();
    if (index < 0)
        return;
    m_colors.removeAt(index);
    m_selectedSwatch = -1;
    update();
}

namespace {

RgbColor colorFromHex(const QString& hex)
{
    float red = 0, green = 0, blue = 0;
    ZDLColor::fromHex(hex, &red, &green, &blue);
    return RgbColor(red, green, blue, 1.0);
}

} // namespace

void ColorSwatchGrid::addHexColor(const QString& hex)
{
    if (ZDLColor::validHexColor(hex))
        addColor(colorFromHex(hex));
}

void ColorSwatchGrid::setColorsFromHexInArray(const QStringList& hexColors)
{
    QList<RgbColor> colors;
    for (const QString& hex : hexColors) {
        if (ZDLColor::validHexColor(hex))
            colors.append(colorFromHex(hex));
    }
    setColors(colors);
}

QRectF ColorSwatchGrid::swatchRect(int column, int row) const
{
    return QRectF(kPitch * column + kMargin, kPitch * row + kMargin, kSwatchSide, kSwatchSide);
}

void ColorSwatchGrid::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton || m_numColumns <= 0)
        return;
    const QPointF p = event->position();
    const int column = int(std::floor(p.x() / kPitch));
    const int row = int(std::floor(p.y() / kPitch));
    if (column < 0 || row < 0 || column >= m_numColumns)
        return;
    const int index = row * m_numColumns + column;
    if (index >= m_colors.size())
        return;
    m_value = m_colors[index];
    setSelectedSwatch(index);
    emit action();
}

void ColorSwatchGrid::paintEvent(QPaintEvent*)
{
    if (m_numColumns <= 0)
        return;
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    const int selected = selectedSwatch();
    for (int i = 0; i < m_colors.size(); ++i) {
        const int column = i % m_numColumns;
        const int row = i / m_numColumns;
        if (row >= m_numRows)
            break;
        const QRectF swatch = swatchRect(column, row);
        const RgbColor& color = m_colors[i];
        drawSwatchInRect(canvas, color, swatch);
        RgbColor outline;
        if (m_showSelection && i == selected) {
            canvas.strokePath(roundedRect(swatch.adjusted(-0.5, -0.5, 0.5, 0.5), kSwatchRadius, 2.0),
                CanvasPaint(QColor(Qt::black)));
            outline = color.highlightWithLevel(kOutlineLevel);
        } else {
            outline = color.shadowWithLevel(kOutlineLevel);
        }
        canvas.strokePath(roundedRect(swatch, kSwatchRadius, 1.0), CanvasPaint(outline.toQColor()));
    }
    if (m_showEmptySwatches) {
        for (int i = int(m_colors.size()); i < m_numRows * m_numColumns; ++i) {
            canvas.strokePath(roundedRect(swatchRect(i % m_numColumns, i / m_numColumns), kSwatchRadius, 1.0),
                CanvasPaint(lightGrayOutline()));
        }
    }
}

// --- SolidFillView ---

SolidFillView::SolidFillView(QWidget* parent)
    : QWidget(parent)
    , m_fillColor(1, 1, 1, 1)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SolidFillView::setFillColor(const RgbColor& color)
{
    m_fillColor = color;
    update();
}

void SolidFillView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    drawSwatchInRect(canvas, m_fillColor, rect());
}

void drawColorCell(Canvas& canvas, const RgbColor& color, const QRectF& cellFrame)
{
    const QRectF frame = cellFrame.adjusted(0.5, 0.5, -0.5, -0.5);
    canvas.fillRect(frame, CanvasPaint(QColor(Qt::white)));
    CanvasPath edge = CanvasPath::fromRect(frame);
    edge.setLineWidth(1.0);
    canvas.strokePath(edge, CanvasPaint(QColor(Qt::black)));
    drawSwatchInRect(canvas, color, frame.adjusted(2, 2, -2, -2));
}

} // namespace zandrel
