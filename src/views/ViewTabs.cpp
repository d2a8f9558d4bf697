#include "views/ViewTabs.h"

#include "app/MenuActions.h"
#include "app/core/ZDLAppController.h"
#include "graphics/PathBuilders.h"
#include "platform/CanvasPaint.h"
#include "platform/Geometry.h"
#include "platform/PainterCanvas.h"

#include <QFontMetricsF>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <cmath>

namespace zandrel {

namespace {

constexpr double kMoreButtonGap = 12.0;
constexpr double kControlGap = 10.0;
constexpr double kRightInset = 2.5;
constexpr int kStripHeight = 22;

QColor white(double level, double alpha = 1.0)
{
    return QColor::fromRgbF(float(level), float(level), float(level), float(alpha));
}

// The accent colour shaded toward black by the level, as the selected tab's gradient ends.
QColor shadeOf(const QColor& color, double level)
{
    const double keep = 1.0 - level;
    return QColor::fromRgbF(float(color.redF() * keep), float(color.greenF() * keep),
        float(color.blueF() * keep), color.alphaF());
}

} // namespace

ViewTabs::ViewTabs(QWidget* parent)
    : QWidget(parent)
    , backgroundColor(white(0.95))
    , unselTabsColor(white(1.0))
    , unselTabsTextColor(white(0.0))
    , closeBoxXColor(white(0.0, 0.15))
    , closeBoxInTabXColor(white(0.0, 0.4))
    , closeBoxHoveringXColor(white(0.0, 0.4))
    , closeBoxTrackingXColor(white(1.0))
    , closeBoxHoveringBackColor(white(0.0, 0.1))
    , closeBoxTrackingBackColor(white(0.0, 0.3))
    , selTabColor(appController()->highlightedControlTopColor())
    , selTabColor2(appController()->highlightedControlBottomColor())
    , selTabTextColor(white(1.0))
    , frameColor(white(0.5))
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    QFont font = QWidget::font();
    font.setPointSizeF(std::max(6.0, font.pointSizeF() * 0.85));
    setFont(font);
}

ViewTabs::~ViewTabs() = default;

QSize ViewTabs::sizeHint() const
{
    return QSize(200, kStripHeight);
}

// --- Tabs ---

void ViewTabs::addTab(const QString& title, bool closeable, std::shared_ptr<void> representedObject)
{
    m_tabs.append(ViewTab(title, closeable, std::move(representedObject)));
    update();
}

void ViewTabs::removeAllTabs()
{
    m_tabs.clear();
    m_trackingCloseBoxTabIndex = -1;
    update();
}

void ViewTabs::setSelectedTab(qsizetype index)
{
    if (index == m_selectedTab)
        return;
    m_selectedTab = index;
    update();
}

std::shared_ptr<void> ViewTabs::selectedTabRepresentedObject() const
{
    if (m_selectedTab < 0 || m_selectedTab >= m_tabs.size())
        return nullptr;
    return m_tabs.at(m_selectedTab).representedObject;
}

bool ViewTabs::selectTabRepresentingObject(const void* object)
{
    for (qsizetype index = 0; index < m_tabs.size(); ++index) {
        if (m_tabs.at(index).representedObject.get() == object) {
            setSelectedTab(index);
            return true;
        }
    }
    return false;
}

void ViewTabs::setFont(const QFont& font)
{
    m_labelFont = font;
    const QFontMetricsF metrics(font);
    m_textHeight = float(std::ceil(metrics.ascent() + metrics.descent() + 1));
    update();
}

void ViewTabs::setMoreTabsButton(QToolButton* button)
{
    m_moreTabsButton = button;
    if (!button)
        return;
    auto* menu = button->menu();
    if (!menu) {
        menu = new QMenu(button);
        button->setMenu(menu);
        button->setPopupMode(QToolButton::InstantPopup);
    }
    connect(menu, &QMenu::aboutToShow, this, &ViewTabs::menuNeedsUpdate);
    placeMoreTabsButton();
}

void ViewTabs::setControlAfterTabs(QWidget* control)
{
    if (control == m_controlAfterTabs)
        return;
    if (m_controlAfterTabs && m_controlAfterTabs->parent() == this)
        m_controlAfterTabs->setParent(nullptr);
    m_controlAfterTabs = control;
    if (control) {
        control->setParent(this);
        control->show();
    }
    update();
}

const CanvasPath& ViewTabs::closeIconPath()
{
    static const CanvasPath path = [] {
        CanvasPath cross;
        cross.moveTo(QPointF(2.5, 2.5));
        cross.lineTo(QPointF(9.5, 9.5));
        cross.moveTo(QPointF(2.5, 9.5));
        cross.lineTo(QPointF(9.5, 2.5));
        cross.setLineWidth(2.0);
        return cross;
    }();
    return path;
}

// --- Layout ---

double ViewTabs::titleWidth(const QString& title) const
{
    return QFontMetricsF(m_labelFont).horizontalAdvance(title);
}

