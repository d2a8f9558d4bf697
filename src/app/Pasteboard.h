#pragma once

#include "app/core/PasteboardParent.h"

#include <QImage>
#include <QMimeData>

namespace zandrel {

// The clipboard's and drags' data for a payload: our keyed archive, a PDF and a PNG picture. The
// archive is written at once, while the source document is open; the renderings are made only
// when a reader asks for them (another program pasting, a drop elsewhere), and once.
class PasteboardMimeData : public QMimeData {
    Q_OBJECT

public:
    explicit PasteboardMimeData(PasteboardParentPtr payload);

    const PasteboardParentPtr& payload() const { return m_payload; }
    QStringList formats() const override;
    bool hasFormat(const QString& mimeType) const override;

    static inline const QString kPdfMimeType = QStringLiteral("application/pdf");
    static inline const QString kPngMimeType = QStringLiteral("image/png");

protected:
    QVariant retrieveData(const QString& mimeType, QMetaType type) const override;

private:
    static QStringList formatsOfPayload();

    PasteboardParentPtr m_payload;
    QByteArray m_archive;
    mutable QByteArray m_pdf;
    mutable QByteArray m_png;
    mutable bool m_renderedPdf = false;
    mutable bool m_renderedPng = false;
};

// The general pasteboard, as the editing views use it.
namespace Pasteboard {

// Clears the clipboard and puts the payload there.
void writePayload(const PasteboardParentPtr& payload);
// The payload in the data, read from its archive exactly as a file is read; null when there is none
// or it is not usable.
PasteboardParentPtr readPayload(const QMimeData* data);

} // namespace Pasteboard

} // namespace zandrel
