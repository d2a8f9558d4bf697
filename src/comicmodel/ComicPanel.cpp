#include "comicmodel/ComicPanel.h"

#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/ComicStack.h"
#include "comicmodel/PanelServices.h"
#include "graphics/ArrayUtils.h"
#include "graphics/BoundsAccumulator.h"
#include "graphics/CoderExtensions.h"
#include "graphics/ColorFill.h"
#include "graphics/CurveIterator.h"
#include "graphics/EdgeEffects.h"
#include "graphics/GraphicUtils.h"
#include "graphics/StyleFields.h"
#include "graphics/StyleKeys.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/Log.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// Archive keys, with the element arrays of files from before panels had layers.
const QString kFrontLayerArchiveKey = QStringLiteral("frontLayer");
const QString kBackLayerArchiveKey = QStringLiteral("backLayer");
const QString kShapeArchiveKey = QStringLiteral("shape");
const QString kRoundnessArchiveKey = QStringLiteral("roundness");
const QString kDashArchiveKey = QStringLiteral("dash");
const QString kWeightArchiveKey = QStringLiteral("weight");
const QString kFillArchiveKey = QStringLiteral("fill");
const QString kFillLayerArchiveKey = QStringLiteral("fillLayer");
const QString kFillAlphaArchiveKey = QStringLiteral("fillAlpha");
const QString kLegacyElementsArchiveKey = QStringLiteral("elements");
const QString kLegacyBackElementsArchiveKey = QStringLiteral("backElements");

// The width of the grip band around the current free panel's frame.
constexpr float kFrameGripWeight = 11.0f;
// The measures of the edge effects, in page points: the step along the outline, the amplitude and
// the offset of the spikes' base from it.
constexpr float kMarkedEdgeStep = 25.0f;
constexpr float kMarkedEdgeAmplitude = 4.0f;
constexpr float kRoughSpikeStep = 20.0f;
constexpr float kRoughSpikeAmplitude = 10.0f;
constexpr float kRoughSpikeOffset = -5.0f;
constexpr float kSpikeStep = 10.0f;
constexpr float kSpikeAmplitude = 14.0f;
constexpr float kSpikeOffset = -8.0f;
// Any distance along an edge gives the second point of the edge moved aside.
constexpr float kEdgeSampleDistance = 200.0f;
// How far a view redraws beyond a panel's quad: the border and its handles on a page, and more
// for a panel that is not placed yet (dragged in from a palette).
constexpr double kInvalidationMargin = 5.0;
constexpr double kDetachedInvalidationMargin = 40.0;
// The smallest side of a panel beyond the gutter.
constexpr float kMinimumSide = 24.0f;

QRectF cornerBounds(const QPointF& a, const QPointF& b, const QPointF& c, const QPointF& d)
{
    BoundsAccumulator acc;
    boundsAccumulatorInit(&acc);
    for (const QPointF& p : { a, b, c, d })
        boundsAccumulatorAddPoint(&acc, p);
    return boundsAccumulatorRect(&acc);
}

bool isFinitePoint(const QPointF& p)
{
    return std::isfinite(p.x()) && std::isfinite(p.y());
}

} // namespace

