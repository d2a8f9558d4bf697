#pragma once

#include <QByteArray>
#include <QImage>
#include <QRectF>
#include <QString>
#include <string>

namespace zandrel::test {

// What the system's ghostscript made of an EPS file.
struct GhostscriptRendering {
    QImage image; // the page cropped to the file's bounding box, null when it failed
    // The area the file really marks, in points from the page's lower-left corner, as ghostscript's
    // bounding-box device measures it (empty when it marks nothing).
    QRectF marked;
    QString messages; // all that the interpreter printed
    QString error; // why there is no image, or the PostScript errors it reported; empty when sound
};

// The ghostscript program, or an empty string where the machine has none (scripts/setup.sh
// installs it).
QString ghostscript();

// Renders the EPS at the resolution through ghostscript, safe mode, cropped to its bounding box,
// and measures what it marks.
// It draws finer by the factor and averages down: its anti-aliasing covers edge pixels otherwise
// than Qt's, and its strokes reach a little further. A run that does not finish in time is ended
// and is an error.
GhostscriptRendering renderWithGhostscript(const QByteArray& eps, int dotsPerInch, int finer = 4);

// The share of pixels that differ by more than the tolerance in a channel where the expected image
// is even: all its pixels around agree within the tolerance. An interpreter anti-aliases and
// resamples at edges its own way, but a wrong colour, place, orientation or clip shows inside shapes.
double differingAwayFromEdges(const QImage& read, const QImage& expected, int tolerance);

// Expects what ghostscript measured as marked to be where the image (at the scale, pixels per
// point) is not white, within the tolerance in points.
void expectMarksWhereInked(
    const QRectF& marked, const QImage& image, double scale, double tolerance, const std::string& name);

// The %%HiResBoundingBox (else the %%BoundingBox) a file's header comments declare, or a null rectangle.
QRectF declaredBoundingBox(const QByteArray& eps);

} // namespace zandrel::test
