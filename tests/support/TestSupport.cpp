#include "TestSupport.h"

#include <QFileInfo>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace zandrel::test {

QString sourcePath(const QString& relative)
{
    return QStringLiteral(ZANDREL_SOURCE_DIR "/") + relative;
}

namespace {

int channelDelta(QRgb a, QRgb b)
{
    return std::max({ std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
        std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b)) });
}

} // namespace

PixelDifference pixelDifference(const QImage& first, const QImage& second)
{
    PixelDifference difference;
    const QImage a = first.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage b = second.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (a.size() != b.size())
        return { 256, a.width() * a.height() };
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            const int delta = channelDelta(p[x], q[x]);
            difference.largest = std::max(difference.largest, delta);
            difference.pixels += delta > 0 ? 1 : 0;
        }
    }
    return difference;
}

double differingShare(const QImage& a, const QImage& b, int tolerance)
{
    if (a.size() != b.size() || a.isNull())
        return 1.0;
    QImage flat[2] = { QImage(a.size(), QImage::Format_RGB32), QImage(b.size(), QImage::Format_RGB32) };
    for (int k = 0; k < 2; ++k) {
        flat[k].fill(Qt::white);
        QPainter(&flat[k]).drawImage(0, 0, k == 0 ? a : b);
    }
    qint64 differing = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* p = reinterpret_cast<const QRgb*>(flat[0].constScanLine(y));
        const auto* q = reinterpret_cast<const QRgb*>(flat[1].constScanLine(y));
        for (int x = 0; x < a.width(); ++x)
            differing += std::abs(qRed(p[x]) - qRed(q[x])) > tolerance
                || std::abs(qGreen(p[x]) - qGreen(q[x])) > tolerance
                || std::abs(qBlue(p[x]) - qBlue(q[x])) > tolerance;
    }
    return double(differing) / (double(a.width()) * a.height());
}

void expectLikeReferenceImage(const QImage& image, const QString& relativePath, int levels, int oneIn)
{
    ASSERT_FALSE(image.isNull());
    const QString path = sourcePath(relativePath);
    if (qEnvironmentVariableIsSet("ZANDREL_WRITE_REFERENCE_IMAGES")) {
        ASSERT_TRUE((image.allGray() ? image.convertToFormat(QImage::Format_Grayscale8) : image).save(path));
        GTEST_SKIP() << "wrote " << path.toStdString();
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(reference.isNull()) << path.toStdString();
    const QImage actual = image.convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(reference.size(), actual.size());
    int different = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            if (channelDelta(actual.pixel(x, y), reference.pixel(x, y)) > levels)
                ++different;
        }
    }
    EXPECT_LE(different, actual.width() * actual.height() / oneIn)
        << "pixels off by more than " << levels << " levels";
}

QString python3()
{
    const QString configured = QStringLiteral(ZANDREL_PYTHON3);
    if (!configured.isEmpty() && QFileInfo(configured).isExecutable())
        return configured;
    return QStandardPaths::findExecutable("python3");
}

int runPython(const QString& script, const QByteArray& data, QString* output)
{
    const QString interpreter = python3();
    if (interpreter.isEmpty())
        return -1;
    QTemporaryFile file;
    if (!file.open())
        return -1;
    file.write(data);
    file.flush();

    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(interpreter, { "-", file.fileName() });
    if (!process.waitForStarted())
        return -1;
    process.write(script.toUtf8());
    process.closeWriteChannel();
    process.waitForFinished(60000);
    if (output)
        *output = QString::fromUtf8(process.readAll());
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace zandrel::test
