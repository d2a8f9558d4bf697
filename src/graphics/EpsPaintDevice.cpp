#include "graphics/EpsPaintDevice.h"

#include <QBrush>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPathStroker>
#include <QPixmap>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <vector>

namespace zandrel {

namespace {

// Short names for the operators every drawing uses, in a dictionary of their own so that a
// file placing the EPS keeps its names.
constexpr const char* kProlog = "/ZandrelEPSDict 32 dict def ZandrelEPSDict begin\n"
                                "/m /moveto load def /l /lineto load def /c /curveto load def\n"
                                "/h /closepath load def /f /fill load def /ef /eofill load def\n"
                                "/S /stroke load def /W /clip load def /eW /eoclip load def\n"
                                "/n /newpath load def /q /gsave load def /Q /grestore load def\n"
                                "/cm /concat load def /rg /setrgbcolor load def /w /setlinewidth load def\n"
                                "/J /setlinecap load def /j /setlinejoin load def\n"
                                "/M /setmiterlimit load def /d /setdash load def\n"
                                "end\n";

QByteArray num(double v, int decimals = 4)
{
    if (!std::isfinite(v))
        return "0";
    QByteArray s = QByteArray::number(v, 'f', decimals);
    if (s.contains('.')) {
        while (s.endsWith('0'))
            s.chop(1);
        if (s.endsWith('.'))
            s.chop(1);
    }
    if (s == "-0")
        return "0";
    return s;
}

QByteArray point(const QPointF& p)
{
    return num(p.x()) + ' ' + num(p.y());
}

QByteArray matrix(const QTransform& t)
{
    return '[' + num(t.m11(), 6) + ' ' + num(t.m12(), 6) + ' ' + num(t.m21(), 6) + ' ' + num(t.m22(), 6) + ' '
        + num(t.dx()) + ' ' + num(t.dy()) + "] cm\n";
}

QByteArray concat(const QTransform& t)
{
    return t.isIdentity() ? QByteArray() : matrix(t);
}

QByteArray rgb(const QColor& color)
{
    const QColor c = color.toRgb();
    return num(c.redF()) + ' ' + num(c.greenF()) + ' ' + num(c.blueF());
}

bool finite(const QTransform& t)
{
    for (double v : { t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33() })
        if (!std::isfinite(v))
            return false;
    return true;
}

// PostScript's RunLengthEncode: runs of 2 to 128 equal bytes, literals of up to 128, then EOD.
QByteArray runLength(const uchar* data, qsizetype n)
{
    QByteArray out;
    out.reserve(n / 2 + 16);
    qsizetype i = 0;
    while (i < n) {
        qsizetype run = 1;
        while (i + run < n && run < 128 && data[i + run] == data[i])
            ++run;
        if (run >= 2) {
            out.append(char(257 - run));
            out.append(char(data[i]));
            i += run;
            continue;
        }
        const qsizetype start = i;
        qsizetype length = 0;
        while (i < n && length < 128) {
            if (i + 2 < n && data[i] == data[i + 1] && data[i + 1] == data[i + 2])
                break;
            ++i;
            ++length;
        }
        out.append(char(length - 1));
        out.append(reinterpret_cast<const char*>(data + start), length);
    }
    out.append(char(128));
    return out;
}

void appendAscii85(QByteArray& out, const QByteArray& data)
{
    int column = 0;
    auto put = [&](char c) {
        // A line of data starting with a percent sign would read as a comment to a program
        // scanning the file's structure; the decoder skips the space.
        if (column == 0 && c == '%') {
            out.append(' ');
            ++column;
        }
        out.append(c);
        if (++column == 75) {
            out.append('\n');
            column = 0;
        }
    };
    for (qsizetype i = 0; i < data.size(); i += 4) {
        const int n = int(std::min<qsizetype>(4, data.size() - i));
        quint32 word = 0;
        for (int k = 0; k < 4; ++k)
            word = (word << 8) | (k < n ? quint8(data[i + k]) : 0);
        if (word == 0 && n == 4) {
            put('z');
            continue;
        }
        char digits[5];
        for (int k = 4; k >= 0; --k) {
            digits[k] = char('!' + word % 85);
            word /= 85;
        }
        for (int k = 0; k <= n; ++k)
            put(digits[k]);
    }
    out.append("~>\n");
}

bool opaque(const QImage& image, const QRect& area)
{
    if (!image.hasAlphaChannel())
        return true;
    const QImage argb = image.copy(area).convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if (qAlpha(line[x]) != 255)
                return false;
    }
    return true;
}

bool opaqueStops(const QGradient& gradient)
{
    const QGradientStops stops = gradient.stops();
    return !stops.isEmpty() && std::all_of(stops.begin(), stops.end(), [](const QGradientStop& s) {
        return std::isfinite(s.first) && s.second.isValid() && s.second.alpha() == 255;
    });
}

// A function of t in [0, 1] giving the gradient's colour: one exponential (linear) function
// between each pair of stops, joined by a stitching function; padded with the end colours.
QByteArray gradientFunction(const QGradient& gradient)
{
    std::vector<std::pair<double, QColor>> stops;
    for (const QGradientStop& s : gradient.stops())
        stops.emplace_back(std::clamp(s.first, 0.0, 1.0), s.second);
    std::stable_sort(
        stops.begin(), stops.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (stops.front().first > 0)
        stops.insert(stops.begin(), { 0.0, stops.front().second });
    if (stops.back().first < 1)
        stops.emplace_back(1.0, stops.back().second);
    auto segment = [](const QColor& a, const QColor& b) {
        return "<< /FunctionType 2 /Domain [0 1] /C0 [" + rgb(a) + "] /C1 [" + rgb(b) + "] /N 1 >>";
    };
    std::vector<QByteArray> functions;
    std::vector<double> ends;
    for (size_t i = 0; i + 1 < stops.size(); ++i)
        if (stops[i + 1].first > stops[i].first) {
            functions.push_back(segment(stops[i].second, stops[i + 1].second));
            ends.push_back(stops[i + 1].first);
        }
    if (functions.empty())
        return segment(stops.back().second, stops.back().second);
    if (functions.size() == 1)
        return functions.front();
    QByteArray out = "<< /FunctionType 3 /Domain [0 1] /Functions [";
    for (const QByteArray& f : functions)
        out += f + '\n';
    // Eight numbers to a line: lines of a structured file stay under 256 characters.
    out += "] /Bounds [";
    for (size_t i = 0; i + 1 < ends.size(); ++i)
        out += num(ends[i], 6) + (i % 8 == 7 ? '\n' : ' ');
    out += "]\n/Encode [";
    for (size_t i = 0; i < functions.size(); ++i)
        out += i % 8 == 7 ? "0 1\n" : "0 1 ";
    out += "] >>";
    return out;
}

// The shading dictionary of a gradient brush PostScript can draw exactly, or nothing.
QByteArray shadingFor(const QBrush& brush)
{
    const QGradient* g = brush.gradient();
    if (!g || g->coordinateMode() != QGradient::LogicalMode || g->spread() != QGradient::PadSpread
        || !opaqueStops(*g))
        return QByteArray();
    QByteArray coords;
    int type = 0;
    if (g->type() == QGradient::LinearGradient) {
        const auto* linear = static_cast<const QLinearGradient*>(g);
        if (linear->start() == linear->finalStop())
            return QByteArray();
        type = 2;
        coords = point(linear->start()) + ' ' + point(linear->finalStop());
    } else if (g->type() == QGradient::RadialGradient) {
        const auto* radial = static_cast<const QRadialGradient*>(g);
        if (!(radial->radius() > 0) || radial->focalRadius() < 0)
            return QByteArray();
        type = 3;
        coords = point(radial->focalPoint()) + ' ' + num(radial->focalRadius()) + ' '
            + point(radial->center()) + ' ' + num(radial->radius());
    } else {
        return QByteArray();
    }
    return "<< /ShadingType " + QByteArray::number(type) + " /ColorSpace /DeviceRGB /Coords [" + coords
        + "] /Extend [true true]\n/Function " + gradientFunction(*g) + " >> shfill\n";
}

// Whether a join of the path turns so sharply that a miter of the limit (as PostScript counts it:
// miter length over line width) is cut off. Curves are smooth inside, so only the joins between
// segments and at the start of a closed subpath count.
bool exceedsMiterLimit(const QPainterPath& path, double limit)
{
    // The miter ratio is 1 / sin(angle / 2) = 1 / sqrt((1 + cos turn) / 2) for unit directions.
    const double least = 2.0 / (limit * limit) - 1.0; // the smallest cos turn a full miter allows
    auto direction = [](const QPointF& from, const QPointF& to) {
        const QPointF d = to - from;
        const double length = std::hypot(d.x(), d.y());
        return length > 1e-9 ? d / length : QPointF();
    };
    auto sharp = [&](const QPointF& in, const QPointF& out) {
        return !in.isNull() && !out.isNull() && QPointF::dotProduct(in, out) < least;
    };
    const int count = path.elementCount();
    int i = 0;
    while (i < count) {
        // One subpath: its segments' directions where they start and where they end.
        std::vector<std::pair<QPointF, QPointF>> segments;
        const QPointF start = path.elementAt(i);
        QPointF current = start;
        ++i;
        while (i < count && path.elementAt(i).type != QPainterPath::MoveToElement) {
            const QPainterPath::Element e = path.elementAt(i);
            if (e.type == QPainterPath::CurveToElement && i + 2 < count) {
                const QPointF c1 = e;
                const QPointF c2 = path.elementAt(i + 1);
                const QPointF end = path.elementAt(i + 2);
                // A control point on its end point leaves the tangent to the next one along.
                QPointF first = direction(current, c1);
                for (const QPointF& next : { c2, end })
                    if (first.isNull())
                        first = direction(current, next);
                QPointF last = direction(c2, end);
                for (const QPointF& previous : { c1, current })
                    if (last.isNull())
                        last = direction(previous, end);
                if (!first.isNull())
                    segments.emplace_back(first, last);
                current = end;
                i += 3;
                continue;
            }
            const QPointF d = direction(current, e);
            if (!d.isNull())
                segments.emplace_back(d, d);
            current = e;
            ++i;
        }
        for (size_t k = 1; k < segments.size(); ++k)
            if (sharp(segments[k - 1].second, segments[k].first))
                return true;
        if (segments.size() > 1 && direction(current, start).isNull()
            && sharp(segments.back().second, segments.front().first))
            return true;
    }
    return false;
}

QPainterPath strokeOutline(const QPen& pen, const QPainterPath& path)
{
    QPainterPathStroker stroker;
    stroker.setWidth(pen.widthF() > 0 ? pen.widthF() : 1.0);
    stroker.setCapStyle(pen.capStyle());
    stroker.setJoinStyle(pen.joinStyle());
    stroker.setMiterLimit(pen.miterLimit());
    if (pen.style() != Qt::SolidLine) {
        stroker.setDashPattern(pen.dashPattern());
        stroker.setDashOffset(pen.dashOffset());
    }
    return stroker.createStroke(path);
}

} // namespace

class EpsPaintEngine : public QPaintEngine {
public:
    EpsPaintEngine(const QSizeF& points, const QString& title, int dotsPerInch)
        : QPaintEngine(QPaintEngine::AllFeatures)
        , m_points(points)
        , m_units(points * (dotsPerInch / 72.0))
        , m_dotsPerInch(dotsPerInch)
        , m_title(title)
    {
    }

