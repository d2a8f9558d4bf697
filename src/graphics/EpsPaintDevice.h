#pragma once

#include <QByteArray>
#include <QPaintDevice>
#include <QPainterPath>
#include <QSizeF>
#include <QString>
#include <memory>

namespace zandrel {

class EpsPaintEngine;

// A paint device whose drawing becomes an Encapsulated PostScript file (language level 3) of
// the given size in points. Its units are pixels at the given resolution (y growing down), so
// that what a drawing makes offscreen for it (blurs, translucent layers) is made at that
// resolution; PostScript coordinates are written in those units and scaled to points.
//
// Paths, solid fills (winding and even-odd), strokes with their width, caps, joins, miter limit
// and dash, clips, transforms, padded linear and radial gradients of opaque stops, images and
// text (as outlines) are written as PostScript. What PostScript cannot say — translucent colours,
// painter opacity, images with transparency, compositing modes other than drawing over, other
// brush patterns — is drawn the same moment into a white picture of the whole area at the
// resolution, and the part of that picture under the drawing's
// own outline is written as an image clipped to that outline. The picture has everything drawn
// before, so what shows through a translucent part is what was really under it, and what is
// drawn later covers it in PostScript as usual.
//
// The result is complete once the painter has ended; data() is empty before that, or when
// the fallback picture could not be made.
class EpsPaintDevice : public QPaintDevice {
public:
    EpsPaintDevice(const QSizeF& points, const QString& title, int dotsPerInch);
    ~EpsPaintDevice() override;

    QPaintEngine* paintEngine() const override;
    QByteArray data() const;
    // How many drawings became images of the fallback picture (0 for a drawing that is all vector).
    int pictureRegions() const;

    // The PostScript operators of a path (prolog names: m, l, c, h), numbers as written.
    static QByteArray pathOperators(const QPainterPath& path);

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSizeF m_points;
    int m_dotsPerInch;
    std::unique_ptr<EpsPaintEngine> m_engine;
};

} // namespace zandrel
