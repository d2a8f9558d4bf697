#include "app/core/CatalogFiles.h"

#include "platform/AtomicFile.h"
#include "platform/Localization.h"
#include "platform/PropertyList.h"
#include "platform/RegularFile.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

namespace zandrel {

namespace {

constexpr int kThumbnailQuality = 60;
// Numbers tried for a free file name before giving up.
constexpr qint64 kMaxNumberedNames = 10000;

// Format characters show nothing of their own: they join or part letters invisibly (U+200D, U+200C,
// U+200B, U+2060, U+00AD, U+FEFF) or change the direction text is shown in (U+202E). A name holding
// one looks like another name, or shows other than it is.
bool isFormatCharacter(char32_t c)
{
    return QChar::category(c) == QChar::Other_Format;
}

bool isControlOrLineBreak(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

QString fileBaseNameFor(const QString& name)
{
    QString kept;
    kept.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        char32_t c = name[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < name.size() && name[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(name[i], name[i + 1]);
            ++i;
        } else if (QChar::isSurrogate(c)) {
            c = QChar::ReplacementCharacter; // half a pair names no character
        }
        if (c == U'/' || c == U'\\')
            c = U'-';
        else if (isControlOrLineBreak(c))
            c = U' ';
        else if (isFormatCharacter(c))
            continue;
        kept += QString::fromUcs4(&c, 1);
    }
    // One spelling of each accented letter: "é" written as one character or as "e" and an accent
    // looks the same, and would otherwise make two files of one name.
    const QList<uint> characters = kept.normalized(QString::NormalizationForm_C).toUcs4();
    qsizetype start = 0;
    while (start < characters.size() && (characters[start] == U'.' || QChar::isSpace(characters[start])))
        ++start;
    QString base;
    int bytes = 0;
    for (qsizetype i = start; i < characters.size(); ++i) {
        // Each character with its length in UTF-8, as the system counts a file name.
        const char32_t c = characters[i];
        bytes += c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes > kMaxFileBaseNameBytes)
            break;
        base += QString::fromUcs4(&c, 1);
    }
    return base.trimmed();
}

QString fileNameFor(const QString& name, const QString& extension)
{
    const QString base = fileBaseNameFor(name);
    return base.isEmpty() ? QString() : base + QLatin1Char('.') + extension;
}

QString fileNameKey(const QString& fileName)
{
    return fileBaseNameFor(fileName);
}

QSet<QString> fileNameKeysIn(const QString& folder)
{
    QSet<QString> keys;
    for (const QString& name :
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        keys.insert(fileNameKey(name));
    return keys;
}

QString numberedFileName(const QString& fileName, const std::function<bool(const QString&)>& isTaken)
{
    // "Bob 3" numbers on from 4; a larger number or none starts again at 1.
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    QString base = dot > 0 ? fileName.left(dot) : fileName;
    const QString extension = dot > 0 ? fileName.mid(dot) : QString();
    qint64 number = 1;
    const QStringList words = base.split(QLatin1Char(' '));
    if (words.size() >= 2) {
        bool ok = false;
        const qint64 n = words.last().toLongLong(&ok);
        if ((ok && n >= 1 && n <= 9999) || words.last() == QStringLiteral("0")) {
            base.chop(words.last().size() + 1);
            number = n <= 10 ? n + 1 : 1;
        }
    }
    for (const qint64 last = number + kMaxNumberedNames; number < last; ++number) {
        const QString candidate = QStringLiteral("%1 %2%3").arg(base).arg(number).arg(extension);
        if (!isTaken(candidate))
            return candidate;
    }
    return QString();
}

QString catalogShelfName(int partsKind)
{
    return partsKind == 0 ? localized("Vivaviv Izazuda") : localized("Scenery");
}

QByteArray readCatalogFile(const QString& path, QString* error)
{
    FileReadError readError;
    const QByteArray data
        = readRegularFile(path, kMaxPartsFileBytes, &readError, &PropertyList::canBeginBinary)
              .value_or(QByteArray());
    if (readError.kind != FileReadError::None)
        *error = readError.message;
    else if (data.isEmpty())
        *error = QStringLiteral("the file is empty");
    return data;
}

bool writeCatalogFile(const QString& path, const QByteArray& data, QString* error)
{
    return writeFileAtomically(path, data, error);
}

// The thumbnail over white: the file format keeps no transparency.
QByteArray catalogThumbnailData(const QImage& thumbnail, QString* error)
{
    QImage opaque(thumbnail.size(), QImage::Format_RGB32);
    opaque.fill(Qt::white);
    {
        QPainter painter(&opaque);
        painter.drawImage(0, 0, thumbnail);
    }
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kThumbnailQuality);
    if (!writer.write(opaque)) {
        *error = writer.errorString();
        return {};
    }
    return buffer.data();
}

bool writeCatalogThumbnail(const QImage& thumbnail, const QString& path, QString* error)
{
    const QByteArray data = catalogThumbnailData(thumbnail, error);
    return !data.isEmpty() && writeFileAtomically(path, data, error);
}

} // namespace zandrel
