#include "panels/MeasurementFormatter.h"

#include "app/core/ZDLAppController.h"
#include "platform/Localization.h"
#include "platform/NotificationCenter.h"

namespace zandrel {

MeasurementFormatter::MeasurementFormatter(
    std::optional<double> minimumPixels, std::optional<double> maximumPixels)
{
    auto* controller = appController();
    if (minimumPixels)
        m_minimum = controller->getUnitsFromPixels(float(*minimumPixels));
    if (maximumPixels)
        m_maximum = controller->getUnitsFromPixels(float(*maximumPixels));
    auto& center = NotificationCenter::defaultCenter();
    center.addObserver(
        this, kMeasurementUnitsWillChangeNotification, nullptr, [this](const Notification& note) {
            measurementUnitsWillChange(note.userInfo.value(kConversionFactorKey).toFloat());
        });
    center.addObserver(this, kMeasurementUnitsDidChangeNotification, nullptr,
        [this](const Notification&) { measurementUnitsDidChange(); });
}

MeasurementFormatter::~MeasurementFormatter()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

bool MeasurementFormatter::accepts(double units) const
{
    // A small tolerance: a limit converted into inches and back must still take its own value.
    const double slack = 1e-4;
    return (!m_minimum || units >= *m_minimum - slack) && (!m_maximum || units <= *m_maximum + slack);
}

void MeasurementFormatter::measurementUnitsWillChange(float conversionFactor)
{
    m_savedMinimum.reset();
    m_savedMaximum.reset();
    if (m_minimum)
        m_savedMinimum = *m_minimum * conversionFactor;
    if (m_maximum)
        m_savedMaximum = *m_maximum * conversionFactor;
    m_minimum.reset();
    m_maximum.reset();
}

void MeasurementFormatter::measurementUnitsDidChange()
{
    m_minimum = m_savedMinimum;
    m_maximum = m_savedMaximum;
    m_savedMinimum.reset();
    m_savedMaximum.reset();
}

MeasurementPopup::MeasurementPopup(QWidget* parent)
    : QComboBox(parent)
{
    addItem(localized("pixels"), int(ZDLAppController::Pixels));
    addItem(localized("inches"), int(ZDLAppController::Inches));
    addItem(localized("cm"), int(ZDLAppController::Centimetres));
    measurementUnitsChanged();
    NotificationCenter::defaultCenter().addObserver(this, kMeasurementUnitsChangedNotification, nullptr,
        [this](const Notification&) { measurementUnitsChanged(); });
    connect(this, &QComboBox::activated, this, &MeasurementPopup::setMeasurementUnitsFromSelf);
}

MeasurementPopup::~MeasurementPopup()
{
    NotificationCenter::defaultCenter().removeObserver(this);
}

void MeasurementPopup::setMeasurementUnitsFromSelf()
{
    appController()->setMeasurementUnits(selectedTag());
}

void MeasurementPopup::measurementUnitsChanged()
{
    const int index = findData(appController()->measurementUnits());
    if (index >= 0)
        setCurrentIndex(index);
}

} // namespace zandrel
