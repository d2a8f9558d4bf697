#include "colorui/PopupController.h"

#include "colorui/ColorControlDrawing.h"
#include "graphics/PathBuilders.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/Localization.h"
#include "platform/PainterCanvas.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWindow>
#include <cmath>

namespace zandrel {

namespace {

// A pointer never sits closer than this to the popup's corner, where the rounding starts.
constexpr float kMinPointerOffset = 20.5f;
constexpr float kCornerRadius = 5.0f;
constexpr float kPointerHalfWidth = 10.0f;
// The balloon's straight top edge starts this far in from its left side.
constexpr double kPathStart = 7.0;
// Room around the controls inside the balloon.
constexpr int kContentMargin = 10;

// Windows that stand in front without taking the user's attention (the eyedropper's magnifier)
// carry this property, so that coming forward does not commit the popups.
const char* const kKeepsPopupsOpen = "zandrelKeepsPopupsOpen";

QList<PopupController*>& shownList()
{
    static QList<PopupController*> shown;
    return shown;
}

bool sideIsHorizontal(int side)
{
    return side == PopupBelowAnchor || side == PopupAboveAnchor;
}

Popup* popupOfWindow(QWindow* window)
{
    if (!window)
        return nullptr;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->windowHandle() == window)
            return qobject_cast<Popup*>(widget);
    }
    return nullptr;
}

} // namespace

float popupPointerOffset(float value)
{
    return std::floor(value) + 0.5f;
}

PopupPlacement placePopup(const QRectF& panelFrame, const QRectF& anchor, const QRectF& visible, int side)
{
    PopupPlacement placement;
    QRectF f = panelFrame;
    switch (side) {
    case PopupBelowAnchor:
    case PopupAboveAnchor: {
        f.moveTop(side == PopupBelowAnchor ? anchor.bottom() : anchor.top() - f.height());
        f.moveLeft(anchor.left());
        placement.pointerOffset = popupPointerOffset(float(anchor.width() * 0.5));
        if (placement.pointerOffset < kMinPointerOffset) {
            // The pointer keeps off the rounded corner; the popup moves so that it still aims at
            // the anchor's middle.
            f.moveLeft(std::round(float(f.left() - kMinPointerOffset + placement.pointerOffset)));
            placement.pointerOffset = kMinPointerOffset;
        }
        break;
    }
    case PopupLeftOfAnchor:
    case PopupRightOfAnchor: {
        f.moveLeft(side == PopupLeftOfAnchor ? anchor.left() - f.width() : anchor.right());
        f.moveTop(anchor.top());
        placement.pointerOffset = popupPointerOffset(float(anchor.height() * 0.5));
        if (placement.pointerOffset < kMinPointerOffset) {
            f.moveTop(std::round(float(f.top() - kMinPointerOffset + placement.pointerOffset)));
            placement.pointerOffset = kMinPointerOffset;
        }
        break;
    }
    default:
        break;
    }

    // Back on screen: along the pointer's edge the pointer slides back by the same amount; across
    // it the pointer would aim beside the anchor and is hidden.
    const bool alongX = sideIsHorizontal(side);
    auto shiftX = [&](float d) {
        f.translate(d, 0);
        if (alongX)
            placement.pointerOffset = placement.pointerOffset - d;
        else
            placement.showPointer = false;
    };
    auto shiftY = [&](float d) {
        f.translate(0, d);
        if (!alongX)
            placement.pointerOffset = placement.pointerOffset - d;
        else
            placement.showPointer = false;
    };
    if (f.left() < visible.left())
        shiftX(float(visible.left() - f.left()));
    if (visible.right() < f.right())
        shiftX(float(visible.right() - f.right()));
    if (visible.bottom() < f.bottom())
        shiftY(float(visible.bottom() - f.bottom()));
    if (f.top() < visible.top())
        shiftY(float(visible.top() - f.top()));
    placement.frame = f;
    return placement;
}

// --- PopupContentView ---