    bool begin(QPaintDevice*) override;
    bool end() override;
    void updateState(const QPaintEngineState& state) override;
    void drawPath(const QPainterPath& path) override;
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override;
    void drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& sr) override;
    void drawImage(
        const QRectF& r, const QImage& image, const QRectF& sr, Qt::ImageConversionFlags flags) override;
    Type type() const override { return QPaintEngine::User; }

    QByteArray m_data;
    int m_pictureRegions = 0;

private:
    enum class Paint { None, Solid, Shading, Picture };

    void draw(const QPainterPath& path, bool fill, bool stroke);
    Paint classify(const QBrush& brush) const;
    bool affine() const { return m_transform.type() < QTransform::TxProject && m_transform.isInvertible(); }
    bool clippedAway() const { return m_clipEnabled && m_clipBounds.isEmpty(); }
    void writeClip();
    void syncShadow();
    void fillVector(const QPainterPath& path, const QBrush& brush, Paint paint);
    void strokeVector(const QPainterPath& path);
    void writePicture(const QPainterPath& outline);
    void writeImage(const QImage& image, const QTransform& transform, const QRectF& target, bool interpolate);
    QPainterPath deviceStrokeOutline(const QPainterPath& path) const;
    bool smoothingIgnored(const QRectF& target, const QRectF& source) const;
    bool cutsMiters(const QPainterPath& path) const;
    double postScriptMiterLimit() const;

