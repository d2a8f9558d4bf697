#include "app/core/CatalogFiles.h"

#include "platform/AtomicFile.h"
#include "platform/Localization.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

namespace zandrel {

namespace {

constexpr int kThumbnailQuality = 60;

} // namespace

QString catalogShelfName(int partsKind)
{
    return partsKind == 0 ? localized("Vivaviv Izazuda") : localized("Scenery");
}

QByteArray readCatalogFile(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return {};
    }
    if (file.size() > kMaxPartsFileBytes) {
        *error = QStringLiteral("the file is too large");
        return {};
    }
    const QByteArray data = file.readAll();
    if (data.isEmpty())
        *error = QStringLiteral("the file is empty");
    return data;
}

bool writeCatalogFile(const QString& path, const QByteArray& data, QString* error)
{
    return writeFileAtomically(path, data, error);
}

// The thumbnail over white: the file format keeps no transparency.
bool writeCatalogThumbnail(const QImage& thumbnail, const QString& path, QString* error)
{
    QImage opaque(thumbnail.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, thumbnail);
    }
    AtomicFile file(path);
    if (!file.open()) {
        *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file.device(), "jpeg");
    writer.setQuality(kThumbnailQuality);
    if (!writer.write(opaque)) {
        *error = writer.errorString();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

} // namespace zandrel
