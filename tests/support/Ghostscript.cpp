#include "Ghostscript.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdlib>
#include <future>
#include <gtest/gtest.h>

namespace zandrel::test {

namespace {

// A guard against a hung interpreter, not a speed check: a loaded machine can take a few times the
// dozen seconds the largest sample needs alone.
constexpr int kTimeoutMs = 180000;

// Runs ghostscript on the EPS written into a fresh folder; false with the error when it could not
// run, did not finish in time or exited with a failure.
bool runGhostscript(const QByteArray& eps, const QStringList& arguments, const QTemporaryDir& folder,
    QString* messages, QString* error)
{
    const QString program = ghostscript();
    if (program.isEmpty()) {
        *error = QStringLiteral("ghostscript (gs) is not installed; scripts/setup.sh installs it");
        return false;
    }
    const QString input = folder.filePath(QStringLiteral("drawing.eps"));
    QFile file(input);
    if (!file.open(QIODevice::WriteOnly) || file.write(eps) != eps.size()) {
        *error = QStringLiteral("could not write ") + input;
        return false;
    }
    file.close();
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(folder.path());
    process.start(program,
        QStringList { QStringLiteral("-dSAFER"), QStringLiteral("-dBATCH"), QStringLiteral("-dNOPAUSE"),
            QStringLiteral("-dQUIET") }
            + arguments + QStringList { input });
    if (!process.waitForStarted()) {
        *error = QStringLiteral("ghostscript did not start: ") + process.errorString();
        return false;
    }
    if (!process.waitForFinished(kTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        *error = QStringLiteral("ghostscript did not finish in time");
        return false;
    }
    *messages = QString::fromUtf8(process.readAll());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("ghostscript failed (exit %1): %2").arg(process.exitCode()).arg(*messages);
        return false;
    }
    return true;
}

} // namespace

QString ghostscript()
{
    return QStandardPaths::findExecutable(QStringLiteral("gs"));
}

GhostscriptRendering renderWithGhostscript(const QByteArray& eps, int dotsPerInch, int finer)
{
    finer = std::max(1, finer);
    GhostscriptRendering result;
    QTemporaryDir folder;
    if (!folder.isValid()) {
        result.error = QStringLiteral("no temporary folder");
        return result;
    }
    // The bounding-box device runs beside the drawing one, in a folder of its own.
    auto measuring = std::async(std::launch::async, [&eps] {
        QTemporaryDir own;
        QString messages;
        QString failure;
        QRectF marked;
        if (!own.isValid())
            failure = QStringLiteral("no temporary folder");
        else if (runGhostscript(eps, { QStringLiteral("-sDEVICE=bbox") }, own, &messages, &failure)) {
            static const QRegularExpression box(
                QStringLiteral("%%HiResBoundingBox: ([-\\d.]+) ([-\\d.]+) ([-\\d.]+) ([-\\d.]+)"));
            const QRegularExpressionMatch match = box.match(messages);
            if (match.hasMatch())
                marked = QRectF(QPointF(match.captured(1).toDouble(), match.captured(2).toDouble()),
                    QPointF(match.captured(3).toDouble(), match.captured(4).toDouble()));
            else
                failure = QStringLiteral("ghostscript measured no bounding box: ") + messages;
        }
        return std::pair(marked, failure);
    });
    const QString output = folder.filePath(QStringLiteral("drawing.png"));
    const bool drawn = runGhostscript(eps,
        { QStringLiteral("-sDEVICE=png16m"), QStringLiteral("-dEPSCrop"),
            QStringLiteral("-r%1").arg(dotsPerInch * finer), QStringLiteral("-dGraphicsAlphaBits=4"),
            QStringLiteral("-dTextAlphaBits=4"), QStringLiteral("-sOutputFile=") + output },
        folder, &result.messages, &result.error);
    const auto [marked, failure] = measuring.get();
    result.marked = marked;
    if (!drawn)
        return result;
    if (!failure.isEmpty()) {
        result.error = failure;
        return result;
    }
    // Ghostscript reports a PostScript error, or a file it had to repair, in what it prints even
    // where it goes on to the end.
    static const QRegularExpression trouble(QStringLiteral("Error|error|\\*\\*\\*\\*|Warning"));
    if (trouble.match(result.messages).hasMatch()) {
        result.error = QStringLiteral("ghostscript reported: ") + result.messages;
        return result;
    }
    const QImage page = QImage(output).convertToFormat(QImage::Format_RGB32);
    if (page.isNull())
        result.error = QStringLiteral("ghostscript wrote no page");
    else
        result.image = page.scaled(QSize(std::max(1, (page.width() + finer / 2) / finer),
                                       std::max(1, (page.height() + finer / 2) / finer)),
            Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return result;
}

double differingAwayFromEdges(const QImage& read, const QImage& expected, int tolerance)
{
    auto delta = [](QRgb a, QRgb b) {
        return std::max(
            { std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)), std::abs(qBlue(a) - qBlue(b)) });
    };
    if (read.size() != expected.size() || expected.isNull())
        return 1.0;
    qint64 differing = 0;
    for (int y = 0; y < expected.height(); ++y) {
        for (int x = 0; x < expected.width(); ++x) {
            const QRgb here = expected.pixel(x, y);
            bool even = true;
            for (int dy = -1; dy <= 1 && even; ++dy)
                for (int dx = -1; dx <= 1 && even; ++dx)
                    if (expected.valid(x + dx, y + dy))
                        even = delta(here, expected.pixel(x + dx, y + dy)) <= tolerance;
            differing += even && delta(here, read.pixel(x, y)) > tolerance;
        }
    }
    return double(differing) / (double(expected.width()) * expected.height());
}

