#include "app/ApplicationsMenuOffer.h"

#include "app/core/ModalAlert.h"
#include "app/core/ZDLAppController.h"
#include "platform/AtomicFile.h"
#include "platform/Localization.h"
#include "platform/Log.h"
#include "platform/RegularFile.h"
#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

namespace zandrel {

namespace {

// The desktop's tools are small; one that takes longer than this is left to finish on its own.
constexpr int kToolTimeoutMs = 10000;
// A desktop entry is a few lines; a larger file is not one.
constexpr qint64 kMaxEntryBytes = qint64(1) << 20;
// Platforms without a person in front of a screen: the tests and headless runs.
const QStringList kHeadlessPlatforms { QStringLiteral("offscreen"), QStringLiteral("minimal"),
    QStringLiteral("minimalegl") };

QString entryFileName()
{
    return ApplicationsMenu::kDesktopId + QStringLiteral(".desktop");
}

QStringList pathList(const QByteArray& value)
{
    QStringList folders;
    for (const QString& folder : QString::fromLocal8Bit(value).split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        // Relative folders are invalid in these lists and are ignored.
        if (QDir::isAbsolutePath(folder))
            folders.append(folder);
    }
    return folders;
}

QString canonical(const QString& path)
{
    const QString resolved = QFileInfo(path).canonicalFilePath();
    return resolved.isEmpty() ? QDir::cleanPath(path) : resolved;
}

// The value of a key of the entry's main group, its escapes (\s \n \t \r \\) undone.
QString entryValue(const QString& text, const QString& key)
{
    bool inMainGroup = false;
    for (const QString& rawLine : text.split(QLatin1Char('\n'))) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inMainGroup = line == QStringLiteral("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inMainGroup || equals < 0 || line.left(equals).trimmed() != key)
            continue;
        const QString value = line.mid(equals + 1).trimmed();
        QString unescaped;
        for (qsizetype i = 0; i < value.size(); ++i) {
            const QChar c = value.at(i);
            if (c != QLatin1Char('\\') || i + 1 == value.size()) {
                unescaped.append(c);
                continue;
            }
            const QChar next = value.at(++i);
            const char code = next.toLatin1();
            unescaped.append(code == 's' ? QChar(u' ')
                    : code == 'n'        ? QChar(u'\n')
                    : code == 't'        ? QChar(u'\t')
                    : code == 'r'        ? QChar(u'\r')
                                         : next);
        }
        return unescaped;
    }
    return QString();
}

// The first argument of an Exec value: quoted ("...", with \" \` \$ \\ inside) or up to a blank.
QString firstArgument(const QString& exec)
{
    const QString value = exec.trimmed();
    if (!value.startsWith(QLatin1Char('"')))
        return value.section(QLatin1Char(' '), 0, 0);
    QString argument;
    for (qsizetype i = 1; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('"'))
            return argument;
        if (c == QLatin1Char('\\') && i + 1 < value.size())
            argument.append(value.at(++i));
        else
            argument.append(c);
    }
    // No closing quote: not a program the desktop would start.
    return QString();
}

bool writeWhole(const QString& path, const QByteArray& bytes, QString* error)
{
    QString reason;
    if (writeFileAtomically(path, bytes, &reason))
        return true;
    *error = localized("“%1” could not be written: %2").arg(path, reason);
    zdlLog(QStringLiteral("ERROR -- Could not write '%1': %2").arg(path, reason));
    return false;
}

QByteArray resourceBytes(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The shipped entry with its Exec line starting this program.
QByteArray entryFor(const QString& executable)
{
    const QString shipped = QString::fromUtf8(resourceBytes(QStringLiteral(":/desktop/") + entryFileName()));
    QStringList lines = shipped.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.startsWith(QStringLiteral("Exec="))) {
            const QString arguments = line.section(QLatin1Char(' '), 1);
            line = QStringLiteral("Exec=") + ApplicationsMenu::execLine(executable)
                + (arguments.isEmpty() ? QString() : QLatin1Char(' ') + arguments);
        }
    }
    return lines.join(QLatin1Char('\n')).toUtf8();
}

