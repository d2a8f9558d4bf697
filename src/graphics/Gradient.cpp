#include "graphics/Gradient.h"

#include "platform/ArchiveNames.h"
#include "platform/KeyedArchiver.h"
#include "platform/KeyedUnarchiver.h"

#include <algorithm>
#include <cmath>

namespace zandrel {

namespace {

// Archive keys.
const QString kStopsArchiveKey = QStringLiteral("stops");

std::vector<GradientColorStopPtr> defaultStops()
{
    return { GradientColorStop::initWithColor(RgbColor(0, 0, 0), 0.0f),
        GradientColorStop::initWithColor(RgbColor(1, 1, 1), 1.0f) };
}

} // namespace

Gradient::Gradient()
    : m_colorStops(defaultStops())
{
}

Gradient::Gradient(const Gradient& other)
    : Object(other)
{
    m_colorStops.reserve(other.m_colorStops.size());
    for (const auto& stop : other.m_colorStops)
        m_colorStops.push_back(stop->copy());
}

Gradient& Gradient::operator=(const Gradient& other)
{
    if (this != &other) {
        Object::operator=(other);
        copyColorStopsFrom(&other);
    }
    return *this;
}

const PropertyTable& Gradient::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            readOnlyProperty<Gradient>(kNumStopsKey, &Gradient::numStops),
        });
    return table;
}

GradientPtr Gradient::copy() const
{
    return std::make_shared<Gradient>(*this);
}

float Gradient::locationOfStopAtIndex(int index) const
{
    return validIndex(index) ? m_colorStops[size_t(index)]->location() : 0.0f;
}

RgbColor Gradient::colorOfStopAtIndex(int index) const
{
    return validIndex(index) ? m_colorStops[size_t(index)]->color() : RgbColor();
}

float Gradient::minLocationOfStopAtIndex(int index) const
{
    if (index <= 0 || index > numStops())
        return 0.0f;
    return m_colorStops[size_t(index - 1)]->location();
}

float Gradient::maxLocationOfStopAtIndex(int index) const
{
    if (index < 0 || index + 1 >= numStops())
        return 1.0f;
    return m_colorStops[size_t(index + 1)]->location();
}

int Gradient::addColorStopAt(float location)
{
    if (!(location >= 0.0f && location < 1.0f))
        return 0;
    const RgbColor color = interpolatedColorAtLocation(location);
    for (size_t i = 0; i < m_colorStops.size(); ++i) {
        if (m_colorStops[i]->location() >= location) {
            m_colorStops.insert(
                m_colorStops.begin() + qsizetype(i), GradientColorStop::initWithColor(color, location));
            flush();
            return int(i);
        }
    }
    const RgbColor last = m_colorStops.empty() ? color : m_colorStops.back()->color();
    m_colorStops.push_back(GradientColorStop::initWithColor(last, location));
    flush();
    return numStops() - 1;
}

void Gradient::addColorStopAtIndex(int index)
{
    if (index < 0 || index > numStops())
        return;
    float location = 0.0f;
    if (index == numStops())
        location = 1.0f;
    else if (index > 0)
        location
            = (m_colorStops[size_t(index - 1)]->location() + m_colorStops[size_t(index)]->location()) / 2.0f;
    const RgbColor color = interpolatedColorAtLocation(location);
    m_colorStops.insert(m_colorStops.begin() + index, GradientColorStop::initWithColor(color, location));
    flush();
}

int Gradient::setLocation(float location, int index)
{
    if (!validIndex(index) || !(location >= 0.0f && location <= 1.0f))
        return index;
    m_colorStops[size_t(index)]->setLocation(location);
    // A stop set equal to a neighbour's location does not pass it.
    while (index > 0 && m_colorStops[size_t(index - 1)]->location() > location) {
        std::swap(m_colorStops[size_t(index - 1)], m_colorStops[size_t(index)]);
        --index;
    }
    while (index + 1 < numStops() && location > m_colorStops[size_t(index + 1)]->location()) {
        std::swap(m_colorStops[size_t(index + 1)], m_colorStops[size_t(index)]);
        ++index;
    }
    flush();
    return index;
}

void Gradient::setColor(const RgbColor& color, int index)
{
    if (!validIndex(index))
        return;
    m_colorStops[size_t(index)]->setColor(color);
    flush();
}

void Gradient::removeColorStopAtindex(int index)
{
    if (numStops() >= 3 && validIndex(index))
        m_colorStops.erase(m_colorStops.begin() + index);
    flush();
}

