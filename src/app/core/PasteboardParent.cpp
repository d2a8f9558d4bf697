#include "app/core/PasteboardParent.h"

#include "app/core/FileFormat.h"
#include "app/core/PartsPrintView.h"
#include "app/core/ZDLAppController.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/ImageElement.h"
#include "charmodel/Part.h"
#include "charmodel/PartAlias.h"
#include "charmodel/PartElement.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/ComicModelClasses.h"
#include "comicmodel/Group.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/ZDLContext.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/CurrentCanvas.h"
#include "platform/Exception.h"
#include "platform/Geometry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/PainterCanvas.h"

#include <QSet>
#include <cmath>

namespace zandrel {

namespace {

const QString kObjectsKey = QStringLiteral("objects");
const QString kClickPtXKey = QStringLiteral("clickPtX");
const QString kClickPtYKey = QStringLiteral("clickPtY");
const QString kCharacterIdKey = QStringLiteral("characterId");
const QString kColorsKey = QStringLiteral("colors");

// The classes a payload's children may have (their subclasses included).
QStringList childClasses()
{
    return { Part::kClassName, PartAlias::kClassName, PartElement::kClassName, ImageElement::kClassName,
        Group::kClassName, Balloon::kClassName, BalloonGroup::kClassName };
}

void registerClasses()
{
    ClassRegistry::shared().registerOnce(&registerPasteboardClasses);
}

// Elements that archive themselves while this lives add their character's identifier.
class WritingPasteboard {
public:
    WritingPasteboard() { appController()->setWritingPasteboard(true); }
    ~WritingPasteboard() { appController()->setWritingPasteboard(false); }
    WritingPasteboard(const WritingPasteboard&) = delete;
    WritingPasteboard& operator=(const WritingPasteboard&) = delete;
};

float finiteOrZero(float value)
{
    return std::isfinite(value) ? value : 0.0f;
}

} // namespace

void registerPasteboardClasses(ClassRegistry& registry)
{
    registerComicModelClasses(registry);
    registry.registerClass<PasteboardParent>(PasteboardParent::kClassName, PlatformClass::kObject);
}

PasteboardParentPtr PasteboardParent::initWithChildren(const ElementList& elements)
{
    auto payload = std::make_shared<PasteboardParent>();
    ElementList originals;
    for (const ObjectPtr& element : elements) {
        if (const auto* graphic = asProtocol<GraphicElement>(element)) {
            originals.append(element);
            payload->m_children.append(graphic->initByCopying());
        }
    }
    keepColorSetsOfBalloons(originals, payload->m_children);
    return payload;
}

void PasteboardParent::keepColorSetsOfBalloons(const ElementList& originals, const ElementList& copies)
{
    // A balloon finds its colour set through its parents, which a copy does not have: without the
    // link it would travel without the identifier of its colours, and its colours would be pasted
    // as strays of no palette.
    const ElementList from = ArrayUtils::flattenComicElementsArray(originals);
    const ElementList to = ArrayUtils::flattenComicElementsArray(copies);
    if (from.size() != to.size())
        return;
    for (qsizetype index = 0; index < from.size(); ++index) {
        const auto* original = dynamic_cast<const Balloon*>(from.at(index).get());
        auto* copy = dynamic_cast<Balloon*>(to.at(index).get());
        CharacterModel* colors = original && copy && !copy->storedModel() ? original->colorsModel() : nullptr;
        if (colors)
            copy->setModel(std::static_pointer_cast<CharacterModel>(colors->shared_from_this()));
    }
}

QString PasteboardParent::zdlObjectsType()
{
    return kBundleIdentifier + QStringLiteral(".objects");
}

QString PasteboardParent::objectsMimeType()
{
    return QStringLiteral("application/x-") + zdlObjectsType();
}

QString PasteboardParent::className() const
{
    return kClassName;
}

QRectF PasteboardParent::childrenBounds() const
{
    return ArrayUtils::getElementsBounds(m_children);
}

void PasteboardParent::ensureChildrenInRect(const QRectF& rect)
{
    const QRectF bounds = childrenBounds();
    if (intersectsRect(bounds, rect))
        return;
    const QPointF offset = centerOfRect(rect) - centerOfRect(bounds);
    for (const ObjectPtr& child : std::as_const(m_children)) {
        if (auto* graphic = asProtocol<GraphicElement>(child))
            graphic->offsetBy(offset, false);
    }
}

// --- Archive ---

void PasteboardParent::encodeWithCoder(KeyedArchiver& coder) const
{
    const WritingPasteboard writing;
    ValueList objects;
    for (const ObjectPtr& child : m_children)
        objects.append(Value(child));
    coder.encodeObject(Value(objects), kObjectsKey);
    coder.encodeFloat(static_cast<float>(m_clickPoint.x()), kClickPtXKey);
    coder.encodeFloat(static_cast<float>(m_clickPoint.y()), kClickPtYKey);
    if (!m_characterId.isEmpty())
        coder.encodeObject(Value(m_characterId), kCharacterIdKey);
    if (!m_colors.isEmpty()) {
        ValueList colors;
        for (const ZDLColorPtr& color : m_colors)
            colors.append(Value(color));
        coder.encodeObject(Value(colors), kColorsKey);
    }
}

ObjectPtr PasteboardParent::initWithCoder(KeyedUnarchiver& coder)
{
    // A child the file also placed inside another child, or listed twice, would be pasted twice
    // into one tree; one that does not validate is left out as a damaged file's would be.
    QSet<const Object*> seen;
    const PartPath::LooseValidation loose;
    for (const ObjectPtr& child : zdlDecodeElementsOfClasses(coder, childClasses(), kObjectsKey)) {
        auto* graphic = asProtocol<GraphicElement>(child);
        if (!graphic || graphic->parent() || seen.contains(child.get()) || coder.isDecoding(child))
            continue;
        seen.insert(child.get());
        if (graphic->validateData())
            m_children.append(child);
    }
    m_clickPoint = QPointF(finiteOrZero(coder.decodeFloatForKey(kClickPtXKey)),
        finiteOrZero(coder.decodeFloatForKey(kClickPtYKey)));
    if (coder.containsValueForKey(kCharacterIdKey))
        m_characterId = zdlDecodeObjectOfClass(coder, PlatformClass::kString, kCharacterIdKey).toString();
    if (coder.containsValueForKey(kColorsKey)) {
        const Value colors
            = zdlDecodeObjectOfClasses(coder, { PlatformClass::kArray, ZDLColor::kClassName }, kColorsKey);
        for (const Value& member : colors.toList()) {
            if (ZDLColorPtr color = member.toObject<ZDLColor>())
                m_colors.append(color);
        }
    }
    return shared_from_this();
}

QByteArray PasteboardParent::archivedData() const
{
    registerClasses();
    return KeyedArchiver::archivedDataWithRootObject(std::const_pointer_cast<Object>(shared_from_this()));
}

PasteboardParentPtr PasteboardParent::fromArchivedData(const QByteArray& data)
{
    if (data.isEmpty() || data.size() > ZDLDocument::kMaxFileBytes)
        return nullptr;
    registerClasses();
    try {
        return KeyedUnarchiver::unarchive(data, { kClassName }).toObject<PasteboardParent>();
    } catch (const Exception&) {
        return nullptr;
    }
}

// --- Renderings ---

QImage PasteboardParent::getImage() const
{
    return ArrayUtils::getImageForElements(m_children, 1.0f);
}

QByteArray PasteboardParent::getPDFData() const
{
    return PDFCopyView(m_children).pdfData();
}

} // namespace zandrel
