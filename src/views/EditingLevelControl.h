#pragma once

#include "app/core/EditorContainer.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QRectF>
#include <QWidget>

namespace zandrel {

// The breadcrumb bar at the top of an editor: one crumb per level from the outermost container down
// to the object being edited, each with its icon and title, drawn as interlocking arrows. Clicking
// any crumb but the last sends the action, whose handler asks for the clicked crumb's object. Before
// every drawing the crumbs are laid out anew and shrunk to fit: titles are trimmed first, then the
// middle crumbs lose their titles, then the others, then icons go the same way.
class EditingLevelControl : public QWidget {
    Q_OBJECT

public:
    // Where one crumb lies in the control (y grows downward from the top edge).
    struct Crumb {
        QRectF bounds;
        QRectF imageBounds;
        QRectF textBounds;
        bool mouseIn = false;
        bool tracking = false;

        // Moves the crumb so that it starts at x (single precision).
        void startAt(float x);
        void reduceTextWidthBy(float amount);
        void hideText() { reduceTextWidthBy(static_cast<float>(textBounds.width())); }
        void hideImage();
    };

    explicit EditingLevelControl(QWidget* parent = nullptr);

    // The levels shown, owned by the editor; null shows none. levelsChanged redraws them.
    void setLevels(const EditingLevels* levels);
    void levelsChanged();
    qsizetype numLevels() const;
    ObjectPtr representedObjectAtLevel(qsizetype index) const;
    // The pressed crumb's object while the action runs; null otherwise.
    ObjectPtr clickedLevelRepresentedObject() const;
    qint64 clickedLevel() const { return m_clickedLevel; }

    // The label font; the text height follows it.
    void setLabelFont(const QFont& font);
    float textHeight() const { return m_textHeight; }
    void setFillColor(const QColor& color) { m_fillColor = color; }
    void setHoverFillColor(const QColor& color) { m_hoverFillColor = color; }
    void setFrameColor(const QColor& color) { m_frameColor = color; }
    void setTextColor(const QColor& color) { m_textColor = color; }

    // Lays the crumbs out for the present width; what drawing does first.
    void layoutCrumbs();
    const QList<Crumb>& crumbs() const { return m_crumbs; }
    float tooWideBy() const { return m_tooWideBy; }

    QSize sizeHint() const override;

    // The crumb row's top and height.
    static constexpr float kRowTop = 0.5f;
    static constexpr float kRowHeight = 19.0f;

signals:
    // A crumb other than the last was pressed and released over it.
    void action();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    float measureTitle(const QString& title) const;
    void updateTooWide();
    void trimTexts();
    // Hides the texts or the images of the crumbs from index from up to to, left to right, until
    // what was hidden (the measured part's width) makes up for the excess width.
    void hideFrom(qsizetype from, qsizetype to, QRectF Crumb::*measured, void (Crumb::*hide)());
    qsizetype crumbAt(const QPointF& point) const;
    void drawCrumb(QPainter& painter, qsizetype index);

    const EditingLevels* m_levels = nullptr;
    QList<Crumb> m_crumbs;
    QFont m_labelFont;
    float m_textHeight = 0;
    float m_tooWideBy = 0;
    qint64 m_clickedLevel = -1;
    QColor m_frameColor;
    QColor m_fillColor;
    QColor m_hoverFillColor;
    QColor m_textColor;
    QColor m_trackingTextColor;
    QColor m_trackingFillColor1;
    QColor m_trackingFillColor2;
};

} // namespace zandrel
