#include "platform/KeyedArchiveText.h"

#include <charconv>
#include <limits>
#include <string_view>

namespace zandrel::archivetext {

namespace {

template <class T> QString shortest(T value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

// Scans numbers from Latin-1 text: at each position either a number parses or the position is
// skipped, so separators and braces of any kind are tolerated.
template <class T, int N> std::array<T, N> scan(const char* begin, const char* end, int* found = nullptr)
{
    std::array<T, N> values {};
    int count = 0;
    const char* p = begin;
    while (p < end && count < N) {
        const char c = *p;
        const bool candidate
            = (c >= '0' && c <= '9') || c == '-' || c == '.' || c == 'n' || c == 'N' || c == 'i' || c == 'I';
        if (candidate) {
            T value {};
            const auto result = std::from_chars(p, end, value);
            if (result.ec == std::errc() || result.ec == std::errc::result_out_of_range) {
                // from_chars leaves an out-of-range value unset: an underflow reads as 0, an overflow
                // as infinity.
                if (result.ec == std::errc::result_out_of_range) {
                    const std::string_view digits(p, size_t(result.ptr - p));
                    const bool underflow
                        = digits.find("e-") != digits.npos || digits.find("E-") != digits.npos;
                    value = underflow ? T(0) : std::numeric_limits<T>::infinity();
                    if (c == '-')
                        value = -value;
                }
                values[size_t(count++)] = value;
                p = result.ptr;
                continue;
            }
        }
        ++p;
    }
    if (found)
        *found = count;
    return values;
}

template <class T, int N> std::array<T, N> scanText(QStringView text)
{
    const QByteArray latin = text.toLatin1();
    return scan<T, N>(latin.constData(), latin.constData() + latin.size());
}

} // namespace

QString number(double value)
{
    return shortest(value);
}

QString number(float value)
{
    return shortest(value);
}

QString pointString(const QPointF& point)
{
    return QStringLiteral("{%1, %2}").arg(number(point.x()), number(point.y()));
}

QString sizeString(const QSizeF& size)
{
    return QStringLiteral("{%1, %2}").arg(number(size.width()), number(size.height()));
}

QString rectString(const QRectF& rect)
{
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(number(rect.x()), number(rect.y()), number(rect.width()), number(rect.height()));
}

template <int N> std::array<double, N> scanDoubles(QStringView text)
{
    return scanText<double, N>(text);
}

template <int N> std::array<double, N> scanDoubles(QByteArrayView text)
{
    return scan<double, N>(text.data(), text.data() + text.size());
}

template std::array<double, 2> scanDoubles<2>(QStringView);
template std::array<double, 4> scanDoubles<4>(QStringView);
template std::array<double, 5> scanDoubles<5>(QByteArrayView);

QPointF parsePoint(QStringView text)
{
    const auto v = scanDoubles<2>(text);
    return QPointF(v[0], v[1]);
}

QSizeF parseSize(QStringView text)
{
    const auto v = scanDoubles<2>(text);
    return QSizeF(v[0], v[1]);
}

QRectF parseRect(QStringView text)
{
    const auto v = scanDoubles<4>(text);
    return QRectF(v[0], v[1], v[2], v[3]);
}

QByteArray rgbComponents(const RgbColor& color)
{
    QString text = number(color.red()) + QLatin1Char(' ') + number(color.green()) + QLatin1Char(' ')
        + number(color.blue());
    if (color.alpha() != 1.0)
        text += QLatin1Char(' ') + number(color.alpha());
    QByteArray bytes = text.toLatin1();
    bytes.append('\0');
    return bytes;
}

int countNumbers(QByteArrayView text)
{
    int found = 0;
    scan<double, 16>(text.data(), text.data() + text.size(), &found);
    return found;
}

} // namespace zandrel::archivetext