PopupContentView::PopupContentView(QWidget* parent)
    : QWidget(parent)
    , strokeColor(lightGrayOutline())
    , backgroundColor1(grayLevel(0.97))
    , backgroundColor2(grayLevel(0.86))
{
    m_layout = new QVBoxLayout(this);
    m_layout->setContentsMargins(kContentMargin, kContentMargin, kContentMargin, kContentMargin);
    m_layout->setSizeConstraint(QLayout::SetFixedSize);
    m_contentArea = new QWidget(this);
    m_layout->addWidget(m_contentArea, 0, Qt::AlignLeft | Qt::AlignTop);
}

void PopupContentView::openPointerBand(int side)
{
    QMargins margins = m_layout->contentsMargins();
    const int band = int(kPointerDepth);
    switch (side) {
    case PopupBelowAnchor:
        margins.setTop(margins.top() + band);
        break;
    case PopupLeftOfAnchor:
        margins.setRight(margins.right() + band);
        break;
    case PopupAboveAnchor:
        margins.setBottom(margins.bottom() + band);
        break;
    case PopupRightOfAnchor:
        margins.setLeft(margins.left() + band);
        break;
    default:
        return;
    }
    m_layout->setContentsMargins(margins);
    m_layout->activate();
}

CanvasPath PopupContentView::outline() const
{
    QRectF r = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double band = kPointerDepth;
    switch (m_attachmentSide) {
    case PopupBelowAnchor:
        r.setHeight(r.height() - band);
        break;
    case PopupLeftOfAnchor:
        r.setWidth(r.width() - band);
        break;
    case PopupAboveAnchor:
        r.setHeight(r.height() - band);
        r.translate(0, band);
        break;
    case PopupRightOfAnchor:
        r.setWidth(r.width() - band);
        r.translate(band, 0);
        break;
    default:
        break;
    }
    const double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    const double p = std::floor(m_pointerOffset) + 0.5;
    const double hw = kPointerHalfWidth;
    const bool pointer = m_showPointer;
    CanvasPath path;
    path.moveTo(QPointF(x + kPathStart, y + h));
    if (pointer && m_attachmentSide == PopupBelowAnchor) {
        path.lineTo(QPointF(x + p - hw, y + h));
        path.lineTo(QPointF(x + p, y + h + band));
        path.lineTo(QPointF(x + p + hw, y + h));
    }
    appendRoundedCorner(path, QPointF(x + w, y + h), QPointF(x + w, y), kCornerRadius);
    if (pointer && m_attachmentSide == PopupLeftOfAnchor) {
        path.lineTo(QPointF(x + w, y + h - p + hw));
        path.lineTo(QPointF(x + w + band, y + h - p));
        path.lineTo(QPointF(x + w, y + h - p - hw));
    }
    appendRoundedCorner(path, QPointF(x + w, y), QPointF(x, y), kCornerRadius);
    if (pointer && m_attachmentSide == PopupAboveAnchor) {
        path.lineTo(QPointF(x + p + hw, y));
        path.lineTo(QPointF(x + p, y - band));
        path.lineTo(QPointF(x + p - hw, y));
    }
    appendRoundedCorner(path, QPointF(x, y), QPointF(x, y + h), kCornerRadius);
    if (pointer && m_attachmentSide == PopupRightOfAnchor) {
        path.lineTo(QPointF(x, y + h - p - hw));
        path.lineTo(QPointF(x - band, y + h - p));
        path.lineTo(QPointF(x, y + h - p + hw));
    }
    appendRoundedCorner(path, QPointF(x, y + h), QPointF(x + w, y + h), kCornerRadius);
    path.lineTo(QPointF(x + kPathStart, y + h));
    path.close();
    return path;
}

QRegion PopupContentView::outlineRegion() const
{
    const QTransform flip(1, 0, 0, -1, 0, height());
    const QPainterPath balloon = flip.map(outline().painterPath());
    QPainterPathStroker edge;
    edge.setWidth(1.0);
    const QPainterPath covered = balloon.united(edge.createStroke(balloon));
    return QRegion(covered.toFillPolygon().toPolygon(), Qt::WindingFill);
}

