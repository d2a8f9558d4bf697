#include "comicmodel/ComicStructureElement.h"

#include "app/core/ZDLDocument.h"
#include "comicmodel/ComicRow.h"
#include "comicmodel/ComicStack.h"
#include "graphics/BoundsAccumulator.h"
#include "graphics/CoderExtensions.h"
#include "graphics/GraphicUtils.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/Exception.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Log.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace zandrel {

namespace {

// Archive keys.
const QString kTopLeftXArchiveKey = QStringLiteral("tlx");
const QString kTopLeftYArchiveKey = QStringLiteral("tly");
const QString kTopRightXArchiveKey = QStringLiteral("trx");
const QString kTopRightYArchiveKey = QStringLiteral("try");
const QString kBottomLeftXArchiveKey = QStringLiteral("blx");
const QString kBottomLeftYArchiveKey = QStringLiteral("bly");
const QString kBottomRightXArchiveKey = QStringLiteral("brx");
const QString kBottomRightYArchiveKey = QStringLiteral("bry");
const QString kContentsArchiveKey = QStringLiteral("contents");

// How far beyond the gutter a corner can still be grabbed.
constexpr float kCornerGrabMargin = 10.0f;

// Indexed by part - 1 and part - 3: the neighbour's part that moves with a dragged one.
constexpr std::array<qint32, 8> kRowCorrespondingParts = { 2, 1, 0, 0, 6, 5, 8, 7 };
constexpr std::array<qint32, 6> kStackCorrespondingParts = { 4, 3, 7, 8, 5, 6 };

QPointF decodeCorner(KeyedUnarchiver& coder, const QString& xKey, const QString& yKey)
{
    return QPointF(finiteOrZero(coder.decodeFloatForKey(xKey)), finiteOrZero(coder.decodeFloatForKey(yKey)));
}

void encodeCorner(KeyedArchiver& coder, const QPointF& corner, const QString& xKey, const QString& yKey)
{
    coder.encodeFloat(float(corner.x()), xKey);
    coder.encodeFloat(float(corner.y()), yKey);
}

// Holds the nesting of structure elements decoding on this thread and the heights of the subtrees
// they finished, so that a file's nesting is bounded by kMaxNestingDepth whatever the stack, and
// each subtree is measured once. A child that was decoded outside structure decoding is measured
// by a walk of its own.
class NestingGuard {
public:
    NestingGuard()
    {
        if (++s_active > ComicStructureElement::kMaxNestingDepth)
            tooDeep();
    }
    ~NestingGuard()
    {
        if (--s_active == 0)
            s_heights.clear();
    }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;

    // Records the element's height and refuses one nested too deeply.
    static void finish(const ComicStructureElement& element)
    {
        int below = 0;
        for (const auto& child : element.contents())
            below = std::max(below, heightOf(*child));
        if (below + 1 > ComicStructureElement::kMaxNestingDepth)
            tooDeep();
        const auto self = std::static_pointer_cast<const ComicStructureElement>(element.shared_from_this());
        s_heights.insert(&element, { self, below + 1 });
    }

private:
    struct Height {
        // Tells a recorded element from a later one at the same address.
        std::weak_ptr<const ComicStructureElement> element;
        int height;
    };

    [[noreturn]] static void tooDeep()
    {
        Exception::raise(
            kInvalidArchiveException, QStringLiteral("Structure elements are nested too deeply."));
    }

    static int heightOf(const ComicStructureElement& element)
    {
        const auto found = s_heights.constFind(&element);
        if (found != s_heights.cend() && found->element.lock().get() == &element)
            return found->height;
        int height = 0;
        std::vector<std::pair<const ComicStructureElement*, int>> pending { { &element, 1 } };
        while (!pending.empty()) {
            const auto [next, depth] = pending.back();
            pending.pop_back();
            height = std::max(height, depth);
            for (const auto& child : next->contents())
                pending.emplace_back(child.get(), depth + 1);
        }
        return height;
    }

    static thread_local int s_active;
    static thread_local QHash<const ComicStructureElement*, Height> s_heights;
};

thread_local int NestingGuard::s_active = 0;
thread_local QHash<const ComicStructureElement*, NestingGuard::Height> NestingGuard::s_heights;

} // namespace

const PropertyTable& ComicStructureElement::staticPropertyTable()
{
    using E = ComicStructureElement;
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<E>(kTopLeftKey, &E::topLeft, &E::setTopLeft),
            property<E>(kTopRightKey, &E::topRight, &E::setTopRight),
            property<E>(kBottomLeftKey, &E::bottomLeft, &E::setBottomLeft),
            property<E>(kBottomRightKey, &E::bottomRight, &E::setBottomRight),
        });
    return table;
}

