#include "platform/OffscreenImage.h"

#include "platform/PainterCanvas.h"

#include <QPainter>
#include <cmath>

namespace zandrel {

namespace {

// The painter lives beside the canvas so that the canvas can be finished before it ends.
class OwnedPainterCanvas : public PainterCanvas {
public:
    OwnedPainterCanvas(std::unique_ptr<QPainter> painter)
        : PainterCanvas(painter.get(), CanvasTarget::Bitmap)
        , m_painter(std::move(painter))
    {
    }
    ~OwnedPainterCanvas() override
    {
        finish();
        m_painter->end();
    }

private:
    std::unique_ptr<QPainter> m_painter;
};

} // namespace

bool OffscreenImage::isAcceptable(const QSize& pixelSize, double scale)
{
    return std::isfinite(scale) && scale > 0 && pixelSize.width() > 0 && pixelSize.height() > 0
        && pixelSize.width() <= kMaxSide && pixelSize.height() <= kMaxSide
        && qint64(pixelSize.width()) * pixelSize.height() <= kMaxPixels;
}

QSize OffscreenImage::pixelSizeFor(const QSizeF& logicalSize, double scale)
{
    const double width = std::ceil(logicalSize.width() * scale);
    const double height = std::ceil(logicalSize.height() * scale);
    // Compared as doubles first: NaN and huge values must not reach the int conversion.
    if (!(width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide))
        return QSize();
    const QSize size(static_cast<int>(width), static_cast<int>(height));
    return isAcceptable(size, scale) ? size : QSize();
}

OffscreenImage::OffscreenImage(const QSize& pixelSize, double scale, bool yUp)
{
    if (!isAcceptable(pixelSize, scale))
        return;
    m_image = QImage(pixelSize, QImage::Format_ARGB32_Premultiplied);
    if (m_image.isNull())
        return;
    m_image.fill(Qt::transparent);
    auto painter = std::make_unique<QPainter>();
    if (!painter->begin(&m_image)) {
        m_image = QImage();
        return;
    }
    // The base space: logical units, y up from the bottom edge when asked.
    painter->setWorldTransform(
        yUp ? QTransform(scale, 0, 0, -scale, 0, pixelSize.height()) : QTransform::fromScale(scale, scale));
    m_canvas = std::make_unique<OwnedPainterCanvas>(std::move(painter));
}

OffscreenImage::~OffscreenImage() = default;

Canvas* OffscreenImage::canvas() const
{
    return m_canvas.get();
}

QImage OffscreenImage::takeImage()
{
    m_canvas.reset();
    QImage image = std::move(m_image);
    m_image = QImage();
    return image;
}

} // namespace zandrel
