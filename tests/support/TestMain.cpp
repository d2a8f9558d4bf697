#ifdef ZANDREL_WIDGET_TESTS
#include <QApplication>
#else
#include <QGuiApplication>
#endif
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <string>

namespace {
std::string& storeToRemove()
{
    static std::string path;
    return path;
}
} // namespace

int main(int argc, char** argv)
{
    // Tests never need a display, and discovery runs them at build time.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);

    // User defaults written by a test go to a store that disappears with the run. It is made
    // before the application so that it outlives it: the application writes pending settings
    // when it goes, and would otherwise recreate the folder after it was removed. Tests that run
    // this program as a child and kill it get the child's store made inside this one, which goes
    // with it whatever happened to the child.
    const char* const storeVariable = "ZANDREL_TEST_SETTINGS_PARENT";
    const QString parent = qEnvironmentVariable(storeVariable);
    std::optional<QTemporaryDir> settingsDir;
    if (!parent.isEmpty() && QFileInfo(parent).isDir())
        settingsDir.emplace(parent + "/ZandrelTests-XXXXXX");
    if (!settingsDir || !settingsDir->isValid())
        settingsDir.emplace(QDir::tempPath() + "/ZandrelTests-XXXXXX");
    qputenv(storeVariable, QFile::encodeName(settingsDir->path()));
    // The shared user defaults are a function static that syncs when it is destroyed, after main
    // returns and after the temporary folder went. A handler registered now runs after every
    // static made later is gone, so it removes what that last sync wrote.
    storeToRemove() = QFile::encodeName(settingsDir->path()).toStdString();
    std::atexit([] {
        std::error_code ignored;
        std::filesystem::remove_all(storeToRemove(), ignored);
    });
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, settingsDir->path());

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
