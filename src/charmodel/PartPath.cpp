#include "charmodel/PartPath.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "graphics/ArrayUtils.h"
#include "graphics/CoderExtensions.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/GraphicUtils.h"
#include "graphics/PathBuilders.h"
#include "graphics/StyleKeys.h"
#include "platform/ClassRegistry.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"
#include "platform/Localization.h"
#include "platform/Log.h"

#include <QRegularExpression>
#include <cmath>

namespace zandrel {

namespace {

const QString kSegments = QStringLiteral("segments");
using namespace stylekeys;
const QString kFillType = QStringLiteral("fillType");
const QString kFillGradient = QStringLiteral("fillGradient");
const QString kContentVisible = QStringLiteral("contentVisible");

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
    static const PropertyTable table(&PartElement::staticPropertyTable(),
        {
            property<PartPath>(
                kSegments, [](const PartPath& path) { return toVector(path.segments()); },
                [](PartPath& path, const std::vector<CurvePtr>& curves) {
                    path.setSegments(QList<CurvePtr>(curves.begin(), curves.end()));
                }),
            property<PartPath>(kLineColor, &PartPath::lineColor, &PartPath::setLineColor),
            property<PartPath>(kLineColorAdjust, &PartPath::lineColorAdjust, &PartPath::setLineColorAdjust),
            property<PartPath>(kLineAlpha, &PartPath::lineAlpha, &PartPath::setLineAlpha),
            property<PartPath>(kLineDash, &PartPath::lineDash, &PartPath::setLineDash),
            property<PartPath>(kFill, &PartPath::fill, &PartPath::setFill),
            property<PartPath>(kFillAlpha, &PartPath::fillAlpha, &PartPath::setFillAlpha),
            property<PartPath>(kLineWeight, &PartPath::lineWeight, &PartPath::setLineWeight),
            property<PartPath>(kBlur, &PartPath::blur, &PartPath::setBlur),
            property<PartPath>(kFillColor, &PartPath::fillColor, &PartPath::setFillColor),
            property<PartPath>(kFillColorAdjust, &PartPath::fillColorAdjust, &PartPath::setFillColorAdjust),
            property<PartPath>(
                kFillType, [](const PartPath& path) { return static_cast<int>(path.fillType()); },
                [](PartPath& path, int type) { path.setFillType(type); }),
            property<PartPath>(kFillGradient, &PartPath::fillGradient, &PartPath::setFillGradient),
            property<PartPath>(kContentVisible, &PartPath::contentVisible, &PartPath::setContentVisible),
        });
    return table;
}

PartPath::PartPath()
    : m_fill(std::make_shared<ColorFill>())
{
}

PartPath::PartPath(const PartPath& other)
    : PartElement(other)
    , m_lineColor(other.m_lineColor)
    , m_lineAlpha(other.m_lineAlpha)
    , m_lineColorAdjust(other.m_lineColorAdjust)
    , m_lineDash(other.m_lineDash)
    , m_fill(other.m_fill ? other.m_fill->copy() : nullptr)
    , m_fillAlpha(other.m_fillAlpha)
    , m_lineWeight(other.m_lineWeight)
    , m_blur(other.m_blur)
{
    m_segments.reserve(other.m_segments.size());
    for (const CurvePtr& curve : other.m_segments)
        m_segments.append(Curve::initByCopying(*curve));
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
    const bool closed = attributes.value(QStringLiteral("closed")) == QLatin1String("true");
    path->m_segments = curvesFromCurveData(attributes.value(QStringLiteral("curveData")), closed);
    auto colorNamed
        = [&](const QString& key) { return colorFromName ? colorFromName(attributes.value(key)) : nullptr; };
    if (attributes.contains(QStringLiteral("color")))
        path->setFillColor(colorNamed(QStringLiteral("color")));
    if (attributes.contains(kLineColor))
        path->setLineColor(colorNamed(kLineColor));
    if (attributes.contains(QStringLiteral("colorAdjust")))
        path->setFillColorAdjust(xmlFloat(attributes.value(QStringLiteral("colorAdjust"))) / 100.0f);
    if (attributes.contains(kLineColorAdjust))
        path->setLineColorAdjust(xmlFloat(attributes.value(kLineColorAdjust)) / 100.0f);
    if (attributes.contains(kLineWeight))
        path->setLineWeight(xmlFloat(attributes.value(kLineWeight)));
    if (attributes.contains(kFillAlpha))
        path->setFillAlpha(xmlFloat(attributes.value(kFillAlpha)));
    if (attributes.contains(kBlur))
        path->setBlur(xmlFloat(attributes.value(kBlur)) / 100.0f);
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
            const bool onCurve = tokens.at(i) != QLatin1String("c");
            curve->addPointAtX(xmlFloat(tokens.at(i + 1)), xmlFloat(tokens.at(i + 2)), onCurve);
        }
        curve->setClosed(closed);
        curves.append(curve);
    }
    return curves;
}

