#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>

namespace zandrel::test {

// What the system's ghostscript made of an EPS file.
struct GhostscriptRendering {
    QImage image;     // the page cropped to the file's bounding box, null when it failed
    QString messages; // all that the interpreter printed
    QString error;    // why there is no image, or the PostScript errors it reported; empty when sound
};

// The ghostscript program, or an empty string where the machine has none (scripts/setup.sh
// installs it).
QString ghostscript();

// Renders the EPS at the resolution through ghostscript, safe mode, cropped to its bounding box,
// with anti-aliased edges. A run that does not finish in time is ended and is an error.
GhostscriptRendering renderWithGhostscript(const QByteArray& eps, int dotsPerInch);

// The area the EPS really marks, in points from the page's lower-left corner, as ghostscript's
// bounding-box device measures it; empty when it marks nothing, and a null rectangle (with the
// error) when ghostscript failed.
QRectF markedBoundsWithGhostscript(const QByteArray& eps, QString* error);

// The %%HiResBoundingBox (else the %%BoundingBox) a file's header comments declare, or a null rectangle.
QRectF declaredBoundingBox(const QByteArray& eps);

} // namespace zandrel::test