ComicStructureElement::ComicStructureElement(const ComicStructureElement& other)
    : Object(other)
    , m_contents(this, other.m_contents)
    , m_topLeft(other.m_topLeft)
    , m_topRight(other.m_topRight)
    , m_bottomLeft(other.m_bottomLeft)
    , m_bottomRight(other.m_bottomRight)
{
}

void ComicStructureElement::initWithRect(const QRectF& rect, ComicStructureElement* parent)
{
    m_parent = parent;
    m_topLeft = QPointF(rect.x(), rect.y());
    m_topRight = QPointF(rect.x() + rect.width(), rect.y());
    m_bottomLeft = QPointF(rect.x(), rect.y() + rect.height());
    m_bottomRight = QPointF(rect.x() + rect.width(), rect.y() + rect.height());
}

ObjectPtr ComicStructureElement::initByCopying() const
{
    return std::make_shared<ComicStructureElement>(*this);
}

QString ComicStructureElement::className() const
{
    return kClassName;
}

void ComicStructureElement::encodeWithCoder(KeyedArchiver& coder) const
{
    encodeCorner(coder, m_topLeft, kTopLeftXArchiveKey, kTopLeftYArchiveKey);
    encodeCorner(coder, m_topRight, kTopRightXArchiveKey, kTopRightYArchiveKey);
    encodeCorner(coder, m_bottomLeft, kBottomLeftXArchiveKey, kBottomLeftYArchiveKey);
    encodeCorner(coder, m_bottomRight, kBottomRightXArchiveKey, kBottomRightYArchiveKey);
    ValueList children;
    children.reserve(qsizetype(m_contents.size()));
    for (const auto& child : m_contents.items())
        children.append(Value(ObjectPtr(child)));
    coder.encodeObject(Value(children), kContentsArchiveKey);
}

ObjectPtr ComicStructureElement::initWithCoder(KeyedUnarchiver& coder)
{
    const NestingGuard nesting;
    m_topLeft = decodeCorner(coder, kTopLeftXArchiveKey, kTopLeftYArchiveKey);
    m_topRight = decodeCorner(coder, kTopRightXArchiveKey, kTopRightYArchiveKey);
    m_bottomLeft = decodeCorner(coder, kBottomLeftXArchiveKey, kBottomLeftYArchiveKey);
    m_bottomRight = decodeCorner(coder, kBottomRightXArchiveKey, kBottomRightYArchiveKey);

    const Value decoded = zdlDecodeObjectOfClasses(
        coder, { PlatformClass::kArray, ComicStructureElement::kClassName }, kContentsArchiveKey);
    ComicStructureList members;
    for (const Value& member : decoded.toList())
        members.push_back(member.toObject<ComicStructureElement>());
    m_contents.adoptDecoded(coder, members);
    NestingGuard::finish(*this);
    return shared_from_this();
}

void ComicStructureElement::retire()
{
    for (const auto& child : m_contents.items())
        child->retire();
}

bool ComicStructureElement::validateData()
{
    m_contents.removeInvalid(
        QStringLiteral("ComicStructureElement validateData removing a ComicStructureElement"),
        decltype(m_contents)::Leaving::ClearLinks);
    return true;
}

int ComicStructureElement::indexOfChild(const ComicStructureElement* child) const
{
    const ComicStructureList& contents = m_contents.items();
    for (size_t i = 0; i < contents.size(); ++i) {
        if (contents[i].get() == child)
            return int(i);
    }
    return -1;
}

void ComicStructureElement::setContents(const ComicStructureList& contents)
{
    using Children = decltype(m_contents);
    m_contents.adopt(
        m_contents.acceptable(contents, Children::Repeats::Refused), Children::Leaving::ClearLinks);
}

void ComicStructureElement::appendChild(const std::shared_ptr<ComicStructureElement>& child)
{
    m_contents.append(child);
}

std::shared_ptr<ComicStructureElement> ComicStructureElement::self() const
{
    return std::static_pointer_cast<ComicStructureElement>(
        std::const_pointer_cast<Object>(weak_from_this().lock()));
}

ComicStructureElement* ComicStructureElement::owner() const
{
    const ComicStructureElement* root = this;
    while (root->m_parent)
        root = root->m_parent;
    return const_cast<ComicStructureElement*>(root);
}

ComicStack* ComicStructureElement::page() const
{
    return m_parent ? m_parent->page() : nullptr;
}

ComicStack* ComicStructureElement::getPage() const
{
    for (const ComicStructureElement* link = this; link; link = link->m_parent) {
        if (link->isComicPage())
            return dynamic_cast<ComicStack*>(const_cast<ComicStructureElement*>(link));
    }
    return nullptr;
}

