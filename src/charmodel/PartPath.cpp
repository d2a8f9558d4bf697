#include "charmodel/PartPath.h"

#include "charmodel/CharXMLNames.h"
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/ColorFill.h"
#include "graphics/GraphicUtils.h"
#include "graphics/PathBuilders.h"
#include "graphics/StyleKeys.h"
#include "platform/ArchiveNames.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/Log.h"

#include <QRegularExpression>
#include <cmath>

namespace zandrel {

namespace {

// The application image shown beside the editing level.
const QString kIconName = QStringLiteral("path_path");

using namespace stylekeys;

// The XML format gives adjustments and blurs in hundredths.
constexpr float kXmlPercent = 100.0f;

// Numbers of the XML import read leniently: anything unreadable or not finite is 0.
float xmlFloat(const QString& text)
{
    bool ok = false;
    const float value = text.trimmed().toFloat(&ok);
    return ok ? finiteOrZero(value) : 0.0f;
}

std::vector<CurvePtr> toVector(const QList<CurvePtr>& curves)
{
    return std::vector<CurvePtr>(curves.begin(), curves.end());
}

} // namespace

const PropertyTable& PartPath::staticPropertyTable()
{
    static const PropertyTable table(&PartElement::staticPropertyTable(), [] {
        std::vector<Property> properties {
            property<PartPath>(
                kSegmentsKey, [](const PartPath& path) { return toVector(path.segments()); },
                [](PartPath& path, const std::vector<CurvePtr>& curves) {
                    path.setSegments(QList<CurvePtr>(curves.begin(), curves.end()));
                }),
        };
        for (Property& style : styleProperties())
            properties.push_back(std::move(style));
        properties.push_back(property<PartPath>(kFillColor, &PartPath::fillColor, &PartPath::setFillColor));
        properties.push_back(
            property<PartPath>(kFillColorAdjust, &PartPath::fillColorAdjust, &PartPath::setFillColorAdjust));
        properties.push_back(property<PartPath>(
            kFillType, [](const PartPath& path) { return static_cast<int>(path.fillType()); },
            [](PartPath& path, int type) { path.setFillType(type); }));
        properties.push_back(
            property<PartPath>(kFillGradient, &PartPath::fillGradient, &PartPath::setFillGradient));
        properties.push_back(
            property<PartPath>(kContentVisibleKey, &PartPath::contentVisible, &PartPath::setContentVisible));
        return properties;
    }());
    return table;
}

PartPath::PartPath() = default;

PartPath::PartPath(const PartPath& other)
    : PartElement(other)
    , PathSegments(other)
    , StyleHolder(other)
{
    // A group's first path holds the whole group's image, which the lone copy must not show as
    // its own.
    if (!other.m_blurMaster) {
        m_filteredImage = other.m_filteredImage;
        m_filteredOffset = other.m_filteredOffset;
    }
}

PartPath::~PartPath()
{
    leaveBlurGroup();
}

PartPathPtr PartPath::initWithXMLAttributes(
    const QMap<QString, QString>& attributes, const ColorLookup& colorFromName)
{
    auto path = std::make_shared<PartPath>();
    using X = CharXML;
    const bool closed = attributes.value(X::kClosedAttribute) == X::kTrue;
    path->takeCurves(curvesFromCurveData(attributes.value(X::kCurveDataAttribute), closed));
    auto colorNamed
        = [&](const QString& key) { return colorFromName ? colorFromName(attributes.value(key)) : nullptr; };
    if (attributes.contains(X::kColorAttribute))
        path->setFillColor(colorNamed(X::kColorAttribute));
    if (attributes.contains(X::kLineColorAttribute))
        path->setLineColor(colorNamed(X::kLineColorAttribute));
    if (attributes.contains(X::kColorAdjustAttribute))
        path->setFillColorAdjust(xmlFloat(attributes.value(X::kColorAdjustAttribute)) / kXmlPercent);
    if (attributes.contains(X::kLineColorAdjustAttribute))
        path->setLineColorAdjust(xmlFloat(attributes.value(X::kLineColorAdjustAttribute)) / kXmlPercent);
    if (attributes.contains(X::kLineWeightAttribute))
        path->setLineWeight(xmlFloat(attributes.value(X::kLineWeightAttribute)));
    if (attributes.contains(X::kFillAlphaAttribute))
        path->setFillAlpha(xmlFloat(attributes.value(X::kFillAlphaAttribute)));
    if (attributes.contains(X::kBlurAttribute))
        path->setBlur(xmlFloat(attributes.value(X::kBlurAttribute)) / kXmlPercent);
    return path;
}

QList<CurvePtr> PartPath::curvesFromCurveData(const QString& curveData, bool closed)
{
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    QList<CurvePtr> curves;
    if (curveData.isEmpty())
        return curves;
    for (const QString& text : curveData.split(QLatin1Char('|'))) {
        auto curve = std::make_shared<Curve>();
        const QStringList tokens = text.split(blanks, Qt::SkipEmptyParts);
        // A trailing incomplete triple has no reading: it is dropped, the rest of the curve kept.
        for (qsizetype i = 0; i + 2 < tokens.size(); i += 3) {
            const bool onCurve = tokens.at(i) != CharXML::kControlPointKind;
            curve->addPointAtX(xmlFloat(tokens.at(i + 1)), xmlFloat(tokens.at(i + 2)), onCurve);
        }
        curve->setClosed(closed);
        curves.append(curve);
    }
    return curves;
}

QString PartPath::className() const
{
    return kClassName;
}

void PartPath::encodeWithCoder(KeyedArchiver& coder) const
{
    PartElement::encodeWithCoder(coder);
    coder.encodeObject(archivedCurves(), kSegmentsArchiveKey);
    encodeStyleFieldsInArchiveOrder(coder, m_style);
}

ObjectPtr PartPath::initWithCoder(KeyedUnarchiver& coder)
{
    PartElement::initWithCoder(coder);
    const Value curves
        = zdlDecodeObjectOfClasses(coder, { PlatformClass::kArray, Curve::kClassName }, kSegmentsArchiveKey);
    takeCurves(decodedCurves(coder, curves.toList()));
    // Only the line opacity defaults to opaque; older files without "fillAlpha" read 0.
    decodeStyleFieldsInArchiveOrder(coder, m_style, StyleFieldReading { .checksPresence = true });
    if (!m_style.fill) {
        // Files from before fills were objects keep the colour and its adjustment as keys of their
        // own. A fill of a refused class reads the same way, so a path always has a fill.
        auto colorFill = std::make_shared<ColorFill>();
        colorFill->setFillColor(
            zdlDecodeObjectOfClass(coder, ZDLColor::kClassName, kFillColor).toObject<ZDLColor>());
        colorFill->setFillColorAdjust(finiteOrZero(coder.decodeFloatForKey(kFillColorAdjust)));
        m_style.fill = colorFill;
    }
    m_contentVisible = true;
    return shared_from_this();
}

ObjectPtr PartPath::initByCopying() const
{
    return std::make_shared<PartPath>(*this);
}

// --- Path ---

void PartPath::changeSegments(const std::function<void()>& change)
{
    changeValueForKey(kSegmentsKey, [&] {
        change();
        flushCache();
    });
}

CanvasPath PartPath::createCGPath() const
{
    return createCGPathFromDrawCommands(getDrawCommands());
}

const CanvasPath& PartPath::bezier() const
{
    if (!m_bezier)
        m_bezier = createClosedNSBezierPathFromDrawCommands(getDrawCommands());
    return *m_bezier;
}

CanvasPath PartPath::drawingBezier() const
{
    return createNSBezierPathFromDrawCommands(getDrawCommands());
}

Object* PartPath::ownerPart() const
{
    return ArrayUtils::getAncestorOfClass<Part>(this);
}

// --- Style ---

void PartPath::styleFieldChanged(const StyleFieldInfo& field)
{
    if (field.flushesCaches)
        flushCachedImage();
}

void PartPath::setFillType(int type)
{
    if (m_style.fill && m_style.fill->fillType() == type)
        return;
    if (type == FillTypeGradient) {
        setFill(gradientFillFrom(m_style.fill));
    } else if (type == FillTypeColor) {
        auto colorFill = std::make_shared<ColorFill>();
        if (ZDLColorPtr color = defaultFillColorOfModel())
            colorFill->setFillColor(color);
        setFill(colorFill);
    }
}

void PartPath::setFillColor(const ZDLColorPtr& color)
{
    changeValueForKey(kFill, [&] {
        changeValueForKey(kFillColor, [&] {
            setFillType(FillTypeColor);
            if (auto* colorFill = dynamic_cast<ColorFill*>(m_style.fill.get()))
                colorFill->setFillColor(color);
        });
    });
    flushCachedImage();
}

void PartPath::setFillColorAdjust(float adjust)
{
    changeValueForKey(kFill, [&] {
        changeValueForKey(kFillColorAdjust, [&] {
            setFillType(FillTypeColor);
            if (auto* colorFill = dynamic_cast<ColorFill*>(m_style.fill.get()))
                colorFill->setFillColorAdjust(adjust);
        });
    });
    flushCachedImage();
}

void PartPath::setContentVisible(bool visible)
{
    if (visible == m_contentVisible)
        return;
    changeValueForKey(kContentVisibleKey, [&] { m_contentVisible = visible; });
    flushCachedImage();
}

// --- Validation ---

namespace {

thread_local int looseValidations = 0;

} // namespace

PartPath::LooseValidation::LooseValidation()
{
    ++looseValidations;
}

PartPath::LooseValidation::~LooseValidation()
{
    --looseValidations;
}

bool PartPath::LooseValidation::active()
{
    return looseValidations > 0;
}

void PartPath::mergeColorsIntoPalette()
{
    // What the pasteboard carries has no palette yet, even inside a part: a part of a user's file
    // reaches its character through its parent and travels with only the character's identifier,
    // and the model a linked part brings along is a copy that is thrown away. The colours are
    // merged once, into the character the elements land in, when they are inserted.
    if (LooseValidation::active())
        return;
    auto* part = dynamic_cast<Part*>(ownerPart());
    if (!part) {
        zdlLog(QStringLiteral("PartPath can't find owner part"));
        return;
    }
    auto* model = dynamic_cast<CharacterModel*>(part->model());
    if (!model) {
        zdlLog(QStringLiteral("PartPath can't find owner model"));
        return;
    }
    if (m_style.lineColor)
        setLineColor(model->mergeColor(m_style.lineColor));
    if (ZDLColorPtr color = fillColor())
        setFillColor(model->mergeColor(color));
}

ZDLColorPtr PartPath::defaultFillColorOfModel() const
{
    const auto* part = dynamic_cast<const Part*>(ownerPart());
    const auto* model = part ? dynamic_cast<const CharacterModel*>(part->model()) : nullptr;
    return model ? model->fillColor() : nullptr;
}

bool PartPath::validateData()
{
    PartElement::validateData();
    mergeColorsIntoPalette();
    if (removeInvalidCurves(QStringLiteral("PartPath validateData removing a segment")))
        flushCache();
    return numSegments() > 0;
}

// --- Names ---

QString PartPath::displayName() const
{
    return localized("Path Contents");
}

QImage PartPath::pathIcon() const
{
    return applicationIcon(kIconName);
}

bool PartPath::canEditContents() const
{
    for (const CurvePtr& curve : curves()) {
        if (curve->numPoints() > 2)
            return true;
    }
    return false;
}

bool PartPath::canSelectContents() const
{
    return true;
}

void registerPartPathClasses(ClassRegistry& registry)
{
    registry.registerClass<PartPath>(PartPath::kClassName, PartElement::kClassName);
}

} // namespace zandrel