void expectMarksWhereInked(
    const QRectF& marked, const QImage& image, double scale, double tolerance, const std::string& name)
{
    QRect inkedPixels;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xffffff) != 0xffffff)
                inkedPixels |= QRect(x, y, 1, 1);
    if (inkedPixels.isEmpty()) {
        EXPECT_TRUE(marked.isEmpty()) << name << ": ghostscript marks what the image leaves white";
        return;
    }
    // PostScript measures up from the lower-left corner.
    const QRectF inked(inkedPixels.x() / scale, (image.height() - inkedPixels.bottom() - 1) / scale,
        inkedPixels.width() / scale, inkedPixels.height() / scale);
    for (const auto& [got, want] :
        { std::pair(marked.left(), inked.left()), std::pair(marked.top(), inked.top()),
            std::pair(marked.right(), inked.right()), std::pair(marked.bottom(), inked.bottom()) })
        EXPECT_NEAR(got, want, tolerance)
            << name << ": ghostscript marks " << marked.x() << ' ' << marked.y() << ' ' << marked.width()
            << ' ' << marked.height() << ", the image inks " << inked.x() << ' ' << inked.y() << ' '
            << inked.width() << ' ' << inked.height();
}

QRectF declaredBoundingBox(const QByteArray& eps)
{
    const int end = eps.indexOf("%%EndComments");
    const QString header = QString::fromLatin1(end < 0 ? eps.left(4096) : eps.left(end));
    for (const char* key : { "%%HiResBoundingBox:", "%%BoundingBox:" }) {
        const QRegularExpression line(QRegularExpression::escape(QLatin1String(key))
                + QStringLiteral(" *([-\\d.]+) +([-\\d.]+) +([-\\d.]+) +([-\\d.]+) *$"),
            QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = line.match(header);
        if (match.hasMatch())
            return QRectF(QPointF(match.captured(1).toDouble(), match.captured(2).toDouble()),
                QPointF(match.captured(3).toDouble(), match.captured(4).toDouble()));
    }
    return QRectF();
}

} // namespace zandrel::test
