#pragma once

#include "platform/RgbColor.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QString>
#include <QStringView>
#include <array>

namespace zandrel {

// The text forms keyed archives use for geometry ("{x, y}", "{{x, y}, {w, h}}") and colour
// components ("r g b a"): written with the shortest digits that read back exactly, read leniently
// as other writers vary (6-digit "%g", "400.0", exponents).
namespace archivetext {

QString number(double value);
QString number(float value);

QString pointString(const QPointF& point);
QString sizeString(const QSizeF& size);
QString rectString(const QRectF& rect);

// Reads up to N numbers, skipping whatever is not one ("nan" and "inf" included); missing numbers
// are 0.
template <int N> std::array<double, N> scanDoubles(QStringView text);
template <int N> std::array<double, N> scanDoubles(QByteArrayView text);

QPointF parsePoint(QStringView text);
QSizeF parseSize(QStringView text);
QRectF parseRect(QStringView text);

// "r g b" with " a" when alpha is not 1, then a NUL byte, as the standard colour encoding has it.
QByteArray rgbComponents(const RgbColor& color);
// How many numbers the text holds, so that alpha can default to 1 when absent.
int countNumbers(QByteArrayView text);

} // namespace archivetext

} // namespace zandrel
