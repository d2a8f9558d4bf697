#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace zandrel::test {

// Draws an EPS written by EpsPaintDevice on white at the scale (pixels per point), as a
// PostScript interpreter would, for the operators that device writes. Anything else (an unknown
// operator, an unbalanced stack or graphics state, image data of the wrong length) is an error:
// the image is null and the error says what was wrong.
QImage renderEps(const QByteArray& eps, double scale, QString* error);

} // namespace zandrel::test