void Gradient::copyColorStopsFrom(const Gradient* other)
{
    if (!other || other == this)
        return;
    std::vector<GradientColorStopPtr> stops;
    stops.reserve(other->m_colorStops.size());
    for (const auto& stop : other->m_colorStops)
        stops.push_back(stop->copy());
    m_colorStops = std::move(stops);
    flush();
}

RgbColor Gradient::interpolatedColorAtLocation(float location) const
{
    if (m_colorStops.empty())
        return RgbColor();
    if (!(location > m_colorStops.front()->location()))
        return m_colorStops.front()->color();
    for (size_t i = 1; i < m_colorStops.size(); ++i) {
        const GradientColorStop& next = *m_colorStops[i];
        if (location <= next.location()) {
            const GradientColorStop& previous = *m_colorStops[i - 1];
            const double span = double(next.location()) - previous.location();
            const double f = span > 0.0 ? (double(location) - previous.location()) / span : 1.0;
            return previous.color().mixedWith(next.color(), f);
        }
    }
    return m_colorStops.back()->color();
}

QGradientStops Gradient::drawnStops(bool opaque) const
{
    const auto colorOf
        = [opaque](const GradientColorStop& stop) { return opaque ? stop.opaqueColor() : stop.color(); };
    QGradientStops stops;
    const size_t count = m_colorStops.size();
    if (count <= size_t(kMaxDrawnStops)) {
        stops.reserve(qsizetype(count));
        for (const auto& stop : m_colorStops)
            stops.append({ stop->location(), colorOf(*stop).toQColor() });
        return stops;
    }
    // One sweep: the colour at each step blends the stops around it, as
    // interpolatedColorAtLocation does.
    stops.reserve(kMaxDrawnStops);
    size_t next = 0; // the first stop at or after the step
    for (int step = 0; step < kMaxDrawnStops; ++step) {
        const double location = double(step) / (kMaxDrawnStops - 1);
        while (next < count && m_colorStops[next]->location() < location)
            ++next;
        RgbColor color;
        if (next == 0) {
            color = colorOf(*m_colorStops.front());
        } else if (next == count) {
            color = colorOf(*m_colorStops.back());
        } else {
            const GradientColorStop& before = *m_colorStops[next - 1];
            const GradientColorStop& after = *m_colorStops[next];
            const double span = double(after.location()) - before.location();
            const double f = span > 0.0 ? (location - before.location()) / span : 1.0;
            color = colorOf(before).mixedWith(colorOf(after), f);
        }
        stops.append({ location, color.toQColor() });
    }
    return stops;
}

const QGradientStops& Gradient::nsGradient() const
{
    if (!m_nsGradient)
        m_nsGradient = drawnStops(false);
    return *m_nsGradient;
}

const QGradientStops& Gradient::opaqueGradient() const
{
    if (!m_opaqueGradient)
        m_opaqueGradient = drawnStops(true);
    return *m_opaqueGradient;
}

void Gradient::flush()
{
    m_nsGradient.reset();
    m_opaqueGradient.reset();
}

void Gradient::repairStops()
{
    std::erase(m_colorStops, nullptr);
    if (m_colorStops.size() < 2) {
        m_colorStops = defaultStops();
    } else {
        for (const auto& stop : m_colorStops) {
            const float l = stop->location();
            stop->setLocation(std::isnan(l) ? 0.0f : std::clamp(l, 0.0f, 1.0f));
            if (!stop->color().isValid())
                stop->setColor(RgbColor(0, 0, 0));
        }
        std::stable_sort(m_colorStops.begin(), m_colorStops.end(),
            [](const GradientColorStopPtr& a, const GradientColorStopPtr& b) {
                return a->location() < b->location();
            });
    }
    flush();
}

QString Gradient::className() const
{
    return kClassName;
}

void Gradient::encodeWithCoder(KeyedArchiver& coder) const
{
    ValueList stops;
    stops.reserve(qsizetype(m_colorStops.size()));
    for (const auto& stop : m_colorStops)
        stops.append(Value(stop));
    coder.encodeObject(Value(stops), kStopsArchiveKey);
}

ObjectPtr Gradient::initWithCoder(KeyedUnarchiver& coder)
{
    const Value stops = coder.decodeObjectOfClasses(
        { PlatformClass::kArray, GradientColorStop::kClassName }, kStopsArchiveKey);
    m_colorStops.clear();
    for (const Value& item : stops.toList()) {
        if (auto stop = item.toObject<GradientColorStop>())
            m_colorStops.push_back(std::move(stop));
    }
    repairStops();
    return shared_from_this();
}

} // namespace zandrel