// In the order of the archive.
const ElementFields<ComicPanel>& ComicPanel::fields()
{
    using P = ComicPanel;
    static const ElementFields<P> declared {
        // Files from before layers existed hold an "elements" array instead.
        { readOnlyProperty<P>(kFrontLayerKey, &P::frontLayer),
            [](const P& panel, KeyedArchiver& coder) {
                coder.encodeObject(panel.m_frontLayer, kFrontLayerArchiveKey);
            },
            [](P& panel, KeyedUnarchiver& coder) {
                panel.m_frontLayer = nullptr;
                if (coder.containsValueForKey(kFrontLayerArchiveKey))
                    panel.m_frontLayer = panel.decodedLayer(coder, kFrontLayerArchiveKey);
                else
                    panel.m_frontLayer
                        = PanelLayer::initWithDecodedChildren(coder, kLegacyElementsArchiveKey);
                panel.m_frontLayer->setParent(&panel);
            } },
        // Or a "backElements" array; with neither the new panel's empty layer stays.
        { readOnlyProperty<P>(kBackLayerKey, &P::backLayer),
            [](const P& panel, KeyedArchiver& coder) {
                coder.encodeObject(panel.m_backLayer, kBackLayerArchiveKey);
            },
            [](P& panel, KeyedUnarchiver& coder) {
                if (coder.containsValueForKey(kBackLayerArchiveKey))
                    panel.m_backLayer = panel.decodedLayer(coder, kBackLayerArchiveKey);
                else if (coder.containsValueForKey(kLegacyBackElementsArchiveKey))
                    panel.m_backLayer
                        = PanelLayer::initWithDecodedChildren(coder, kLegacyBackElementsArchiveKey);
                panel.m_backLayer->setParent(&panel);
            } },
        { property<P>(kShapeKey, &P::shape, &P::setShape),
            [](const P& panel, KeyedArchiver& coder) {
                coder.encodeInteger(panel.m_shape, kShapeArchiveKey);
            },
            [](P& panel, KeyedUnarchiver& coder) {
                panel.m_shape = int(coder.decodeIntegerForKey(kShapeArchiveKey));
            },
            true, [] { return localized("Panel shape:"); },
            [] {
                return QStringList { localized("Plain"), localized("Hand Drawn"), localized("Marked Edge"),
                    localized("Rough Spikes"), localized("Spikes") };
            } },
        { property<P>(kRoundnessKey, &P::roundness, &P::setRoundness),
            [](const P& panel, KeyedArchiver& coder) {
                coder.encodeFloat(panel.m_roundness, kRoundnessArchiveKey);
            },
            [](P& panel, KeyedUnarchiver& coder) {
                if (coder.containsValueForKey(kRoundnessArchiveKey))
                    panel.m_roundness = finiteOrZero(coder.decodeFloatForKey(kRoundnessArchiveKey));
            },
            true },
        { property<P>(kLineStyleKey, &P::lineStyle, &P::setLineStyle),
            [](const P& panel, KeyedArchiver& coder) {
                coder.encodeInteger(panel.m_lineStyle, kDashArchiveKey);
            },
            [](P& panel, KeyedUnarchiver& coder) {
                panel.m_lineStyle = coder.decodeIntegerForKey(kDashArchiveKey);
            },
            true },
        { property<P>(kWeightKey, &P::weight, &P::setWeight),
            [](const P& panel, KeyedArchiver& coder) {
                coder.encodeFloat(panel.m_weight, kWeightArchiveKey);
            },
            [](P& panel, KeyedUnarchiver& coder) {
                if (coder.containsValueForKey(kWeightArchiveKey))
                    panel.m_weight
                        = std::min(finiteOrZero(coder.decodeFloatForKey(kWeightArchiveKey)), kMaxLineWeight);
            },
            true },
        // Written only when there is a fill.
        { property<P>(stylekeys::kFill, &P::fill, &P::setFill),
            [](const P& panel, KeyedArchiver& coder) {
                if (panel.m_fill)
                    coder.encodeObject(panel.m_fill, kFillArchiveKey);
            },
            [](P& panel, KeyedUnarchiver& coder) {
                panel.m_fill
                    = zdlDecodeObjectOfClasses(coder, fillClassNames(), kFillArchiveKey).toObject<Fill>();
            },
            true },
        { property<P>(kFillLayerKey, &P::fillLayer, &P::setFillLayer),
            [](const P& panel, KeyedArchiver& coder) {
                coder.encodeInteger(panel.m_fillLayer, kFillLayerArchiveKey);
            },
            [](P& panel, KeyedUnarchiver& coder) {
                if (coder.containsValueForKey(kFillLayerArchiveKey))
                    panel.m_fillLayer = int(coder.decodeIntegerForKey(kFillLayerArchiveKey));
            },
            true, [] { return localized("Fill layer:"); },
            [] {
                return QStringList { localized("Behind the background"),
                    localized("Between background and foreground") };
            } },
        { property<P>(stylekeys::kFillAlpha, &P::fillAlpha, &P::setFillAlpha),
            [](const P& panel, KeyedArchiver& coder) {
                coder.encodeFloat(panel.m_fillAlpha, kFillAlphaArchiveKey);
            },
            [](P& panel, KeyedUnarchiver& coder) {
                if (coder.containsValueForKey(kFillAlphaArchiveKey))
                    panel.m_fillAlpha = finiteOrZero(coder.decodeFloatForKey(kFillAlphaArchiveKey));
            },
            true },
    };
    return declared;
}