void PopupContentView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    // The outline is built upward from the lower-left corner, so the view is drawn unflipped.
    canvas.translate(0, height());
    canvas.scale(1, -1);
    CanvasPath path = outline();

    // The first colour at the top: in this unflipped space the ramp runs downward, at 270 degrees.
    const QRectF bounds = path.bounds();
    canvas.fillPath(path,
        CanvasPaint(LinearGradient::acrossRect(
            bounds, 270.0, QGradientStops { { 0.0, backgroundColor1 }, { 1.0, backgroundColor2 } })));
    path.setLineWidth(1.0);
    canvas.strokePath(path, CanvasPaint(strokeColor));
}

// --- Popup ---

Popup::Popup(PopupController* controller)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint)
    , m_controller(controller)
{
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_DeleteOnClose, false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    m_contentView = new PopupContentView(this);
    layout->addWidget(m_contentView);
}

void Popup::keyPressEvent(QKeyEvent* event)
{
    // Return is OK and Escape Cancel, as the popup's buttons are.
    if (event->key() == Qt::Key_Escape) {
        m_controller->cancelDialog();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        m_controller->perform();
        return;
    }
    QWidget::keyPressEvent(event);
}

// --- PopupController ---

PopupController::PopupController(QWidget* anchor, const QString& name)
    : QObject(anchor)
    , m_anchorView(anchor)
{
    m_sheet = new Popup(this);
    m_sheet->setObjectName(name);
    static const bool observing = [] {
        // One observer for all popups, so that a chain commits from the innermost popup outward.
        QObject::connect(qApp, &QGuiApplication::focusWindowChanged, &PopupController::focusWindowChanged);
        QObject::connect(qApp, &QGuiApplication::applicationStateChanged, [](Qt::ApplicationState state) {
            if (state != Qt::ApplicationActive)
                applicationDeactivated();
        });
        return true;
    }();
    Q_UNUSED(observing);
}

PopupController::~PopupController()
{
    shownList().removeAll(this);
    delete m_sheet;
}

QWidget* PopupController::contentArea() const
{
    return m_sheet->contentView()->contentArea();
}

bool PopupController::isShown() const
{
    return m_sheet->isVisible();
}

QList<PopupController*> PopupController::shownPopups()
{
    return shownList();
}

bool PopupController::isOffOfPopup(const PopupController* popup) const
{
    const PopupController* walk = this;
    // Each step climbs one popup; a chain longer than the number of popups shown is a loop.
    for (int steps = 0; walk && steps < 64; ++steps) {
        QWidget* anchorWindow = walk->m_anchorView ? walk->m_anchorView->window() : nullptr;
        auto* popupWindow = qobject_cast<Popup*>(anchorWindow);
        if (!popupWindow)
            return false;
        if (popupWindow->controller() == popup)
            return true;
        walk = popupWindow->controller();
    }
    return false;
}

PopupController* PopupController::parentController() const
{
    auto* popupWindow = qobject_cast<Popup*>(m_anchorView ? m_anchorView->window() : nullptr);
    return popupWindow ? popupWindow->controller() : nullptr;
}

void PopupController::collapsePopupTo(QWindow* window)
{
    // A hidden popup has nothing left to commit.
    if (!isShown())
        return;
    if (window && window == m_sheet->windowHandle())
        return;
    if (window && window->property(kKeepsPopupsOpen).toBool())
        return;
    if (Popup* other = popupOfWindow(window)) {
        if (other->controller() && other->controller()->isOffOfPopup(this))
            return;
    }
    perform();
    if (PopupController* parent = parentController())
        parent->collapsePopupTo(window);
}

