// Links of the "zdltp" scheme: the file a web page names is downloaded and opened as an untitled
// document.
#include "app/core/CatalogFiles.h"
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

// A link is shown whole up to this length, else its start and end.
constexpr qsizetype kMaxShownLinkLength = 120;

QString lowerExtension(const QUrl& url)
{
    const QString name = url.fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : name.mid(dot + 1).toLower();
}

// The link as an alert quotes it: on one line, with no character that reorders or hides the text
// around it, and its middle left out when it is long.
QString shownLink(const QString& link)
{
    QString shown = link;
    for (QChar& character : shown) {
        if (character.category() == QChar::Other_Control || character.category() == QChar::Other_Format)
            character = QLatin1Char(' ');
    }
    if (shown.size() <= kMaxShownLinkLength)
        return shown;
    qsizetype head = kMaxShownLinkLength / 2;
    qsizetype tail = shown.size() - kMaxShownLinkLength / 2;
    if (shown.at(head - 1).isHighSurrogate())
        --head;
    if (shown.at(tail).isLowSurrogate())
        ++tail;
    return shown.left(head) + QChar(0x2026) + shown.mid(tail);
}

} // namespace

void ZDLAppController::getUrl(const QString& link)
{
    // A link of ours that cannot be followed is a broken link on a web page: the user is told, as of
    // any other link that fails. Other schemes are only logged; the desktop sends none of them here.
    const bool ours = link.startsWith(kLinkScheme + QLatin1Char(':'), Qt::CaseInsensitive);
    const auto refuse = [this, ours, &link](const QString& logLine) {
        zdlLog(logLine);
        if (ours) {
            showAlertMessage(localized("Unable to download Zandrel file."),
                localized("The link “%1” is not valid: a Zandrel link is “zdltp://” followed by a server "
                          "and the path of a file.")
                    .arg(shownLink(link)));
        }
    };
    const QStringList pieces = link.split(kSchemeSeparator);
    if (pieces.size() != 2) {
        refuse(QStringLiteral("URL is invalid (no protocol)"));
        return;
    }
    // Schemes are the same whatever the case of their letters.
    if (pieces.first().compare(kLinkScheme, Qt::CaseInsensitive) != 0) {
        refuse(QStringLiteral("Unsupported protocol."));
        return;
    }
    zdlLog(QStringLiteral("Open comic file: %1").arg(pieces.last()));
    const QUrl url(QStringLiteral("https://") + pieces.last(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        refuse(QStringLiteral("URL is invalid (no host)"));
        return;
    }
    const bool started = startDownload(url,
        { [this](const QUrl& from, const QByteArray& data) { zdltpDownloadDone(from, data); },
            [this](const QUrl& from) { zdltpFileNotFound(from); },
            [this](const QUrl& from, const QString& error) { zdltpDownloadGotError(from, error); } });
    if (!started)
        zdltpDownloadGotError(url, localized("The download did not start."));
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
    if (!character || !character->model())
        return;
    const CharacterModelPtr model = character->model();
    // A name that leaves nothing to name a file (only dots, only control characters) is no name.
    const QString fileName = fileNameFor(model->characterName(), kPartsExtension);
    if (fileName.isEmpty())
        return;
    const QString shelf = model->partsKind() == 0 ? localized("Vivaviv Izazuda") : localized("Scenery");
    ModalAlert alert;
    alert.message = localized("Would you like to save the downloaded parts file to %1 in your user catalog?")
                        .arg(shelf);
    alert.buttons = { localized("Save"), localized("Don't Save") };
    QObject* window = character->host() ? character->host()->alertWindow() : nullptr;
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
