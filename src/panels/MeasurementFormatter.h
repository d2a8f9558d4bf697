#pragma once

#include <QComboBox>
#include <optional>

namespace zandrel {

// The limits of a length field, in the display units: made in pixels, converted whenever the units
// change. Between "measurementUnitsWillChange" and "measurementUnitsDidChange" it has no limits, so
// that bound lengths can pass through while they are converted; the converted limits are put back
// after.
class MeasurementFormatter {
public:
    // Limits in pixels (nothing for no limit), converted into the current display units at once.
    MeasurementFormatter(std::optional<double> minimumPixels, std::optional<double> maximumPixels);
    ~MeasurementFormatter();
    MeasurementFormatter(const MeasurementFormatter&) = delete;
    MeasurementFormatter& operator=(const MeasurementFormatter&) = delete;

    // In the current display units.
    std::optional<double> minimum() const { return m_minimum; }
    std::optional<double> maximum() const { return m_maximum; }
    void setMinimum(std::optional<double> minimum) { m_minimum = minimum; }
    void setMaximum(std::optional<double> maximum) { m_maximum = maximum; }
    // Whether a value in the display units lies within the limits.
    bool accepts(double units) const;

    void measurementUnitsWillChange(float conversionFactor);
    void measurementUnitsDidChange();

private:
    std::optional<double> m_minimum;
    std::optional<double> m_maximum;
    std::optional<double> m_savedMinimum;
    std::optional<double> m_savedMaximum;
};

// The display-unit popup: "pixels" (0), "inches" (1), "cm" (2). Choosing one sets the application
// controller's units, which converts every measurement; every popup of every open sheet follows.
class MeasurementPopup : public QComboBox {
    Q_OBJECT

public:
    explicit MeasurementPopup(QWidget* parent = nullptr);
    ~MeasurementPopup() override;

    int selectedTag() const { return currentData().toInt(); }
    // Sends the selected tag to the application controller.
    void setMeasurementUnitsFromSelf();
    // Selects the controller's units.
    void measurementUnitsChanged();
};

} // namespace zandrel