void ViewTabs::layoutTabs()
{
    const double width = QWidget::width();
    const double height = QWidget::height();
    double limit = width - kRightInset;
    if (m_controlAfterTabs)
        limit -= kMoreButtonGap + m_controlAfterTabs->width();
    double x = kLeftInset;
    for (ViewTab& tab : m_tabs) {
        const double tabWidth
            = std::ceil(titleWidth(tab.title)) + kTitlePadding + (tab.closeable ? kCloseBoxAllowance : 0.0);
        tab.box = QRectF(x, kTopInset, tabWidth, height - kTopInset);
        x += tabWidth;
        tab.visible = x < limit;
    }
    if (x <= limit) {
        if (m_moreTabsButton)
            m_moreTabsButton->hide();
    } else if (m_moreTabsButton) {
        m_moreTabsButton->show();
        double available = limit - (width - m_moreTabsButton->x());
        // The tabs that still fit form a prefix; x ends at the right edge of the last of them.
        const auto keepFitting = [this, &x](double edge) {
            x = kLeftInset;
            for (ViewTab& tab : m_tabs) {
                if (tab.box.right() > edge)
                    tab.visible = false;
                else
                    x = tab.box.right();
            }
        };
        keepFitting(available);
        if (m_selectedTab >= 0 && m_selectedTab < m_tabs.size() && !m_tabs.at(m_selectedTab).visible) {
            ViewTab& selected = m_tabs[m_selectedTab];
            available -= selected.box.width();
            keepFitting(available);
            selected.box.moveLeft(x);
            selected.visible = true;
            x += selected.box.width();
        }
    }
    if (m_controlAfterTabs)
        m_controlAfterTabs->move(
            int(std::lround(x + kControlGap)), int(std::lround((height - m_controlAfterTabs->height()) / 2)));
}

void ViewTabs::placeMoreTabsButton()
{
    if (!m_moreTabsButton || m_moreTabsButton->parent() != this)
        return;
    const QSize size = m_moreTabsButton->sizeHint().boundedTo(QSize(28, height()));
    m_moreTabsButton->setGeometry(
        width() - size.width() - 2, (height() - size.height()) / 2, size.width(), size.height());
}

void ViewTabs::resizeEvent(QResizeEvent* event)
{
    placeMoreTabsButton();
    layoutTabs();
    QWidget::resizeEvent(event);
}

// --- Drawing ---

void ViewTabs::paintEvent(QPaintEvent*)
{
    layoutTabs();
    QPainter painter(this);
    painter.fillRect(rect(), backgroundColor);
    painter.setRenderHint(QPainter::Antialiasing);
    const double bottom = height() - 0.5;
    painter.setPen(QPen(frameColor, 1.0));
    painter.drawLine(QPointF(0, bottom), QPointF(width(), bottom));
    for (qsizetype index = 0; index < m_tabs.size(); ++index) {
        if (m_tabs.at(index).visible)
            drawTab(painter, m_tabs[index], index == m_selectedTab);
    }
}

void ViewTabs::drawTab(QPainter& painter, ViewTab& tab, bool selected)
{
    const double x = tab.box.x();
    const double y = tab.box.y();
    const double w = tab.box.width();
    const double h = tab.box.height();
    CanvasPath outline;
    outline.moveTo(QPointF(x, y + h));
    appendRoundedCorner(outline, QPointF(x, y), QPointF(x + w, y), float(kCornerRadius));
    appendRoundedCorner(outline, QPointF(x + w, y), QPointF(x + w, y + h), float(kCornerRadius));
    outline.lineTo(QPointF(x + w, y + h));
    PainterCanvas canvas(&painter);
    if (selected) {
        // The selected tab stays open at the bottom and joins the area below it.
        const QColor accent = palette().color(QPalette::Highlight);
        const QColor top = accent.isValid() ? accent : selTabColor;
        const QColor end = accent.isValid() ? shadeOf(accent, 0.25)
            : selTabColor2.isValid()        ? selTabColor2
                                            : top;
        canvas.fillPath(
            outline, CanvasPaint(LinearGradient::acrossRect(tab.box, 90, { { 0, top }, { 1, end } })));
    } else {
        CanvasPath closed = outline;
        closed.close();
        canvas.fillPath(closed, CanvasPaint(unselTabsColor));
    }
    outline.setLineWidth(1.0);
    canvas.strokePath(outline, CanvasPaint(frameColor));

    QRectF textRect(x, y + (h - m_textHeight) / 2, w, m_textHeight);
    if (tab.closeable) {
        tab.closeBox = QRectF(std::round(x + 4),
            std::round(textRect.y() + (m_textHeight - kCloseBoxSize) / 2), kCloseBoxSize, kCloseBoxSize);
        canvas.save();
        canvas.translate(tab.closeBox.x(), tab.closeBox.y());
        if (tab.trackingMouseInCloseBox || tab.hoveringMouseInCloseBox) {
            const bool pressed = tab.trackingMouseInCloseBox;
            canvas.fillPath(CanvasPath::fromRect(QRectF(0, 0, kCloseBoxSize, kCloseBoxSize)),
                CanvasPaint(pressed ? closeBoxTrackingBackColor : closeBoxHoveringBackColor));
            canvas.strokePath(
                closeIconPath(), CanvasPaint(pressed ? closeBoxTrackingXColor : closeBoxHoveringXColor));
        } else {
            canvas.strokePath(
                closeIconPath(), CanvasPaint(tab.trackingMouseInTab ? closeBoxInTabXColor : closeBoxXColor));
        }
        canvas.restore();
        textRect.setLeft(textRect.left() + kCloseBoxAllowance);
    }
    canvas.finish();
    painter.setFont(m_labelFont);
    painter.setPen(selected ? selTabTextColor : unselTabsTextColor);
    painter.drawText(textRect, Qt::AlignHCenter | Qt::AlignVCenter,
        QFontMetricsF(m_labelFont).elidedText(tab.title, Qt::ElideRight, textRect.width()));
}