QString PartPath::className() const
{
    return QStringLiteral("PartPath");
}

void PartPath::encodeWithCoder(KeyedArchiver& coder) const
{
    PartElement::encodeWithCoder(coder);
    ValueList curves;
    curves.reserve(m_segments.size());
    for (const CurvePtr& curve : m_segments)
        curves.append(Value(curve));
    coder.encodeObject(Value(curves), kSegments);
    coder.encodeObject(m_lineColor, kLineColor);
    coder.encodeFloat(m_lineAlpha, kLineAlpha);
    coder.encodeInteger(m_lineDash, QStringLiteral("dash"));
    coder.encodeObject(m_fill, kFill);
    coder.encodeFloat(m_lineColorAdjust, kLineColorAdjust);
    coder.encodeFloat(m_fillAlpha, kFillAlpha);
    coder.encodeFloat(m_lineWeight, kLineWeight);
    coder.encodeFloat(m_blur, kBlur);
}

ObjectPtr PartPath::initWithCoder(KeyedUnarchiver& coder)
{
    PartElement::initWithCoder(coder);
    m_segments.clear();
    const Value curves
        = zdlDecodeObjectOfClasses(coder, { QStringLiteral("NSArray"), QStringLiteral("Curve") }, kSegments);
    // Copies: a file may name one curve in two paths, or twice in one, and an edit of one path
    // must never reach another.
    for (const Value& item : curves.toList()) {
        if (CurvePtr curve = item.toObject<Curve>())
            m_segments.append(Curve::initByCopying(*curve));
    }
    m_lineColor = zdlDecodeObjectOfClass(coder, QStringLiteral("ZDLColor"), kLineColor).toObject<ZDLColor>();
    // Only the line opacity defaults to opaque; older files without "fillAlpha" read 0.
    m_lineAlpha
        = coder.containsValueForKey(kLineAlpha) ? finiteOrZero(coder.decodeFloatForKey(kLineAlpha)) : 1.0f;
    m_lineDash = coder.decodeIntegerForKey(QStringLiteral("dash"));
    m_fill = zdlDecodeObjectOfClasses(
        coder, { QStringLiteral("ColorFill"), QStringLiteral("GradientFill") }, kFill)
                 .toObject<Fill>();
    if (!m_fill) {
        // Files from before fills were objects keep the colour and its adjustment as keys of their
        // own. A fill of a refused class reads the same way, so a path always has a fill.
        auto colorFill = std::make_shared<ColorFill>();
        colorFill->setFillColor(
            zdlDecodeObjectOfClass(coder, QStringLiteral("ZDLColor"), kFillColor).toObject<ZDLColor>());
        colorFill->setFillColorAdjust(finiteOrZero(coder.decodeFloatForKey(kFillColorAdjust)));
        m_fill = colorFill;
    }
    m_lineColorAdjust = finiteOrZero(coder.decodeFloatForKey(kLineColorAdjust));
    m_fillAlpha = finiteOrZero(coder.decodeFloatForKey(kFillAlpha));
    m_lineWeight = finiteOrZero(coder.decodeFloatForKey(kLineWeight));
    m_blur = finiteOrZero(coder.decodeFloatForKey(kBlur));
    m_contentVisible = true;
    return shared_from_this();
}

ObjectPtr PartPath::initByCopying() const
{
    return std::make_shared<PartPath>(*this);
}

// --- Path ---

QList<CurvePtr> PartPath::segments() const
{
    QList<CurvePtr> copies;
    copies.reserve(m_segments.size());
    for (const CurvePtr& curve : m_segments)
        copies.append(Curve::initByCopying(*curve));
    return copies;
}

void PartPath::setSegments(const QList<CurvePtr>& segments)
{
    KeyChange change(*this, kSegments);
    QList<CurvePtr> copies;
    copies.reserve(segments.size());
    for (const CurvePtr& curve : segments) {
        if (curve)
            copies.append(Curve::initByCopying(*curve));
    }
    m_segments = std::move(copies);
    flushCache();
}

CurvePtr PartPath::getSegmentAtIndex(std::size_t index) const
{
    return index < numSegments() ? m_segments.at(static_cast<qsizetype>(index)) : nullptr;
}

void PartPath::deleteCurvePoint(std::size_t pointIndex, std::size_t segmentIndex)
{
    const CurvePtr curve = getSegmentAtIndex(segmentIndex);
    if (!curve || pointIndex >= static_cast<std::size_t>(curve->numPoints()))
        return;
    KeyChange change(*this, kSegments);
    curve->deletePointAtIndex(static_cast<int>(pointIndex));
    flushCache();
}

