#include "app/ElementView.h"

#include "app/AppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "graphics/ArrayUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/NotificationCenter.h"
#include "platform/PainterCanvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace zandrel {

namespace {

constexpr double kMargin = 24.0;
constexpr double kMaxFitScale = 4.0;

QRectF contentBounds(const ObjectPtr& root)
{
    QRectF bounds;
    if (const auto* container = asProtocol<Parent>(root))
        bounds = container->getBounds();
    if (const auto* model = dynamic_cast<const CharacterModel*>(root.get()))
        bounds = unionRect(bounds, model->getTracingImageBounds());
    return bounds;
}

} // namespace

ElementView::ElementView(ZDLDocument* document, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
{
    setFocusPolicy(Qt::StrongFocus);
    setAutoFillBackground(false);
    setMinimumSize(200, 150);
    NotificationCenter::defaultCenter().addObserver(
        this, kUpdateDocumentViewsNotification, document, [this](const Notification&) { update(); });
}

ElementView::~ElementView()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void ElementView::setRootObject(const ObjectPtr& root)
{
    m_root = root;
    m_selection.clear();
    update();
}

void ElementView::setViewPartType(int type)
{
    m_viewPartType = type;
    m_selection.clear();
    update();
}

void ElementView::undoableSetSelection(const ElementList& selection, bool)
{
    m_selection = selection;
    update();
}

void ElementView::validateSelection()
{
    const auto* container = asProtocol<Parent>(m_root);
    m_selection.removeIf(
        [container](const ObjectPtr& object) { return !container || !container->hasChild(object.get()); });
}

double ElementView::fitScale() const
{
    const QRectF bounds = contentBounds(m_root);
    if (bounds.width() <= 0 || bounds.height() <= 0)
        return 1.0;
    const double sx = (width() - 2 * kMargin) / bounds.width();
    const double sy = (height() - 2 * kMargin) / bounds.height();
    return std::clamp(std::min(sx, sy), 0.01, kMaxFitScale);
}

QTransform ElementView::viewTransform() const
{
    // The root's bounds scaled to fit and centred in the view.
    const QRectF bounds = contentBounds(m_root);
    const QPointF centre = bounds.isValid() ? bounds.center() : QPointF();
    const double scale = fitScale();
    return QTransform::fromTranslate(-centre.x(), -centre.y()) * QTransform::fromScale(scale, scale)
        * QTransform::fromTranslate(width() / 2.0, height() / 2.0);
}

ObjectPtr ElementView::childAt(const QPointF& viewPoint) const
{
    const auto* container = asProtocol<Parent>(m_root);
    if (!container)
        return nullptr;
    const ObjectPtr hit = container->getChildAt(viewTransform().inverted().map(viewPoint), float(fitScale()));
    const auto* element = asProtocol<ComicElement>(hit);
    // While one part type is shown, the others cannot be picked.
    if (m_viewPartType >= 0 && (!element || element->partType() != m_viewPartType))
        return nullptr;
    return hit;
}

void ElementView::mousePressEvent(QMouseEvent* event)
{
    setFocus();
    const ObjectPtr hit = childAt(event->position());
    undoableSetSelection(hit ? ElementList { hit } : ElementList {}, false);
}

void ElementView::mouseDoubleClickEvent(QMouseEvent* event)
{
    // A double click opens the object in its editor, where it has one.
    const ObjectPtr hit = childAt(event->position());
    if (hit && m_document->editorForObject(hit))
        m_document->edit(hit);
}

void ElementView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    if (!m_root)
        return;
    const double scale = fitScale();
    PainterCanvas canvas(&painter);
    canvas.concatenate(viewTransform());
    const QRectF dirty = canvas.deviceTransform().inverted().mapRect(QRectF(event->rect()));

    CanvasScope scope(&canvas);
    ZDLContext context(static_cast<float>(scale));
    const auto* root = dynamic_cast<CharacterModel*>(m_root.get());
    if (root && m_viewPartType >= 0) {
        // One part type: its parts where they stand, nothing else.
        for (const ObjectPtr& child : root->children()) {
            auto* element = asProtocol<ComicElement>(child);
            if (element && element->partType() == m_viewPartType)
                element->drawIn(context);
        }
    } else if (auto* model = dynamic_cast<CharacterModel*>(m_root.get())) {
        model->drawTracingImageIn(canvas);
        model->drawIn(context, dirty);
    } else if (const auto* container = asProtocol<Parent>(m_root)) {
        for (const ObjectPtr& child : container->children()) {
            if (auto* graphic = asProtocol<GraphicElement>(child))
                graphic->drawIn(context);
        }
    }
    const QColor selection = appController()->selectionColor();
    for (const ObjectPtr& object : std::as_const(m_selection)) {
        if (const auto* graphic = asProtocol<GraphicElement>(object))
            canvas.strokeRect(graphic->getBounds(), CanvasPaint(selection), 1.0 / scale);
    }
}

} // namespace zandrel
