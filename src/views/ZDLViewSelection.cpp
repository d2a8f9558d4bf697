// The view base's selection, its redrawing and the transform origin.
#include "charmodel/PartAlias.h"
#include "charmodel/PartTypes.h"
#include "graphics/ArrayUtils.h"
#include "platform/Geometry.h"
#include "platform/NotificationCenter.h"
#include "views/ZDLView.h"

namespace zandrel {

namespace {

// Sizes in screen points around the selection and its origin that the selection drawing reaches.
constexpr double kSelectionOutset = 15.0;
constexpr double kOriginSquare = 12.0;
// Ranks start above every real rank, so that the first member sets the best.
constexpr int kNoRank = 20000;
constexpr int kUnrankedPart = 10000;

const Parent* containerOf(const ObjectPtr& object)
{
    return asProtocol<Parent>(object);
}

bool isVisibleElement(const ObjectPtr& object)
{
    const auto* graphic = asProtocol<GraphicElement>(object);
    return graphic && graphic->visible();
}

} // namespace

void ZDLView::updateSelectionChange()
{
    NotificationCenter::defaultCenter().post(kUpdateViewSelectionNotification, this);
}

void ZDLView::select(const ObjectPtr& object, bool deselectingOthers)
{
    const Parent* root = containerOf(m_rootObject);
    if (!object || !root || !root->hasChild(object.get()) || isSelected(object))
        return;
    if (deselectingOthers) {
        setNeedsDisplaySelection();
        m_selection.clear();
        m_transformOriginOverridden = false;
    }
    m_selection.append(object);
    setNeedsDisplaySelection();
    updateSelectionChange();
}

void ZDLView::deselect(const ObjectPtr& object)
{
    if (!isSelected(object))
        return;
    setNeedsDisplaySelection();
    m_selection.removeAll(object);
    if (m_selection.isEmpty())
        m_transformOriginOverridden = false;
    updateSelectionChange();
}

void ZDLView::toggleSelect(const ObjectPtr& object)
{
    const Parent* root = containerOf(m_rootObject);
    if (!object || !root || !root->hasChild(object.get()))
        return;
    setNeedsDisplaySelection();
    if (isSelected(object)) {
        m_selection.removeAll(object);
        if (m_selection.isEmpty())
            m_transformOriginOverridden = false;
    } else {
        m_selection.append(object);
    }
    setNeedsDisplaySelection();
    updateSelectionChange();
}

void ZDLView::setSelection(const ElementList& objects)
{
    setNeedsDisplaySelection();
    deselectAll();
    for (const ObjectPtr& object : objects)
        select(object, false);
    setNeedsDisplaySelection();
    updateSelectionChange();
}

void ZDLView::replaceSelection(const ElementList& selection)
{
    setNeedsDisplaySelection();
    m_selection = selection;
    setNeedsDisplaySelection();
    updateSelectionChange();
}

void ZDLView::selectAll()
{
    const Parent* root = containerOf(m_rootObject);
    if (!root || !root->canSelectContents())
        return;
    m_selection.clear();
    for (const ObjectPtr& child : root->children()) {
        if (isVisibleElement(child))
            m_selection.append(child);
    }
    setNeedsDisplaySelection();
    updateSelectionChange();
}

void ZDLView::deselectAll()
{
    if (m_selection.isEmpty())
        return;
    setNeedsDisplaySelection();
    m_selection.clear();
    m_transformOriginOverridden = false;
    updateSelectionChange();
}

ElementList ZDLView::getSelectionSorted() const
{
    ElementList sorted;
    if (const Parent* root = containerOf(m_rootObject)) {
        for (const ObjectPtr& child : root->children()) {
            if (isSelected(child))
                sorted.append(child);
        }
    }
    return sorted;
}

void ZDLView::validateSelection()
{
    const Parent* root = containerOf(m_rootObject);
    const qsizetype removed = m_selection.removeIf([root](const ObjectPtr& object) {
        return !root || !root->hasChild(object.get()) || !isVisibleElement(object);
    });
    if (removed == 0)
        return;
    update();
    updateSelectionChange();
}

void ZDLView::hideSelectionDuringTracking()
{
    if (m_selectionHiddenWhileTracking)
        return;
    setNeedsDisplaySelection();
    m_selectionHiddenWhileTracking = true;
}

void ZDLView::setNeedsDisplaySelection()
{
    const double scale = m_viewScale;
    if (!m_selection.isEmpty()) {
        const double outset = kSelectionOutset / scale;
        setNeedsDisplayInRect(
            insetRect(ArrayUtils::getElementsInvalidationBounds(m_selection), -outset, -outset));
        setNeedsDisplayOrigin();
        return;
    }
    // Without a selection a part's own pivot is shown, which moves with it.
    if (const auto* pivoted = asProtocol<ComicGraphicElement>(m_rootObject)) {
        const double side = kOriginSquare / scale;
        const QPointF origin = pivoted->origin();
        setNeedsDisplayInRect(
            centerScanRect(QRectF(origin.x() - side / 2, origin.y() - side / 2, side, side)));
    }
}

void ZDLView::setNeedsDisplayOrigin()
{
    const double side = kOriginSquare / m_viewScale;
    const QPointF origin = transformOrigin();
    setNeedsDisplayInRect(QRectF(origin.x() - side / 2, origin.y() - side / 2, side, side));
}

// --- Transform origin ---

int ZDLView::coreRankOf(const ObjectPtr& element)
{
    const auto* comic = asProtocol<ComicElement>(element);
    if (!comic)
        return kUnrankedPart;
    switch (comic->partType()) {
    case PartTypeHips:
        return 1;
    case PartTypeTorso:
        return 2;
    case PartTypeHead:
    case PartTypeArm:
    case PartTypeLeg:
        return 3;
    case PartTypeHand:
    case PartTypeFoot:
    case PartTypeHair:
        return 4;
    case PartTypeHat:
        return 5;
    case PartTypeProp:
    case PartTypeCostume:
        return 6;
    case PartTypeBackground:
    case PartTypeFurniture:
    case PartTypeGround:
    case PartTypeSky:
    case PartTypeFoliage:
    case PartTypeInterior:
    case PartTypeStructure:
    case PartTypeWater:
    case PartTypeVehicle:
        return 0;
    default:
        return kUnrankedPart;
    }
}

QPointF ZDLView::transformOrigin() const
{
    if (m_transformOriginOverridden)
        return m_transformOrigin;
    const ElementList flat = ArrayUtils::flattenComicElementsArray(m_selection);
    if (flat.size() == 1) {
        if (const auto* alias = dynamic_cast<const PartAlias*>(flat.first().get())) {
            return alias->supportsOrigin() ? alias->appliedOrigin()
                                           : centerOfRect(ArrayUtils::getElementsBounds(m_selection));
        }
    }
    // The member of the lowest rank turns the others about its pivot; two of the lowest rank
    // leave the choice to the centre.
    int best = kNoRank;
    const ComicGraphicElement* pick = nullptr;
    for (const ObjectPtr& member : flat) {
        const auto* pivoted = asProtocol<ComicGraphicElement>(member);
        if (!pivoted)
            continue;
        const int rank = coreRankOf(member);
        if (rank < best) {
            best = rank;
            pick = pivoted;
        } else if (rank == best) {
            pick = nullptr;
        }
    }
    if (pick)
        return pick->appliedOrigin();
    return centerOfRect(ArrayUtils::getElementsBounds(m_selection));
}

void ZDLView::setTransformOrigin(const QPointF& origin)
{
    m_transformOrigin = origin;
    m_transformOriginOverridden = true;
}

// --- Root ---

ObjectPtr ZDLView::childAt(const QPointF& point) const
{
    const Parent* root = containerOf(m_rootObject);
    return root ? root->getChildAt(point, m_viewScale) : nullptr;
}

void ZDLView::setRootObject(const ObjectPtr& root)
{
    if (root == m_rootObject)
        return;
    if (m_rootObject)
        deselectAll();
    m_rootObject = root;
    updateViewSize();
    redisplayAfterRootChange();
}

} // namespace zandrel
