#pragma once

#include "platform/RgbColor.h"

#include <QImage>
#include <QObject>
#include <QPointF>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace zandrel {

class ColorEyedropperOverlay;

// The pixels the magnifier shows around a point of a screen image: a square of 20 device pixels
// with the pixel under the point at column 9 and row 10, and that pixel's colour.
struct MagnifierSample {
    static constexpr int kSide = 20;
    static constexpr int kColumn = 9;
    static constexpr int kRow = 10;
    QImage pixels;
    RgbColor color;
};
// The point is in the image's logical coordinates; the image's device pixel ratio says how many
// pixels a point holds. Pixels beyond the image come out transparent, and a point off the image
// gives no colour.
MagnifierSample sampleMagnifier(const QImage& screenImage, const QPointF& point);

// The full-screen panel of one screen: the screen as it was when the eyedropper started, with the
// magnifier drawn on it where the mouse is.
class EyedropperContentView : public QWidget {
    Q_OBJECT

public:
    EyedropperContentView(ColorEyedropperOverlay* overlay, QScreen* screen, const QImage& snapshot);

    QScreen* screen() const { return m_screen; }
    const QImage& snapshot() const { return m_snapshot; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    ColorEyedropperOverlay* m_overlay;
    QPointer<QScreen> m_screen;
    QImage m_snapshot;
};

// Takes a colour from anywhere on the screens. While it runs the cursor is hidden and a round
// magnifier follows the mouse; a click hands the colour under its centre to the commit handler,
// whose owner then closes the eyedropper. Escape hands nothing back and calls the cancel handler.
//
// The screens are captured once, at the start, and the panels show that capture: the panels
// themselves never appear in what is sampled. Where the desktop refuses a capture (Wayland, or a
// grab that fails), the eyedropper shows and samples Zandrel's own windows only.
class ColorEyedropperOverlay : public QObject {
    Q_OBJECT

public:
    using Handler = std::function<void(ColorEyedropperOverlay*)>;
    static constexpr int kSamplingInterval = 250; // milliseconds
    // Half the side of the square repainted around each mouse position.
    static constexpr double kRepaintRadius = 61.0;

    explicit ColorEyedropperOverlay(Handler commit, Handler cancel = {}, QObject* parent = nullptr);
    ~ColorEyedropperOverlay() override;

    void close();
    bool isRunning() const { return m_running; }
    // False when the desktop would not let the screens be captured, so that only Zandrel's own
    // windows can be sampled.
    bool capturesScreens() const { return m_capturesScreens; }

    RgbColor color() const { return m_color; }
    QScreen* currentScreen() const { return m_currentScreen; }
    QPointF screenPoint() const { return m_screenPoint; }
    EyedropperContentView* currentPanel() const { return m_currentPanel; }
    const std::vector<EyedropperContentView*>& windows() const { return m_windows; }

    static QScreen* screenContainingPoint(const QPointF& point);
    EyedropperContentView* windowForScreen(QScreen* screen) const;
    // Follows the mouse: the global point given, or the cursor's position.
    void moveToMouse(const QPointF* globalPoint = nullptr);
    void eyedropperClick();
    void eyedropperCancel();
    // Called by the panels as they draw the magnifier.
    void setColor(const RgbColor& color) { m_color = color; }

private:
    void invalidateScreenPoint(const QPointF& point);
    QImage captureScreen(QScreen* screen);

    Handler m_commit;
    Handler m_cancel;
    std::vector<EyedropperContentView*> m_windows;
    QTimer m_updatePositionTimer;
    EyedropperContentView* m_currentPanel = nullptr;
    QPointer<QScreen> m_currentScreen;
    QPointF m_screenPoint;
    RgbColor m_color;
    bool m_running = false;
    bool m_capturesScreens = true;
};

} // namespace zandrel
