#include "comicmodel/ComicPage.h"

#include "app/core/ComicDocument.h"
#include "charmodel/Part.h"
#include "comicmodel/ComicElementClassNames.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GraphicUtils.h"
#include "platform/ArchiveNames.h"
#include "platform/Exception.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"

#include <algorithm>

namespace zandrel {

namespace {

// Archive keys.
const QString kInsetPanelsArchiveKey = QStringLiteral("insetPanels");
const QString kFloatingPanelsArchiveKey = QStringLiteral("floatingPanels");
const QString kFloatingElementsArchiveKey = QStringLiteral("floatingElements");
const QString kTopMarginArchiveKey = QStringLiteral("topMargin");
const QString kLeftMarginArchiveKey = QStringLiteral("leftMargin");
const QString kRightMarginArchiveKey = QStringLiteral("rightMargin");
const QString kBottomMarginArchiveKey = QStringLiteral("bottomMargin");

ValueList valuesOf(const ComicPanelList& panels)
{
    ValueList values;
    values.reserve(qsizetype(panels.size()));
    for (const auto& panel : panels)
        values.append(Value(ObjectPtr(panel)));
    return values;
}

ComicPanelList decodePanels(KeyedUnarchiver& coder, const QString& key)
{
    ComicPanelList panels;
    const Value decoded
        = zdlDecodeObjectOfClasses(coder, { PlatformClass::kArray, ComicPanel::kClassName }, key);
    for (const Value& member : decoded.toList()) {
        if (auto panel = member.toObject<ComicPanel>())
            panels.push_back(panel);
    }
    return panels;
}

float decodeMargin(KeyedUnarchiver& coder, const QString& key)
{
    return finiteOrZero(coder.decodeFloatForKey(key));
}

[[noreturn]] void tooManyStructureElements()
{
    // Raised while saving too, where the translations are not to be touched.
    Exception::raise(kBeyondLimitsException,
        QStringLiteral("A page of it holds more than %1 rows and panels, more than Zandrel can lay out.")
            .arg(ComicPage::kMaxStructureElements));
}

bool listHolds(const ComicPanelList& list, const ComicPanel& panel)
{
    return std::any_of(
        list.begin(), list.end(), [&panel](const auto& member) { return member.get() == &panel; });
}

} // namespace

const PropertyTable& ComicPage::staticPropertyTable()
{
    using P = ComicPage;
    static const PropertyTable table(&ComicStack::staticPropertyTable(),
        {
            property<P>(kTopMarginKey, &P::topMargin, &P::setTopMargin),
            property<P>(kLeftMarginKey, &P::leftMargin, &P::setLeftMargin),
            property<P>(kRightMarginKey, &P::rightMargin, &P::setRightMargin),
            property<P>(kBottomMarginKey, &P::bottomMargin, &P::setBottomMargin),
        });
    return table;
}

ComicPage::ComicPage(const ComicPage& other)
    : ComicStack(other)
    , m_insetPanels(this, other.m_insetPanels)
    , m_floatingPanels(this, other.m_floatingPanels)
    , m_floatingElements(this, other.m_floatingElements)
    , m_topMargin(other.m_topMargin)
    , m_leftMargin(other.m_leftMargin)
    , m_rightMargin(other.m_rightMargin)
    , m_bottomMargin(other.m_bottomMargin)
{
}

ObjectPtr ComicPage::initByCopying() const
{
    return std::make_shared<ComicPage>(*this);
}

QString ComicPage::className() const
{
    return kClassName;
}

void ComicPage::encodeWithCoder(KeyedArchiver& coder) const
{
    if (structureElementCount() > kMaxStructureElements)
        tooManyStructureElements();
    ComicStack::encodeWithCoder(coder);
    coder.encodeObject(Value(valuesOf(m_insetPanels.items())), kInsetPanelsArchiveKey);
    coder.encodeObject(Value(valuesOf(m_floatingPanels.items())), kFloatingPanelsArchiveKey);
    ValueList elements;
    for (const ObjectPtr& element : m_floatingElements.items())
        elements.append(Value(element));
    coder.encodeObject(Value(elements), kFloatingElementsArchiveKey);
    coder.encodeFloat(m_topMargin, kTopMarginArchiveKey);
    coder.encodeFloat(m_leftMargin, kLeftMarginArchiveKey);
    coder.encodeFloat(m_rightMargin, kRightMarginArchiveKey);
    coder.encodeFloat(m_bottomMargin, kBottomMarginArchiveKey);
}

ObjectPtr ComicPage::initWithCoder(KeyedUnarchiver& coder)
{
    ComicStack::initWithCoder(coder);
    // A panel the rows or the other list took already, or one listed twice, would get two owners.
    if (coder.containsValueForKey(kInsetPanelsArchiveKey))
        m_insetPanels.adoptDecoded(coder, decodePanels(coder, kInsetPanelsArchiveKey));
    if (coder.containsValueForKey(kFloatingPanelsArchiveKey))
        m_floatingPanels.adoptDecoded(coder, decodePanels(coder, kFloatingPanelsArchiveKey));
    m_floatingElements.adoptDecoded(
        coder, zdlDecodeElementsOfClasses(coder, comicElementClassNames(), kFloatingElementsArchiveKey));
    m_topMargin = decodeMargin(coder, kTopMarginArchiveKey);
    m_leftMargin = decodeMargin(coder, kLeftMarginArchiveKey);
    m_rightMargin = decodeMargin(coder, kRightMarginArchiveKey);
    m_bottomMargin = decodeMargin(coder, kBottomMarginArchiveKey);
    if (structureElementCount() > kMaxStructureElements)
        tooManyStructureElements();
    return shared_from_this();
}

// --- Parent ---

void ComicPage::setChildren(const ElementList& children)
{
    m_floatingElements.adopt(
        m_floatingElements.acceptable(children, GraphicElementChildren::Repeats::Refused));
}

ObjectPtr ComicPage::getChildAt(const QPointF& point, float viewScale) const
{
    return topmostContaining(m_floatingElements.items(), point, viewScale);
}

QRectF ComicPage::getBounds() const
{
    return owner()->bounds();
}

QRectF ComicPage::getGeometryBounds() const
{
    return owner()->bounds();
}

QString ComicPage::displayName() const
{
    return localized("Free Objects");
}

QImage ComicPage::pathIcon() const
{
    static const QImage icon(QStringLiteral(":/images/free_objects.png"));
    return icon;
}

// --- Free panels ---

ComicPanelList ComicPage::freePanels() const
{
    ComicPanelList panels = m_insetPanels.items();
    panels.insert(panels.end(), m_floatingPanels.items().begin(), m_floatingPanels.items().end());
    return panels;
}

void ComicPage::setInsetPanels(const ComicPanelList& panels)
{
    m_insetPanels.adopt(m_insetPanels.acceptable(panels, decltype(m_insetPanels)::Repeats::Refused),
        decltype(m_insetPanels)::Leaving::ClearLinks);
    relinkFreePanels();
}

void ComicPage::setFloatingPanels(const ComicPanelList& panels)
{
    m_floatingPanels.adopt(m_floatingPanels.acceptable(panels, decltype(m_floatingPanels)::Repeats::Refused),
        decltype(m_floatingPanels)::Leaving::ClearLinks);
    relinkFreePanels();
}

void ComicPage::relinkFreePanels()
{
    for (const auto& panel : freePanels())
        panel->setParent(this);
}

bool ComicPage::panelIsInset(const ComicPanel& panel) const
{
    return listHolds(m_insetPanels.items(), panel);
}

bool ComicPage::panelIsFloating(const ComicPanel& panel) const
{
    return listHolds(m_floatingPanels.items(), panel);
}

std::vector<std::shared_ptr<ComicPanel>> ComicPage::getInsetPanelsAffecting(const ComicPanel& panel) const
{
    const ComicPanelList& insets = m_insetPanels.items();
    if (insets.empty())
        return {};
    const float gutter = owner()->panelGutter();
    auto candidates = insets.begin();
    float grow = gutter * 0.5f;
    if (panelIsInset(panel)) {
        // An inset panel is only cut by those in front of it.
        grow = gutter;
        candidates = std::find_if(insets.begin(), insets.end(), [&panel](const auto& member) {
            return member.get() == &panel;
        }) + 1;
    }
    const QRectF area = insetRect(panel.bounds(), -grow, -grow);
    const bool measured = m_insetBoundsWhileDrawing.size() == insets.size();
    std::vector<std::shared_ptr<ComicPanel>> found;
    for (auto it = candidates; it != insets.end(); ++it) {
        const QRectF bounds
            = measured ? m_insetBoundsWhileDrawing[std::size_t(it - insets.begin())] : (*it)->bounds();
        if (intersectsRect(bounds, area))
            found.push_back(*it);
    }
    return found;
}

namespace {

// The first panel after the given one in [first, last) whose bounds meet the area.
template <class Iterator>
std::shared_ptr<ComicPanel> firstMeetingAfter(
    Iterator first, Iterator last, const ComicPanel& panel, const QRectF& area)
{
    auto it = std::find_if(first, last, [&panel](const auto& member) { return member.get() == &panel; });
    if (it == last)
        return nullptr;
    for (++it; it != last; ++it) {
        if (intersectsRect((*it)->bounds(), area))
            return *it;
    }
    return nullptr;
}

} // namespace

std::shared_ptr<ComicPanel> ComicPage::panelToMovePanelInFrontOf(const ComicPanel& panel) const
{
    return panelToMovePanel(panel, true);
}

std::shared_ptr<ComicPanel> ComicPage::panelToMovePanelBehind(const ComicPanel& panel) const
{
    return panelToMovePanel(panel, false);
}

std::shared_ptr<ComicPanel> ComicPage::panelToMovePanel(const ComicPanel& panel, bool inFront) const
{
    const bool inset = panelIsInset(panel);
    if (!inset && !panelIsFloating(panel))
        return nullptr;
    const ComicPanelList& list = inset ? m_insetPanels.items() : m_floatingPanels.items();
    const double grow = inset ? owner()->panelGutter() : 0.0;
    const QRectF area = insetRect(panel.bounds(), -grow, -grow);
    return inFront ? firstMeetingAfter(list.begin(), list.end(), panel, area)
                   : firstMeetingAfter(list.rbegin(), list.rend(), panel, area);
}

// --- The whole page ---

ComicStack* ComicPage::page() const
{
    return const_cast<ComicPage*>(this);
}

std::size_t ComicPage::structureElementCount(std::size_t limit) const
{
    std::vector<const ComicStructureElement*> pending;
    for (const auto& row : contents())
        pending.push_back(row.get());
    for (const auto& panel : freePanels())
        pending.push_back(panel.get());
    std::size_t count = 0;
    while (!pending.empty() && count <= limit) {
        const ComicStructureElement* element = pending.back();
        pending.pop_back();
        ++count;
        for (const auto& child : element->contents())
            pending.push_back(child.get());
    }
    return count;
}

void ComicPage::getPanelsInArray(ComicStructureList& panels) const
{
    for (const auto& panel : m_floatingPanels.items())
        panels.push_back(panel);
    for (const auto& panel : m_insetPanels.items())
        panels.push_back(panel);
    ComicStack::getPanelsInArray(panels);
}

void ComicPage::notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object)
{
    // Copies: a notice may change what the page holds.
    const auto graphics = m_floatingElements.items();
    for (const ObjectPtr& element : graphics) {
        if (auto* graphic = asProtocol<GraphicElement>(element))
            graphic->notifyAllGraphicsOf(notice, object);
    }
    ComicStack::notifyAllGraphicsOf(notice, object);
    // Free panels hear what the panels of the rows hear: a zoom, a cache flush, a comic retiring.
    for (const auto& panel : freePanels())
        panel->notifyAllGraphicsOf(notice, object);
}

