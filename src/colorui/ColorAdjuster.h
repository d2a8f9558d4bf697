#pragma once

#include "platform/RgbColor.h"

#include <QPointer>
#include <QWidget>
#include <cmath>

namespace zandrel {

class UndoManager;

// The lightness adjustment of a line or fill colour, -1 (darkest) to +1 (lightest) in steps of 0.1:
// a strip of 21 cells of the base colour shaded by their step, a tick under each and a marker over
// the chosen one. action() reports a change: at every change when continuous, else once at the
// release. Everything the owner does in answer during one press lands in one undo group of the
// undo manager given.
class ColorAdjuster : public QWidget {
    Q_OBJECT

public:
    static constexpr int kCells = 21;

    explicit ColorAdjuster(QWidget* parent = nullptr);
    ~ColorAdjuster() override;

    RgbColor color() const { return m_color; }
    // Drawn opaque, whatever the colour's alpha.
    void setColor(const RgbColor& color);
    float floatValue() const { return m_value; }
    void setFloatValue(float value);
    // Shows no value (no marker), for an adjuster that nothing it stands for has.
    void clearValue();
    bool hasValue() const { return !std::isnan(m_value); }
    bool isContinuous() const { return m_continuous; }
    void setContinuous(bool continuous) { m_continuous = continuous; }
    // The document's undo manager, in which each press opens a group.
    void setUndoManager(UndoManager* undoManager);

    float valueFromPoint(const QPointF& p) const;

signals:
    void action();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void trackTo(const QPointF& p);
    // A group opened by a press is always closed, even when the control is disabled or hidden
    // before the release.
    void closeGroup();

    RgbColor m_color;
    float m_value = 0.0f;
    bool m_continuous = true;
    bool m_tracking = false;
    UndoManager* m_undoManager = nullptr;
    UndoManager* m_groupOpenIn = nullptr;
};

} // namespace zandrel
