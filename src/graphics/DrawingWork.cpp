#include "graphics/DrawingWork.h"

#include "platform/AttributedText.h"
#include "platform/Log.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace zandrel {

namespace {

std::atomic<bool> s_said = false;

} // namespace

const QString DrawingWork::kRanOutMessage = QStringLiteral(
    "A page needs more blurring, lettering or holes cut by inset panels than one drawing does: what lies "
    "past it is left out.");

bool DrawingWork::take(qint64& left, double amount)
{
    // Amounts that are no number, or beyond any allowance, never fit.
    if (!(amount <= double(left))) {
        if (!m_ranOut) {
            m_ranOut = true;
            if (!s_said.exchange(true))
                zdlLog(kRanOutMessage);
        }
        return false;
    }
    left -= qint64(std::max(amount, 0.0));
    return true;
}

void DrawingWork::forgetSaying()
{
    s_said = false;
}

bool DrawingWork::takeBlur(double pixels)
{
    return take(m_blurredPixelsLeft, pixels);
}

double DrawingWork::letteringCost(const AttributedText& text)
{
    double cost = 0;
    for (qsizetype run = 0; run < text.runCount(); ++run) {
        const auto& font = text.runAttributes(run).font;
        const double size = font && std::isfinite(font->size) ? font->size : 0.0;
        const double scale = std::max(size / kUnitFontSize, 1.0);
        cost += double(text.runRange(run).length) * scale * scale;
    }
    return cost;
}

bool DrawingWork::takeLettering(const AttributedText& text)
{
    return take(m_letteringLeft, letteringCost(text));
}

bool DrawingWork::takeCutOut()
{
    return take(m_cutOutsLeft, 1);
}

bool DrawingWork::takeCutOutEdge(qint64 steps)
{
    return take(m_cutOutEdgeStepsLeft, double(steps));
}

} // namespace zandrel
