#include "support/EpsReader.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRegularExpression>
#include <cmath>
#include <map>
#include <vector>

namespace zandrel::test {

namespace {

struct Value {
    enum Kind { Number, Name, Bool, Array, Dict, Mark, DictMark, File } kind = Number;
    double number = 0;
    QByteArray name;
    std::vector<Value> items;
    std::map<QByteArray, Value> dict;
};

Value valueOf(Value::Kind kind)
{
    Value v;
    v.kind = kind;
    return v;
}

struct GState {
    QTransform ctm; // user space to points, y up
    QPainterPath path; // in points
    std::vector<QPainterPath> clips;
    QColor color = Qt::black;
    double width = 1;
    int cap = 0;
    int join = 0;
    double miter = 10;
    std::vector<double> dashes;
    double dashOffset = 0;
};

class Reader {
public:
    Reader(const QByteArray& eps, double scale)
        : m_eps(eps)
        , m_scale(scale)
    {
    }
    QImage run(QString* error);

private:
    bool fail(const QString& what)
    {
        if (m_error.isEmpty())
            m_error = what;
        return false;
    }
    bool token(QByteArray& out);
    bool execute(const QByteArray& word);
    double pop();
    Value popValue();
    bool image(const Value& dict);
    bool shade(const Value& dict);
    void applyClip(QPainter& p) const;
    QColor colorOf(const Value& array) const;

