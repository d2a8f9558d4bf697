#include "app/Pasteboard.h"

#include <QBuffer>
#include <QClipboard>
#include <QGuiApplication>

namespace zandrel {

namespace {

// Qt's own name for image data, which QClipboard::image() asks for.
const QString kQtImageMimeType = QStringLiteral("application/x-qt-image");

} // namespace

PasteboardMimeData::PasteboardMimeData(PasteboardParentPtr payload)
    : m_payload(std::move(payload))
{
    // Written now, while the documents the elements come from are open: their characters and
    // colour sets are linked weakly, and a paste after the source has closed must still know them.
    if (m_payload)
        m_archive = m_payload->archivedData();
}

QStringList PasteboardMimeData::formatsOfPayload()
{
    return { PasteboardParent::objectsMimeType(), kPdfMimeType, kPngMimeType, kQtImageMimeType };
}

QStringList PasteboardMimeData::formats() const
{
    // Data set beside the payload (the file a catalog drag carries) is offered as well.
    QStringList own = formatsOfPayload();
    for (const QString& format : QMimeData::formats()) {
        if (!own.contains(format))
            own.append(format);
    }
    return own;
}

bool PasteboardMimeData::hasFormat(const QString& mimeType) const
{
    return formats().contains(mimeType);
}

QVariant PasteboardMimeData::retrieveData(const QString& mimeType, QMetaType type) const
{
    if (QMimeData::hasFormat(mimeType) && !formatsOfPayload().contains(mimeType))
        return QMimeData::retrieveData(mimeType, type);
    if (!m_payload)
        return QVariant();
    if (mimeType == PasteboardParent::objectsMimeType())
        return m_archive;
    if (mimeType == kPdfMimeType) {
        if (!m_renderedPdf) {
            m_pdf = m_payload->getPDFData();
            m_renderedPdf = true;
        }
        return m_pdf.isEmpty() ? QVariant() : QVariant(m_pdf);
    }
    if (mimeType == kPngMimeType || mimeType == kQtImageMimeType) {
        if (!m_renderedPng) {
            QBuffer buffer(&m_png);
            buffer.open(QIODevice::WriteOnly);
            const QImage image = m_payload->getImage();
            if (!image.isNull())
                image.save(&buffer, "PNG");
            m_renderedPng = true;
        }
        if (m_png.isEmpty())
            return QVariant();
        if (mimeType == kQtImageMimeType || type.id() == QMetaType::QImage)
            return QImage::fromData(m_png, "PNG");
        return m_png;
    }
    return QVariant();
}

namespace Pasteboard {

void writePayload(const PasteboardParentPtr& payload)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setMimeData(new PasteboardMimeData(payload));
}

PasteboardParentPtr readPayload(const QMimeData* data)
{
    if (!data || !data->hasFormat(PasteboardParent::objectsMimeType()))
        return nullptr;
    return PasteboardParent::fromArchivedData(data->data(PasteboardParent::objectsMimeType()));
}

} // namespace Pasteboard

} // namespace zandrel
