#include "tools/ComicScaleTracker.h"

#include "charmodel/Part.h"
#include "graphics/ArrayUtils.h"
#include "views/ZDLView.h"

#include <cmath>

namespace zandrel {

float ComicScaleTracker::markFactor(float sx, float sy)
{
    return sx == sy ? std::fabs(sx) : std::sqrt(std::fabs(sx * sy));
}

void ComicScaleTracker::scaledBy(float sx, float sy)
{
    if (!view())
        return;
    if (!m_selection)
        m_selection = ArrayUtils::membersOfOfKindOfClass<Part>(
            ArrayUtils::flattenComicElementsArray(view()->selection()));
    const float mark = markFactor(sx, sy);
    if (mark == m_appliedMarkScale || mark <= 0 || !std::isfinite(mark))
        return;
    // Relative to what is applied already, so that the total stays the gesture's factor.
    for (const ObjectPtr& part : std::as_const(*m_selection))
        Part::scaleMarksIn(part, mark / m_appliedMarkScale);
    m_appliedMarkScale = mark;
}

} // namespace zandrel
