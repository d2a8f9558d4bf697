#pragma once

#include "platform/RgbColor.h"

#include <QList>
#include <QStringList>
#include <QWidget>

namespace zandrel {

class Canvas;

// A grid of saved colours, 17 points a cell. A click on a colour selects it and emits action();
// a click on an empty cell does nothing.
class ColorSwatchGrid : public QWidget {
    Q_OBJECT

public:
    static constexpr double kPitch = 17.0;
    static constexpr double kSwatchSide = 15.0;
    static constexpr double kMargin = 1.5;

    // A grid sized for the columns and rows.
    ColorSwatchGrid(int columns, int rows, QWidget* parent = nullptr);

    int numColumns() const { return m_numColumns; }
    int numRows() const { return m_numRows; }
    QList<RgbColor> colors() const { return m_colors; }
    void setColors(const QList<RgbColor>& colors);
    // -1 when nothing valid is selected.
    int selectedSwatch() const;
    void setSelectedSwatch(int index);
    // A colour already in the grid is selected instead of added twice; a new one goes first.
    void addColor(const RgbColor& color);
    void deleteSelectedColor();
    // "#" and six hexadecimal digits; other texts are skipped.
    void addHexColor(const QString& hex);
    void setColorsFromHexInArray(const QStringList& hexColors);
    // The colour last clicked.
    RgbColor color() const { return m_value; }
    bool showEmptySwatches() const { return m_showEmptySwatches; }
    void setShowEmptySwatches(bool show)
    {
        m_showEmptySwatches = show;
        update();
    }
    bool showSelection() const { return m_showSelection; }
    void setShowSelection(bool show)
    {
        m_showSelection = show;
        update();
    }

    QRectF swatchRect(int column, int row) const;

signals:
    void action();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    int m_numColumns = 0;
    int m_numRows = 0;
    QList<RgbColor> m_colors;
    RgbColor m_value;
    bool m_showEmptySwatches = false;
    bool m_showSelection = false;
    int m_selectedSwatch = -1;
};

// A plain swatch of one colour, over the checkerboard when translucent.
class SolidFillView : public QWidget {
    Q_OBJECT

public:
    explicit SolidFillView(QWidget* parent = nullptr);
    RgbColor fillColor() const { return m_fillColor; }
    void setFillColor(const RgbColor& color);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    RgbColor m_fillColor;
};

// The swatch cell of the colour-set tables: a white, black-edged frame around the colour.
void drawColorCell(Canvas& canvas, const RgbColor& color, const QRectF& cellFrame);

} // namespace zandrel
