#include "views/SavePanel.h"

#include "app/FileDialogFolder.h"
#include "platform/Localization.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QPointer>

namespace zandrel {

namespace SavePanel {

namespace {

Chooser& chooser()
{
    static Chooser installed;
    return installed;
}

QString withExtension(QString path, const QString& extension)
{
    if (!path.isEmpty() && QFileInfo(path).suffix().compare(extension, Qt::CaseInsensitive) != 0)
        path += QLatin1Char('.') + extension;
    return path;
}

} // namespace

void run(QWidget* window, const QString& title, const QString& besidePath, const QString& extension,
    const QString& proposedName, Done done)
{
    if (chooser()) {
        const QString path = chooser()(window, extension, proposedName);
        if (!path.isEmpty())
            done(withExtension(path, extension));
        return;
    }
    auto* panel = new QFileDialog(window, title.isEmpty() ? localized("Export") : title);
    panel->setAttribute(Qt::WA_DeleteOnClose);
    panel->setAcceptMode(QFileDialog::AcceptSave);
    panel->setFileMode(QFileDialog::AnyFile);
    panel->setNameFilter(localized("%1 files (*.%2)").arg(extension.toUpper(), extension));
    panel->setDefaultSuffix(extension);
    FileDialogFolder::setUp(*panel, besidePath);
    if (!proposedName.isEmpty())
        panel->selectFile(proposedName);
    panel->setWindowModality(Qt::WindowModal);
    QObject::connect(panel, &QFileDialog::fileSelected, panel,
        [done = std::move(done), extension](const QString& path) { done(withExtension(path, extension)); });
    panel->open();
}

void setChooser(Chooser installed)
{
    chooser() = std::move(installed);
}

} // namespace SavePanel

} // namespace zandrel