// Runs one of the desktop's tools when it is installed; its failure is logged and nothing more:
// the files are in place, and the desktop reads them again sooner or later.
void runTool(const QString& tool, const QStringList& arguments, const QString& dataHome)
{
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty())
        return;
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome);
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(program, arguments);
    QStringList command { quoteForShell(program) };
    for (const QString& argument : arguments)
        command.append(quoteForShell(argument));
    if (!process.waitForFinished(kToolTimeoutMs)) {
        zdlLog(QStringLiteral("WARNING -- %1 did not end").arg(command.join(QLatin1Char(' '))));
        process.kill();
        process.waitForFinished(kToolTimeoutMs);
        return;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        zdlLog(QStringLiteral("WARNING -- %1 ended with status %2")
                   .arg(command.join(QLatin1Char(' ')))
                   .arg(process.exitCode()));
}

} // namespace

DesktopPlaces DesktopPlaces::current()
{
    DesktopPlaces places;
    places.executable = canonical(QCoreApplication::applicationFilePath());
    const QStringList home = pathList(qgetenv("XDG_DATA_HOME"));
    places.dataHome = home.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : home.first();
    places.dataDirs = pathList(qgetenv("XDG_DATA_DIRS"));
    if (places.dataDirs.isEmpty())
        places.dataDirs = { QStringLiteral("/usr/local/share"), QStringLiteral("/usr/share") };
    places.searchPath = pathList(qgetenv("PATH"));
    return places;
}

namespace ApplicationsMenu {

QString entryInUse(const DesktopPlaces& places)
{
    for (const QString& folder : QStringList { places.dataHome } + places.dataDirs) {
        const QString entry = folder + QStringLiteral("/applications/") + entryFileName();
        if (QFileInfo(entry).isFile())
            return entry;
    }
    return QString();
}

QString programOfEntry(const QString& entryText)
{
    return firstArgument(entryValue(entryText, QStringLiteral("Exec")));
}

bool startsThisProgram(const DesktopPlaces& places)
{
    const std::optional<QByteArray> entry = readRegularFile(entryInUse(places), kMaxEntryBytes);
    if (!entry)
        return false;
    QString program = programOfEntry(QString::fromUtf8(*entry));
    if (program.isEmpty())
        return false;
    if (!program.contains(QLatin1Char('/')))
        program = QStandardPaths::findExecutable(program, places.searchPath);
    return !program.isEmpty() && canonical(program) == canonical(places.executable);
}

QString execLine(const QString& executable)
{
    // Quoted whole, with the characters that stay special inside double quotes escaped; the entry's
    // own escaping then doubles each backslash.
    QString quoted;
    for (const QChar c : executable) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted.append(QLatin1Char('\\'));
        quoted.append(c);
    }
    quoted = QLatin1Char('"') + quoted + QLatin1Char('"');
    return quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

bool install(const DesktopPlaces& places, QString* error)
{
    QString ignored;
    QString& reason = error ? *error : ignored;
    const QString data = places.dataHome;
    const QString applications = data + QStringLiteral("/applications");
    const QString entry = applications + QLatin1Char('/') + entryFileName();
    const QString types = data + QStringLiteral("/mime/packages/") + kDesktopId + QStringLiteral(".xml");
    const QString icon
        = data + QStringLiteral("/icons/hicolor/128x128/apps/") + kDesktopId + QStringLiteral(".png");
    const QString largeIcon
        = data + QStringLiteral("/icons/hicolor/256x256/apps/") + kDesktopId + QStringLiteral(".png");
    for (const QString& file : { entry, types, icon, largeIcon }) {
        if (!QDir().mkpath(QFileInfo(file).path())) {
            reason = localized("The folder “%1” could not be made.").arg(QFileInfo(file).path());
            return false;
        }
    }
    // The user's entry for another copy of the program goes where the user can get it back.
    if (QFileInfo(entry).isFile() && entryInUse(places) == entry && !startsThisProgram(places)
        && !moveItemToTrash(entry)) {
        reason = localized("The menu entry “%1” could not be moved to the Trash.").arg(entry);
        return false;
    }
    const std::pair<QString, QByteArray> files[] = {
        { types, resourceBytes(QStringLiteral(":/desktop/") + kDesktopId + QStringLiteral(".xml")) },
        { icon, resourceBytes(QStringLiteral(":/images/zandrel.png")) },
        { largeIcon, resourceBytes(QStringLiteral(":/images/zandrel@2x.png")) },
        { entry, entryFor(places.executable) },
    };
    QStringList written;
    for (const auto& [path, bytes] : files) {
        const bool existed = QFileInfo::exists(path);
        if (bytes.isEmpty() || !writeWhole(path, bytes, &reason)) {
            if (bytes.isEmpty())
                reason = localized("The program lacks the file for “%1”.").arg(path);
            // Nothing half done stays behind: the menu would show an entry without its icon.
            for (const QString& made : written)
                deletePathOrWarn(made);
            return false;
        }
        if (!existed)
            written.append(path);
    }
    runTool(QStringLiteral("update-mime-database"), { data + QStringLiteral("/mime") }, data);
    runTool(QStringLiteral("update-desktop-database"), { applications }, data);
    runTool(QStringLiteral("xdg-mime"),
        { QStringLiteral("default"), entryFileName(), QStringLiteral("x-scheme-handler/zdltp"),
            QStringLiteral("application/x-zandrel-comic"), QStringLiteral("application/x-zandrel-parts") },
        data);
    return true;
}

} // namespace ApplicationsMenu

