#include "colorui/ColorEyedropperOverlay.h"

#include "colorui/ColorControlDrawing.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/Log.h"
#include "platform/PainterCanvas.h"

#include <QApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QWindow>
#include <cmath>

namespace zandrel {

namespace {

// Each captured pixel is shown this many points wide.
constexpr double kMagnification = 7.0;
// The magnifier's round window.
constexpr double kLensRadius = 60.0;
constexpr double kLensDiameter = 119.0;
// Where the background of a capture of Zandrel's own windows shows.
constexpr double kUncapturedGray = 0.35;

// Seen by the popups: the eyedropper's panels come forward without committing them.
const char* const kKeepsPopupsOpen = "zandrelKeepsPopupsOpen";

bool isEyedropperPanel(const QWidget* widget)
{
    return qobject_cast<const EyedropperContentView*>(widget) != nullptr;
}

} // namespace

MagnifierSample sampleMagnifier(const QImage& screenImage, const QPointF& point)
{
    MagnifierSample sample;
    sample.pixels = QImage(MagnifierSample::kSide, MagnifierSample::kSide, QImage::Format_ARGB32);
    sample.pixels.fill(Qt::transparent);
    if (screenImage.isNull())
        return sample;
    const double scale = screenImage.devicePixelRatio() > 0 ? screenImage.devicePixelRatio() : 1.0;
    const int px = int(std::floor(point.x() * scale));
    const int py = int(std::floor(point.y() * scale));
    const QImage image = screenImage.convertToFormat(QImage::Format_ARGB32);
    for (int row = 0; row < MagnifierSample::kSide; ++row) {
        for (int column = 0; column < MagnifierSample::kSide; ++column) {
            const int x = px - MagnifierSample::kColumn + column;
            const int y = py - MagnifierSample::kRow + row;
            if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
                sample.pixels.setPixel(column, row, image.pixel(x, y));
        }
    }
    if (px >= 0 && py >= 0 && px < image.width() && py < image.height())
        sample.color = RgbColor::fromQColor(image.pixelColor(px, py));
    return sample;
}

// --- EyedropperContentView ---

EyedropperContentView::EyedropperContentView(
    ColorEyedropperOverlay* overlay, QScreen* screen, const QImage& snapshot)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
    , m_overlay(overlay)
    , m_screen(screen)
    , m_snapshot(snapshot)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setGeometry(screen->geometry());
    winId();
    if (QWindow* window = windowHandle()) {
        window->setScreen(screen);
        window->setProperty(kKeepsPopupsOpen, true);
    }
}

void EyedropperContentView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    // The screen as it was: the panel covers it whole.
    if (!m_snapshot.isNull())
        painter.drawImage(QRectF(rect()), m_snapshot);
    if (m_overlay->currentPanel() != this)
        return;
    const double s = devicePixelRatioF() > 0 ? devicePixelRatioF() : 1.0;
    const QPointF local = m_overlay->screenPoint() - QPointF(geometry().topLeft());
    // On the centre of the device pixel under the mouse.
    const QPointF c((std::floor(local.x() * s) + 0.5) / s, (std::floor(local.y() * s) + 0.5) / s);
    Q_UNUSED(event);

    const MagnifierSample sample = sampleMagnifier(m_snapshot, local);
    if (sample.color.isValid())
        m_overlay->setColor(sample.color);

    canvas.save();
    const QRectF lens(c.x() - kLensRadius, c.y() - kLensRadius, kLensDiameter, kLensDiameter);
    canvas.clipToPath(CanvasPath::fromEllipse(lens));
    // The sampled pixel's square lies exactly on c.
    const double half = kMagnification / 2;
    const QRectF target(c.x() - MagnifierSample::kColumn * kMagnification - half,
        c.y() - MagnifierSample::kRow * kMagnification - half, MagnifierSample::kSide * kMagnification,
        MagnifierSample::kSide * kMagnification);
    // Scaled here, pixel by pixel, so that no smoothing blurs the pixels' edges.
    const int side = int(MagnifierSample::kSide * kMagnification);
    canvas.drawImage(sample.pixels.scaled(side, side, Qt::IgnoreAspectRatio, Qt::FastTransformation), target);
    canvas.restore();

    CanvasPath outline = CanvasPath::fromEllipse(lens);
    outline.setLineWidth(1.0);
    canvas.strokePath(outline, CanvasPaint(lightGrayOutline()));
    CanvasPath square
        = CanvasPath::fromRect(QRectF(c.x() - half, c.y() - half, kMagnification, kMagnification));
    square.setLineWidth(1.0);
    canvas.strokePath(square, CanvasPaint(QColor(Qt::black)));
}

void EyedropperContentView::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF global = event->globalPosition();
    m_overlay->moveToMouse(&global);
}

void EyedropperContentView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPointF global = event->globalPosition();
    m_overlay->moveToMouse(&global);
    // The colour is the one drawn in the centre square, sampled at this very point.
    const MagnifierSample sample = sampleMagnifier(m_snapshot, global - QPointF(geometry().topLeft()));
    if (sample.color.isValid())
        m_overlay->setColor(sample.color);
    m_overlay->eyedropperClick();
}

