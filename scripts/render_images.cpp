// Renders one SVG drawing to PNG at 1x and 2x: render_images IN.svg OUT.png OUT@2x.png
// The build runs it for every interface image; the PNGs are compiled in as Qt resources.
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: render_images IN.svg OUT.png OUT@2x.png\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
    if (!renderer.isValid()) {
        std::fprintf(stderr, "render_images: %s is not a valid drawing\n", argv[1]);
        return 1;
    }
    const QSize size = renderer.defaultSize();
    for (int scale = 1; scale <= 2; ++scale) {
        QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
        }
        if (!image.save(QString::fromLocal8Bit(argv[1 + scale]))) {
            std::fprintf(stderr, "render_images: cannot write %s\n", argv[1 + scale]);
            return 1;
        }
    }
    return 0;
}
