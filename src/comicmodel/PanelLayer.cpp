#include "comicmodel/PanelLayer.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "comicmodel/ComicElementClassNames.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelServices.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/DrawingSplit.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/Log.h"

#include <QSet>

namespace zandrel {

namespace {

// Archive key.
const QString kElementsArchiveKey = QStringLiteral("elements");

// The classes a layer holds; balloons and groups are registered by their own files.
const QStringList& elementClassNames()
{
    static const QStringList names = comicElementClassNames();
    return names;
}

} // namespace

PanelLayer::PanelLayer(const PanelLayer& other)
    : Object(other)
    , m_elements(this, other.m_elements)
{
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
    return kClassName;
}

void PanelLayer::encodeWithCoder(KeyedArchiver& coder) const
{
    ValueList list;
    list.reserve(m_elements.items().size());
    for (const ObjectPtr& element : m_elements.items())
        list.append(Value(element));
    coder.encodeObject(Value(list), kElementsArchiveKey);
}

ObjectPtr PanelLayer::initWithCoder(KeyedUnarchiver& coder)
{
    adoptDecodedElements(coder, kElementsArchiveKey);
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
    m_elements.adoptDecoded(coder, zdlDecodeElementsOfClasses(coder, elementClassNames(), key));
}

// Elements that leave keep their link to the layer.
void PanelLayer::setChildren(const ElementList& children)
{
    m_elements.adopt(m_elements.acceptable(children, GraphicElementChildren::Repeats::Refused));
}

ObjectPtr PanelLayer::getChildAt(const QPointF& point, float viewScale) const
{
    return topmostContaining(m_elements.items(), point, viewScale);
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
    for (const ObjectPtr& element : ArrayUtils::flattenComicElementsArray(m_elements.items())) {
        if (ArrayUtils::isKindOfClassNamed(element.get(), className))
            found.append(element);
    }
    return found;
}

bool PanelLayer::validateData()
{
    // The layer may not outlive an element it no longer lists.
    m_elements.removeInvalid(QStringLiteral("Group validateData removing a ComicElement"),
        GraphicElementChildren::Leaving::ClearLinks);
    return !m_elements.isEmpty();
}

// Retiring ends the tree's links: an element that outlives the layer (held by an undo step) must
// not point at it.
void PanelLayer::retire()
{
    m_elements.clear();
    m_runCache->reset();
}

void PanelLayer::drawElementsIn(ZDLContext& context)
{
    if (DrawingSplit* split = context.split()) {
        split->drawLayer(*this, m_elements.items(),
            [&](const ElementList& elements) { m_runCache->drawElements(elements, context, false); });
        return;
    }
    m_runCache->drawElements(m_elements.items(), context);
}

CharacterModel* PanelLayer::comicColorsModel() const
{
    const PanelComicServices* comic = m_parent ? m_parent->comicServices() : nullptr;
    return comic ? comic->comicColorsModel().get() : nullptr;
}

void registerPanelClasses(ClassRegistry& registry)
{
    registry.registerClass<PanelLayer>(PanelLayer::kClassName, PlatformClass::kObject);
    registry.registerClass<ComicPanel>(ComicPanel::kClassName, ComicStructureElement::kClassName);
    ImageElement::setPanelLayerModelLookup([](const Object& layer) -> Object* {
        const auto* panelLayer = dynamic_cast<const PanelLayer*>(&layer);
        CharacterModel* colors = panelLayer ? panelLayer->comicColorsModel() : nullptr;
        return colors;
    });
}

} // namespace zandrel
