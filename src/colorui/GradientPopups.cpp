#include "colorui/GradientPopups.h"

#include "colorui/ColorControlDrawing.h"
#include "colorui/GradientGeometryControl.h"
#include "colorui/GradientRuler.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/CurrentCanvas.h"
#include "platform/Localization.h"
#include "platform/PainterCanvas.h"

#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
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
    : QWidget(parent)
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
    m_popupController->setModeless(m_modeless);
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
    const QRectF r = b.adjusted(0.5, 0.5, -0.5, -0.5);
    CanvasPath edge = CanvasPath::fromRect(r);
    edge.setLineWidth(1.0);
    canvas.strokePath(edge, CanvasPaint(lightGrayOutline()));
    canvas.translate(r.width() - 16, r.height() - 10);
    CanvasPath triangle = wellTriangle();
    triangle.setLineWidth(1.0);
    canvas.fillPath(triangle, CanvasPaint(QColor(Qt::black)));
    canvas.strokePath(triangle, CanvasPaint(QColor(Qt::white)));
    canvas.restore();
}

// --- GradientPopupController ---

GradientPopupController::GradientPopupController(GradientPopupButton* host)
    : PopupController(host, kGradientPopupName)
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
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    m_cancelButton = new QPushButton(localized(QStringLiteral("Cancel")), area);
    m_okButton = new QPushButton(localized(QStringLiteral("OK")), area);
    m_okButton->setDefault(true);
    buttons->addWidget(m_cancelButton);
    buttons->addWidget(m_okButton);
    layout->addLayout(buttons);

    m_gradientControl->linkControls(m_gradientRuler, m_typeControl);
    connect(
        m_gradientControl, &GradientGeometryControl::action, this, &GradientPopupController::gradientChanged);
    connect(m_okButton, &QPushButton::clicked, this, &GradientPopupController::perform);
    connect(m_cancelButton, &QPushButton::clicked, this, &GradientPopupController::cancelDialog);
}

void GradientPopupController::showWindow()
{
    m_cancelButton->setVisible(!(m_modeless && !m_hostButton->cancelHandler()));
    m_savedValue = m_hostButton->gradientFillValue();
    m_gradientControl->setGradientFillValue(*m_savedValue);
    PopupController::showWindow();
}

void GradientPopupController::gradientChanged()
{
    m_hostButton->setGradientFillValue(*m_gradientControl->gradientFillValue());
    if (m_modeless)
        m_hostButton->sendAction();
}

void GradientPopupController::perform()
{
    if (!isShown())
        return;
    m_hostButton->setGradientFillValue(*m_gradientControl->gradientFillValue());
    m_hostButton->sendAction();
    if (m_hostButton->commitHandler())
        m_hostButton->commitHandler()(m_hostButton);
    close();
}

void GradientPopupController::cancelDialog()
{
    if (!isShown())
        return;
    if (m_savedValue)
        m_hostButton->setGradientFillValue(*m_savedValue);
    if (m_hostButton->cancelHandler())
        m_hostButton->cancelHandler()(m_hostButton);
    PopupController::cancelDialog();
}

void GradientPopupController::close()
{
    if (!isShown())
        return;
    m_gradientRuler->deselectHandle();
    PopupController::close();
}

} // namespace zandrel
