#include "views/PartPreviewView.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/Part.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/CanvasPaint.h"
#include "platform/CurrentCanvas.h"
#include "platform/NotificationCenter.h"
#include "platform/PainterCanvas.h"
#include "platform/UserDefaults.h"
#include "views/ZDLView.h"

#include <QCloseEvent>
#include <QEasingCurve>
#include <QMouseEvent>
#include <QPainter>
#include <QPropertyAnimation>
#include <QVBoxLayout>
#include <functional>

namespace zandrel {

namespace {

// The frame around the docked preview.
const QColor kFrameColor = QColor::fromRgbF(0, 0, 0, 0.4f);

// The torn-off preview's window: closing it hands the preview back to the editor.
class PreviewWindow : public QWidget {
public:
    explicit PreviewWindow(std::function<void()> closed)
        : QWidget(nullptr, Qt::Tool)
        , m_closed(std::move(closed))
    {
    }

protected:
    void closeEvent(QCloseEvent* event) override
    {
        event->accept();
        if (m_closed)
            m_closed();
    }

private:
    std::function<void()> m_closed;
};

} // namespace

// --- PartPreviewView ---

PartPreviewView::PartPreviewView(ZDLDocument* document, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    NotificationCenter::defaultCenter().addObserver(
        this, kUpdateDocumentViewsNotification, document, [this](const Notification&) {
            if (isVisible())
                update();
        });
}

PartPreviewView::~PartPreviewView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void PartPreviewView::setPreviewPart(const std::shared_ptr<Part>& part)
{
    m_previewPart = part;
    update();
}

void PartPreviewView::documentClosing()
{
    NotificationCenter::defaultCenter().removeObserver(this);
    m_previewPart.reset();
    m_document = nullptr;
}

void PartPreviewView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    CanvasScope current(&canvas);
    const QRectF bounds = rect();
    canvas.fillRect(bounds, CanvasPaint(Qt::white));
    if (!m_previewPart)
        return;
    ZDLContext context(1.0f);
    // Every blur shows, as it will in the comic.
    context.setBlurThreshold(0);
    canvas.save();
    // The part's centre in the middle, at its real size: what does not fit is cut off.
    const QPointF centre = m_previewPart->getCenter();
    canvas.translate(bounds.width() * 0.5 - centre.x(), bounds.height() * 0.5 - centre.y());
    ArrayUtils::drawPartElements(m_previewPart->children(), context);
    canvas.restore();
}

// --- PartPreviewCornerView ---

void PartPreviewCornerView::registerDefaults()
{
    UserDefaults::standard().registerDefaults(QVariantMap { { kCornerDefaultsKey, int(TopRight) } });
}

PartPreviewCornerView::PartPreviewCornerView(ZDLDocument* document, ZDLView* underview, QWidget* area)
    : PartPreviewView(document, area)
    , m_underview(underview)
{
    setObjectName(QStringLiteral("partPreview"));
    setCursor(Qt::OpenHandCursor);
    area->installEventFilter(this);
    registerDefaults();
    setCorner(UserDefaults::standard().integer(kCornerDefaultsKey));
}

PartPreviewCornerView::~PartPreviewCornerView()
{
    delete m_previewWindow;
}

void PartPreviewCornerView::ensurePreviewWindow()
{
    if (m_previewWindow)
        return;
    auto* window = new PreviewWindow([this] { floatingWindowClosed(); });
    window->setObjectName(QStringLiteral("partPreviewWindow"));
    window->setWindowTitle(tr("Preview"));
    auto* layout = new QVBoxLayout(window);
    layout->setContentsMargins(0, 0, 0, 0);
    m_floatingPreviewView = new PartPreviewView(nullptr, window);
    layout->addWidget(m_floatingPreviewView);
    window->resize(size());
    m_floatingPreviewView->setPreviewPart(previewPart());
    m_previewWindow = window;
}

void PartPreviewCornerView::setCorner(int corner)
{
    if (corner < BottomRight || corner > Floating)
        corner = TopRight;
    m_corner = corner;
    if (corner == Floating) {
        hide();
        return;
    }
    show();
    const QWidget* area = parentWidget();
    if (!area)
        return;
    const bool top = corner & 1;
    const bool left = corner & 2;
    const int x = left ? 0 : area->width() - width() - kScrollerMargin;
    const int y = top ? 0 : area->height() - height() - kScrollerMargin;
    move(x, y);
    raise();
}