    QSizeF m_points;
    QSizeF m_units; // the device's size in its own units, which are the fallback picture's pixels
    int m_dotsPerInch;
    QString m_title;
    double m_scale = 1.0; // fallback pixels in a device unit
    QByteArray m_out;
    QImage m_shadow;
    QPainter m_shadowPainter;

    QPen m_pen;
    QBrush m_brush;
    QPointF m_brushOrigin;
    QTransform m_transform;
    double m_opacity = 1.0;
    QPainter::CompositionMode m_mode = QPainter::CompositionMode_SourceOver;
    QPainter::RenderHints m_hints;
    std::vector<QPainterPath> m_clips; // device space
    bool m_clipEnabled = false;
    QRectF m_clipBounds;
    bool m_clipWritten = false;
    bool m_shadowClipCurrent = false;
};

bool EpsPaintEngine::begin(QPaintDevice*)
{
    m_data.clear();
    m_out.clear();
    m_pictureRegions = 0;
    const QSize pixels(std::max(1, int(std::ceil(m_units.width() * m_scale))),
        std::max(1, int(std::ceil(m_units.height() * m_scale))));
    m_shadow = QImage(pixels, QImage::Format_RGB32);
    if (m_shadow.isNull())
        return false;
    m_shadow.fill(Qt::white);
    if (!m_shadowPainter.begin(&m_shadow))
        return false;
    QString title = m_title;
    title.replace(QRegularExpression(QStringLiteral("[^\\x20-\\x7e]")), QStringLiteral("?"));
    // A comment line has at most 255 characters.
    if (title.size() > 200)
        title = title.left(197) + QStringLiteral("...");
    m_out += "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Zandrel\n%%Title: " + title.toLatin1() + '\n';
    m_out += "%%BoundingBox: 0 0 " + QByteArray::number(std::ceil(m_points.width())) + ' '
        + QByteArray::number(std::ceil(m_points.height())) + '\n';
    m_out += "%%HiResBoundingBox: 0 0 " + num(m_points.width(), 3) + ' ' + num(m_points.height(), 3) + '\n';
    m_out += "%%LanguageLevel: 3\n%%Pages: 1\n%%EndComments\n%%BeginProlog\n";
    m_out += kProlog;
    m_out += "%%EndProlog\n%%Page: 1 1\nZandrelEPSDict begin\ngsave\n";
    // Nothing marks outside the bounding box, as nothing marks outside a bitmap of its size.
    m_out += "0 0 " + num(m_points.width(), 3) + ' ' + num(m_points.height(), 3) + " rectclip\n";
    // Device space has y growing down from the top-left corner, in units of the resolution.
    const double unit = 72.0 / m_dotsPerInch;
    m_out += "0 " + num(m_points.height()) + " translate " + num(unit, 8) + ' ' + num(-unit, 8) + " scale\n";
    m_clips.clear();
    m_clipEnabled = false;
    m_clipBounds = QRectF(QPointF(), m_units);
    m_clipWritten = false;
    m_shadowClipCurrent = false;
    setActive(true);
    return true;
}

