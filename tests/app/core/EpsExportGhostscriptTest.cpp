// Characters exported as EPS and rendered by a real PostScript interpreter (ghostscript) look as
// the program prints them into a bitmap: curves, dashed strokes of several weights, solid and
// gradient fills, pictures with and without masks, and the translucent and blurred parts that
// become embedded pictures.

#include "app/core/CharacterDocument.h"
#include "app/core/CharacterFileFormats.h"
#include "app/core/DocumentExport.h"
#include "app/core/PartsPrintView.h"
#include "app/core/ZDLAppController.h"
#include "charmodel/TestCharacters.h"
#include "graphics/ArrayUtils.h"
#include "support/Ghostscript.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

constexpr int kDotsPerInch = 144;

// A closed outline through the points, a point off the curve bending it as a quadratic.
PartPathPtr outline(const QList<std::pair<QPointF, bool>>& points, const ZDLColorPtr& line, float weight)
{
    auto curve = std::make_shared<Curve>();
    for (const auto& [p, onCurve] : points)
        curve->addPoint(p, onCurve);
    curve->setClosed(true);
    auto path = std::make_shared<PartPath>();
    path->setSegments({ curve });
    path->setLineColor(line);
    path->setLineWeight(weight);
    return path;
}

FillPtr gradient(int type, const RgbColor& from, const RgbColor& to, float angle, const QPointF& center)
{
    auto fill = std::make_shared<GradientFill>();
    auto g = std::make_shared<Gradient>();
    g->setColor(from, 0);
    g->setColor(to, 1);
    fill->setGradient(g);
    fill->setGradientType(type);
    fill->setLinearAngle(angle);
    fill->setRelativeCenter(center);
    return fill;
}

ZDLImagePtr picture(bool withAlpha)
{
    QImage pixels(6, 4, QImage::Format_ARGB32);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x)
            pixels.setPixel(x, y,
                withAlpha && x == 0 ? qRgba(0, 0, 0, 0)
                                    : qRgb(30 + 40 * x, 200 - 45 * y, (x + y) % 2 ? 40 : 220));
    return ZDLImage::initWithData(ZDLImage::encodedBitmapData(pixels, true, 1.0f));
}