const PropertyTable& ComicPanel::staticPropertyTable()
{
    static const PropertyTable table(&ComicStructureElement::staticPropertyTable(), propertiesOf(fields()));
    return table;
}

ComicPanel::ComicPanel()
    : m_frontLayer(std::make_shared<PanelLayer>())
    , m_backLayer(std::make_shared<PanelLayer>())
{
    adoptLayers();
}

ComicPanel::ComicPanel(const ComicPanel& other)
    : ComicStructureElement(other)
    , m_shape(other.m_shape)
    , m_roundness(other.m_roundness)
    , m_weight(other.m_weight)
    , m_lineStyle(other.m_lineStyle)
    , m_fill(other.m_fill ? other.m_fill->copy() : nullptr)
    , m_frontLayer(other.m_frontLayer ? other.m_frontLayer->initByCopying() : std::make_shared<PanelLayer>())
    , m_backLayer(other.m_backLayer ? other.m_backLayer->initByCopying() : std::make_shared<PanelLayer>())
    , m_fillLayer(other.m_fillLayer)
    , m_fillAlpha(other.m_fillAlpha)
    , m_edgeAllowance(other.m_edgeAllowance)
{
    adoptLayers();
}

ComicPanel::~ComicPanel()
{
    flushCache();
    // A layer still held elsewhere must not point at a freed panel.
    for (const auto& layer : { m_frontLayer, m_backLayer }) {
        if (layer && layer->parent() == this)
            layer->setParent(nullptr);
    }
}

ObjectPtr ComicPanel::initByCopying() const
{
    return std::make_shared<ComicPanel>(*this);
}

void ComicPanel::adoptLayers()
{
    if (m_frontLayer)
        m_frontLayer->setParent(this);
    if (m_backLayer)
        m_backLayer->setParent(this);
}

QString ComicPanel::className() const
{
    return kClassName;
}

void ComicPanel::encodeWithCoder(KeyedArchiver& coder) const
{
    ComicStructureElement::encodeWithCoder(coder);
    encodeFields(fields(), *this, coder);
}

PanelLayerPtr ComicPanel::decodedLayer(KeyedUnarchiver& coder, const QString& key) const
{
    // A layer must belong to this panel alone: one that another panel (or the other key) already
    // took would get two owners, so an empty layer stands in for it.
    auto layer = zdlDecodeObjectOfClass<PanelLayer>(coder, key);
    if (!layer || layer->parent() || layer == m_frontLayer)
        return std::make_shared<PanelLayer>();
    return layer;
}

ObjectPtr ComicPanel::initWithCoder(KeyedUnarchiver& coder)
{
    ComicStructureElement::initWithCoder(coder);
    // Elements of a panel live in its layers; structure children in a file are not taken.
    if (numContents() > 0)
        setContents({});
    // The object starts as a new panel: every key missing keeps that default, except where a field
    // says otherwise.
    decodeFields(fields(), *this, coder);
    flushCache();
    m_edgeAllowance = EdgeEffectAllowance::forFileBeingRead();
    return shared_from_this();
}

void ComicPanel::setFrameOfPanelsIn(
    const ComicStructureElement& element, int shape, float weight, qint64 lineStyle, float roundness)
{
    ComicStructureList panels;
    element.getPanelsInArray(panels);
    for (const auto& member : panels) {
        if (auto* panel = dynamic_cast<ComicPanel*>(member.get())) {
            panel->setShape(shape);
            panel->setWeight(weight);
            panel->setLineStyle(lineStyle);
            panel->setRoundness(roundness);
        }
    }
}

void ComicPanel::setWeight(float weight)
{
    m_weight = std::min(weight, kMaxLineWeight);
}

void ComicPanel::copyPropertiesFrom(const ComicPanel& other)
{
    setWeight(other.weight());
    setRoundness(other.roundness());
    setShape(other.shape());
    setLineStyle(other.lineStyle());
    setFill(other.fill() ? other.fill()->copy() : nullptr);
    setFillAlpha(other.fillAlpha());
    setFillLayer(other.fillLayer());
}

bool ComicPanel::cornerValuesOK(const ValueMap& corners)
{
    const QPointF tl = corners.value(kTopLeftKey).toPoint();
    const QPointF tr = corners.value(kTopRightKey).toPoint();
    const QPointF bl = corners.value(kBottomLeftKey).toPoint();
    const QPointF br = corners.value(kBottomRightKey).toPoint();
    return !isPointRightOfLine(br, tl, tr) && !isPointRightOfLine(tl, br, bl)
        && !isPointRightOfLine(tr, bl, tl) && !isPointRightOfLine(bl, tr, br);
}