ComicRow* ComicStructureElement::getTopLevelRowContainer() const
{
    for (const ComicStructureElement* link = this; link; link = link->m_parent) {
        auto* row = dynamic_cast<const ComicRow*>(link);
        if (row && link->m_parent && link->m_parent->isComicPage())
            return const_cast<ComicRow*>(row);
    }
    return nullptr;
}

void ComicStructureElement::fixParents()
{
    for (const auto& child : m_contents.items()) {
        child->setParent(this);
        child->fixParents();
    }
}

std::shared_ptr<ComicStructureElement> ComicStructureElement::getElementBefore(
    const ComicStructureElement* child) const
{
    const ComicStructureList& contents = m_contents.items();
    for (size_t i = 1; i < contents.size(); ++i) {
        if (contents[i].get() == child)
            return contents[i - 1];
    }
    return nullptr;
}

std::shared_ptr<ComicStructureElement> ComicStructureElement::getElementAfter(
    const ComicStructureElement* child) const
{
    const ComicStructureList& contents = m_contents.items();
    for (size_t i = 0; i + 1 < contents.size(); ++i) {
        if (contents[i].get() == child)
            return contents[i + 1];
    }
    return nullptr;
}

std::shared_ptr<ComicStructureElement> ComicStructureElement::firstPanel() const
{
    for (const auto& child : m_contents.items()) {
        if (auto panel = child->firstPanel())
            return panel;
    }
    return nullptr;
}

std::shared_ptr<ComicStructureElement> ComicStructureElement::lastPanel() const
{
    for (auto it = m_contents.items().rbegin(); it != m_contents.items().rend(); ++it) {
        if (auto panel = (*it)->lastPanel())
            return panel;
    }
    return nullptr;
}

void ComicStructureElement::getPanelsInArray(ComicStructureList& panels) const
{
    for (const auto& child : m_contents.items())
        child->getPanelsInArray(panels);
}

void ComicStructureElement::notifyAllGraphicsOf(GraphicNotice notice, GraphicManipulator* object)
{
    for (const auto& child : m_contents.items())
        child->notifyAllGraphicsOf(notice, object);
}

QRectF ComicStructureElement::bounds() const
{
    BoundsAccumulator acc;
    boundsAccumulatorInit(&acc);
    boundsAccumulatorAddPoint(&acc, m_topLeft);
    boundsAccumulatorAddPoint(&acc, m_topRight);
    boundsAccumulatorAddPoint(&acc, m_bottomLeft);
    boundsAccumulatorAddPoint(&acc, m_bottomRight);
    return boundsAccumulatorRect(&acc);
}

bool ComicStructureElement::contains(const QPointF& point) const
{
    return isPointRightOfLine(m_topLeft, m_bottomLeft, point)
        && isPointRightOfLine(m_bottomLeft, m_bottomRight, point)
        && isPointRightOfLine(m_bottomRight, m_topRight, point)
        && isPointRightOfLine(m_topRight, m_topLeft, point);
}

std::shared_ptr<ComicStructureElement> ComicStructureElement::getDeepestElementAt(const QPointF& point) const
{
    if (!contains(point))
        return nullptr;
    for (const auto& child : m_contents.items()) {
        if (auto deepest = child->getDeepestElementAt(point))
            return deepest;
    }
    return self();
}

QSizeF ComicStructureElement::minimumSize() const
{
    return QSizeF(0, 0);
}

QPointF ComicStructureElement::childrenTopLeft() const
{
    return m_topLeft;
}

QPointF ComicStructureElement::childrenTopRight() const
{
    return m_topRight;
}

QPointF ComicStructureElement::childrenBottomLeft() const
{
    return m_bottomLeft;
}

QPointF ComicStructureElement::childrenBottomRight() const
{
    return m_bottomRight;
}

void ComicStructureElement::drawIn(ZDLContext& context, const QRectF& dirtyRect)
{
    const bool everything = owner()->focusOnPanel();
    // A copy: drawing must not be upset by a child list that changes underneath.
    const ComicStructureList children = m_contents.items();
    for (const auto& child : children) {
        if (everything) {
            child->drawIn(context, dirtyRect);
            continue;
        }
        const QRectF drawn = child->drawnBounds();
        if (intersectsRect(drawn, dirtyRect) && context.canShow(drawn))
            child->drawIn(context, dirtyRect);
    }
}

QRectF ComicStructureElement::drawnBounds() const
{
    QRectF drawn = bounds();
    for (const auto& child : m_contents.items())
        drawn = unionRect(drawn, child->drawnBounds());
    return drawn;
}

