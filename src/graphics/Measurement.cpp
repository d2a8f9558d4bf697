#include "graphics/Measurement.h"

#include "app/core/ZDLAppController.h"
#include "platform/NotificationCenter.h"

namespace zandrel {

namespace {

// Clears the in-step flag on every way out, exceptions of observers included.
class InStep {
public:
    explicit InStep(bool& flag)
        : m_flag(flag)
    {
        m_flag = true;
    }
    ~InStep() { m_flag = false; }
    InStep(const InStep&) = delete;
    InStep& operator=(const InStep&) = delete;

private:
    bool& m_flag;
};

} // namespace

const PropertyTable& Measurement::staticPropertyTable()
{
    static const PropertyTable table(&Object::staticPropertyTable(),
        {
            property<Measurement>(kUnitsKey, &Measurement::units, &Measurement::setUnits),
            property<Measurement>(kPixelsKey, &Measurement::pixels, &Measurement::setPixels),
        });
    return table;
}

Measurement::Measurement()
{
    // The controller stores the new units before it posts this notification.
    NotificationCenter::defaultCenter().addObserver(this, kMeasurementUnitsChangedNotification, nullptr,
        [this](const Notification&) { measurementUnitsChanged(); });
}

Measurement::Measurement(float pixels)
    : Measurement()
{
    m_pixels = pixels;
    m_units = appController()->getUnitsFromPixels(pixels);
}

Measurement::~Measurement()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

// Each change of one value brings the other along inside it, so that observers of either see
// both in step.
void Measurement::setPixels(float pixels)
{
    changeValueForKey(kPixelsKey, [&] {
        m_pixels = pixels;
        if (m_inStep)
            return;
        const float units = appController()->getUnitsFromPixels(pixels);
        if (units != m_units) {
            InStep inStep(m_inStep);
            setUnits(units);
        }
    });
}

void Measurement::setUnits(float units)
{
    changeValueForKey(kUnitsKey, [&] {
        m_units = units;
        if (m_inStep)
            return;
        const float pixels = appController()->getPixelsFromUnits(units);
        if (pixels != m_pixels) {
            InStep inStep(m_inStep);
            setPixels(pixels);
        }
    });
}

void Measurement::measurementUnitsChanged()
{
    const float units = appController()->getUnitsFromPixels(m_pixels);
    if (units != m_units) {
        // Pixels is the lasting value: only units follows the new display units.
        InStep inStep(m_inStep);
        setUnits(units);
    }
}

void Measurement::setNilValueForKey(const QString& key)
{
    if (key == kUnitsKey || key == kPixelsKey)
        return;
    Object::setNilValueForKey(key);
}

} // namespace zandrel