// A character with one of each kind of drawing a character's parts make.
CharacterModelPtr sampler()
{
    auto model = std::make_shared<CharacterModel>();
    model->setCharacterName(QStringLiteral("Sampler"));
    model->createDefaultStyles();
    const auto ink = ZDLColor::colorFromHexNamed(QStringLiteral("#202060"), QStringLiteral("Ink"));
    const auto red = ZDLColor::colorFromHexNamed(QStringLiteral("#CC2200"), QStringLiteral("Red"));
    const auto skin = ZDLColor::colorFromHexNamed(QStringLiteral("#F0C8A0"), QStringLiteral("Skin"));

    auto head = outline({ { { 10, 10 }, true }, { { 40, -10 }, false }, { { 70, 10 }, true },
                            { { 80, 50 }, false }, { { 40, 60 }, true }, { { 0, 50 }, false } },
        ink, 3);
    auto skinFill = std::make_shared<ColorFill>();
    skinFill->setFillColor(skin);
    head->setFill(skinFill);

    auto dashed = outline(
        { { { 90, 5 }, true }, { { 150, 5 }, true }, { { 150, 45 }, true }, { { 90, 45 }, true } }, red, 2);
    dashed->setLineDash(2);
    dashed->setFill(
        gradient(GradientTypeLinear, RgbColor(0.9, 0.8, 0.1), RgbColor(0.1, 0.3, 0.8), 30, QPointF()));

    auto ball = outline(
        { { { 20, 70 }, true }, { { 20, 110 }, false }, { { 60, 110 }, true }, { { 60, 70 }, false } }, ink,
        1);
    ball->setFill(
        gradient(GradientTypeRadial, RgbColor(1, 1, 1), RgbColor(0.6, 0.1, 0.1), 0, QPointF(-0.2, -0.2)));

    auto glass = outline(
        { { { 70, 60 }, true }, { { 130, 60 }, true }, { { 130, 100 }, true }, { { 70, 100 }, true } }, ink,
        6);
    auto glassFill = std::make_shared<ColorFill>();
    glassFill->setFillColor(red);
    glass->setFill(glassFill);
    glass->setFillAlpha(0.4f);
    glass->setLineAlpha(0.5f);

    auto soft = outline(
        { { { 140, 70 }, true }, { { 175, 70 }, true }, { { 175, 105 }, true }, { { 140, 105 }, true } }, ink,
        2);
    auto softFill = std::make_shared<ColorFill>();
    softFill->setFillColor(ink);
    soft->setFill(softFill);
    soft->setBlur(3.0f);

    // Sharp corners: one Qt still mitres in full, one it cuts short.
    auto spikes = outline({ { { 190, 60 }, true }, { { 260, 66 }, true }, { { 190, 70 }, true },
                              { { 195, 75 }, true }, { { 260, 76 }, true }, { { 195, 77 }, true } },
        red, 3);

    auto plain = std::make_shared<ImageElement>();
    plain->setImage(picture(false));
    plain->setTransform(QTransform(6, 0, 0, 6, 160, 5));
    auto masked = std::make_shared<ImageElement>();
    masked->setImage(picture(false));
    auto mask = std::make_shared<MaskingPath>();
    mask->setSegments({ test::closedCurve({ QPointF(0, 0), QPointF(6, 1), QPointF(3, 4) }) });
    masked->setChildren({ mask });
    masked->setTransform(QTransform(5, 1, -1, 5, 10, 120));
    auto translucent = std::make_shared<ImageElement>();
    translucent->setImage(picture(true));
    translucent->setTransform(QTransform(6, 0, 0, 6, 60, 120));

    auto part = std::make_shared<Part>();
    part->setChildren({ head, dashed, ball, glass, soft, spikes, plain, masked, translucent });
    part->setModel(model);
    model->setChildren({ part });
    return model;
}

// The character exported as EPS and rendered by ghostscript, against the program's own
// printing of it into a bitmap at the same resolution.
void expectRenderedAsPrinted(const CharacterDocument& character, const std::string& name)
{
    ASSERT_FALSE(test::ghostscript().isEmpty())
        << "ghostscript (gs) is not installed; scripts/setup.sh installs it";
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString file = folder.filePath(QStringLiteral("character.eps"));
    ASSERT_TRUE(DocumentExport::exportEPS(character, file)) << name;
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray eps = written.readAll();

    PartsPrintView view(character);
    const QSizeF paper = view.docBounds().size();
    const QSize pixels(int(std::ceil(paper.width() * kDotsPerInch / 72)),
        int(std::ceil(paper.height() * kDotsPerInch / 72)));
    QImage printed(pixels, QImage::Format_RGB32);
    printed.setDotsPerMeterX(int(std::lround(kDotsPerInch / 0.0254)));
    printed.setDotsPerMeterY(printed.dotsPerMeterX());
    printed.fill(Qt::white);
    ASSERT_TRUE(PrintView::printPage(view, printed, QRectF(QPointF(), paper))) << name;

    const test::GhostscriptRendering gs = test::renderWithGhostscript(eps, kDotsPerInch);
    ASSERT_TRUE(gs.error.isEmpty()) << name << ": " << gs.error.toStdString();
    // A page of a fractional size comes out a pixel smaller or larger as ghostscript rounds it.
    ASSERT_LE(std::abs(gs.image.width() - printed.width()), 1) << name;
    ASSERT_LE(std::abs(gs.image.height() - printed.height()), 1) << name;
    const QRect common(QPoint(), gs.image.size().boundedTo(printed.size()));
    const QImage read = gs.image.copy(common);
    printed = printed.copy(common);
    // The picture of a blurred part reaches to the blur's bounds, white at their rim.
    test::expectMarksWhereInked(gs.marked, printed, kDotsPerInch / 72.0, 2.5, name);
    const QRectF declared = test::declaredBoundingBox(eps);
    EXPECT_TRUE(declared.topLeft().isNull()) << name;
    EXPECT_NEAR(declared.width(), paper.width(), 0.001) << name;
    EXPECT_NEAR(declared.height(), paper.height(), 0.001) << name;
    const double inside = test::differingAwayFromEdges(read, printed, 32);
    const double share = test::differingShare(read, printed, 40);
    // A few pixels in a hundred thousand: a corner drawn otherwise is already more.
    EXPECT_LT(inside, 0.00005) << name;
    EXPECT_LT(share, 0.01) << name;
    if (inside >= 0.00005 || share >= 0.01) {
        const QString base
            = QDir::temp().filePath(QStringLiteral("zandrel-eps-") + QString::fromStdString(name));
        read.save(base + QStringLiteral("-ghostscript.png"));
        printed.save(base + QStringLiteral("-printed.png"));
        QFile::remove(base + QStringLiteral(".eps"));
        QFile::copy(file, base + QStringLiteral(".eps"));
        ADD_FAILURE() << name << ": see " << base.toStdString() << "*";
    }
}