void EyedropperContentView::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        m_overlay->eyedropperCancel();
        return;
    }
    QWidget::keyPressEvent(event);
}

// --- ColorEyedropperOverlay ---

ColorEyedropperOverlay::ColorEyedropperOverlay(Handler commit, Handler cancel, QObject* parent)
    : QObject(parent)
    , m_commit(std::move(commit))
    , m_cancel(std::move(cancel))
{
    m_running = true;
    for (QScreen* screen : QGuiApplication::screens())
        m_windows.push_back(new EyedropperContentView(this, screen, captureScreen(screen)));
    m_updatePositionTimer.setInterval(kSamplingInterval);
    connect(&m_updatePositionTimer, &QTimer::timeout, this, [this] { moveToMouse(nullptr); });
    m_updatePositionTimer.start();
    QGuiApplication::setOverrideCursor(QCursor(Qt::BlankCursor));
    moveToMouse(nullptr);
}

ColorEyedropperOverlay::~ColorEyedropperOverlay()
{
    close();
}

QImage ColorEyedropperOverlay::captureScreen(QScreen* screen)
{
    QImage image;
    // Only an X11 desktop lets a program read the screen; elsewhere the grab comes back empty.
    if (QGuiApplication::platformName() != QStringLiteral("wayland"))
        image = screen->grabWindow(0).toImage();
    if (!image.isNull())
        return image;
    m_capturesScreens = false;
    Log::write(
        QStringLiteral("The eyedropper cannot read the screen here; it samples Zandrel's own windows."));
    const QRect geometry = screen->geometry();
    const qreal ratio = screen->devicePixelRatio();
    image = QImage((QSizeF(geometry.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(grayLevel(kUncapturedGray));
    QPainter painter(&image);
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!widget->isVisible() || isEyedropperPanel(widget))
            continue;
        const QPoint at = widget->mapToGlobal(QPoint(0, 0)) - geometry.topLeft();
        painter.drawPixmap(at, widget->grab());
    }
    return image;
}

QScreen* ColorEyedropperOverlay::screenContainingPoint(const QPointF& point)
{
    for (QScreen* screen : QGuiApplication::screens()) {
        const QRectF frame = QRectF(screen->geometry()).adjusted(-0.01, -0.01, 0.01, 0.01);
        if (frame.contains(point))
            return screen;
    }
    return nullptr;
}

EyedropperContentView* ColorEyedropperOverlay::windowForScreen(QScreen* screen) const
{
    for (EyedropperContentView* panel : m_windows) {
        if (panel->screen() == screen)
            return panel;
    }
    return nullptr;
}

void ColorEyedropperOverlay::invalidateScreenPoint(const QPointF& point)
{
    if (!m_currentPanel)
        return;
    const QPointF local = point - QPointF(m_currentPanel->geometry().topLeft());
    m_currentPanel->update(
        QRectF(local.x() - kRepaintRadius, local.y() - kRepaintRadius, 2 * kRepaintRadius, 2 * kRepaintRadius)
            .toAlignedRect());
}

void ColorEyedropperOverlay::moveToMouse(const QPointF* globalPoint)
{
    if (!m_running)
        return;
    const QPointF p = globalPoint ? *globalPoint : QPointF(QCursor::pos());
    QScreen* screen = screenContainingPoint(p);
    if (!screen)
        return;
    EyedropperContentView* panel = windowForScreen(screen);
    if (!panel)
        return;
    invalidateScreenPoint(m_screenPoint);
    if (panel != m_currentPanel) {
        if (m_currentPanel)
            m_currentPanel->hide();
        m_currentPanel = panel;
        m_currentScreen = screen;
        panel->show();
        panel->raise();
        panel->activateWindow();
        panel->setFocus();
        panel->update();
    }
    m_screenPoint = p;
    invalidateScreenPoint(p);
    // The colour follows the mouse even before the panel has drawn.
    const MagnifierSample sample
        = sampleMagnifier(panel->snapshot(), p - QPointF(panel->geometry().topLeft()));
    if (sample.color.isValid())
        m_color = sample.color;
}

void ColorEyedropperOverlay::eyedropperClick()
{
    m_updatePositionTimer.stop();
    if (m_commit)
        m_commit(this);
}

void ColorEyedropperOverlay::eyedropperCancel()
{
    m_updatePositionTimer.stop();
    if (m_cancel)
        m_cancel(this);
    else
        close();
}

void ColorEyedropperOverlay::close()
{
    if (!m_running)
        return;
    m_running = false;
    m_updatePositionTimer.stop();
    for (EyedropperContentView* panel : m_windows)
        panel->deleteLater();
    for (EyedropperContentView* panel : m_windows)
        panel->hide();
    m_windows.clear();
    m_currentPanel = nullptr;
    QGuiApplication::restoreOverrideCursor();
}

} // namespace zandrel
