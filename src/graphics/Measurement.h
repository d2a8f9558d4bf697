#pragma once

#include "platform/Object.h"

namespace zandrel {

// A length held at once in pixels (document points, 72 to the inch) and in the user's display
// units, for dialog fields bound to it by name. Pixels is the lasting value: when the display units
// change, units is recomputed from pixels.
class Measurement : public Object {
public:
    ZDL_PROPERTIES

    // Property names.
    static inline const QString kPixelsKey = QStringLiteral("pixels");
    static inline const QString kUnitsKey = QStringLiteral("units");

    Measurement();
    // Both values stored directly, without running the setters.
    explicit Measurement(float pixels);
    ~Measurement() override;
    // Each measurement registers for unit changes itself; a copy would share nothing useful.
    Measurement(const Measurement&) = delete;
    Measurement& operator=(const Measurement&) = delete;

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("Measurement");
    QString className() const override { return kClassName; }

    float pixels() const { return m_pixels; }
    float units() const { return m_units; }
    // Each setter stores its value and brings the other one in step, so that observers of both
    // properties hear of the change.
    void setPixels(float pixels);
    void setUnits(float units);

    // Emptying a bound field leaves the length as it was.
    void setNilValueForKey(const QString& key) override;

private:
    void measurementUnitsChanged();

    float m_units = 0.0f;
    float m_pixels = 0.0f;
    // Set while one setter brings the other value in step: the value the caller set is kept as
    // given, so float rounding of the two conversions can never bounce between the setters.
    bool m_inStep = false;
};

} // namespace zandrel
