#pragma once

#include <QColor>
#include <QString>

namespace zandrel {

// A colour value as files and users give it: red, green, blue and alpha in double precision,
// each from 0 to 1. A QColor keeps 16 bits a channel, so a colour kept in one would come back
// from a file changed (0.3 as 0.300008), and two colours equal in their files could part or
// merge; colours are kept here and become a QColor only to be drawn.
class RgbColor {
public:
    // The invalid colour: none was given, or the one given was refused.
    RgbColor() = default;
    // Components outside [0, 1] are clamped and NaN reads as 0, so that every valid colour is an
    // ordinary RGB colour that equals itself.
    RgbColor(double red, double green, double blue, double alpha = 1.0);

    // The components a QColor holds; an invalid QColor gives the invalid colour.
    static RgbColor fromQColor(const QColor& color);

    bool isValid() const { return m_valid; }
    double red() const { return m_red; }
    double green() const { return m_green; }
    double blue() const { return m_blue; }
    double alpha() const { return m_alpha; }

    // Blending as the platform colour does it; an invalid colour stays invalid.
    RgbColor withAlpha(double alpha) const;
    RgbColor opaque() const { return withAlpha(1.0); }
    // Each component, alpha included, moved the fraction level of the way toward black or white.
    // The level is clamped to [0, 1]; a NaN level leaves the colour as it is.
    RgbColor shadowWithLevel(double level) const;
    RgbColor highlightWithLevel(double level) const;
    // The colour as it shows over white: opaque, blended toward white by its transparency.
    RgbColor overWhite() const;
    // The straight mix at fraction f from this colour to other; an invalid end gives the other.
    RgbColor mixedWith(const RgbColor& other, double f) const;

    // For drawing only: rounds each component to the 16 bits of a QColor.
    QColor toQColor() const;
    // "r g b a" with the shortest digits that read back exactly; "invalid" for no colour.
    QString description() const;

    // Exact comparison of the components.
    bool operator==(const RgbColor& other) const = default;

private:
    RgbColor blended(const RgbColor& target, double level) const;

    double m_red = 0.0;
    double m_green = 0.0;
    double m_blue = 0.0;
    double m_alpha = 1.0;
    bool m_valid = false;
};

} // namespace zandrel
