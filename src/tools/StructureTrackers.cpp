#include "tools/StructureTrackers.h"

#include "app/core/ZDLDocument.h"
#include "graphics/GraphicUtils.h"
#include "platform/Localization.h"

namespace zandrel {

namespace {

// Besides the gutter, each neighbour of a dragged boundary keeps this much room along the parent.
constexpr float kEdgeRoom = 36.0f;

const QString& kTL = ComicStructureElement::kTopLeftKey;
const QString& kTR = ComicStructureElement::kTopRightKey;
const QString& kBL = ComicStructureElement::kBottomLeftKey;
const QString& kBR = ComicStructureElement::kBottomRightKey;

QPointF cornerOf(const ComicStructureElement& element, const QString& name)
{
    return element.valueForKey(name).toPoint();
}

// The limits taken as the platform's MIN and MAX take them: when the first operand is not a
// number, the second one is the answer.
float minOf(float a, float b)
{
    return a < b ? a : b;
}

float maxOf(float a, float b)
{
    return a > b ? a : b;
}

float clampFract(float f, float lower, float upper)
{
    // The upper limit first, so that the lower one wins where they cross.
    return maxOf(minOf(f, upper), lower);
}

QPointF childrenCorner(const ComicStructureElement& element, FramePart part)
{
    switch (part) {
    case FramePart::TopLeft:
        return element.childrenTopLeft();
    case FramePart::TopRight:
        return element.childrenTopRight();
    case FramePart::BottomLeft:
        return element.childrenBottomLeft();
    case FramePart::BottomRight:
        return element.childrenBottomRight();
    default:
        return QPointF();
    }
}

} // namespace

// --- StructureTracker ---

ValueMap StructureTracker::getCornersOf(const ComicStructureElement& element)
{
    ValueMap corners;
    for (const QString& name : { kTL, kTR, kBL, kBR })
        corners.insert(name, Value(cornerOf(element, name)));
    return corners;
}

void StructureTracker::applyCorners(const ValueMap& corners, ComicStructureElement& element)
{
    element.setTopLeftTopRightBottomLeftBottomRight(corners.value(kTL).toPoint(),
        corners.value(kTR).toPoint(), corners.value(kBL).toPoint(), corners.value(kBR).toPoint());
}

StructureTracker::~StructureTracker()
{
    if (m_openGroup)
        m_openGroup->endUndoGrouping();
}

void StructureTracker::beginGesture(const ComicStructureElement& element)
{
    const ComicStructureElement* owner = element.owner();
    ZDLDocument* document = owner ? owner->document() : nullptr;
    m_openGroup = document ? document->undoManager() : nullptr;
    if (m_openGroup)
        m_openGroup->beginUndoGrouping();
}

void StructureTracker::endGesture(const QString& actionName)
{
    if (!m_openGroup)
        return;
    m_openGroup->setActionName(actionName);
    m_openGroup->endUndoGrouping();
    m_openGroup = nullptr;
}

float StructureTracker::gutterOf(const ComicStructureElement& element)
{
    const ComicStructureElement* parent = element.parent();
    const ComicStructureElement* owner = parent ? parent->owner() : nullptr;
    return owner ? owner->panelGutter() : 0.0f;
}

// --- StructureEdgeTracker ---

StructureEdgeTracker::StructureEdgeTracker(const QPointF& point, const ZDLEvent& event,
    const StructurePtr& element1, FramePart part, const StructurePtr& element2)
    : StructureTracker(point, event)
    , m_element1(element1)
    , m_element2(element2)
    , m_partForElement1(part)
{
}

QString StructureEdgeTracker::cursorName() const
{
    return m_partForElement1 == FramePart::BottomEdge ? QStringLiteral("Cur_Structure_bottomtop")
                                                      : QStringLiteral("Cur_Structure_rightleft");
}

void StructureEdgeTracker::startTracking()
{
    m_startedTracking = true;
    beginGesture(*m_element1);
    m_elem1Corners = getCornersOf(*m_element1);
    m_elem2Corners = getCornersOf(*m_element2);
    const ComicStructureElement& parent = *m_element1->parent();
    if (m_partForElement1 == FramePart::BottomEdge) {
        // Rows stacked: the boundary runs from the parent's left side to its right side.
        m_elem1LeadingProp = kBL;
        m_elem1TrailingProp = kBR;
        m_elem2LeadingProp = kTL;
        m_elem2TrailingProp = kTR;
        m_parentLeadingEdgeLeadingPoint = parent.childrenTopLeft();
        m_parentTrailingEdgeLeadingPoint = parent.childrenBottomLeft();
        m_parentLeadingEdgeTrailingPoint = parent.childrenTopRight();
        m_parentTrailingEdgeTrailingPoint = parent.childrenBottomRight();
    } else {
        // Side by side: it runs from the parent's top to its bottom.
        m_elem1LeadingProp = kTR;
        m_elem1TrailingProp = kBR;
        m_elem2LeadingProp = kTL;
        m_elem2TrailingProp = kBL;
        m_parentLeadingEdgeLeadingPoint = parent.childrenTopLeft();
        m_parentTrailingEdgeLeadingPoint = parent.childrenTopRight();
        m_parentLeadingEdgeTrailingPoint = parent.childrenBottomLeft();
        m_parentTrailingEdgeTrailingPoint = parent.childrenBottomRight();
    }
    // S1 runs from the leading edge's leading point to the trailing edge's, S2 likewise.
    const QPointF& s1From = m_parentLeadingEdgeLeadingPoint;
    const QPointF& s1To = m_parentTrailingEdgeLeadingPoint;
    const QPointF& s2From = m_parentLeadingEdgeTrailingPoint;
    const QPointF& s2To = m_parentTrailingEdgeTrailingPoint;

    const QPointF e1 = cornerOf(*m_element1, m_elem1LeadingProp);
    const QPointF e2 = cornerOf(*m_element1, m_elem1TrailingProp);
    const float t0 = parameterOfPointOnSegment(e1, e2, startPt());
    m_rangeLeadingPoint = interpolatePoints(s1From, s2From, t0);
    m_rangeTrailingPoint = interpolatePoints(s1To, s2To, t0);
    m_lastMouseFract = parameterOfPointOnSegment(m_rangeLeadingPoint, m_rangeTrailingPoint, startPt());

    const float a = parameterOfPointOnSegment(s1From, s1To, e1);
    const float b = parameterOfPointOnSegment(s2From, s2To, e2);
    const float gutter = gutterOf(*m_element1);
    const float gA = (gutter + kEdgeRoom) / distanceBetweenPoints(s1From, s1To);
    const float gB = (gutter + kEdgeRoom) / distanceBetweenPoints(s2From, s2To);
    const float lowA
        = parameterOfPointOnSegment(s1From, s1To, cornerOf(*m_element1, m_elem2LeadingProp)) + gA;
    const float upA = parameterOfPointOnSegment(s1From, s1To, cornerOf(*m_element2, m_elem1LeadingProp)) - gA;
    const float lowB
        = parameterOfPointOnSegment(s2From, s2To, cornerOf(*m_element1, m_elem2TrailingProp)) + gB;
    const float upB
        = parameterOfPointOnSegment(s2From, s2To, cornerOf(*m_element2, m_elem1TrailingProp)) - gB;
    m_minMouseFract = m_lastMouseFract - minOf(a - lowA, b - lowB);
    m_maxMouseFract = m_lastMouseFract + minOf(upA - a, upB - b);
}

void StructureEdgeTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!movedOverMinimum(event) || !m_element1->parent())
        return;
    if (!m_startedTracking)
        startTracking();
    const float f = clampFract(parameterOfPointOnSegment(m_rangeLeadingPoint, m_rangeTrailingPoint, point),
        m_minMouseFract, m_maxMouseFract);
    const QPointF& s1From = m_parentLeadingEdgeLeadingPoint;
    const QPointF& s1To = m_parentTrailingEdgeLeadingPoint;
    const QPointF& s2From = m_parentLeadingEdgeTrailingPoint;
    const QPointF& s2To = m_parentTrailingEdgeTrailingPoint;
    const float a = parameterOfPointOnSegment(s1From, s1To, cornerOf(*m_element1, m_elem1LeadingProp));
    const float b = parameterOfPointOnSegment(s2From, s2To, cornerOf(*m_element1, m_elem1TrailingProp));
    const float d = f - m_lastMouseFract;
    const QPointF leading = interpolatePoints(s1From, s1To, a + d);
    const QPointF trailing = interpolatePoints(s2From, s2To, b + d);
    m_elem1Corners.insert(m_elem1LeadingProp, Value(leading));
    m_elem1Corners.insert(m_elem1TrailingProp, Value(trailing));
    m_elem2Corners.insert(m_elem2LeadingProp, Value(leading));
    m_elem2Corners.insert(m_elem2TrailingProp, Value(trailing));
    applyCorners(m_elem1Corners, *m_element1);
    applyCorners(m_elem2Corners, *m_element2);
    m_lastMouseFract = f;
}

void StructureEdgeTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    if (m_startedTracking)
        endGesture(localized("Comic Structure Edge Drag"));
}

// --- StructureCornerTracker ---

StructureCornerTracker::StructureCornerTracker(const QPointF& point, const ZDLEvent& event,
    const StructurePtr& element1, FramePart part1, const StructurePtr& element2, FramePart part2)
    : StructureTracker(point, event)
    , m_commonParent(element1->parent())
    , m_element1(element1)
    , m_element2(element2)
    , m_element1Corner(getPropertyFromCornerPart(part1))
    , m_element2Corner(getPropertyFromCornerPart(part2))
{
    if (m_commonParent) {
        m_parentCorner1 = childrenCorner(*m_commonParent, part2);
        m_parentCorner2 = childrenCorner(*m_commonParent, part1);
    }
}

QString StructureCornerTracker::getPropertyFromCornerPart(FramePart part)
{
    switch (part) {
    case FramePart::TopLeft:
        return kTL;
    case FramePart::TopRight:
        return kTR;
    case FramePart::BottomLeft:
        return kBL;
    case FramePart::BottomRight:
        return kBR;
    default:
        return QString();
    }
}

QString StructureCornerTracker::getChildrenPropertyFromCornerPart(FramePart part)
{
    const QString corner = getPropertyFromCornerPart(part);
    if (corner.isEmpty())
        return corner;
    return QStringLiteral("children") + corner.at(0).toUpper() + corner.mid(1);
}

