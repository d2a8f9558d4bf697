#pragma once

#include "platform/FuzzingBuild.h"

#include <QString>
#include <QtGlobal>

namespace zandrel {

class AttributedText;

// The costly work one drawing pass may do. Blurred renderings count the pixels drawn into their
// bitmaps (a pixel a point at any scale: each path's area, and the bitmap's own); lettering counts
// characters, those larger than kUnitFontSize by the area of their glyphs; the holes inset panels
// cut into the panels beneath count one each, since every hole clips the whole page, and the steps
// of the edge effects they are cut with (each hole's made again every pass). A page whose
// blurs, lettering or holes would take more leaves out what comes past the allowance instead of
// drawing for minutes, and the first such pass says so in the log. The allowances are far above what a page
// of real work takes, and what a pass leaves out is the same every time, so that the screen does
// not flicker between subsets.
class DrawingWork {
public:
    static constexpr qint64 kBlurredPixels = scaledAllowance(64LL * 1000 * 1000);
    static constexpr qint64 kLetteringUnits = scaledAllowance(1000LL * 1000);
    static constexpr double kUnitFontSize = 100.0;
    static constexpr qint64 kCutOuts = scaledAllowance(1024);
    static constexpr qint64 kCutOutEdgeSteps = scaledAllowance(250LL * 1000);

    // Whether the pass may still do that much; when it may not, nothing is taken, the pass has
    // run out and says so the first time in the process.
    bool takeBlur(double pixels);
    bool takeLettering(const AttributedText& text);
    bool takeCutOut();
    bool takeCutOutEdge(qint64 steps);
    bool ranOut() const { return m_ranOut; }

    // What the text costs in lettering units.
    static double letteringCost(const AttributedText& text);

    static const QString kRanOutMessage;
    // The next pass that runs out says so again (tests).
    static void forgetSaying();

private:
    bool take(qint64& left, double amount);

    qint64 m_blurredPixelsLeft = kBlurredPixels;
    qint64 m_letteringLeft = kLetteringUnits;
    qint64 m_cutOutsLeft = kCutOuts;
    qint64 m_cutOutEdgeStepsLeft = kCutOutEdgeSteps;
    bool m_ranOut = false;
};

} // namespace zandrel
