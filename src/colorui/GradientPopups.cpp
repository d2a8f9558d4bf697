#include "colorui/GradientPopups.h"

#include "colorui/ColorControlDrawing.h"
#include "colorui/GradientGeometryControl.h"
#include "colorui/GradientRuler.h"
#include "platform/CurrentCanvas.h"
#include "platform/Localization.h"
#include "platform/PainterCanvas.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVBoxLayout>

namespace zandrel {

namespace {

const QString kGradientPopupName = QStringLiteral("GradientPopupWindow");
constexpr int kPreviewSide = 150;
// Handles, their points and the gauge across a turned ruler.
constexpr int kRulerDepth = 48;

} // namespace

// --- GradientPopupButton ---

GradientPopupButton::GradientPopupButton(QWidget* parent)
    : PopupWell(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_popupController = new GradientPopupController(this);
}

void GradientPopupButton::setGradientFillValue(const GradientFill& fill)
{
    m_fill = fill;
    update();
}

void GradientPopupButton::mousePressEvent(QMouseEvent* event)
{
    if (!isEnabled() || event->button() != Qt::LeftButton)
        return;
    m_popupController->setModeless(modeless());
    m_popupController->showWindow();
}

void GradientPopupButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    PainterCanvas canvas(&painter);
    const CanvasScope scope(&canvas);
    const QRectF b = rect();
    canvas.save();
    fillCheckerboard(canvas, b);
    m_fill.fillRect(b);
    canvas.restore();
    drawWellFrameAndTriangle(canvas, b, true);
}

// --- GradientPopupController ---

GradientPopupController::GradientPopupController(GradientPopupButton* host)
    : ValuePopupController(host, kGradientPopupName)
    , m_hostButton(host)
{
    QWidget* area = contentArea();
    auto* layout = new QVBoxLayout(area);
    layout->setContentsMargins(0, 0, 0, 0);
    m_typeControl = new SegmentedControl(
        { localized(QStringLiteral("Linear")), localized(QStringLiteral("Radial")) }, area);
    m_typeControl->setObjectName(QStringLiteral("gradientTypeControl"));
    layout->addWidget(m_typeControl, 0, Qt::AlignHCenter);
    m_gradientControl = new GradientGeometryControl(area);
    m_gradientControl->setObjectName(QStringLiteral("gradientControl"));
    m_gradientControl->setFixedSize(kPreviewSide, kPreviewSide);
    layout->addWidget(m_gradientControl, 0, Qt::AlignHCenter);
    m_gradientRuler = new GradientRuler(area);
    m_gradientRuler->setObjectName(QStringLiteral("gradientRuler"));
    m_gradientRuler->setFixedSize(kPreviewSide, kRulerDepth);
    layout->addWidget(m_gradientRuler, 0, Qt::AlignHCenter);
    addOkAndCancel(layout);

    m_gradientControl->linkControls(m_gradientRuler, m_typeControl);
    connect(
        m_gradientControl, &GradientGeometryControl::action, this, &GradientPopupController::editorChanged);
}

void GradientPopupController::beginEditingHostValue()
{
    m_savedValue = m_hostButton->gradientFillValue();
    m_gradientControl->setGradientFillValue(*m_savedValue);
}

void GradientPopupController::writeEditedValueToHost()
{
    m_hostButton->setGradientFillValue(*m_gradientControl->gradientFillValue());
}

void GradientPopupController::restoreHostValue()
{
    if (m_savedValue)
        m_hostButton->setGradientFillValue(*m_savedValue);
}

void GradientPopupController::close()
{
    if (!isShown())
        return;
    // No stop stays selected for the next opening.
    m_gradientRuler->deselectHandle();
    PopupController::close();
}

} // namespace zandrel
