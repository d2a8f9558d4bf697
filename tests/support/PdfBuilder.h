#pragma once

#include <QByteArray>
#include <QList>
#include <QSizeF>

namespace zandrel::test {

// Writes PDF files by hand, object by object, with a cross-reference table that points at each
// object, so that tests can make files no PDF writer would.
class PdfBuilder {
public:
    // Adds an object (a dictionary, or a dictionary and its stream) and answers its number.
    int add(const QByteArray& body);
    // A number to fill later, for objects that refer to later ones.
    int reserve() { return add(QByteArray()); }
    void set(int number, const QByteArray& body) { m_bodies[number - 1] = body; }

    // A stream object: the dictionary entries (without brackets) and the data, its length added.
    static QByteArray stream(const QByteArray& entries, const QByteArray& data);
    // The same with the data Flate-compressed.
    static QByteArray flateStream(const QByteArray& entries, const QByteArray& data);
    // "n 0 R"
    static QByteArray ref(int number);

    // The file with the catalog as root.
    QByteArray finish(int catalog) const;

private:
    QList<QByteArray> m_bodies;
};

// One page of the size in points drawing the content stream, with the resources dictionary's
// entries, its content compressed or not.
QByteArray onePagePdf(
    const QSizeF& size, const QByteArray& content, const QByteArray& resources = {}, bool compressed = false);
// A page drawing the first of levels forms, each of which draws the next one copies times, the
// last a square: copies^levels squares from a few kilobytes.
QByteArray nestedFormsPdf(int levels, int copies);
// A page of fills whose compressed content stream holds the given count of page-sized fills.
QByteArray manyFillsPdf(int fills);

// What draws a stream of the next level in fanOutPdf.
enum class FanOut { Forms, SoftMasks, Patterns };
// A page drawing levels of streams, each of which draws the next one copies times with a few
// operators (form XObjects, soft masks set by a graphics state, or tiling patterns filled with),
// the last a blue square over the middle of the page: copies^levels squares.
QByteArray fanOutPdf(FanOut kind, int levels, int copies);

} // namespace zandrel::test