bool EpsPaintEngine::end()
{
    m_shadowPainter.end();
    m_shadow = QImage();
    if (m_clipWritten)
        m_out += "Q\n";
    m_out += "grestore\nend\nshowpage\n%%Trailer\n%%EOF\n";
    m_data = std::move(m_out);
    m_out.clear();
    setActive(false);
    return true;
}

void EpsPaintEngine::updateState(const QPaintEngineState& state)
{
    const DirtyFlags flags = state.state();
    if (flags & DirtyTransform)
        m_transform = state.transform();
    if (flags & DirtyPen)
        m_pen = state.pen();
    if (flags & DirtyBrush)
        m_brush = state.brush();
    if (flags & DirtyBrushOrigin)
        m_brushOrigin = state.brushOrigin();
    if (flags & DirtyOpacity)
        m_opacity = state.opacity();
    if (flags & DirtyCompositionMode)
        m_mode = state.compositionMode();
    if (flags & DirtyHints)
        m_hints = state.renderHints();
    if (flags & (DirtyClipPath | DirtyClipRegion)) {
        QPainterPath clip;
        if (flags & DirtyClipPath) {
            clip = state.clipPath();
        } else {
            clip.addRegion(state.clipRegion());
        }
        const Qt::ClipOperation op = state.clipOperation();
        if (op == Qt::NoClip || op == Qt::ReplaceClip)
            m_clips.clear();
        if (op != Qt::NoClip)
            m_clips.push_back(m_transform.map(clip));
        m_clipEnabled = op != Qt::NoClip;
    }
    if (flags & DirtyClipEnabled)
        m_clipEnabled = state.isClipEnabled();
    if (flags & (DirtyClipPath | DirtyClipRegion | DirtyClipEnabled)) {
        m_clipBounds = QRectF(QPointF(), m_units);
        if (m_clipEnabled)
            for (const QPainterPath& clip : m_clips)
                m_clipBounds = m_clipBounds.intersected(clip.controlPointRect());
        // Written before the next drawing: a clip set and replaced draws nothing.
        if (m_clipWritten) {
            m_out += "Q\n";
            m_clipWritten = false;
        }
        m_shadowClipCurrent = false;
    }
}

