#include "app/AppController.h"
#include "app/ApplicationsMenuOffer.h"
#include "app/DocumentController.h"
#include "app/MenuActions.h"
#include "app/SingleInstance.h"
#include "app/core/CharacterFileFormats.h"
#include "platform/Log.h"

#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QIcon>
#include <QRegularExpression>
#include <QTimer>
#include <QWidget>

using namespace zandrel;

namespace {

void openArguments(const QStringList& given)
{
    static const QRegularExpression link(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    DocumentController& documents = AppController::shared()->documentController();
    for (const QString& argument : SingleInstance::absoluteArguments(given)) {
        if (link.match(argument).hasMatch()) {
            AppController::shared()->getUrl(argument);
            continue;
        }
        documents.openDocumentShowingErrors(argument);
    }
}

// Saves a picture of the active window and quits: how the program is looked at where nobody sits in
// front of the screen.
void scheduleScreenshot(const QString& path, int delayMs, const QString& action)
{
    // Several actions, separated by commas, run one after another in the first half of the delay.
    const QStringList actions = action.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (qsizetype index = 0; index < actions.size(); ++index) {
        const int at = int(delayMs / 2 * (index + 1) / actions.size());
        QTimer::singleShot(at, [action = actions.at(index)] {
            QWidget* window = QApplication::activeWindow();
            const auto items = window ? window->findChildren<QAction*>() : QList<QAction*>();
            for (QAction* item : items) {
                if (MenuActions::actionOf(item) == action) {
                    MenuActions::send(item, window);
                    break;
                }
            }
        });
    }
    QTimer::singleShot(delayMs, [path] {
        QWidget* window = QApplication::activeWindow();
        // With no active window, a shown document or panel window; never a menu or tool tip left
        // among the top-level widgets.
        for (QWidget* candidate : QApplication::topLevelWidgets()) {
            if (window)
                break;
            const Qt::WindowType type = candidate->windowType();
            if (candidate->isVisible() && (type == Qt::Window || type == Qt::Dialog || type == Qt::Sheet))
                window = candidate;
        }
        const bool saved = window && window->grab().save(path);
        zdlLog(saved ? QStringLiteral("Screenshot saved to %1").arg(path)
                     : QStringLiteral("Screenshot could not be saved to %1").arg(path));
        QApplication::exit(saved ? 0 : 1);
    });
}

// Help and version are answered before any window system is needed, so that they work without a
// display.
bool onlyAsksForInformation(int argc, char* argv[])
{
    static const QStringList informational { QStringLiteral("-h"), QStringLiteral("--help"),
        QStringLiteral("-?"), QStringLiteral("--help-all"), QStringLiteral("-v"),
        QStringLiteral("--version") };
    for (int i = 1; i < argc; ++i) {
        if (informational.contains(QString::fromLocal8Bit(argv[i])))
            return true;
    }
    return false;
}

void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Zandrel"));
    QCoreApplication::setOrganizationName(QStringLiteral("Zandrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.134"));
}

struct Options {
    QCommandLineParser parser;
    QCommandLineOption screenshot { QStringLiteral("screenshot"), QString(), QStringLiteral("png") };
    QCommandLineOption screenshotDelay { QStringLiteral("screenshot-delay"), QString(), QStringLiteral("ms"),
        QStringLiteral("800") };
    // A menu command run before the picture is taken ("exportDialog:"), to look at its sheet.
    QCommandLineOption screenshotAction { QStringLiteral("screenshot-action"), QString(),
        QStringLiteral("action") };

    Options()
    {
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument(QStringLiteral("files"),
            QStringLiteral("Comic and parts files to open."), QStringLiteral("[files...]"));
        screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
        screenshotDelay.setFlags(QCommandLineOption::HiddenFromHelp);
        screenshotAction.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOptions({ screenshot, screenshotDelay, screenshotAction });
    }
};

} // namespace

int main(int argc, char* argv[])
{
    if (onlyAsksForInformation(argc, argv)) {
        QCoreApplication information(argc, argv);
        nameApplication();
        Options options;
        options.parser.process(information);
        return 0;
    }

    QApplication app(argc, argv);
    nameApplication();
    QApplication::setDesktopFileName(kBundleIdentifier);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/zandrel.png")));

    Options options;
    QCommandLineParser& parser = options.parser;
    const QCommandLineOption& screenshot = options.screenshot;
    const QCommandLineOption& screenshotDelay = options.screenshotDelay;
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();

    // A picture is always taken by an instance of its own.
    if (!parser.isSet(screenshot) && SingleInstance::forwardToRunningInstance(arguments))
        return 0;

    auto* controller
        = static_cast<AppController*>(ZDLAppController::install(std::make_unique<AppController>()));
    controller->applicationDidFinishLaunching();
    // Before any document opens; a picture is taken without asking anybody.
    if (!parser.isSet(screenshot))
        offerMoveToApplicationsFolder();
    QObject::connect(&app, &QApplication::aboutToQuit, [] {
        if (AppController* shared = AppController::shared())
            shared->applicationWillTerminate();
    });

    SingleInstance instance;
    if (!parser.isSet(screenshot))
        instance.listen([](const QStringList& handedOver) {
            openArguments(handedOver);
            // Started again without files: the program comes to the front.
            if (handedOver.isEmpty() && !QApplication::topLevelWidgets().isEmpty()) {
                QWidget* window = QApplication::activeWindow();
                for (QWidget* candidate : QApplication::topLevelWidgets()) {
                    if (!window && candidate->isVisible())
                        window = candidate;
                }
                if (window) {
                    window->raise();
                    window->activateWindow();
                }
            }
        });

    openArguments(arguments);
    // The menus live in the windows here: without a document there would be nothing to start from,
    // so the program starts with a new comic.
    if (controller->documentController().documents().isEmpty())
        controller->documentController().makeUntitledDocument(kComicDocumentType);

    // The store is asked once the program runs; a picture needs no network.
    if (!parser.isSet(screenshot))
        QTimer::singleShot(0, [controller] { controller->checkArtStoreInBackground(); });
    if (parser.isSet(screenshot))
        scheduleScreenshot(parser.value(screenshot), parser.value(screenshotDelay).toInt(),
            parser.value(options.screenshotAction));
    const int result = app.exec();
    ZDLAppController::install(nullptr);
    return result;
}
