#pragma once

#include <QString>

// The property names through which styles are copied from and applied to elements by key-value
// coding. Styles and every styled element must use the same names, so they are spelt once here.
namespace zandrel::stylekeys {

inline const QString kLineColor = QStringLiteral("lineColor");
inline const QString kLineColorAdjust = QStringLiteral("lineColorAdjust");
inline const QString kLineAlpha = QStringLiteral("lineAlpha");
inline const QString kLineDash = QStringLiteral("lineDash");
inline const QString kFill = QStringLiteral("fill");
inline const QString kFillAlpha = QStringLiteral("fillAlpha");
inline const QString kLineWeight = QStringLiteral("lineWeight");
inline const QString kBlur = QStringLiteral("blur");
inline const QString kFillColor = QStringLiteral("fillColor");
inline const QString kFillColorAdjust = QStringLiteral("fillColorAdjust");
// The kind of fill (0 colour, 1 gradient) and the gradient fill, read through to the fill.
inline const QString kFillType = QStringLiteral("fillType");
inline const QString kFillGradient = QStringLiteral("fillGradient");

} // namespace zandrel::stylekeys