void ComicStructureElement::setTopLeftTopRightBottomLeftBottomRight(
    const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft, const QPointF& bottomRight)
{
    undoableSetTopLeft(topLeft, topRight, bottomLeft, bottomRight);
}

void ComicStructureElement::undoableSetTopLeft(
    const QPointF& topLeft, const QPointF& topRight, const QPointF& bottomLeft, const QPointF& bottomRight)
{
    ZDLDocument* document = owner()->document();
    const auto target = self();
    if (!document || !target)
        return;
    struct Change {
        const QString& key;
        QPointF current;
        QPointF wanted;
    };
    const std::array<Change, 4> changes = { {
        { kTopLeftKey, m_topLeft, topLeft },
        { kTopRightKey, m_topRight, topRight },
        { kBottomLeftKey, m_bottomLeft, bottomLeft },
        { kBottomRightKey, m_bottomRight, bottomRight },
    } };
    for (const Change& change : changes) {
        if (!equalPoints(change.current, change.wanted))
            document->undoableSetPropertyFor(target, change.key, Value(change.wanted));
    }
}

void ComicStructureElement::copyCornersOf(const ComicStructureElement& other)
{
    setTopLeftTopRightBottomLeftBottomRight(
        other.topLeft(), other.topRight(), other.bottomLeft(), other.bottomRight());
}

void ComicStructureElement::setTopLeft(const QPointF& point)
{
    m_topLeft = point;
}

void ComicStructureElement::setTopRight(const QPointF& point)
{
    m_topRight = point;
}

void ComicStructureElement::setBottomLeft(const QPointF& point)
{
    m_bottomLeft = point;
}

void ComicStructureElement::setBottomRight(const QPointF& point)
{
    m_bottomRight = point;
}

FramePart ComicStructureElement::getFramePart(const QPointF& point) const
{
    const float gutter = owner()->panelGutter();
    const float radius = gutter + kCornerGrabMargin;
    const std::array<std::pair<QPointF, FramePart>, 4> corners = { {
        { m_topLeft, FramePart::TopLeft },
        { m_bottomLeft, FramePart::BottomLeft },
        { m_topRight, FramePart::TopRight },
        { m_bottomRight, FramePart::BottomRight },
    } };
    for (const auto& [corner, part] : corners) {
        if (distanceBetweenPoints(corner, point) < radius)
            return part;
    }
    if (isPointNearSegment(m_topLeft, m_bottomLeft, point, gutter))
        return FramePart::LeftEdge;
    if (isPointNearSegment(m_bottomLeft, m_bottomRight, point, gutter))
        return FramePart::BottomEdge;
    if (isPointNearSegment(m_bottomRight, m_topRight, point, gutter))
        return FramePart::RightEdge;
    if (isPointNearSegment(m_topRight, m_topLeft, point, gutter))
        return FramePart::TopEdge;
    return FramePart::None;
}

int ComicStructureElement::editingPriorityOf(FramePart part)
{
    const int code = int(part);
    if (code >= 5)
        return 2;
    return code >= 1 ? 1 : 0;
}

bool ComicStructureElement::canEditChild(const ComicStructureElement* /*child*/, FramePart /*part*/) const
{
    return false;
}

ContentArrangement ComicStructureElement::contentArrangement() const
{
    return ContentArrangement::None;
}

FramePart ComicStructureElement::getCorrespondingFramePart(FramePart part) const
{
    const int code = int(part);
    switch (contentArrangement()) {
    case ContentArrangement::SideBySide:
        if (code >= 1 && code - 1 < int(kRowCorrespondingParts.size()))
            return FramePart(kRowCorrespondingParts[size_t(code - 1)]);
        return FramePart::None;
    case ContentArrangement::StackedTopToBottom:
        if (code >= 3 && code - 3 < int(kStackCorrespondingParts.size()))
            return FramePart(kStackCorrespondingParts[size_t(code - 3)]);
        return FramePart::None;
    case ContentArrangement::None:
        break;
    }
    return FramePart::None;
}

ZDLDocument* ComicStructureElement::document() const
{
    return nullptr;
}

float ComicStructureElement::panelGutter() const
{
    return 0.0f;
}

bool ComicStructureElement::focusOnPanel() const
{
    return false;
}

bool ComicStructureElement::isComicPage() const
{
    return false;
}

void registerComicStructureClasses(ClassRegistry& registry)
{
    registry.registerClass<ComicStructureElement>(ComicStructureElement::kClassName, PlatformClass::kObject);
    registry.registerClass<ComicStack>(ComicStack::kClassName, ComicStructureElement::kClassName);
    registry.registerClass<ComicRow>(ComicRow::kClassName, ComicStructureElement::kClassName);
}

} // namespace zandrel
