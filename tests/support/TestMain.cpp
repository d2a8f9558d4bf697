#include <QGuiApplication>
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

    QGuiApplication app(argc, argv);
    QCoreApplication::setOrganizationName("ZandrelTests");
    QCoreApplication::setApplicationName("ZandrelTests");

    // User defaults written by a test go to a store that disappears with the run.
    QTemporaryDir settingsDir;
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir.path());

    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
