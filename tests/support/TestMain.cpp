#ifdef ZANDREL_WIDGET_TESTS
#include <QApplication>
#else
#include <QGuiApplication>
#endif
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Tests never need a display, and discovery runs them at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);

    // User defaults written by a test go to a store that disappears with the run. It is made
    // before the application so that it outlives it: the application writes pending settings
    // when it goes, and would otherwise recreate the folder after it was removed.
    QTemporaryDir settingsDir(QDir::tempPath() + "/ZandrelTests-XXXXXX");
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());

#ifdef ZANDREL_WIDGET_TESTS
    // Window tests need widgets: real windows, menus and message boxes on the offscreen platform.
    QApplication app(argc, argv);
#else
    QGuiApplication app(argc, argv);
#endif
    QCoreApplication::setOrganizationName("ZandrelTests");
    QCoreApplication::setApplicationName("ZandrelTests");

    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
