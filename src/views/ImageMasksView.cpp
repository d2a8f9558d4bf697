#include "views/ImageMasksView.h"

#include "app/core/ActionNames.h"
#include "app/core/ActionTable.h"
#include "app/core/EditorContainer.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/ImageElement.h"
#include "charmodel/MaskingPath.h"
#include "graphics/Curve.h"
#include "graphics/PathBuilders.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CanvasPaint.h"
#include "platform/CanvasPath.h"
#include "platform/CurrentCanvas.h"
#include "platform/Geometry.h"
#include "platform/Localization.h"
#include "platform/UndoManager.h"
#include "views/ZDLScrollArea.h"

#include <QAbstractScrollArea>
#include <cmath>

namespace zandrel {

namespace {

// Drawing tools hand over every gesture; fewer points than this enclose nothing.
constexpr int kMinimumMaskPoints = 3;

} // namespace

ImageMasksView::ImageMasksView(ZDLDocument* document, QWidget* parent)
    : ZDLEditingView(document, parent)
{
    setObjectName(QStringLiteral("imageMasksView"));
    setCentresSmallContent(true);
}

void ImageMasksView::setEditImage(const std::shared_ptr<ImageElement>& image)
{
    m_editImage = image;
    setRootObject(image);
}

void ImageMasksView::documentClosing()
{
    m_editor = nullptr;
    ZDLEditingView::documentClosing();
}

void ImageMasksView::setToDefaultTool()
{
    if (m_editor)
        m_editor->setCurrentTool(0);
}

void ImageMasksView::setToReshapingTool()
{
    if (m_editor)
        m_editor->setCurrentTool(1);
}

QRectF ImageMasksView::getContentBounds() const
{
    if (!m_editImage || !m_editImage->image())
        return QRectF();
    return QRectF(QPointF(0, 0), m_editImage->image()->pixelSize());
}

void ImageMasksView::scaleToFit()
{
    const QRectF pixels = getContentBounds();
    if (isEmptyRect(pixels))
        return;
    const QWidget* area = scrollArea() ? scrollArea()->viewport() : parentWidget();
    if (!area)
        return;
    float scale = float(area->width() / pixels.width());
    const float vertical = float(area->height() / pixels.height());
    if (std::isnan(scale) || vertical < scale)
        scale = vertical;
    // An image far larger than the window still opens at the smallest zoom there is.
    setViewScale(std::clamp(scale, minViewScale(), maxViewScale()));
    scrollToCenterDocPoint(pixels.center());
}

ObjectPtr ImageMasksView::createPathWith(const std::shared_ptr<Curve>& curve)
{
    if (!curve || curve->numPoints() < kMinimumMaskPoints)
        return nullptr;
    auto mask = std::make_shared<MaskingPath>();
    mask->setSegments({ curve });
    return mask;
}

void ImageMasksView::setPivotPoint(const QPointF& point)
{
    if (!m_editImage || !document())
        return;
    document()->undoableSetPropertyFor(m_editImage, ImageElement::kHasOriginKey, Value(true));
    document()->undoableSetPropertyFor(m_editImage, ImageElement::kOriginKey, Value(point));
    undoableSetSelection({}, true);
    document()->undoManager()->setActionName(localized("Set Image Pivot Point"));
}

void ImageMasksView::resetPivotPoint()
{
    if (!m_editImage || !document())
        return;
    document()->undoableSetPropertyFor(m_editImage, ImageElement::kHasOriginKey, Value(false));
    undoableSetSelection({}, true);
    document()->undoManager()->setActionName(localized("Reset Image Pivot Point"));
}

void ImageMasksView::updateView(const Notification& notification)
{
    // A change of the image or of a mask reaches far beyond the element's bounds: the wash covers
    // the whole view.
    update();
    ZDLEditingView::updateView(notification);
}

void ImageMasksView::drawRect(const QRectF& dirtyRect)
{
    Canvas* canvas = currentCanvas();
    if (!canvas)
        return;
    canvas->save();
    canvas->fillRect(dirtyRect, CanvasPaint(Qt::white));
    if (m_editImage && m_editImage->image()) {
        ZDLContext context(*this);
        m_editImage->image()->drawInRect(context, getContentBounds());
        CanvasPath masks = m_editImage->createCGPath();
        if (!masks.isEmpty()) {
            masks.addRect(insetRect(viewBounds(), -2, -2));
            washOutAndOutline(*canvas, masks, 2.0 / viewScale());
        }
    }
    canvas->restore();
    // The selection's handles and the tools' marks; the element is drawn above, not as children.
    ZDLEditingView::drawRect(dirtyRect);
}

const ActionTable<ImageMasksView>& ImageMasksView::actionTable()
{
    // An image's masks have no background to choose and no parts to add.
    static const auto nothing = [](ImageMasksView&, const ActionSender&) { return true; };
    static const auto refusedUnchecked = [](ImageMasksView&, MenuItemValidation& item) {
        item.state = MenuItemValidation::State::Off;
        item.enabled = false;
    };
    static const ActionTable<ImageMasksView> table {
        { .action = kSetPivotPointAction,
            .validate = alwaysEnabled<ImageMasksView>,
            .perform =
                [](ImageMasksView& view, const ActionSender& sender) {
                    // Only where the contextual menu was opened: a main-menu choice has no point to
                    // set.
                    if (view.inRightClick() || sender.value.toString() == kContextualMenuSender)
                        view.setPivotPoint(view.rightClickPos());
                    return true;
                } },
        { .action = kResetPivotPointAction,
            .validate =
                [](ImageMasksView& view, MenuItemValidation& item) {
                    item.enabled = view.m_editImage && view.m_editImage->hasOrigin();
                },
            .perform = runs<&ImageMasksView::resetPivotPoint> },
        { .action = kSetBackgroundAction,
            .validate = refusedUnchecked,
            .perform = nothing,
            .validateToolbarItem = refusedUnchecked },
        { .action = kCreateNewPartAction,
            .validate = neverEnabled<ImageMasksView>,
            .perform = nothing,
            .validateToolbarItem = neverEnabled<ImageMasksView> },
    };
    return table;
}

bool ImageMasksView::tryToPerform(const QString& action, const ActionSender& sender)
{
    if (const auto performed = actionTable().perform(*this, action, sender))
        return *performed;
    return ZDLEditingView::tryToPerform(action, sender);
}

bool ImageMasksView::validateMenuItem(MenuItemValidation& item)
{
    return actionTable().validate(*this, item) || ZDLEditingView::validateMenuItem(item);
}

} // namespace zandrel
