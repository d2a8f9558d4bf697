#pragma once

#include "graphics/GradientColorStop.h"
#include "platform/Object.h"

#include <QGradientStops>
#include <memory>
#include <optional>
#include <vector>

namespace zandrel {

class Gradient;
using GradientPtr = std::shared_ptr<Gradient>;

// An ordered list of colour stops, at least two, kept in ascending order of location. The stops
// that drawing hands to the canvas are built once per change of the stops and then reused.
//
// Indices passed in are those of existing stops (or, for addColorStopAtIndex, 0 to numStops());
// others are ignored rather than trusted.
class Gradient : public Object {
public:
    ZDL_PROPERTIES

    // Property names.
    static inline const QString kNumStopsKey = QStringLiteral("numStops");

    // Black at 0 and white at 1.
    Gradient();
    // Copies every stop, so that changing the copy never changes the original.
    Gradient(const Gradient& other);
    Gradient& operator=(const Gradient& other);
    ~Gradient() override = default;

    GradientPtr copy() const;

    int numStops() const { return int(m_colorStops.size()); }
    const std::vector<GradientColorStopPtr>& colorStops() const { return m_colorStops; }
    float locationOfStopAtIndex(int index) const;
    RgbColor colorOfStopAtIndex(int index) const;
    // The range a dragged stop may move in: up to its neighbours, or to 0 and 1 at the ends.
    float minLocationOfStopAtIndex(int index) const;
    float maxLocationOfStopAtIndex(int index) const;

    // Adds a stop at the location with the colour the gradient has there. Refuses locations
    // outside [0, 1) (and NaN) and then returns 0; otherwise returns the new stop's index.
    int addColorStopAt(float location);
    // Adds a stop before the one at index (at the end when index is numStops()), halfway
    // between its neighbours, or at 0 or 1 at the ends.
    void addColorStopAtIndex(int index);
    // Moves the stop to the location, past neighbours as needed, and returns its new index.
    // Locations outside [0, 1] (and NaN) change nothing.
    int setLocation(float location, int index);
    void setColor(const RgbColor& color, int index);
    // A gradient never drops below two stops.
    void removeColorStopAtindex(int index);
    void copyColorStopsFrom(const Gradient* other);

    // The colour at a location: the end colours beyond the end stops, linear blends between.
    RgbColor interpolatedColorAtLocation(float location) const;

    // The cached canvas gradients, built from the stops' colours and from their opaque colours.
    // A gradient of more stops than kMaxDrawnStops is sampled at that many even steps instead,
    // finer than the canvas's own colour table, so that drawing costs the same for every
    // gradient however many stops a file gave it.
    static constexpr int kMaxDrawnStops = 1024;
    const QGradientStops& nsGradient() const;
    const QGradientStops& opaqueGradient() const;
    void flush();

    // The name the class is archived under.
    static inline const QString kClassName = QStringLiteral("Gradient");
    QString className() const override;
    void encodeWithCoder(KeyedArchiver& coder) const override;
    ObjectPtr initWithCoder(KeyedUnarchiver& coder) override;

private:
    bool validIndex(int index) const { return index >= 0 && index < numStops(); }
    // Repairs stops read from a file: at least two, finite locations in [0, 1], in order.
    void repairStops();
    QGradientStops drawnStops(bool opaque) const;

    std::vector<GradientColorStopPtr> m_colorStops;
    mutable std::optional<QGradientStops> m_nsGradient;
    mutable std::optional<QGradientStops> m_opaqueGradient;
};

} // namespace zandrel
