// Writes the built-in catalog: the characters and scenery of Characters.cpp and Scenery.cpp saved as
// parts files with the model's own writer, a JPEG thumbnail of each drawn by the model, and the
// folder's manifest. The build runs it into the catalog folder beside the program:
//   make_catalog OUTPUT_FOLDER [PREVIEW_FOLDER]
// With a preview folder, each sheet is also drawn there whole as a PNG, to look at while drawing.
#include "Characters.h"
#include "Scenery.h"
#include "app/core/CatalogFiles.h"
#include "app/core/CatalogManifest.h"
#include "charmodel/PartsFile.h"
#include "graphics/ZDLContext.h"
#include "platform/Canvas.h"
#include "platform/CurrentCanvas.h"
#include "platform/OffscreenImage.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QVariantList>
#include <cmath>
#include <cstdio>

using namespace zandrel;

namespace {

// The whole sheet at twice its size over white, drawn as the thumbnail is.
bool writePreview(const CharacterModel& model, const QString& path)
{
    const QRectF bounds = model.getBounds().adjusted(-10, -10, 10, 10);
    const double scale = 2.0;
    OffscreenImage bitmap(
        QSize(int(std::ceil(bounds.width() * scale)), int(std::ceil(bounds.height() * scale))));
    Canvas* canvas = bitmap.canvas();
    if (!canvas)
        return false;
    canvas->translate(-bounds.x() * scale, -bounds.y() * scale);
    canvas->scale(scale, scale);
    {
        CanvasScope scope(canvas);
        ZDLContext context { float(scale) };
        context.setBlurThreshold(0.0f);
        context.setExporting(true);
        for (const ObjectPtr& part : model.children()) {
            if (auto* element = asProtocol<GraphicElement>(part))
                element->drawIn(context);
        }
    }
    QImage image = bitmap.takeImage();
    QImage opaque(image.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    QPainter(&opaque).drawImage(0, 0, image);
    return opaque.save(path);
}

bool writeModel(const CharacterModel& model, const QString& folder, QVariantList& items, QString* error)
{
    const QString base = model.characterName();
    const QString partsName = base + QLatin1Char('.') + kPartsFileExtension;
    const QString thumbnailName = base + QStringLiteral(".jpg");
    if (!writeCatalogFile(QDir(folder).filePath(partsName), archivedPartsFile(model), error))
        return false;
    if (!writeCatalogThumbnail(model.getThumbnail(), QDir(folder).filePath(thumbnailName), error))
        return false;
    items.append(QVariantMap {
        { CatalogManifest::kPartsFilenameKey, partsName },
        { CatalogManifest::kThumbnailFileNameKey, thumbnailName },
        { CatalogManifest::kCharacterNameKey, model.characterName() },
        { CatalogManifest::kCreatorNameKey, model.creator() },
        { CatalogManifest::kPartsKindKey, qlonglong(model.partsKind()) },
    });
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: make_catalog OUTPUT_FOLDER [PREVIEW_FOLDER]\n");
        return 2;
    }
    const QString folder = args.at(1);
    const QString previews = args.value(2);
    if (!QDir().mkpath(folder) || (!previews.isEmpty() && !QDir().mkpath(previews))) {
        std::fprintf(stderr, "cannot make the folder %s\n", qPrintable(folder));
        return 1;
    }
    QList<CharacterModelPtr> models = catalogart::makeCharacters();
    models.append(catalogart::makeScenery());
    QVariantList items;
    for (const CharacterModelPtr& model : models) {
        QString error;
        if (!writeModel(*model, folder, items, &error)) {
            std::fprintf(
                stderr, "cannot write %s: %s\n", qPrintable(model->characterName()), qPrintable(error));
            return 1;
        }
        if (!previews.isEmpty())
            writePreview(*model, QDir(previews).filePath(model->characterName() + QStringLiteral(".png")));
    }
    QString error;
    if (!CatalogManifest::write(
            QVariantMap { { CatalogManifest::kCatalogItemsKey, items } }, folder, &error)) {
        std::fprintf(stderr, "cannot write the manifest: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
