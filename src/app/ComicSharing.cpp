#include "app/ComicSharing.h"

#include "app/AppController.h"
#include "app/DocumentWindow.h"
#include "app/FileDialogFolder.h"
#include "app/WebLinks.h"
#include "app/core/ActionNames.h"
#include "app/core/ComicDocument.h"
#include "app/core/DocumentDialogs.h"
#include "comicmodel/ComicModel.h"
#include "graphics/BandedRendering.h"
#include "graphics/ZDLContext.h"
#include "platform/AtomicFile.h"
#include "platform/Localization.h"
#include "platform/PngWriter.h"
#include "platform/UserDefaults.h"
#include "views/ComicView.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QToolBar>
#include <QUrl>

namespace zandrel {

namespace ComicSharing {

namespace {

// A page larger than this is not a picture anyone mails; it is refused rather than drawn.
constexpr qint64 kMaxSharedPixels = qint64(100) << 20;

void popUpMenu(QMenu& menu, const QPoint& point)
{
    menu.popup(point);
}

bool startDetached(const QString& program, const QStringList& arguments)
{
    return QProcess::startDetached(program, arguments);
}

MenuRunner& menuRunner()
{
    static MenuRunner runner = popUpMenu;
    return runner;
}

SavePathChooser standardSaveChooser()
{
    return [](QWidget* parent, const QString& suggested, std::function<void(const QString&)> completion) {
        auto* dialog
            = new QFileDialog(parent, localized("Save Image"), QString(), localized("PNG images (*.png)"));
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        FileDialogFolder::setUp(*dialog, FileDialogFolder::documentPathOf(parent));
        dialog->setDefaultSuffix(QStringLiteral("png"));
        dialog->selectFile(suggested);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(dialog, &QFileDialog::fileSelected, dialog, completion);
        dialog->open();
    };
}

SavePathChooser& savePathChooser()
{
    static SavePathChooser chooser = standardSaveChooser();
    return chooser;
}

ProgramStarter& programStarter()
{
    static ProgramStarter starter = startDetached;
    return starter;
}

std::optional<QString>& mailHelperOverride()
{
    static std::optional<QString> path;
    return path;
}

bool writePng(const QImage& image, const QString& path, QString* reason)
{
    const QByteArray png = PngWriter::encode(image);
    if (png.isEmpty()) {
        if (reason)
            *reason = localized("There is not enough memory to compress the image.");
        return false;
    }
    return writeFileAtomically(path, png, reason);
}

QString imageName(const ComicDocument& document)
{
    return document.documentNameWithExtension(QStringLiteral("png"));
}

void reportFailure(const QString& message, const QString& reason, QWidget* window)
{
    appController()->showAlertMessage(message, reason, window);
}

void copyImage(const QImage& image, const QString& description)
{
    auto* data = new QMimeData;
    data->setImageData(image);
    data->setText(description);
    QApplication::clipboard()->setMimeData(data);
}

void saveImage(const QImage& image, const QString& name, QWidget* window)
{
    const QPointer<QWidget> sheetWindow(window);
    savePathChooser()(window, name, [image, sheetWindow](const QString& path) {
        QString reason;
        if (!path.isEmpty() && !writePng(image, path, &reason))
            reportFailure(localized("The image could not be saved."), reason, sheetWindow.data());
    });
}

void mailImage(const QImage& image, const QString& name, const QString& description, QWidget* window)
{
    // The mail program reads the attachment after the helper has returned: it stays in the
    // program's cache folder, each share under a name of its own.
    const QString folder = QDir(appController()->temporaryFolder()).filePath(QStringLiteral("Shared"));
    QString reason;
    if (!QDir().mkpath(folder)) {
        reportFailure(localized("The comic could not be attached to a mail."),
            localized("The folder %1 could not be made.").arg(folder), window);
        return;
    }
    const QString base = QFileInfo(name).completeBaseName();
    QString path = QDir(folder).filePath(name);
    for (int number = 2; QFileInfo::exists(path); ++number)
        path = QDir(folder).filePath(QStringLiteral("%1 %2.png").arg(base).arg(number));
    if (!writePng(image, path, &reason)) {
        reportFailure(localized("The comic could not be attached to a mail."), reason, window);
        return;
    }
    const QStringList arguments { QStringLiteral("--utf8"), QStringLiteral("--subject"), base,
        QStringLiteral("--body"), description, QStringLiteral("--attach"), path };
    if (!programStarter()(mailHelper(), arguments))
        reportFailure(localized("The mail program could not be started."),
            localized("Zandrel asked %1 to write the mail.").arg(mailHelper()), window);
}

QWidget* shareButtonOf(QWidget* window)
{
    auto* documentWindow = qobject_cast<DocumentWindow*>(window);
    QToolBar* toolbar = documentWindow ? documentWindow->toolbar() : nullptr;
    if (!toolbar)
        return nullptr;
    for (QAction* item : toolbar->actions()) {
        if (item->objectName() == QStringLiteral("Share"))
            return toolbar->widgetForAction(item);
    }
    return nullptr;
}

} // namespace

QImage renderComic(ComicModel& model)
{
    const QRectF bounds = model.bounds();
    if (bounds.isEmpty() || bounds.width() * bounds.height() > double(kMaxSharedPixels))
        return QImage();
    QImage drawn = BandedRendering::render(bounds, 1.0f,
        [&model](ZDLContext& context, const QRectF& dirtyRect) { model.drawIn(context, dirtyRect); });
    if (drawn.isNull())
        return drawn;
    // Mail programs and image viewers show transparency as they like; a comic is on white.
    QImage image(drawn.size(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter(&image).drawImage(0, 0, drawn);
    return image;
}

QString sharedDescription(const ComicModel& model)
{
    const QString description = model.comicDescription();
    return description.isEmpty() ? UserDefaults::standard().string(kDefaultDescriptionKey) : description;
}

QString mailHelper()
{
    if (mailHelperOverride())
        return *mailHelperOverride();
    return QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
}

void setMailHelper(const QString& path)
{
    if (path.isEmpty())
        mailHelperOverride().reset();
    else
        mailHelperOverride() = path;
}

QMenu* makeShareMenu(ComicDocument& document, QWidget* window)
{
    auto* menu = new QMenu(window);
    menu->setObjectName(QStringLiteral("shareMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu is the window's child and goes with it; the window owns the document.
    ComicDocument* comic = &document;
    const QPointer<QWidget> owner(window);
    // Each choice renders the page as it is when chosen.
    const auto withImage = [comic, owner](auto action) {
        return [comic, owner, action] {
            if (!comic->model())
                return;
            const QImage image = renderComic(*comic->model());
            if (image.isNull()) {
                reportFailure(
                    localized("The comic is too large to share as a picture."), QString(), owner.data());
                return;
            }
            action(*comic, image);
        };
    };
    QObject::connect(menu->addAction(localized("Copy Image")), &QAction::triggered, menu,
        withImage([](ComicDocument& doc, const QImage& image) {
            copyImage(image, sharedDescription(*doc.model()));
        }));
    QObject::connect(menu->addAction(localized("Save Image…")), &QAction::triggered, menu,
        withImage([owner](ComicDocument& doc, const QImage& image) {
            saveImage(image, imageName(doc), owner.data());
        }));
    QAction* mail = menu->addAction(localized("Email…"));
    mail->setEnabled(!mailHelper().isEmpty());
    if (!mail->isEnabled())
        mail->setToolTip(localized("Needs the desktop's mail helper, xdg-email."));
    QObject::connect(
        mail, &QAction::triggered, menu, withImage([owner](ComicDocument& doc, const QImage& image) {
            mailImage(image, imageName(doc), sharedDescription(*doc.model()), owner.data());
        }));
    menu->addSeparator();
    QAction* reveal = menu->addAction(localized("Show Comic File in Folder"));
    reveal->setEnabled(!document.filePath().isEmpty());
    QObject::connect(reveal, &QAction::triggered, menu, [comic] {
        if (!comic->filePath().isEmpty())
            WebLinks::openUrl(QUrl::fromLocalFile(QFileInfo(comic->filePath()).absolutePath()));
    });
    return menu;
}

void showServicePicker(ComicDocument& document, QWidget* window)
{
    if (auto* view = window ? window->findChild<ComicView*>() : nullptr)
        view->exitTextEditing();
    QMenu* menu = makeShareMenu(document, window);
    const QWidget* button = shareButtonOf(window);
    const QPoint point = button ? button->mapToGlobal(QPoint(0, button->height())) : QCursor::pos();
    menuRunner()(*menu, point);
}

void setMenuRunner(MenuRunner runner)
{
    menuRunner() = runner ? std::move(runner) : MenuRunner(popUpMenu);
}

void setSavePathChooser(SavePathChooser chooser)
{
    savePathChooser() = chooser ? std::move(chooser) : standardSaveChooser();
}

void setProgramStarter(ProgramStarter starter)
{
    programStarter() = starter ? std::move(starter) : ProgramStarter(startDetached);
}

void install()
{
    DocumentDialogs::install(kShareAction, [](ZDLDocument& document, QObject* window) {
        if (auto* comic = dynamic_cast<ComicDocument*>(&document))
            showServicePicker(*comic, qobject_cast<QWidget*>(window));
    });
}

} // namespace ComicSharing

} // namespace zandrel