QString StructureCornerTracker::cursorName() const
{
    return QStringLiteral("Cur_Structure_") + m_element1Corner + m_element2Corner;
}

void StructureCornerTracker::startTracking()
{
    m_startedTracking = true;
    beginGesture(*m_element1);
    m_lowerLimitFract = parameterOfPointOnSegment(
        m_parentCorner1, m_parentCorner2, cornerOf(*m_element1, m_element2Corner));
    m_upperLimitFract = parameterOfPointOnSegment(
        m_parentCorner1, m_parentCorner2, cornerOf(*m_element2, m_element1Corner));
    const float g = gutterOf(*m_element1) / distanceBetweenPoints(m_parentCorner1, m_parentCorner2);
    m_lowerLimitFract += g;
    m_upperLimitFract -= g;
    m_elem1Corners = getCornersOf(*m_element1);
    m_elem2Corners = getCornersOf(*m_element2);
}

void StructureCornerTracker::mouseDraggedAt(const QPointF& point, const ZDLEvent& event)
{
    if (!movedOverMinimum(event) || !m_commonParent)
        return;
    if (!m_startedTracking)
        startTracking();
    const float f = clampFract(parameterOfPointOnSegment(m_parentCorner1, m_parentCorner2, point),
        m_lowerLimitFract, m_upperLimitFract);
    const QPointF p = interpolatePoints(m_parentCorner1, m_parentCorner2, f);
    m_elem1Corners.insert(m_element1Corner, Value(p));
    m_elem2Corners.insert(m_element2Corner, Value(p));
    applyCorners(m_elem1Corners, *m_element1);
    applyCorners(m_elem2Corners, *m_element2);
}

void StructureCornerTracker::mouseUpAt(const QPointF&, const ZDLEvent&)
{
    if (m_startedTracking)
        endGesture(localized("Comic Structure Corner Drag"));
}

} // namespace zandrel
