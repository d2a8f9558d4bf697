#include "app/AppController.h"
#include "app/DocumentController.h"
#include "app/SingleInstance.h"
#include "app/core/CharacterFileFormats.h"
#include "platform/Log.h"

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
            // Links are handed to the link handler once downloads exist; until then they are logged.
            zdlLog(QStringLiteral("Open link: %1").arg(argument));
            continue;
        }
        documents.openDocumentShowingErrors(argument);
    }
}

// Saves a picture of the active window and quits: how the program is looked at where nobody sits in
// front of the screen.
void scheduleScreenshot(const QString& path, int delayMs)
{
    QTimer::singleShot(delayMs, [path] {
        QWidget* window = QApplication::activeWindow();
        if (!window && !QApplication::topLevelWidgets().isEmpty())
            window = QApplication::topLevelWidgets().constFirst();
        const bool saved = window && window->grab().save(path);
        zdlLog(saved ? QStringLiteral("Screenshot saved to %1").arg(path)
                     : QStringLiteral("Screenshot could not be saved to %1").arg(path));
        QApplication::exit(saved ? 0 : 1);
    });
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Zandrel"));
    QApplication::setOrganizationName(QStringLiteral("Zandrel"));
    QApplication::setApplicationVersion(QStringLiteral("1.0.134"));
    QApplication::setDesktopFileName(kBundleIdentifier);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/zandrel.png")));

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Comic and parts files to open."),
        QStringLiteral("[files...]"));
    QCommandLineOption screenshot(QStringLiteral("screenshot"), QString(), QStringLiteral("png"));
    screenshot.setFlags(QCommandLineOption::HiddenFromHelp);
    QCommandLineOption screenshotDelay(
        QStringLiteral("screenshot-delay"), QString(), QStringLiteral("ms"), QStringLiteral("800"));
    screenshotDelay.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOptions({ screenshot, screenshotDelay });
    parser.process(app);
    const QStringList arguments = parser.positionalArguments();

    // A picture is always taken by an instance of its own.
    if (!parser.isSet(screenshot) && SingleInstance::forwardToRunningInstance(arguments))
        return 0;

    auto* controller
        = static_cast<AppController*>(ZDLAppController::install(std::make_unique<AppController>()));
    controller->applicationDidFinishLaunching();
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
    // The menus live in the windows here: without a document there would be nothing to start from.
    if (controller->documentController().documents().isEmpty())
        controller->documentController().makeUntitledDocument(kCharacterDocumentType);

    if (parser.isSet(screenshot))
        scheduleScreenshot(parser.value(screenshot), parser.value(screenshotDelay).toInt());
    const int result = app.exec();
    ZDLAppController::install(nullptr);
    return result;
}
