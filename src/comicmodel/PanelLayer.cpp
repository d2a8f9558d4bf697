#include "comicmodel/PanelLayer.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelServices.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/Log.h"

#include <QSet>

namespace zandrel {

namespace {

const QString kElements = QStringLiteral("elements");

// The classes a layer holds; balloons and groups are registered by their own files.
const QStringList& elementClassNames()
{
    static const QStringList names = { QStringLiteral("Part"), QStringLiteral("ImageElement"),
        QStringLiteral("Balloon"), QStringLiteral("Group") };
    return names;
}

} // namespace

PanelLayer::PanelLayer(const PanelLayer& other)
    : Object(other)
{
    m_elements.reserve(other.m_elements.size());
    for (const ObjectPtr& element : other.m_elements) {
        const auto* graphic = asProtocol<GraphicElement>(element);
        if (!graphic)
            continue;
        ObjectPtr copy = graphic->initByCopying();
        if (auto* linked = asProtocol<ModelElement>(copy)) {
            linked->setParent(this);
            m_elements.append(copy);
        }
    }
}

PanelLayer::~PanelLayer()
{
    // Elements still held elsewhere (an undo step, the pasteboard) must not point at a freed layer.
    for (const ObjectPtr& element : m_elements) {
        auto* linked = asProtocol<ModelElement>(element);
        if (linked && linked->parent() == this)
            linked->setParent(nullptr);
    }
}

std::shared_ptr<PanelLayer> PanelLayer::initWithChildren(const ElementList& children)
{
    auto layer = std::make_shared<PanelLayer>();
    layer->setChildren(children);
    return layer;
}

std::shared_ptr<PanelLayer> PanelLayer::initByCopying() const
{
    return std::make_shared<PanelLayer>(*this);
}

QString PanelLayer::className() const
{
    return QStringLiteral("PanelLayer");
}

void PanelLayer::encodeWithCoder(KeyedArchiver& coder) const
{
    ValueList list;
    list.reserve(m_elements.size());
    for (const ObjectPtr& element : m_elements)
        list.append(Value(element));
    coder.encodeObject(Value(list), kElements);
}

ObjectPtr PanelLayer::initWithCoder(KeyedUnarchiver& coder)
{
    adoptDecodedElements(coder, kElements);
    return shared_from_this();
}

std::shared_ptr<PanelLayer> PanelLayer::initWithDecodedChildren(KeyedUnarchiver& coder, const QString& key)
{
    auto layer = std::make_shared<PanelLayer>();
    layer->adoptDecodedElements(coder, key);
    return layer;
}

void PanelLayer::adoptDecodedElements(KeyedUnarchiver& coder, const QString& key)
{
    m_elements.clear();
    QSet<const Object*> seen;
    for (const ObjectPtr& element : zdlDecodeElementsOfClasses(coder, elementClassNames(), key)) {
        auto* linked = asProtocol<ModelElement>(element);
        // An element still being decoded is an ancestor of the layer, and one that another
        // container already adopted, or that is listed twice, would get two owners.
        if (!linked || !asProtocol<GraphicElement>(element) || coder.isDecoding(element) || linked->parent()
            || seen.contains(element.get()))
            continue;
        seen.insert(element.get());
        linked->setParent(this);
        m_elements.append(element);
    }
}

void PanelLayer::setChildren(const ElementList& children)
{
    ElementList kept;
    kept.reserve(children.size());
    for (const ObjectPtr& element : children) {
        if (!asProtocol<ModelElement>(element) || !asProtocol<GraphicElement>(element)
            || kept.contains(element))
            continue;
        kept.append(element);
    }
    m_elements = kept;
    for (const ObjectPtr& element : m_elements)
        asProtocol<ModelElement>(element)->setParent(this);
}

ObjectPtr PanelLayer::getChildAt(const QPointF& point, float viewScale) const
{
    for (auto it = m_elements.crbegin(); it != m_elements.crend(); ++it) {
        const auto* graphic = asProtocol<GraphicElement>(*it);
        if (graphic && graphic->containsPt(point, viewScale))
            return *it;
    }
    return nullptr;
}

QRectF PanelLayer::getBounds() const
{
    return m_parent ? m_parent->getBounds() : QRectF();
}

QRectF PanelLayer::getGeometryBounds() const
{
    return m_parent ? m_parent->getGeometryBounds() : QRectF();
}

QString PanelLayer::displayName() const
{
    return localized("Comic");
}

QImage PanelLayer::pathIcon() const
{
    static const QImage icon(QStringLiteral(":/images/path_comic.png"));
    return icon;
}

QRectF PanelLayer::getInvalidationBounds() const
{
    return m_parent ? m_parent->getInvalidationBounds() : QRectF();
}

ElementList PanelLayer::allComicElementsOfClass(const QString& className) const
{
    ElementList found;
    for (const ObjectPtr& element : ArrayUtils::flattenComicElementsArray(m_elements)) {
        if (ArrayUtils::isKindOfClassNamed(element.get(), className))
            found.append(element);
    }
    return found;
}

bool PanelLayer::validateData()
{
    for (auto i = m_elements.size() - 1; i >= 0; --i) {
        auto* graphic = asProtocol<GraphicElement>(m_elements.at(i));
        if (!graphic || !graphic->validateData()) {
            // The layer may not outlive an element it no longer lists.
            auto* linked = asProtocol<ModelElement>(m_elements.at(i));
            if (linked && linked->parent() == this)
                linked->setParent(nullptr);
            m_elements.removeAt(i);
            zdlLog(QStringLiteral("Group validateData removing a ComicElement"));
        }
    }
    return !m_elements.isEmpty();
}

void PanelLayer::retire()
{
    // Retiring ends the tree's links: an element that outlives the layer (held by an undo step)
    // must not point at it.
    for (const ObjectPtr& element : m_elements) {
        auto* linked = asProtocol<ModelElement>(element);
        if (linked && linked->parent() == this)
            linked->setParent(nullptr);
    }
    m_elements.clear();
}

CharacterModel* PanelLayer::comicColorsModel() const
{
    const PanelComicServices* comic = m_parent ? m_parent->comicServices() : nullptr;
    return comic ? comic->comicColorsModel() : nullptr;
}

void registerPanelClasses(ClassRegistry& registry)
{
    registry.registerClass<PanelLayer>(QStringLiteral("PanelLayer"), QStringLiteral("NSObject"));
    registry.registerClass<ComicPanel>(QStringLiteral("ComicPanel"), QStringLiteral("ComicStructureElement"));
    ImageElement::setPanelLayerModelLookup([](const Object& layer) -> Object* {
        const auto* panelLayer = dynamic_cast<const PanelLayer*>(&layer);
        CharacterModel* colors = panelLayer ? panelLayer->comicColorsModel() : nullptr;
        return colors;
    });
}

} // namespace zandrel