void EpsPaintEngine::writeClip()
{
    if (m_clipWritten || !m_clipEnabled || m_clips.empty())
        return;
    m_out += "q\n";
    for (const QPainterPath& clip : m_clips)
        m_out += EpsPaintDevice::pathOperators(clip)
            + (clip.fillRule() == Qt::OddEvenFill ? "eW n\n" : "W n\n");
    m_clipWritten = true;
}

void EpsPaintEngine::syncShadow()
{
    QPainter& p = m_shadowPainter;
    const QTransform scale = QTransform::fromScale(m_scale, m_scale);
    if (!m_shadowClipCurrent) {
        p.setWorldTransform(scale);
        p.setClipping(false);
        if (m_clipEnabled) {
            bool first = true;
            for (const QPainterPath& clip : m_clips) {
                p.setClipPath(clip, first ? Qt::ReplaceClip : Qt::IntersectClip);
                first = false;
            }
        }
        m_shadowClipCurrent = true;
    }
    p.setWorldTransform(m_transform * scale);
    p.setPen(m_pen);
    p.setBrush(m_brush);
    p.setBrushOrigin(m_brushOrigin);
    p.setOpacity(m_opacity);
    p.setCompositionMode(m_mode);
    p.setRenderHints(m_hints | QPainter::Antialiasing);
}

EpsPaintEngine::Paint EpsPaintEngine::classify(const QBrush& brush) const
{
    if (brush.style() == Qt::NoBrush)
        return Paint::None;
    if (m_opacity < 1.0 || m_mode != QPainter::CompositionMode_SourceOver)
        return Paint::Picture;
    if (brush.style() == Qt::SolidPattern)
        return brush.color().alpha() == 255 ? Paint::Solid : Paint::Picture;
    if (affine() && !shadingFor(brush).isEmpty())
        return Paint::Shading;
    return Paint::Picture;
}

void EpsPaintEngine::drawPath(const QPainterPath& path)
{
    draw(path, true, true);
}