QString quoteForShell(const QString& text)
{
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

bool moveItemToTrash(const QString& path)
{
    if (QFile::moveToTrash(path))
        return true;
    zdlLog(QStringLiteral("ERROR -- Could not trash '%1'").arg(path));
    return false;
}

bool deletePathOrWarn(const QString& path)
{
    const QFileInfo info(path);
    const bool removed
        = info.isDir() && !info.isSymLink() ? QDir(path).removeRecursively() : QFile::remove(path);
    if (removed)
        return true;
    QFile file(path);
    const QString reason
        = info.exists() || info.isSymLink() ? file.errorString() : localized("No such file.");
    zdlLog(QStringLiteral("WARNING -- Could not delete '%1': %2").arg(path, reason));
    return moveItemToTrash(path);
}

void offerMoveToApplicationsFolder()
{
    if (kHeadlessPlatforms.contains(QGuiApplication::platformName()))
        return;
    offerToAddToApplicationsMenu(DesktopPlaces::current());
}

void offerToAddToApplicationsMenu(const DesktopPlaces& places)
{
    UserDefaults& defaults = UserDefaults::standard();
    if (defaults.boolean(kMoveToApplicationsFolderAlertSuppressKey))
        return;
    if (places.executable.isEmpty() || ApplicationsMenu::startsThisProgram(places))
        return;

    ModalAlert alert;
    alert.message = localized("Add Zandrel to your applications menu?");
    alert.informativeText
        = localized("I can add myself to the applications menu in your Home folder if you'd like.")
        + QLatin1Char(' ')
        + localized("Comics, parts files and zdltp links will then open in this copy of Zandrel.");
    alert.buttons = { localized("Add to Applications Menu"), localized("Do Not Add") };
    alert.suppressionText = localized("Do not ask again");
    alert.style = ModalAlert::Style::Question;
    bool suppressed = false;
    alert.suppressed = &suppressed;
    if (appController()->runModalAlert(alert) != ModalAlert::kFirstButton) {
        if (suppressed)
            defaults.set(kMoveToApplicationsFolderAlertSuppressKey, true);
        return;
    }
    zdlLog(QStringLiteral("INFO -- Adding myself to the applications menu"));
    QString error;
    if (ApplicationsMenu::install(places, &error))
        return;
    zdlLog(QStringLiteral("ERROR -- Could not add myself to the applications menu"));
    ModalAlert failure;
    failure.message = localized("Could not add to the applications menu");
    failure.informativeText = error;
    appController()->runModalAlert(failure);
}

} // namespace zandrel