void ComicPanel::setShape(int shape)
{
    if (shape == m_shape)
        return;
    m_shape = shape;
    flushCache();
}

void ComicPanel::setRoundness(float roundness)
{
    if (roundness == m_roundness)
        return;
    m_roundness = roundness;
    flushCache();
}

PanelLayerPtr ComicPanel::currentLayer() const
{
    const PanelComicServices* comic = comicServices();
    return comic && comic->editBackground() ? m_backLayer : m_frontLayer;
}

const PanelComicServices* ComicPanel::comicServices() const
{
    return dynamic_cast<const PanelComicServices*>(owner());
}

const PanelPageServices* ComicPanel::pageServices() const
{
    const ComicStructureElement* holder = parent();
    return holder && holder->isComicPage() ? dynamic_cast<const PanelPageServices*>(holder) : nullptr;
}

bool ComicPanel::isFloating() const
{
    const PanelPageServices* page = pageServices();
    return page && page->panelIsFloating(*this);
}

bool ComicPanel::isInset() const
{
    const PanelPageServices* page = pageServices();
    return page && page->panelIsInset(*this);
}

bool ComicPanel::isFree() const
{
    return isFloating() || isInset();
}

std::shared_ptr<ComicStructureElement> ComicPanel::firstPanel() const
{
    return self();
}

std::shared_ptr<ComicStructureElement> ComicPanel::lastPanel() const
{
    return self();
}

void ComicPanel::getPanelsInArray(ComicStructureList& panels) const
{
    if (auto panel = self())
        panels.push_back(panel);
}

// --- Frame ---

void ComicPanel::insetCorners(
    float d, QPointF& topLeft, QPointF& topRight, QPointF& bottomLeft, QPointF& bottomRight) const
{
    // Walking the quad clockwise on the page, every edge moves to its inner side for a positive d.
    struct Edge {
        QPointF a;
        QPointF b;
    };
    const auto moved = [d](const QPointF& a, const QPointF& b) {
        return Edge { pointPerpendicularToSegment(a, b, 0.0f, d),
            pointPerpendicularToSegment(a, b, kEdgeSampleDistance, d) };
    };
    const Edge top = moved(this->topLeft(), this->topRight());
    const Edge bottom = moved(this->bottomRight(), this->bottomLeft());
    const Edge right = moved(this->topRight(), this->bottomRight());
    const Edge left = moved(this->bottomLeft(), this->topLeft());
    topLeft = lineIntersection(top.a, top.b, left.a, left.b);
    topRight = lineIntersection(top.a, top.b, right.a, right.b);
    bottomLeft = lineIntersection(bottom.a, bottom.b, left.a, left.b);
    bottomRight = lineIntersection(bottom.a, bottom.b, right.a, right.b);
}

void ComicPanel::calcFrameTopLeft(
    QPointF& topLeft, QPointF& topRight, QPointF& bottomLeft, QPointF& bottomRight) const
{
    const float d = isFree() ? 0.0f : 0.5f * owner()->panelGutter();
    insetCorners(d, topLeft, topRight, bottomLeft, bottomRight);
    topLeft = pixelAlignPoint(topLeft);
    topRight = pixelAlignPoint(topRight);
    bottomLeft = pixelAlignPoint(bottomLeft);
    bottomRight = pixelAlignPoint(bottomRight);
}

void ComicPanel::getOutsetControlPointsTopLeft(
    QPointF& topLeft, QPointF& topRight, QPointF& bottomLeft, QPointF& bottomRight) const
{
    const float gutter = owner()->panelGutter();
    insetCorners(isFree() ? -gutter : -0.5f * gutter, topLeft, topRight, bottomLeft, bottomRight);
}