void PopupController::focusWindowChanged(QWindow* window)
{
    if (!window)
        return;
    const QList<PopupController*> shown = shownList();
    for (PopupController* popup : shown) {
        if (popup->m_sheet->windowHandle() == window)
            popup->m_hasComeForward = true;
    }
    // The most recently shown first: a child commits before its parent. A popup whose window has
    // not had the focus yet has not had the user's attention and is not asked.
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        if (shownList().contains(*it) && (*it)->m_hasComeForward)
            (*it)->collapsePopupTo(window);
    }
}

void PopupController::applicationDeactivated()
{
    const QList<PopupController*> shown = shownList();
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        if (shownList().contains(*it) && (*it)->isShown() && (*it)->m_hasComeForward)
            (*it)->perform();
    }
}

void PopupController::showWindow()
{
    if (!m_anchorView)
        return;
    PopupContentView* content = m_sheet->contentView();
    content->setAttachmentSide(m_attachmentSide);
    content->setShowPointer(true);
    if (!m_arrangedForAttachment) {
        // Once: later showings keep the band of the first side.
        content->openPointerBand(m_attachmentSide);
        m_arrangedForAttachment = true;
    }
    m_sheet->adjustSize();
    const QRectF panelFrame(m_sheet->pos(), m_sheet->sizeHint());

    const QRectF anchor(QRectF(m_anchorView->mapToGlobal(QPoint(0, 0)), QSizeF(m_anchorView->size())));
    QScreen* screen = nullptr;
    for (QScreen* candidate : QGuiApplication::screens()) {
        if (QRectF(candidate->geometry()).intersects(anchor)) {
            screen = candidate;
            break;
        }
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRectF visible = screen ? QRectF(screen->availableGeometry()) : anchor;

    const PopupPlacement placement = placePopup(panelFrame, anchor, visible, m_attachmentSide);
    content->setPointerOffset(placement.pointerOffset);
    content->setShowPointer(placement.showPointer);

    // The popup stays above the window it was opened from.
    QWidget* anchorWindow = m_anchorView->window();
    m_sheet->winId();
    if (anchorWindow && anchorWindow != m_sheet && m_sheet->windowHandle()) {
        anchorWindow->winId();
        m_sheet->windowHandle()->setTransientParent(anchorWindow->windowHandle());
    }
    m_sheet->move(placement.frame.topLeft().toPoint());
    m_sheet->setMask(content->outlineRegion());
    shownList().removeAll(this);
    shownList().append(this);
    m_hasComeForward = false;
    m_sheet->show();
    m_sheet->raise();
    m_sheet->activateWindow();
}

void PopupController::close()
{
    if (!m_sheet->isVisible())
        return;
    // Popups opened from this one would be left hanging beside nothing: they commit first,
    // innermost first.
    const QList<PopupController*> shown = shownList();
    for (auto it = shown.rbegin(); it != shown.rend(); ++it) {
        if (*it != this && shownList().contains(*it) && (*it)->isOffOfPopup(this))
            (*it)->perform();
    }
    shownList().removeAll(this);
    const bool wasActive = m_sheet->isActiveWindow();
    m_sheet->hide();
    if (wasActive && m_anchorView && m_anchorView->window())
        m_anchorView->window()->activateWindow();
}

void PopupController::addOkAndCancel(QVBoxLayout* layout)
{
    // In the order every dialog of the desktop shows them.
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, contentArea());
    m_okButton = buttons->button(QDialogButtonBox::Ok);
    m_cancelButton = buttons->button(QDialogButtonBox::Cancel);
    m_okButton->setText(localized(QStringLiteral("OK")));
    m_cancelButton->setText(localized(QStringLiteral("Cancel")));
    m_okButton->setDefault(true);
    layout->addWidget(buttons);
    connect(m_okButton, &QPushButton::clicked, this, &PopupController::perform);
    connect(m_cancelButton, &QPushButton::clicked, this, &PopupController::cancelDialog);
}

void PopupController::cancelDialog()
{
    close();
}

void PopupController::perform()
{
    close();
}

} // namespace zandrel