void PartPreviewCornerView::storeCorner(int corner)
{
    UserDefaults::standard().set(kCornerDefaultsKey, corner);
}

void PartPreviewCornerView::setPreviewPart(const std::shared_ptr<Part>& part)
{
    PartPreviewView::setPreviewPart(part);
    if (m_floatingPreviewView)
        m_floatingPreviewView->setPreviewPart(part);
    if (part && m_corner == Floating) {
        ensurePreviewWindow();
        m_floatingPreviewView->setPreviewPart(part);
        if (!m_previewWindow->isVisible()) {
            m_previewWindow->show();
            // The editor keeps the keyboard.
            if (QWidget* own = window()) {
                own->raise();
                own->activateWindow();
            }
        }
    } else if (m_previewWindow) {
        m_previewWindow->hide();
    }
}

void PartPreviewCornerView::documentClosing()
{
    PartPreviewView::documentClosing();
    if (m_floatingPreviewView)
        m_floatingPreviewView->documentClosing();
    if (m_previewWindow)
        m_previewWindow->hide();
}

void PartPreviewCornerView::paintEvent(QPaintEvent* event)
{
    PartPreviewView::paintEvent(event);
    QPainter painter(this);
    painter.setPen(kFrameColor);
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

bool PartPreviewCornerView::meetsArea() const
{
    const QWidget* area = parentWidget();
    return area && geometry().intersects(area->rect());
}

void PartPreviewCornerView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_localDraggingPoint = event->position();
    if (m_animation)
        m_animation->stop();
    setCursor(Qt::ClosedHandCursor);
}

void PartPreviewCornerView::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_dragging)
        return;
    move(pos() + (event->position() - m_localDraggingPoint).toPoint());
    if (meetsArea()) {
        if (m_previewWindow)
            m_previewWindow->hide();
        return;
    }
    // Out of the editor: the window takes over where the preview is.
    ensurePreviewWindow();
    m_previewWindow->resize(size());
    m_previewWindow->move(parentWidget()->mapToGlobal(pos()));
    m_previewWindow->show();
}

void PartPreviewCornerView::mouseReleaseEvent(QMouseEvent* event)
{
    if (!m_dragging || event->button() != Qt::LeftButton)
        return;
    m_dragging = false;
    setCursor(Qt::OpenHandCursor);
    if (!meetsArea()) {
        setCorner(Floating);
        storeCorner(Floating);
        setPreviewPart(previewPart());
        return;
    }
    animateToAndSetNearestCorner();
}

void PartPreviewCornerView::animateToAndSetNearestCorner()
{
    const QWidget* area = parentWidget();
    if (!area)
        return;
    // The area's own coordinates, which the preview's frame is in.
    const QRectF bounds = area->rect();
    const QPointF centre = QRectF(geometry()).center();
    const bool top = std::abs(centre.y() - bounds.bottom()) > std::abs(centre.y() - bounds.top());
    const bool left = std::abs(centre.x() - bounds.right()) > std::abs(centre.x() - bounds.left());
    const int corner = (top ? 1 : 0) + (left ? 2 : 0);
    const QPoint from = pos();
    setCorner(corner);
    storeCorner(corner);
    const QPoint to = pos();
    if (from == to)
        return;
    auto* animation = new QPropertyAnimation(this, "pos", this);
    animation->setDuration(kGlideMilliseconds);
    animation->setEasingCurve(QEasingCurve::OutCubic);
    animation->setStartValue(from);
    animation->setEndValue(to);
    m_animation = animation;
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

void PartPreviewCornerView::floatingWindowClosed()
{
    QWidget* area = parentWidget();
    if (!area || !m_previewWindow)
        return;
    move(area->mapFromGlobal(m_previewWindow->pos()));
    show();
    animateToAndSetNearestCorner();
}

void PartPreviewCornerView::enterEvent(QEnterEvent*)
{
    if (m_underview)
        m_underview->setSuppressCursorSetting(true);
}

void PartPreviewCornerView::leaveEvent(QEvent*)
{
    if (m_underview)
        m_underview->setSuppressCursorSetting(false);
}

bool PartPreviewCornerView::eventFilter(QObject* watched, QEvent* event)
{
    // The corner holds as the area is resized.
    if (watched == parentWidget() && event->type() == QEvent::Resize && m_corner != Floating && !m_dragging)
        setCorner(m_corner);
    return PartPreviewView::eventFilter(watched, event);
}

} // namespace zandrel