CurvePtr ComicPanel::panelFrame() const
{
    if (m_panelFrame)
        return m_panelFrame;
    QPointF tl, tr, bl, br;
    calcFrameTopLeft(tl, tr, bl, br);
    // A degenerate quad (neighbouring edges parallel) has no frame rather than one of NaN points,
    // which would spread into bounds, hit tests and drawing.
    if (!isFinitePoint(tl) || !isFinitePoint(tr) || !isFinitePoint(bl) || !isFinitePoint(br))
        return nullptr;
    CurvePtr frame = Curve::initWithPolygonPoints({ tl, tr, br, bl }, finiteOrZero(m_roundness));
    if (!frame)
        return nullptr;
    const qint64 steps = edgeEffectSteps(*frame, m_shape);
    if (steps > 0 && (!m_edgeAllowance || m_edgeAllowance->take(steps))) {
        m_edgeStepsTaken = m_edgeAllowance ? steps : 0;
        if (CurvePtr shaped = outlineWithEdgeEffect(*frame, m_shape, false))
            frame = shaped;
    }
    m_panelFrame = frame;
    return m_panelFrame;
}

qint64 ComicPanel::edgeEffectSteps(const Curve& outline, int shape)
{
    // The hand-drawn walk keeps a point every fifty units or so, up to its longest plain outline.
    constexpr double kHandDrawnUnitsPerStep = 50.0;
    double step = 0.0;
    double length = CurveIterator(outline).length();
    switch (shape) {
    case PanelShapeHandDrawn:
        step = kHandDrawnUnitsPerStep;
        length = std::min(length, double(kHandDrawnMaxPlainLength));
        break;
    case PanelShapeMarkedEdge:
        step = kMarkedEdgeStep;
        break;
    case PanelShapeRoughSpikes:
        step = kRoughSpikeStep;
        break;
    case PanelShapeSpikes:
        step = kSpikeStep;
        break;
    default:
        return 0;
    }
    if (!(length > 0.0))
        return 1;
    return qint64(std::ceil(std::min(length / step, double(kEdgeEffectMaxSteps))));
}

CurvePtr ComicPanel::outlineWithEdgeEffect(const Curve& outline, int shape, bool inward)
{
    switch (shape) {
    case PanelShapeHandDrawn:
        return handDrawnPathFromCurve(outline);
    case PanelShapeMarkedEdge:
        return markedPathAlongCurve(outline, kMarkedEdgeStep, kMarkedEdgeAmplitude);
    case PanelShapeRoughSpikes:
        return roughSpikePathAroundCurve(
            outline, inward, kRoughSpikeStep, kRoughSpikeAmplitude, kRoughSpikeOffset);
    case PanelShapeSpikes:
        return spikePathAroundCurve(outline, inward, kSpikeStep, kSpikeAmplitude, kSpikeOffset);
    default:
        return nullptr;
    }
}

const CanvasPath& ComicPanel::panelFramePath() const
{
    if (!m_cgPath) {
        const CurvePtr frame = panelFrame();
        m_cgPath = frame ? frame->createCGPath() : CanvasPath();
        m_cgPath->setWindingRule(WindingRule::EvenOdd);
    }
    return *m_cgPath;
}

CurvePtr ComicPanel::outsetFrame() const
{
    if (m_outsetFrame)
        return m_outsetFrame;
    QPointF tl, tr, bl, br;
    getOutsetControlPointsTopLeft(tl, tr, bl, br);
    if (!isFinitePoint(tl) || !isFinitePoint(tr) || !isFinitePoint(bl) || !isFinitePoint(br))
        return nullptr;
    const float roundness = finiteOrZero(m_roundness);
    const float r = roundness > 0.0f ? roundness + owner()->panelGutter() : roundness;
    m_outsetFrame = Curve::initWithPolygonPoints({ tl, tr, br, bl }, r);
    return m_outsetFrame;
}

void ComicPanel::flushCache()
{
    if (m_edgeStepsTaken > 0 && m_edgeAllowance)
        m_edgeAllowance->giveBack(m_edgeStepsTaken);
    m_edgeStepsTaken = 0;
    m_panelFrame = nullptr;
    m_outsetFrame = nullptr;
    m_cgPath.reset();
}

QRectF ComicPanel::getBounds() const
{
    const CurvePtr frame = panelFrame();
    return frame ? frame->getBounds() : QRectF();
}

QRectF ComicPanel::getGeometryBounds() const
{
    const CurvePtr frame = panelFrame();
    return frame ? frame->getGeometryBounds() : QRectF();
}

