#pragma once

#include "support/TestSupport.h"

#include <QImage>
#include <QString>
#include <algorithm>
#include <cstdlib>
#include <gtest/gtest.h>

namespace zandrel::test {

// Compares with the reference image at the path (from the source tree), allowing a few pixels off
// by more than a few levels, as antialiasing may differ; ZANDREL_WRITE_REFERENCE_IMAGES=1 writes
// the reference instead. Look at a reference before committing it.
inline void expectLikeReferenceImage(const QImage& image, const QString& relativePath)
{
    constexpr int kLevels = 24;
    ASSERT_FALSE(image.isNull());
    const QString path = sourcePath(relativePath);
    if (qEnvironmentVariableIsSet("ZANDREL_WRITE_REFERENCE_IMAGES")) {
        // Black on white keeps small as grey levels.
        ASSERT_TRUE((image.allGray() ? image.convertToFormat(QImage::Format_Grayscale8) : image).save(path));
        GTEST_SKIP() << "wrote " << path.toStdString();
    }
    const QImage reference = QImage(path).convertToFormat(QImage::Format_ARGB32);
    const QImage actual = image.convertToFormat(QImage::Format_ARGB32);
    ASSERT_FALSE(reference.isNull()) << path.toStdString();
    ASSERT_EQ(reference.size(), actual.size());
    int different = 0;
    for (int y = 0; y < actual.height(); ++y) {
        for (int x = 0; x < actual.width(); ++x) {
            const QRgb a = actual.pixel(x, y);
            const QRgb b = reference.pixel(x, y);
            if (std::abs(qRed(a) - qRed(b)) > kLevels || std::abs(qGreen(a) - qGreen(b)) > kLevels
                || std::abs(qBlue(a) - qBlue(b)) > kLevels || std::abs(qAlpha(a) - qAlpha(b)) > kLevels)
                ++different;
        }
    }
    EXPECT_LE(different, actual.width() * actual.height() / 500)
        << "pixels off by more than " << kLevels << " levels";
}

} // namespace zandrel::test