void EpsPaintEngine::drawPolygon(const QPointF* points, int count, PolygonDrawMode mode)
{
    if (count < 1)
        return;
    QPainterPath path;
    path.setFillRule(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
    path.moveTo(points[0]);
    for (int i = 1; i < count; ++i)
        path.lineTo(points[i]);
    if (mode != PolylineMode)
        path.closeSubpath();
    draw(path, mode != PolylineMode, true);
}

void EpsPaintEngine::draw(const QPainterPath& path, bool fill, bool stroke)
{
    if (path.isEmpty() || clippedAway() || !finite(m_transform) || !(m_opacity > 0))
        return;
    const Paint fillPaint = fill ? classify(m_brush) : Paint::None;
    const Paint strokePaint = stroke && m_pen.style() != Qt::NoPen ? classify(m_pen.brush()) : Paint::None;
    if (fillPaint == Paint::None && strokePaint == Paint::None)
        return;
    syncShadow();
    if (!fill)
        m_shadowPainter.setBrush(Qt::NoBrush);
    if (!stroke)
        m_shadowPainter.setPen(Qt::NoPen);
    m_shadowPainter.drawPath(path);

    writeClip();
    if (fillPaint == Paint::Picture)
        writePicture(m_transform.map(path));
    else if (fillPaint != Paint::None)
        fillVector(path, m_brush, fillPaint);

    if (strokePaint == Paint::Picture) {
        writePicture(deviceStrokeOutline(path));
    } else if (strokePaint == Paint::Solid && (affine() || m_pen.isCosmetic()) && !cutsMiters(path)) {
        strokeVector(path);
    } else if (strokePaint != Paint::None) {
        // A stroke PostScript cannot draw with its pen becomes the fill of its outline.
        const QPainterPath outline = deviceStrokeOutline(path);
        if (strokePaint == Paint::Solid) {
            m_out += "q " + rgb(m_pen.color()) + " rg\n" + EpsPaintDevice::pathOperators(outline) + "f\nQ\n";
        } else {
            m_out += "q\n" + EpsPaintDevice::pathOperators(outline) + "W n\n" + concat(m_transform)
                + concat(m_pen.brush().transform()
                    * QTransform::fromTranslate(m_brushOrigin.x(), m_brushOrigin.y()))
                + shadingFor(m_pen.brush()) + "Q\n";
        }
    }
}

void EpsPaintEngine::fillVector(const QPainterPath& path, const QBrush& brush, Paint paint)
{
    const char* fill = path.fillRule() == Qt::OddEvenFill ? "ef" : "f";
    const char* clip = path.fillRule() == Qt::OddEvenFill ? "eW n" : "W n";
    if (paint == Paint::Solid) {
        if (affine())
            m_out += "q " + rgb(brush.color()) + " rg\n" + concat(m_transform)
                + EpsPaintDevice::pathOperators(path) + fill + "\nQ\n";
        else
            m_out += "q " + rgb(brush.color()) + " rg\n"
                + EpsPaintDevice::pathOperators(m_transform.map(path)) + fill + "\nQ\n";
        return;
    }
    m_out += "q\n" + concat(m_transform) + EpsPaintDevice::pathOperators(path) + clip + '\n'
        + concat(brush.transform() * QTransform::fromTranslate(m_brushOrigin.x(), m_brushOrigin.y()))
        + shadingFor(brush) + "Q\n";
}

void EpsPaintEngine::strokeVector(const QPainterPath& path)
{
    const bool cosmetic = m_pen.isCosmetic();
    const double width = m_pen.widthF();
    QByteArray out = "q " + rgb(m_pen.color()) + " rg\n";
    out += cosmetic ? EpsPaintDevice::pathOperators(m_transform.map(path))
                    : concat(m_transform) + EpsPaintDevice::pathOperators(path);
    out += num(std::max(width, 0.0)) + " w ";
    out += QByteArray::number(m_pen.capStyle() == Qt::FlatCap ? 0
                   : m_pen.capStyle() == Qt::RoundCap         ? 1
                                                              : 2)
        + " J ";
    out += QByteArray::number(m_pen.joinStyle() == Qt::RoundJoin ? 1
                   : m_pen.joinStyle() == Qt::BevelJoin          ? 2
                                                                 : 0)
        + " j ";
    out += num(postScriptMiterLimit()) + " M";
    if (m_pen.style() != Qt::SolidLine) {
        // Qt measures dashes in pen widths; a hairline's are measured in units of one.
        const double unit = width > 0.001 ? width : 1.0;
        const QList<qreal> pattern = m_pen.dashPattern();
        double total = 0;
        QByteArray dashes;
        for (qreal dash : pattern) {
            total += std::max(0.0, dash);
            dashes += num(std::max(0.0, dash) * unit) + ' ';
        }
        if (total > 0 && pattern.size() % 2 == 0)
            out += " [" + dashes.trimmed() + "] " + num(m_pen.dashOffset() * unit) + " d";
    }
    m_out += out + " S\nQ\n";
}

// Qt's miter join reaches up to the limit times the pen's width from the corner, where
// PostScript's limit is the miter's length over the width: twice as much. Where a corner passes
// it, Qt cuts the miter off at that distance and PostScript would bevel it, so such a stroke is
// drawn as its outline. Qt's SVG-style miter join bevels as PostScript does, with its own limit.
double EpsPaintEngine::postScriptMiterLimit() const
{
    const double limit = std::isfinite(m_pen.miterLimit()) ? m_pen.miterLimit() : 2.0;
    return std::max(1.0, m_pen.joinStyle() == Qt::MiterJoin ? 2 * limit : limit);
}

bool EpsPaintEngine::cutsMiters(const QPainterPath& path) const
{
    if (m_pen.joinStyle() != Qt::MiterJoin || !(m_pen.widthF() > 0))
        return false;
    return exceedsMiterLimit(m_pen.isCosmetic() ? m_transform.map(path) : path, postScriptMiterLimit());
}

QPainterPath EpsPaintEngine::deviceStrokeOutline(const QPainterPath& path) const
{
    if (m_pen.isCosmetic())
        return strokeOutline(m_pen, m_transform.map(path));
    return m_transform.map(strokeOutline(m_pen, path));
}

void EpsPaintEngine::writePicture(const QPainterPath& outline)
{
    const QRectF bounds = outline.controlPointRect().intersected(m_clipBounds);
    if (bounds.isEmpty())
        return;
    const QRectF scaled(
        bounds.x() * m_scale, bounds.y() * m_scale, bounds.width() * m_scale, bounds.height() * m_scale);
    const QRect pixels = scaled.toAlignedRect().intersected(m_shadow.rect());
    if (pixels.isEmpty())
        return;
    m_out += "q\n" + EpsPaintDevice::pathOperators(outline)
        + (outline.fillRule() == Qt::OddEvenFill ? "eW n\n" : "W n\n");
    writeImage(m_shadow.copy(pixels), QTransform(),
        QRectF(
            pixels.x() / m_scale, pixels.y() / m_scale, pixels.width() / m_scale, pixels.height() / m_scale),
        false);
    m_out += "Q\n";
    ++m_pictureRegions;
}

void EpsPaintEngine::writeImage(
    const QImage& image, const QTransform& transform, const QRectF& target, bool interpolate)
{
    QImage rgbImage = image.convertToFormat(QImage::Format_RGB888);
    if (rgbImage.isNull())
        return;
    const int w = rgbImage.width();
    const int h = rgbImage.height();
    QByteArray samples;
    samples.reserve(qsizetype(w) * 3 * h);
    for (int y = 0; y < h; ++y)
        samples.append(reinterpret_cast<const char*>(rgbImage.constScanLine(y)), qsizetype(w) * 3);
    m_out += "q\n" + concat(transform)
        + matrix(QTransform(target.width(), 0, 0, target.height(), target.x(), target.y()));
    m_out += "/DeviceRGB setcolorspace\n<< /ImageType 1 /Width " + QByteArray::number(w) + " /Height "
        + QByteArray::number(h) + " /BitsPerComponent 8 /Decode [0 1 0 1 0 1] /ImageMatrix ["
        + QByteArray::number(w) + " 0 0 " + QByteArray::number(h) + " 0 0] /Interpolate "
        + (interpolate ? "true" : "false")
        + "\n   /DataSource currentfile /ASCII85Decode filter /RunLengthDecode filter >> image\n";
    appendAscii85(m_out, runLength(reinterpret_cast<const uchar*>(samples.constData()), samples.size()));
    m_out += "Q\n";
}

// Whether an image Qt draws smoothed would come out in blocks: interpreters take PostScript's
// Interpolate as a hint, and a common one ignores it for images turned or slanted on the page. Such
// an image, enlarged, becomes a picture of what Qt draws.
bool EpsPaintEngine::smoothingIgnored(const QRectF& target, const QRectF& source) const
{
    if (!m_hints.testFlag(QPainter::SmoothPixmapTransform))
        return false;
    const QTransform t = m_transform;
    const bool square = (qFuzzyIsNull(t.m12()) && qFuzzyIsNull(t.m21()))
        || (qFuzzyIsNull(t.m11()) && qFuzzyIsNull(t.m22()));
    if (square)
        return false;
    // Device units one source pixel covers, on average over its two sides.
    const double area
        = std::abs(t.determinant()) * (target.width() / source.width()) * (target.height() / source.height());
    return area > 1.0;
}

void EpsPaintEngine::drawPixmap(const QRectF& r, const QPixmap& pixmap, const QRectF& sr)
{
    drawImage(r, pixmap.toImage(), sr, Qt::AutoColor);
}

void EpsPaintEngine::drawImage(
    const QRectF& r, const QImage& image, const QRectF& sr, Qt::ImageConversionFlags flags)
{
    if (image.isNull() || r.isEmpty() || sr.isEmpty() || clippedAway() || !finite(m_transform)
        || !(m_opacity > 0))
        return;
    const QRect pixels = sr.toAlignedRect().intersected(image.rect());
    if (pixels.isEmpty())
        return;
    syncShadow();
    m_shadowPainter.drawImage(r, image, sr, flags);
    writeClip();
    QPainterPath area;
    area.addRect(r);
    if (m_opacity < 1.0 || m_mode != QPainter::CompositionMode_SourceOver || !affine()
        || !opaque(image, pixels) || smoothingIgnored(r, sr)) {
        writePicture(m_transform.map(area));
        return;
    }
    // The whole pixels the source rectangle touches, placed where they fall, clipped to the target.
    const double sx = r.width() / sr.width();
    const double sy = r.height() / sr.height();
    const QRectF target(r.x() + (pixels.x() - sr.x()) * sx, r.y() + (pixels.y() - sr.y()) * sy,
        pixels.width() * sx, pixels.height() * sy);
    const bool exact = QRectF(pixels) == sr;
    m_out += "q\n";
    if (!exact)
        m_out += concat(m_transform) + EpsPaintDevice::pathOperators(area) + "W n\n";
    writeImage(image.copy(pixels), exact ? m_transform : QTransform(), target,
        m_hints.testFlag(QPainter::SmoothPixmapTransform));
    m_out += "Q\n";
}

EpsPaintDevice::EpsPaintDevice(const QSizeF& points, const QString& title, int dotsPerInch)
    : m_points(points)
    , m_dotsPerInch(std::max(1, dotsPerInch))
    , m_engine(std::make_unique<EpsPaintEngine>(points, title, m_dotsPerInch))
{
}

EpsPaintDevice::~EpsPaintDevice() = default;

QPaintEngine* EpsPaintDevice::paintEngine() const
{
    return m_engine.get();
}

QByteArray EpsPaintDevice::data() const
{
    return m_engine->isActive() ? QByteArray() : m_engine->m_data;
}

int EpsPaintDevice::pictureRegions() const
{
    return m_engine->m_pictureRegions;
}

QByteArray EpsPaintDevice::pathOperators(const QPainterPath& path)
{
    QByteArray out;
    QPointF start;
    QPointF last;
    int inSubpath = 0;
    auto closeIfReturned = [&] {
        if (inSubpath > 1 && last == start)
            out += "h\n";
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element e = path.elementAt(i);
        switch (e.type) {
        case QPainterPath::MoveToElement:
            closeIfReturned();
            start = last = e;
            inSubpath = 1;
            out += point(e) + " m\n";
            break;
        case QPainterPath::LineToElement:
            last = e;
            ++inSubpath;
            out += point(e) + " l\n";
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                last = path.elementAt(i + 2);
                out += point(e) + ' ' + point(path.elementAt(i + 1)) + ' ' + point(last) + " c\n";
                ++inSubpath;
            }
            i += 2;
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    closeIfReturned();
    return out;
}

int EpsPaintDevice::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return int(std::ceil(m_points.width() * m_dotsPerInch / 72.0));
    case PdmHeight:
        return int(std::ceil(m_points.height() * m_dotsPerInch / 72.0));
    case PdmWidthMM:
        return int(std::lround(m_points.width() * 25.4 / 72.0));
    case PdmHeightMM:
        return int(std::lround(m_points.height() * 25.4 / 72.0));
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return m_dotsPerInch;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return int(devicePixelRatioFScale());
    default:
        return QPaintDevice::metric(metric);
    }
}

} // namespace zandrel
