#pragma once

#include <QList>
#include <QString>
#include <initializer_list>

namespace zandrel {

class CanvasPath;

// A named dash pattern. Lengths are in multiples of the line width, so one pattern serves every
// weight; elements refer to a dash only by its index in the application's table.
class Dash {
public:
    // The solid line: no lengths, named "Solid" (localised).
    Dash();
    // Copies the lengths (dash, gap, dash, gap ...) and names the pattern after them ("2 - 1").
    // An empty list gives the solid line.
    explicit Dash(const QList<double>& lengths);
    Dash(std::initializer_list<double> lengths)
        : Dash(QList<double>(lengths))
    {
    }
    Dash(const double* lengths, qsizetype count);

    const QString& name() const { return m_name; }
    const QList<double>& lengths() const { return m_lengths; }
    qsizetype count() const { return m_lengths.size(); }
    bool isSolid() const { return m_lengths.isEmpty(); }

    // Fills the work array with each length times the width and returns it. The work array is
    // shared state, rewritten on every use: one dash is applied to one target at a time.
    const QList<double>& sizeLengths(double width) const;
    const QList<double>& sizedLengths() const { return m_sizedLengths; }
    // The lengths times the width, in a list of the caller's: safe while other threads draw.
    QList<double> lengthsForWidth(double width) const;

    // Gives the path this pattern at the line width (lengths scaled, phase as given, in the
    // path's units) and that width. The solid dash sets an empty pattern: a solid line. Leaves the
    // work array alone, so that bands of a page may dash their paths at the same time.
    void setDashOnBezierPath(CanvasPath& path, double width, double phase) const;
    // Our canvas keeps stroke attributes on the path it strokes rather than in its own state, so
    // dashing "the context" means dashing the path about to be stroked.
    void setDashOnContext(CanvasPath& path, double width, double phase) const
    {
        setDashOnBezierPath(path, width, phase);
    }

private:
    QList<double> m_lengths;
    mutable QList<double> m_sizedLengths;
    QString m_name;
};

} // namespace zandrel
