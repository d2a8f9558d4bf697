#pragma once

#include "platform/RgbColor.h"
#include "platform/TextAttributes.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <ostream>

namespace zandrel::test {

// Root of the source tree, for test data kept beside the tests.
QString sourcePath(const QString& relative);

// The python3 interpreter, or an empty string where the machine has none.
QString python3();

// Compares a rendered image with the reference image at the path (relative to the source tree):
// at most one pixel in oneIn may differ from it by more than the levels in a channel. With
// ZANDREL_WRITE_REFERENCE_IMAGES set the image is written as the reference instead (grey images as
// grey levels) and the test is skipped.
void expectLikeReferenceImage(const QImage& image, const QString& relativePath, int levels, int oneIn);

// Between two images of one size: the largest difference in any channel, and how many pixels
// differ at all.
struct PixelDifference {
    int largest = 0;
    int pixels = 0;
};
PixelDifference pixelDifference(const QImage& first, const QImage& second);
// The share of pixels, both images flattened on white, whose channels differ by more than the
// tolerance; 1 for images of different sizes.
double differingShare(const QImage& a, const QImage& b, int tolerance);

// Runs python3 with the script on standard input and the data in a temporary file whose path is
// passed as the first argument. Returns the exit code; output collects stdout and stderr.
int runPython(const QString& script, const QByteArray& data, QString* output);

} // namespace zandrel::test

namespace zandrel {

// Test failures show colours as their components.
inline void PrintTo(const RgbColor& color, std::ostream* out)
{
    *out << color.description().toStdString();
}

// Test failures show text attributes as their font, colour, alignment and other names. Every test
// that compares attributes includes this, so that one printer serves them all.
inline void PrintTo(const TextAttributes& attributes, std::ostream* out)
{
    if (attributes.font)
        *out << attributes.font->name.toStdString() << ' ' << attributes.font->size;
    else
        *out << "no font";
    *out << ", " << attributes.foregroundColor.description().toStdString() << ", alignment "
         << (attributes.paragraphStyle ? int(attributes.paragraphStyle->alignment) : -1);
    for (const QString& key : attributes.otherAttributes.keys())
        *out << ", " << key.toStdString();
}

} // namespace zandrel

// Test failures show texts as text, and lists of them element by element.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}