    QByteArray m_eps;
    double m_scale;
    qsizetype m_at = 0;
    QString m_error;
    std::vector<Value> m_stack;
    std::vector<GState> m_saved;
    GState m_g;
    QImage m_image;
    QTransform m_base;
};

bool Reader::token(QByteArray& out)
{
    while (m_at < m_eps.size()) {
        const char c = m_eps[m_at];
        if (c == '%') {
            while (m_at < m_eps.size() && m_eps[m_at] != '\n')
                ++m_at;
        } else if (std::isspace(uchar(c))) {
            ++m_at;
        } else {
            break;
        }
    }
    if (m_at >= m_eps.size())
        return false;
    const qsizetype start = m_at;
    const char c = m_eps[m_at];
    if (c == '[' || c == ']') {
        ++m_at;
    } else if ((c == '<' || c == '>') && m_at + 1 < m_eps.size() && m_eps[m_at + 1] == c) {
        m_at += 2;
    } else {
        ++m_at;
        while (m_at < m_eps.size() && !std::isspace(uchar(m_eps[m_at]))
            && !QByteArray("[]<>/%").contains(m_eps[m_at]))
            ++m_at;
    }
    out = m_eps.mid(start, m_at - start);
    return true;
}

double Reader::pop()
{
    const Value v = popValue();
    if (v.kind != Value::Number)
        fail(QStringLiteral("a number was expected"));
    return v.number;
}

Value Reader::popValue()
{
    if (m_stack.empty()) {
        fail(QStringLiteral("stack underflow"));
        return Value();
    }
    Value v = std::move(m_stack.back());
    m_stack.pop_back();
    return v;
}

QColor Reader::colorOf(const Value& array) const
{
    if (array.items.size() != 3)
        return QColor();
    return QColor::fromRgbF(
        float(array.items[0].number), float(array.items[1].number), float(array.items[2].number));
}

void Reader::applyClip(QPainter& p) const
{
    p.setClipping(false);
    bool first = true;
    for (const QPainterPath& clip : m_g.clips) {
        p.setTransform(m_base);
        p.setClipPath(clip, first ? Qt::ReplaceClip : Qt::IntersectClip);
        first = false;
    }
}

bool Reader::shade(const Value& d)
{
    const auto type = d.dict.find("ShadingType");
    const auto coords = d.dict.find("Coords");
    const auto function = d.dict.find("Function");
    if (type == d.dict.end() || coords == d.dict.end() || function == d.dict.end())
        return fail(QStringLiteral("incomplete shading"));
    QGradientStops stops;
    const Value& f = function->second;
    if (f.dict.at("FunctionType").number == 2) {
        stops = { { 0.0, colorOf(f.dict.at("C0")) }, { 1.0, colorOf(f.dict.at("C1")) } };
    } else {
        const auto& functions = f.dict.at("Functions").items;
        const auto& bounds = f.dict.at("Bounds").items;
        if (bounds.size() + 1 != functions.size())
            return fail(QStringLiteral("stitching bounds do not match the functions"));
        for (size_t i = 0; i < functions.size(); ++i) {
            const double from = i == 0 ? 0.0 : bounds[i - 1].number;
            const double to = i + 1 == functions.size() ? 1.0 : bounds[i].number;
            stops.append({ from, colorOf(functions[i].dict.at("C0")) });
            stops.append({ to - 1e-9 * (i + 1 < functions.size()), colorOf(functions[i].dict.at("C1")) });
        }
    }
    const auto& c = coords->second.items;
    QGradient gradient;
    if (type->second.number == 2 && c.size() == 4)
        gradient = QLinearGradient(c[0].number, c[1].number, c[2].number, c[3].number);
    else if (type->second.number == 3 && c.size() == 6)
        gradient
            = QRadialGradient(c[3].number, c[4].number, c[5].number, c[0].number, c[1].number, c[2].number);
    else
        return fail(QStringLiteral("unknown shading"));
    gradient.setStops(stops);
    QPainter p(&m_image);
    p.setRenderHint(QPainter::Antialiasing);
    applyClip(p);
    p.setTransform(m_g.ctm * m_base);
    QPainterPath everything;
    everything.addRect(QRectF(0, 0, m_image.width() / m_scale, m_image.height() / m_scale));
    p.fillPath(m_g.ctm.inverted().map(everything), gradient);
    return true;
}

bool Reader::image(const Value& d)
{
    const int w = int(d.dict.at("Width").number);
    const int h = int(d.dict.at("Height").number);
    // The data starts after the one white-space character that ends "image".
    ++m_at;
    const qsizetype end = m_eps.indexOf("~>", m_at);
    if (end < 0)
        return fail(QStringLiteral("image data without end"));
    QByteArray packed;
    quint32 word = 0;
    int count = 0;
    for (qsizetype i = m_at; i < end; ++i) {
        const char c = m_eps[i];
        if (c == 'z' && count == 0) {
            packed.append(4, '\0');
            continue;
        }
        if (c < '!' || c > 'u')
            continue;
        word = word * 85 + quint32(c - '!');
        if (++count == 5) {
            for (int k = 3; k >= 0; --k)
                packed.append(char((word >> (8 * k)) & 0xff));
            word = 0;
            count = 0;
        }
    }
    if (count > 1) {
        for (int k = count; k < 5; ++k)
            word = word * 85 + 84;
        for (int k = 3; k > 3 - (count - 1); --k)
            packed.append(char((word >> (8 * k)) & 0xff));
    }
    m_at = end + 2;
    QByteArray samples;
    qsizetype i = 0;
    while (i < packed.size() && uchar(packed[i]) != 128) {
        const int length = uchar(packed[i++]);
        if (length < 128) {
            samples.append(packed.mid(i, length + 1));
            i += length + 1;
        } else {
            samples.append(257 - length, i < packed.size() ? packed[i] : '\0');
            ++i;
        }
    }
    if (samples.size() != qsizetype(w) * h * 3)
        return fail(QStringLiteral("image data of %1 bytes for %2 by %3").arg(samples.size()).arg(w).arg(h));
    const QImage picture(
        reinterpret_cast<const uchar*>(samples.constData()), w, h, w * 3, QImage::Format_RGB888);
    QPainter p(&m_image);
    applyClip(p);
    p.setTransform(m_g.ctm * m_base);
    const auto interpolate = d.dict.find("Interpolate");
    p.setRenderHint(
        QPainter::SmoothPixmapTransform, interpolate != d.dict.end() && interpolate->second.number != 0);
    p.drawImage(QRectF(0, 0, 1, 1), picture);
    return true;
}

bool Reader::execute(const QByteArray& word)
{
    static const std::map<QByteArray, QByteArray> aliases = { { "m", "moveto" }, { "l", "lineto" },
        { "c", "curveto" }, { "h", "closepath" }, { "f", "fill" }, { "ef", "eofill" }, { "S", "stroke" },
        { "W", "clip" }, { "eW", "eoclip" }, { "n", "newpath" }, { "q", "gsave" }, { "Q", "grestore" },
        { "cm", "concat" }, { "rg", "setrgbcolor" }, { "w", "setlinewidth" }, { "J", "setlinecap" },
        { "j", "setlinejoin" }, { "M", "setmiterlimit" }, { "d", "setdash" } };
    const auto alias = aliases.find(word);
    const QByteArray op = alias == aliases.end() ? word : alias->second;
    auto user = [&](double y, double x) { return m_g.ctm.map(QPointF(x, y)); };
    if (op == "moveto") {
        const double y = pop();
        m_g.path.moveTo(user(y, pop()));
    } else if (op == "lineto") {
        const double y = pop();
        m_g.path.lineTo(user(y, pop()));
    } else if (op == "curveto") {
        double v[6];
        for (int k = 5; k >= 0; --k)
            v[k] = pop();
        m_g.path.cubicTo(user(v[1], v[0]), user(v[3], v[2]), user(v[5], v[4]));
    } else if (op == "closepath") {
        m_g.path.closeSubpath();
    } else if (op == "fill" || op == "eofill") {
        QPainter p(&m_image);
        p.setRenderHint(QPainter::Antialiasing);
        applyClip(p);
        p.setTransform(m_base);
        m_g.path.setFillRule(op == "fill" ? Qt::WindingFill : Qt::OddEvenFill);
        p.fillPath(m_g.path, m_g.color);
        m_g.path = QPainterPath();
    } else if (op == "stroke") {
        QPainter p(&m_image);
        p.setRenderHint(QPainter::Antialiasing);
        applyClip(p);
        p.setTransform(m_g.ctm * m_base);
        QPen pen(m_g.color, m_g.width, Qt::SolidLine,
            m_g.cap == 0       ? Qt::FlatCap
                : m_g.cap == 1 ? Qt::RoundCap
                               : Qt::SquareCap,
            // PostScript bevels a corner past its miter limit, as Qt's SVG-style miter does.
            m_g.join == 0       ? Qt::SvgMiterJoin
                : m_g.join == 1 ? Qt::RoundJoin
                                : Qt::BevelJoin);
        pen.setMiterLimit(m_g.miter);
        if (m_g.width == 0)
            pen.setCosmetic(true);
        if (!m_g.dashes.empty() && m_g.width > 0) {
            QList<qreal> pattern;
            for (double dash : m_g.dashes)
                pattern.append(dash / m_g.width);
            pen.setDashPattern(pattern);
            pen.setDashOffset(m_g.dashOffset / m_g.width);
        }
        p.strokePath(m_g.ctm.inverted().map(m_g.path), pen);
        m_g.path = QPainterPath();
    } else if (op == "clip" || op == "eoclip") {
        QPainterPath clip = m_g.path;
        clip.setFillRule(op == "clip" ? Qt::WindingFill : Qt::OddEvenFill);
        m_g.clips.push_back(clip);
    } else if (op == "rectclip") {
        double v[4];
        for (int k = 3; k >= 0; --k)
            v[k] = pop();
        QPainterPath clip;
        clip.addPolygon(m_g.ctm.map(QPolygonF(QRectF(v[0], v[1], v[2], v[3]))));
        m_g.clips.push_back(clip);
        m_g.path = QPainterPath();
    } else if (op == "newpath") {
        m_g.path = QPainterPath();
    } else if (op == "gsave") {
        m_saved.push_back(m_g);
    } else if (op == "grestore") {
        if (m_saved.empty())
            return fail(QStringLiteral("grestore without gsave"));
        m_g = m_saved.back();
        m_saved.pop_back();
    } else if (op == "concat") {
        const Value a = popValue();
        if (a.items.size() != 6)
            return fail(QStringLiteral("a matrix of %1 numbers").arg(a.items.size()));
        const QTransform t(a.items[0].number, a.items[1].number, a.items[2].number, a.items[3].number,
            a.items[4].number, a.items[5].number);
        m_g.ctm = t * m_g.ctm;
    } else if (op == "translate") {
        const double y = pop();
        m_g.ctm = QTransform::fromTranslate(pop(), y) * m_g.ctm;
    } else if (op == "scale") {
        const double y = pop();
        m_g.ctm = QTransform::fromScale(pop(), y) * m_g.ctm;
    } else if (op == "setrgbcolor") {
        const double b = pop();
        const double g = pop();
        m_g.color = QColor::fromRgbF(float(pop()), float(g), float(b));
    } else if (op == "setlinewidth") {
        m_g.width = pop();
    } else if (op == "setlinecap") {
        m_g.cap = int(pop());
    } else if (op == "setlinejoin") {
        m_g.join = int(pop());
    } else if (op == "setmiterlimit") {
        m_g.miter = pop();
    } else if (op == "setdash") {
        m_g.dashOffset = pop();
        m_g.dashes.clear();
        for (const Value& v : popValue().items)
            m_g.dashes.push_back(v.number);
    } else if (op == "setcolorspace") {
        popValue();
    } else if (op == "currentfile") {
        m_stack.push_back(valueOf(Value::File));
    } else if (op == "filter") {
        popValue();
    } else if (op == "image") {
        return image(popValue());
    } else if (op == "shfill") {
        return shade(popValue());
    } else if (op == "true" || op == "false") {
        Value v = valueOf(Value::Bool);
        v.number = op == "true";
        m_stack.push_back(v);
    } else if (op == "ZandrelEPSDict") {
        m_stack.push_back(valueOf(Value::Dict));
    } else if (op == "begin") {
        popValue();
    } else if (op != "end" && op != "showpage") {
        return fail(QStringLiteral("unknown operator %1").arg(QString::fromLatin1(word)));
    }
    return m_error.isEmpty();
}

QImage Reader::run(QString* error)
{
    const auto box = QRegularExpression(QStringLiteral("%%HiResBoundingBox: 0 0 ([\\d.]+) ([\\d.]+)\n"))
                         .match(QString::fromLatin1(m_eps));
    m_at = m_eps.indexOf("%%EndProlog\n");
    if (!box.hasMatch() || m_at < 0 || !m_eps.startsWith("%!PS-Adobe-3.0 EPSF-3.0\n")
        || !m_eps.endsWith("%%EOF\n")) {
        *error = QStringLiteral("not an EPS of this writer");
        return QImage();
    }
    const double height = box.captured(2).toDouble();
    m_image = QImage(int(std::ceil(box.captured(1).toDouble() * m_scale)), int(std::ceil(height * m_scale)),
        QImage::Format_RGB32);
    m_image.fill(Qt::white);
    m_base = QTransform(m_scale, 0, 0, -m_scale, 0, height * m_scale);
    QByteArray word;
    while (m_error.isEmpty() && token(word)) {
        const char c = word[0];
        if (word == "[" || word == "<<") {
            m_stack.push_back(valueOf(word == "[" ? Value::Mark : Value::DictMark));
        } else if (word == "]" || word == ">>") {
            Value collected = valueOf(word == "]" ? Value::Array : Value::Dict);
            std::vector<Value> items;
            while (!m_stack.empty() && m_stack.back().kind != (word == "]" ? Value::Mark : Value::DictMark)) {
                items.insert(items.begin(), std::move(m_stack.back()));
                m_stack.pop_back();
            }
            if (m_stack.empty()) {
                fail(QStringLiteral("unmatched %1").arg(QString::fromLatin1(word)));
                break;
            }
            m_stack.pop_back();
            if (word == "]") {
                collected.items = std::move(items);
            } else {
                for (size_t i = 0; i + 1 < items.size(); i += 2)
                    collected.dict[items[i].name] = items[i + 1];
            }
            m_stack.push_back(std::move(collected));
        } else if (c == '/') {
            Value v = valueOf(Value::Name);
            v.name = word.mid(1);
            m_stack.push_back(v);
        } else if (std::isdigit(uchar(c)) || c == '-' || c == '.') {
            bool ok = false;
            Value v;
            v.number = word.toDouble(&ok);
            if (!ok)
                fail(QStringLiteral("bad number %1").arg(QString::fromLatin1(word)));
            m_stack.push_back(v);
        } else {
            execute(word);
        }
    }
    if (m_error.isEmpty() && !m_stack.empty())
        m_error = QStringLiteral("%1 values left on the stack").arg(m_stack.size());
    if (m_error.isEmpty() && !m_saved.empty())
        m_error = QStringLiteral("%1 graphics states left saved").arg(m_saved.size());
    if (error)
        *error = m_error;
    return m_error.isEmpty() ? m_image : QImage();
}

} // namespace

QImage renderEps(const QByteArray& eps, double scale, QString* error)
{
    return Reader(eps, scale).run(error);
}

} // namespace zandrel::test
