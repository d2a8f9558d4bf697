#pragma once

#include "app/core/ZDLDocument.h"
#include "graphics/ElementProtocols.h"

#include <QImage>
#include <QString>
#include <optional>

namespace zandrel {

class CharacterDocument;

// The kinds of file an export writes; the first three are the export dialog's file types.
enum class ExportFileType : int { Jpeg = 0, Png = 1, Pdf = 2, Eps = 3 };

// How an export ended. A failure carries what the user is told.
struct ExportResult {
    bool ok = true;
    QString message;
    QString explanation;

    static ExportResult failure(const QString& message, const QString& explanation = QString());
    explicit operator bool() const { return ok; }
};

// Writing what an editing view shows to a file: a JPEG or PNG rendered at a resolution, a PDF
// printed through the print views, or, for character parts, an EPS. The content is the given
// elements (the sorted selection, or a character's root children) when exporting a selection or
// a character, else the comic's current page (the whole comic's pages for PDF) or its current
// panel, with the floating elements that overlap it when asked.
//
// Every file is written to a temporary file in the target folder and renamed into place, so a
// failed export never leaves a half-written file nor spoils a file already there. Large images
// are rendered in bands on every core; sizes no bitmap can hold are refused before any drawing.
class DocumentExport {
public:
    using ExportKind = ZDLDocument::ExportKind;

    // The resolutions (pixels per inch) an image export takes.
    static constexpr float kMinResolution = 36.0f;
    static constexpr float kMaxResolution = 600.0f;
    // An EPS holds the parts as PostScript drawing; what the format cannot say (translucency,
    // blur, compositing) becomes pictures at this resolution, composited over what is beneath.
    static constexpr float kEpsResolution = 300.0f;

    // "jpg", "png", "pdf" or "eps".
    static QString extensionFor(ExportFileType type);
    // The render scale of a resolution in pixels per inch.
    static float scaleForResolution(float resolution) { return resolution / 72.0f; }

    // A JPEG (quality 0 to 1) or PNG at the resolution; with recordResolution the file says its
    // resolution (as the dialog's exports do).
    static ExportResult exportImage(ZDLDocument& document, ExportKind what, bool withFloaters,
        const ElementList& elements, ExportFileType type, float resolution, float quality,
        const QString& path, bool recordResolution = true);
    // The same for elements at a render scale (the parts view's menu exports).
    static ExportResult exportElementsImage(const ElementList& elements, float scale, ExportFileType type,
        std::optional<float> quality, const QString& path);
    // A PDF: pages of their own size (every page for the whole comic), the panel with its
    // floaters, or the elements on one page of their bounds.
    static ExportResult exportPDF(ZDLDocument& document, ExportKind what, bool withFloaters,
        const ElementList& elements, const QString& path);
    // The character's parts, or only the elements given, on one PDF page of their bounds.
    static ExportResult exportPartsPDF(
        const CharacterDocument& document, const ElementList& onlyElements, const QString& path);
    // The character's parts as an EPS of their bounds.
    static ExportResult exportEPS(const CharacterDocument& document, const QString& path);

    // Whether there is anything to export, asked before the user is asked where to put it: a
    // failure saying there is nothing, else ok. The first asks of the export dialog's content, the
    // second of elements the parts view exports.
    static ExportResult checkContent(
        ZDLDocument& document, ExportKind what, bool withFloaters, const ElementList& elements);
    static ExportResult checkContent(const ElementList& elements);

    // The image the export of a JPEG or PNG renders; null with the failure set when there is
    // nothing to render or the image would be too large.
    static QImage renderImage(ZDLDocument& document, ExportKind what, bool withFloaters,
        const ElementList& elements, float scale, ExportResult* result);
    // Writes through a temporary file in the target folder; dpi is recorded when given. A JPEG is
    // flattened on white first: the format has no transparency. A PNG is compressed on every core
    // (PngWriter).
    static ExportResult writeImage(const QImage& image, const QString& path, ExportFileType type,
        std::optional<float> quality, std::optional<float> dpi);
    static ExportResult writeData(const QByteArray& data, const QString& path);
};

} // namespace zandrel