QRectF ComicPanel::getInvalidationBounds() const
{
    if (parent() && isInset()) {
        QPointF tl, tr, bl, br;
        getOutsetControlPointsTopLeft(tl, tr, bl, br);
        return insetRect(cornerBounds(tl, tr, bl, br), -kInvalidationMargin, -kInvalidationMargin);
    }
    const double grow = parent() ? kInvalidationMargin : kDetachedInvalidationMargin;
    return insetRect(cornerBounds(topLeft(), topRight(), bottomLeft(), bottomRight()), -grow, -grow);
}

QRectF ComicPanel::drawnBounds() const
{
    const CanvasPath& frame = panelFramePath();
    if (frame.isEmpty() || m_weight <= 0.0f)
        return frame.controlPointBounds();
    const double reach = CanvasPath::kDefaultMiterLimit * m_weight / 2;
    return insetRect(frame.controlPointBounds(), -reach, -reach);
}

QSizeF ComicPanel::minimumSize() const
{
    const float side = owner()->panelGutter() + kMinimumSide;
    return QSizeF(side, side);
}

void ComicPanel::setTopLeft(const QPointF& point)
{
    ComicStructureElement::setTopLeft(point);
    flushCache();
}

void ComicPanel::setTopRight(const QPointF& point)
{
    ComicStructureElement::setTopRight(point);
    flushCache();
}

void ComicPanel::setBottomLeft(const QPointF& point)
{
    ComicStructureElement::setBottomLeft(point);
    flushCache();
}

void ComicPanel::setBottomRight(const QPointF& point)
{
    ComicStructureElement::setBottomRight(point);
    flushCache();
}

void ComicPanel::setTopLeftTopRightBottomLeftBottomRight(
    const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft, const QPointF& bottomRight)
{
    ZDLDocument* document = owner()->document();
    if (!document) {
        undoableSetTopLeft(topLeft, topRight, bottomLeft, bottomRight);
        return;
    }
    const QRectF oldBounds = bounds();
    const QRectF oldFrame = getBounds();
    const std::vector<ElementList> blocks = contentBlocks();
    std::vector<QRectF> before;
    for (const ElementList& block : blocks)
        before.push_back(ArrayUtils::getElementsBounds(block));
    undoableSetTopLeft(topLeft, topRight, bottomLeft, bottomRight);
    const QRectF newBounds = bounds();
    const QRectF newFrame = getBounds();
    for (std::size_t index = 0; index < blocks.size(); ++index) {
        const QPointF c = rectCenter(before[index]);
        QPointF offset = mapPointFromRectToRect(c, oldBounds, newBounds) - c;
        offset += keepBlockShowing(before[index], offset, oldFrame, newFrame);
        document->undoableOffsetObjects(blocks[index], offset, false);
    }
}

// --- Hit tests ---

bool ComicPanel::contains(const QPointF& point) const
{
    return isFree() ? frameContains(point) : ComicStructureElement::contains(point);
}

bool ComicPanel::frameContains(const QPointF& point) const
{
    return panelFramePath().contains(point);
}

bool ComicPanel::currentPanelFrameContains(const QPointF& point) const
{
    const PanelComicServices* comic = comicServices();
    if (!comic || comic->currentPanel().get() != this || !isFree())
        return false;
    const CurvePtr frame = panelFrame();
    return frame && frame->isPointOnCurve(point, kFrameGripWeight)
        && !frame->createNSBezierPath().contains(point);
}

// --- Lifecycle ---

bool ComicPanel::validateData()
{
    const PanelComicServices* comic = comicServices();
    CharacterModel* colors = comic ? comic->comicColorsModel().get() : nullptr;
    if (colors) {
        // The fill takes the comic's own palette entry for its colour.
        if (auto* colorFill = dynamic_cast<ColorFill*>(m_fill.get()))
            colorFill->setFillColor(colors->mergeColor(colorFill->fillColor()));
    } else {
        zdlLog(QStringLiteral("Panel can't find owner model"));
    }
    if (m_frontLayer)
        m_frontLayer->validateData();
    if (m_backLayer)
        m_backLayer->validateData();
    return ComicStructureElement::validateData();
}

void ComicPanel::retire()
{
    ComicStructureElement::retire();
    for (PanelLayerPtr* layer : { &m_frontLayer, &m_backLayer }) {
        if (!*layer)
            continue;
        (*layer)->retire();
        (*layer)->setParent(nullptr);
        layer->reset();
    }
    flushCache();
}

} // namespace zandrel
