#include "platform/FontRegistry.h"

#include <QApplication>
#include <QMainWindow>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName("Zandrel");
    QApplication::setOrganizationName("Zandrel");
    QApplication::setApplicationVersion("1.0.134");
    zandrel::FontRegistry::shared().registerShippedFonts();

    QMainWindow window;
    window.setWindowTitle("Zandrel");
    window.resize(1024, 768);
    window.show();
    return app.exec();
}
