// Links of the "zdltp" scheme: the file a web page names is downloaded and opened as an untitled
// document.
#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/DocumentHost.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/CharacterLibraryItem.h"
#include "platform/Localization.h"
#include "platform/Log.h"

namespace zandrel {

namespace {

const QString kLinkScheme = QStringLiteral("zdltp");
const QString kSchemeSeparator = QStringLiteral("://");
const QString kPartsExtension = QStringLiteral("parts");
const QString kComicExtension = QStringLiteral("comic");

QString lowerExtension(const QUrl& url)
{
    const QString name = url.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

} // namespace

void ZDLAppController::getUrl(const QString& link)
{
    const QStringList pieces = link.split(kSchemeSeparator);
    if (pieces.size() != 2) {
        zdlLog(QStringLiteral("URL is invalid (no protocol)"));
        return;
    }
    if (pieces.first() != kLinkScheme) {
        zdlLog(QStringLiteral("Unsupported protocol."));
        return;
    }
    zdlLog(QStringLiteral("Open comic file: %1").arg(pieces.last()));
    const QUrl url(QStringLiteral("https://") + pieces.last(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        zdlLog(QStringLiteral("URL is invalid (no host)"));
        return;
    }
    startDownload(url,
        { [this](const QUrl& from, const QByteArray& data) { zdltpDownloadDone(from, data); },
            [this](const QUrl& from) { zdltpFileNotFound(from); },
            [this](const QUrl& from, const QString& error) { zdltpDownloadGotError(from, error); } });
}

void ZDLAppController::zdltpDownloadDone(const QUrl& url, const QByteArray& data)
{
    const QString extension = lowerExtension(url);
    QString typeName;
    if (extension == kPartsExtension)
        typeName = kCharacterDocumentType;
    else if (extension == kComicExtension)
        typeName = kComicDocumentType;
    else
        return;
    DocumentError error;
    ZDLDocument* document = openUntitledDocumentFromData(data, typeName, &error);
    if (!document) {
        // A link that brings an unreadable file is reported: silence would look like a dead link.
        if (!error.isUserCancelled())
            showAlertMessage(localized("The downloaded file “%1” could not be opened.").arg(url.fileName()),
                error.failureReason);
        return;
    }
    auto* character = dynamic_cast<CharacterDocument*>(document);
    if (!character || !character->model() || character->model()->characterName().isEmpty())
        return;
    const CharacterModelPtr model = character->model();
    const QString shelf = model->partsKind() == 0 ? localized("Vivaviv Izazuda") : localized("Scenery");
    ModalAlert alert;
    alert.message = localized("Would you like to save the downloaded parts file to %1 in your user catalog?")
                        .arg(shelf);
    alert.buttons = { localized("Save"), localized("Don't Save") };
    QObject* window = character->host() ? character->host()->alertWindow() : nullptr;
    QString fileName = model->characterName();
    fileName.replace(QLatin1Char('/'), QLatin1Char('-'));
    fileName += QStringLiteral(".parts");
    showAlert(alert, window, [this, character, window, fileName](int code) {
        if (code == ModalAlert::kFirstButton)
            saveCharacter(*character, window, CharacterLibraryItem::UserCatalog, fileName);
    });
}

void ZDLAppController::zdltpFileNotFound(const QUrl&)
{
    showAlertMessage(localized("Unable to download Zandrel file."), localized("File not found."));
}

void ZDLAppController::zdltpDownloadGotError(const QUrl&, const QString& error)
{
    showAlertMessage(localized("Unable to download Zandrel file."), error);
}

ZDLDocument* ZDLAppController::openUntitledDocumentFromData(const QByteArray&, const QString&, DocumentError*)
{
    return nullptr;
}

} // namespace zandrel