DrawCommandList PartPath::getDrawCommands() const
{
    DrawCommandList commands;
    for (const CurvePtr& curve : m_segments) {
        const DrawCommandList& own = curve->getDrawCommands();
        commands.insert(commands.end(), own.begin(), own.end());
    }
    return commands;
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

void PartPath::setLineColor(const ZDLColorPtr& color)
{
    {
        KeyChange change(*this, kLineColor);
        m_lineColor = color;
    }
    flushCachedImage();
}

void PartPath::setLineColorAdjust(float adjust)
{
    {
        KeyChange change(*this, kLineColorAdjust);
        m_lineColorAdjust = adjust;
    }
    flushCachedImage();
}

void PartPath::setLineAlpha(float alpha)
{
    {
        KeyChange change(*this, kLineAlpha);
        m_lineAlpha = alpha;
    }
    flushCachedImage();
}

void PartPath::setLineDash(qint64 dash)
{
    {
        KeyChange change(*this, kLineDash);
        m_lineDash = dash;
    }
    flushCachedImage();
}

void PartPath::replaceFill(const FillPtr& fill)
{
    KeyChange change(*this, kFill);
    m_fill = fill;
}

void PartPath::setFill(const FillPtr& fill)
{
    replaceFill(fill ? fill->copy() : nullptr);
    flushCachedImage();
}

void PartPath::setFillAlpha(float alpha)
{
    {
        KeyChange change(*this, kFillAlpha);
        m_fillAlpha = alpha;
    }
    flushCachedImage();
}

void PartPath::setLineWeight(float weight)
{
    {
        KeyChange change(*this, kLineWeight);
        m_lineWeight = weight;
    }
    flushCachedImage();
}

void PartPath::setBlur(float blur)
{
    {
        KeyChange change(*this, kBlur);
        m_blur = blur;
    }
    flushCachedImage();
}

FillType PartPath::fillType() const
{
    return m_fill && m_fill->fillType() == FillTypeColor ? FillTypeColor : FillTypeGradient;
}

void PartPath::setFillType(int type)
{
    if (m_fill && m_fill->fillType() == type)
        return;
    if (type == FillTypeGradient) {
        auto gradientFill = std::make_shared<GradientFill>();
        auto gradient = std::make_shared<Gradient>();
        if (auto colorFill = std::dynamic_pointer_cast<ColorFill>(m_fill);
            colorFill && colorFill->nsColor().isValid())
            gradient->setColor(colorFill->nsColor(), 0);
        gradientFill->setGradient(gradient);
        setFill(gradientFill);
    } else if (type == FillTypeColor) {
        auto colorFill = std::make_shared<ColorFill>();
        if (ZDLColorPtr color = defaultFillColorOfModel())
            colorFill->setFillColor(color);
        setFill(colorFill);
    }
}

ZDLColorPtr PartPath::fillColor() const
{
    const auto* colorFill = dynamic_cast<const ColorFill*>(m_fill.get());
    return colorFill ? colorFill->fillColor() : nullptr;
}

void PartPath::setFillColor(const ZDLColorPtr& color)
{
    {
        KeyChange fillChange(*this, kFill);
        KeyChange colorChange(*this, kFillColor);
        setFillType(FillTypeColor);
        if (auto* colorFill = dynamic_cast<ColorFill*>(m_fill.get()))
            colorFill->setFillColor(color);
    }
    flushCachedImage();
}

float PartPath::fillColorAdjust() const
{
    const auto* colorFill = dynamic_cast<const ColorFill*>(m_fill.get());
    return colorFill ? colorFill->fillColorAdjust() : 0.0f;
}

void PartPath::setFillColorAdjust(float adjust)
{
    {
        KeyChange fillChange(*this, kFill);
        KeyChange adjustChange(*this, kFillColorAdjust);
        setFillType(FillTypeColor);
        if (auto* colorFill = dynamic_cast<ColorFill*>(m_fill.get()))
            colorFill->setFillColorAdjust(adjust);
    }
    flushCachedImage();
}

FillPtr PartPath::fillGradient() const
{
    return std::dynamic_pointer_cast<GradientFill>(m_fill);
}

void PartPath::setContentVisible(bool visible)
{
    if (visible == m_contentVisible)
        return;
    {
        KeyChange change(*this, kContentVisible);
        m_contentVisible = visible;
    }
    flushCachedImage();
}

// --- Validation ---

void PartPath::mergeColorsIntoPalette()
{
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
    if (m_lineColor)
        setLineColor(model->mergeColor(m_lineColor));
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
    bool removed = false;
    for (qsizetype i = m_segments.size() - 1; i >= 0; --i) {
        if (!m_segments.at(i)->validateData()) {
            m_segments.removeAt(i);
            removed = true;
            zdlLog(QStringLiteral("PartPath validateData removing a segment"));
        }
    }
    if (removed)
        flushCache();
    return !m_segments.isEmpty();
}

// --- Names ---

QString PartPath::displayName() const
{
    return localized("Path Contents");
}

QImage PartPath::pathIcon() const
{
    return applicationIcon(QStringLiteral("path_path"));
}

bool PartPath::canEditContents() const
{
    for (const CurvePtr& curve : m_segments) {
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
    registry.registerClass<PartPath>(QStringLiteral("PartPath"), QStringLiteral("PartElement"));
}

} // namespace zandrel