TEST(EpsExportGhostscriptTest, SamplerRenderedAsPrinted)
{
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    CharacterDocument character(sampler());
    expectRenderedAsPrinted(character, "sampler");
}

// A thick outline's sharp corners: the bounding box holds their miter tips, which ghostscript
// paints right up to its top (the apex) and its sides (the base corners).
TEST(EpsExportGhostscriptTest, MiterTipsOfAThickOutlineReachTheBoxEdges)
{
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    auto model = std::make_shared<CharacterModel>();
    model->setCharacterName(QStringLiteral("Spike"));
    auto spike = outline(
        { { { 0, 300 }, true }, { { 40, 0 }, true }, { { 80, 300 }, true } }, model->blackColor(), 24);
    auto part = std::make_shared<Part>();
    part->setChildren({ spike });
    part->setModel(model);
    model->setChildren({ part });
    CharacterDocument character(model);
    expectRenderedAsPrinted(character, "spike");

    QTemporaryDir folder;
    const QString file = folder.filePath(QStringLiteral("spike.eps"));
    ASSERT_TRUE(DocumentExport::exportEPS(character, file));
    QFile written(file);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray eps = written.readAll();
    const QRectF declared = test::declaredBoundingBox(eps);
    const test::GhostscriptRendering gs = test::renderWithGhostscript(eps, kDotsPerInch);
    ASSERT_TRUE(gs.error.isEmpty()) << gs.error.toStdString();
    // The apex's tip lies some 91 points above the apex, 79 beyond half the line's width.
    EXPECT_GT(declared.height(), 300 + 12 + 85);
    EXPECT_NEAR(gs.marked.y() + gs.marked.height(), declared.height(), 1.0) << "the apex's tip";
    EXPECT_NEAR(gs.marked.x(), 0, 1.0) << "the left base corner's tip";
    EXPECT_NEAR(gs.marked.x() + gs.marked.width(), declared.width(), 1.0) << "the right base corner's tip";
}

TEST(EpsExportGhostscriptTest, SampleCharactersRenderedAsPrinted)
{
    ZDLAppController::install(std::make_unique<ZDLAppController>());
    registerStandardFileFormats();
    CharacterDocument styled(test::styledCharacter());
    expectRenderedAsPrinted(styled, "styled");
    // Every sample character file of the fuzzing corpus that reads and has something to draw.
    const QDir corpus(QStringLiteral(ZANDREL_SOURCE_DIR "/fuzz/corpus/fuzz_partsfile"));
    int exported = 0;
    for (const QString& file : corpus.entryList({ QStringLiteral("*.parts") }, QDir::Files, QDir::Name)) {
        CharacterDocument character;
        DocumentError error;
        if (!character.readFromFile(corpus.filePath(file), &error)
            || ArrayUtils::getElementsFilteredBounds(character.model()->children()).isEmpty())
            continue;
        expectRenderedAsPrinted(character, file.toStdString());
        ++exported;
    }
    EXPECT_GE(exported, 3);
}

} // namespace
} // namespace zandrel