bool ComicPage::validateData()
{
    ComicStack::validateData();
    for (const auto& panel : freePanels())
        panel->validateData();
    m_floatingElements.removeInvalid(QStringLiteral("ComicPage validateData removing a floating element"),
        GraphicElementChildren::Leaving::ClearLinks);
    return true;
}

void ComicPage::retire()
{
    ComicStack::retire();
    for (const auto& panel : freePanels())
        panel->retire();
}

ElementList ComicPage::floatingPartsFromCharacter(const Object* character) const
{
    ElementList found;
    const ElementList parts = ArrayUtils::membersOfOfKindOfClass<Part>(
        ArrayUtils::flattenComicElementsArray(m_floatingElements.items()));
    for (const ObjectPtr& part : parts) {
        if (asProtocol<ComicElement>(part)->model() == character)
            found.append(part);
    }
    return found;
}

ElementList ComicPage::allComicElementsOfClass(const QString& className) const
{
    ElementList found;
    for (const ObjectPtr& element : ArrayUtils::flattenComicElementsArray(m_floatingElements.items())) {
        if (ArrayUtils::isKindOfClassNamed(element.get(), className))
            found.append(element);
    }
    return found;
}

ComicDocument* ComicPage::comicDocument() const
{
    return dynamic_cast<ComicDocument*>(owner()->document());
}

const PanelComicServices* ComicPage::comicServices() const
{
    return dynamic_cast<const PanelComicServices*>(owner());
}

} // namespace zandrel
