#include "support/PdfBuilder.h"

#include <QtCore/qbytearray.h>

namespace zandrel::test {

int PdfBuilder::add(const QByteArray& body)
{
    m_bodies.append(body);
    return int(m_bodies.size());
}

QByteArray PdfBuilder::stream(const QByteArray& entries, const QByteArray& data)
{
    return "<< " + entries + " /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data
        + "\nendstream";
}

QByteArray PdfBuilder::flateStream(const QByteArray& entries, const QByteArray& data)
{
    // qCompress puts the uncompressed length in front of the zlib stream.
    return stream(entries + " /Filter /FlateDecode", qCompress(data, 9).mid(4));
}

QByteArray PdfBuilder::ref(int number)
{
    return QByteArray::number(number) + " 0 R";
}

QByteArray PdfBuilder::finish(int catalog) const
{
    QByteArray out = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (qsizetype i = 0; i < m_bodies.size(); ++i) {
        offsets.append(out.size());
        out += QByteArray::number(i + 1) + " 0 obj\n" + m_bodies[i] + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    const QByteArray count = QByteArray::number(m_bodies.size() + 1);
    // Every entry is exactly 20 bytes, its end of line included.
    out += "xref\n0 " + count + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        out += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + count + " /Root " + ref(catalog) + " >>\nstartxref\n"
        + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

namespace {

// Catalog, page tree and page around the content object; answers the file.
QByteArray withPage(PdfBuilder& pdf, const QSizeF& size, int content, const QByteArray& resources)
{
    const int catalog = pdf.reserve();
    const int pages = pdf.reserve();
    const int page = pdf.add("<< /Type /Page /Parent " + PdfBuilder::ref(pages) + " /MediaBox [0 0 "
        + QByteArray::number(size.width()) + " " + QByteArray::number(size.height()) + "] /Contents "
        + PdfBuilder::ref(content) + " /Resources << " + resources + " >> >>");
    pdf.set(catalog, "<< /Type /Catalog /Pages " + PdfBuilder::ref(pages) + " >>");
    pdf.set(pages, "<< /Type /Pages /Kids [" + PdfBuilder::ref(page) + "] /Count 1 >>");
    return pdf.finish(catalog);
}

} // namespace

QByteArray onePagePdf(
    const QSizeF& size, const QByteArray& content, const QByteArray& resources, bool compressed)
{
    PdfBuilder pdf;
    const int stream
        = pdf.add(compressed ? PdfBuilder::flateStream({}, content) : PdfBuilder::stream({}, content));
    return withPage(pdf, size, stream, resources);
}

QByteArray nestedFormsPdf(int levels, int copies)
{
    PdfBuilder pdf;
    // The innermost form first: a blue square.
    int inner = pdf.add(
        PdfBuilder::stream("/Type /XObject /Subtype /Form /BBox [0 0 100 100]", "0 0 1 rg 10 10 80 80 re f"));
    for (int level = 0; level < levels; ++level) {
        QByteArray content;
        for (int i = 0; i < copies; ++i) {
            const QByteArray offset = QByteArray::number(i * 50 / copies);
            content += "q 0.5 0 0 0.5 " + offset + " " + offset + " cm /F Do Q\n";
        }
        inner = pdf.add(PdfBuilder::stream("/Type /XObject /Subtype /Form /BBox [0 0 100 100] /Resources << "
                                           "/XObject << /F "
                + PdfBuilder::ref(inner) + " >> >>",
            content));
    }
    const int content = pdf.add(PdfBuilder::stream({}, "/F Do"));
    return withPage(pdf, QSizeF(100, 100), content, "/XObject << /F " + PdfBuilder::ref(inner) + " >>");
}

QByteArray manyFillsPdf(int fills)
{
    QByteArray content;
    content.reserve(fills * 26);
    for (int i = 0; i < fills; ++i)
        content += i % 2 ? "1 0 0 rg 0 0 100 100 re f\n" : "0 0 1 rg 0 0 100 100 re f\n";
    return onePagePdf(QSizeF(100, 100), content, {}, true);
}

QByteArray fanOutPdf(FanOut kind, int levels, int copies)
{
    QByteArray entries = "/Type /XObject /Subtype /Form /BBox [0 0 100 100]";
    if (kind == FanOut::Patterns)
        entries = "/Type /Pattern /PatternType 1 /PaintType 1 /TilingType 1 /BBox [0 0 100 100] /XStep 100 "
                  "/YStep 100";
    else if (kind == FanOut::SoftMasks)
        entries += " /Group << /S /Transparency >>";
    const QByteArray square = "0 0 1 rg 25 25 50 50 re f\n";
    PdfBuilder pdf;
    // Each level draws the one below by the name N of its resources.
    int below = pdf.add(PdfBuilder::stream(entries, square));
    QByteArray resources;
    QByteArray draw;
    for (int level = 0;; ++level) {
        const QByteArray next = PdfBuilder::ref(below);
        switch (kind) {
        case FanOut::Forms:
            resources = "/XObject << /N " + next + " >>";
            draw = "/N Do\n";
            break;
        case FanOut::SoftMasks:
            // The mask is where the group below draws: the square. Each level draws it again.
            resources = "/ExtGState << /N << /SMask << /S /Alpha /G " + next + " >> >> >>";
            draw = "/N gs\n";
            break;
        case FanOut::Patterns:
            resources = "/Pattern << /N " + next + " >>";
            draw = "/Pattern cs /N scn 0 0 100 100 re f\n";
            break;
        }
        if (level == levels)
            break;
        const QByteArray content
            = draw.repeated(copies) + (kind == FanOut::SoftMasks ? square : QByteArray());
        below = pdf.add(PdfBuilder::stream(entries + " /Resources << " + resources + " >>", content));
    }
    const int content
        = pdf.add(PdfBuilder::stream({}, draw + (kind == FanOut::SoftMasks ? square : QByteArray())));
    return withPage(pdf, QSizeF(100, 100), content, resources);
}

} // namespace zandrel::test
