#include "graphics/Dash.h"

#include "platform/CanvasPath.h"
#include "platform/Localization.h"

namespace zandrel {

Dash::Dash()
    : m_name(localized("Solid"))
{
}

Dash::Dash(const QList<double>& lengths)
    : Dash()
{
    if (lengths.isEmpty())
        return;
    m_lengths = lengths;
    m_sizedLengths.resize(lengths.size());
    // %g keeps whole lengths short ("3 - 2") and still shows fractions ("1.5 - 1").
    m_name = QString::asprintf("%g", lengths.first());
    for (qsizetype i = 1; i < lengths.size(); ++i)
        m_name += QString::asprintf(" - %g", lengths.at(i));
}

Dash::Dash(const double* lengths, qsizetype count)
    : Dash(lengths && count > 0 ? QList<double>(lengths, lengths + count) : QList<double>())
{
}

const QList<double>& Dash::sizeLengths(double width) const
{
    for (qsizetype i = 0; i < m_lengths.size(); ++i)
        m_sizedLengths[i] = m_lengths.at(i) * width;
    return m_sizedLengths;
}

QList<double> Dash::lengthsForWidth(double width) const
{
    QList<double> sized(m_lengths.size());
    for (qsizetype i = 0; i < m_lengths.size(); ++i)
        sized[i] = m_lengths.at(i) * width;
    return sized;
}

void Dash::setDashOnBezierPath(CanvasPath& path, double width, double phase) const
{
    path.setDash(lengthsForWidth(width), phase);
    path.setLineWidth(width);
}

} // namespace zandrel