void ViewTabs::updateCloseBox(const ViewTab& tab)
{
    update(tab.closeBox.toAlignedRect().adjusted(-1, -1, 1, 1));
}

// --- Mouse ---

void ViewTabs::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isEnabled())
        return;
    layoutTabs();
    const QPointF point = event->position();
    for (qsizetype index = 0; index < m_tabs.size(); ++index) {
        ViewTab& tab = m_tabs[index];
        if (!tab.visible || !pointInRect(point, tab.box))
            continue;
        if (tab.closeable && pointInRect(point, tab.closeBox)) {
            m_trackingCloseBoxTabIndex = index;
            tab.trackingMouseInCloseBox = true;
            updateCloseBox(tab);
        } else {
            setSelectedTab(index);
            emit tabAction();
        }
        return;
    }
}

void ViewTabs::mouseMoveEvent(QMouseEvent* event)
{
    const QPointF point = event->position();
    if (m_trackingCloseBoxTabIndex >= 0 && m_trackingCloseBoxTabIndex < m_tabs.size()) {
        ViewTab& tab = m_tabs[m_trackingCloseBoxTabIndex];
        const bool inside = pointInRect(point, tab.closeBox);
        if (inside != tab.trackingMouseInCloseBox) {
            tab.trackingMouseInCloseBox = inside;
            updateCloseBox(tab);
        }
        return;
    }
    if (!isEnabled())
        return;
    for (ViewTab& tab : m_tabs) {
        if (!tab.visible)
            continue;
        const bool inTab = pointInRect(point, tab.box);
        const bool inCloseBox = tab.closeable && pointInRect(point, tab.closeBox);
        if (inTab != tab.trackingMouseInTab || inCloseBox != tab.hoveringMouseInCloseBox) {
            tab.trackingMouseInTab = inTab;
            tab.hoveringMouseInCloseBox = inCloseBox;
            updateCloseBox(tab);
        }
    }
}

void ViewTabs::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || m_trackingCloseBoxTabIndex < 0)
        return;
    const qsizetype index = m_trackingCloseBoxTabIndex;
    m_trackingCloseBoxTabIndex = -1;
    if (index >= m_tabs.size())
        return;
    ViewTab& tab = m_tabs[index];
    const bool inside = tab.trackingMouseInCloseBox && pointInRect(event->position(), tab.closeBox);
    tab.trackingMouseInCloseBox = false;
    updateCloseBox(tab);
    if (!inside)
        return;
    // The target may rebuild the tabs while it handles the close.
    m_closedTabIndex = index;
    emit tabAction();
    m_closedTabIndex = -1;
}

void ViewTabs::leaveEvent(QEvent* event)
{
    for (ViewTab& tab : m_tabs) {
        if (tab.visible && (tab.trackingMouseInTab || tab.hoveringMouseInCloseBox)) {
            tab.trackingMouseInTab = false;
            tab.hoveringMouseInCloseBox = false;
            updateCloseBox(tab);
        }
    }
    QWidget::leaveEvent(event);
}

// --- More tabs ---

void ViewTabs::menuNeedsUpdate()
{
    QMenu* menu = m_moreTabsButton ? m_moreTabsButton->menu() : nullptr;
    if (!menu)
        return;
    menu->clear();
    for (qsizetype index = 0; index < m_tabs.size(); ++index) {
        if (m_tabs.at(index).visible)
            continue;
        QAction* item = menu->addAction(MenuActions::titleForName(m_tabs.at(index).title));
        item->setData(QVariant::fromValue(index));
        connect(item, &QAction::triggered, this, [this, index] { showHiddenTab(index); });
    }
}

void ViewTabs::showHiddenTab(qsizetype index)
{
    setSelectedTab(index);
    emit tabAction();
    update();
}

} // namespace zandrel
