#include "comicmodel/Balloon.h"

#include "BalloonTestSupport.h"
#include "app/core/ZDLDocument.h"
#include "charmodel/CharacterModel.h"
#include "comicmodel/Group.h"
#include "comicmodel/PanelTestSupport.h"
#include "graphics/ColorFill.h"
#include "graphics/GradientFill.h"
#include "graphics/GraphicUtils.h"
#include "platform/Geometry.h"
#include "platform/Log.h"
#include "platform/UndoManager.h"
#include "platform/UserDefaults.h"

#include <QColor>
#include <QHash>
#include <cmath>
#include <optional>

namespace zandrel {
namespace {

using test::balloonWith;
using test::emptyBalloon;
using test::lettering;

class BalloonTest : public test::BalloonTestBase {
protected:
    void TearDown() override
    {
        for (const QString& key :
            { Balloon::kDefaultFontKey, Balloon::kDefaultSizeKey, Balloon::kDefaultTextColorKey })
            UserDefaults::standard().remove(key);
    }
};

TEST_F(BalloonTest, NewBalloonsTakeTheirDefaults)
{
    struct Case {
        const char* name;
        QVariant font;
        QVariant size;
        std::optional<QColor> color;
        QString expectedFont;
        double expectedSize;
        QColor expectedColor;
    };
    const Case cases[] = {
        { "no defaults", {}, {}, {}, FontRegistry::kLetteringFontName, 14.0, Qt::black },
        { "all set", QStringLiteral("ComicNeue-Bold"), 20.5, QColor(Qt::red),
            QStringLiteral("ComicNeue-Bold"), 20.5, Qt::red },
        // A font this machine lacks gives the lettering font; sizes of 0 or less give 14.
        { "missing font, zero size", QStringLiteral("NoSuchFontAnywhere-Bold"), 0.0, {},
            FontRegistry::kLetteringFontName, 14.0, Qt::black },
        { "negative size", {}, -3.0, {}, FontRegistry::kLetteringFontName, 14.0, Qt::black },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        UserDefaults& defaults = UserDefaults::standard();
        defaults.set(Balloon::kDefaultFontKey, c.font);
        defaults.set(Balloon::kDefaultSizeKey, c.size);
        if (c.color)
            defaults.setColor(Balloon::kDefaultTextColorKey, *c.color);

        const Balloon balloon;
        EXPECT_EQ(balloon.formattedText().string(), QStringLiteral("Edit balloon text"));
        ASSERT_EQ(balloon.formattedText().runCount(), 1);
        const TextAttributes& attributes = balloon.formattedText().runAttributes(0);
        ASSERT_TRUE(attributes.font);
        EXPECT_EQ(attributes.font->name, c.expectedFont);
        EXPECT_EQ(attributes.font->size, c.expectedSize);
        EXPECT_EQ(attributes.foregroundColor.toQColor(), c.expectedColor);
        EXPECT_EQ(attributes.paragraphStyleOrDefault().alignment, TextAlignment::Center);
    }

    const Balloon balloon;
    EXPECT_EQ(UserDefaults::standard().integer(Balloon::kDefaultAlignmentKey), 2);
    EXPECT_EQ(balloon.origin(), QPointF());
    EXPECT_EQ(balloon.width(), 0.0f);
    EXPECT_EQ(balloon.shape(), 0);
    EXPECT_EQ(balloon.style(), 0);
    EXPECT_EQ(balloon.lineColor(), ZDLColor::blackColor());
    EXPECT_EQ(balloon.lineWeight(), 1.0f);
    EXPECT_EQ(balloon.lineDash(), 0);
    EXPECT_EQ(balloon.lineColorAdjust(), 0.0f);
    EXPECT_EQ(balloon.fillType(), 0);
    EXPECT_EQ(balloon.fillColor(), ZDLColor::whiteColor());
    EXPECT_TRUE(balloon.visible());
    EXPECT_FALSE(balloon.editing());
    EXPECT_EQ(balloon.partType(), 10000);
    EXPECT_EQ(balloon.model(), nullptr);
    ASSERT_EQ(balloon.pointers().size(), 1);
    const BalloonPointerPtr& pointer = balloon.pointers().first();
    EXPECT_EQ(pointer->owner(), &balloon);
    EXPECT_EQ(pointer->pointValues(), (QList<QPointF> { QPointF(0, 0), QPointF(0, 72) }));
    EXPECT_EQ(pointer->xPos(), 0.5f);
    EXPECT_EQ(pointer->yPos(), 0.75f);
}

TEST_F(BalloonTest, LetteringIsLaidOutAtTheBalloonsWidth)
{
    const QString text = QStringLiteral("The quick brown fox jumps over the lazy dog again and again");
    const BalloonPtr narrow = balloonWith(text, 100, QPointF(30, 40));
    const BalloonPtr wide = balloonWith(text, 600, QPointF(30, 40));
    EXPECT_EQ(narrow->layoutManager().containerSize(), QSizeF(100, 2000));

    const QList<QRectF> lines = narrow->getVisibleLineRects();
    EXPECT_GT(lines.size(), 3);
    EXPECT_EQ(wide->getVisibleLineRects().size(), 1);
    QRectF union_;
    for (const QRectF& line : lines) {
        EXPECT_GE(line.left(), 0.0);
        EXPECT_LE(line.right(), 100.0);
        union_ = unionRect(union_, line);
    }
    EXPECT_EQ(narrow->getVisibleEnclosingRect(), union_);
    // The text height is the bottom of the last line.
    EXPECT_FLOAT_EQ(narrow->textHeight(), float(lines.last().bottom()));
    EXPECT_GT(narrow->textHeight(), wide->textHeight());

    // Setting the width held keeps the outline; another width rebuilds it, and so do text, shape
    // and style changes.
    const CurvePtr outline = narrow->getBalloonPath();
    narrow->setWidth(100);
    EXPECT_EQ(narrow->getBalloonPath(), outline);
    narrow->setLineWeight(3);
    narrow->setFillColor(ZDLColor::blackColor());
    EXPECT_EQ(narrow->getBalloonPath(), outline) << "line and fill changes keep the outline";
    const std::function<void(Balloon&)> changes[] = {
        [](Balloon& b) { b.setWidth(120); },
        [](Balloon& b) { b.setFormattedText(lettering(QStringLiteral("Hi"))); },
        [](Balloon& b) { b.setShape(3); },
        [](Balloon& b) { b.setStyle(2); },
    };
    for (const auto& change : changes) {
        const CurvePtr before = narrow->getBalloonPath();
        change(*narrow);
        EXPECT_NE(narrow->getBalloonPath(), before);
    }

    // Widths that cannot be laid out are kept within the container's range.
    narrow->setWidth(std::nanf(""));
    EXPECT_EQ(narrow->width(), 0.0f);
    narrow->setWidth(1e30f);
    EXPECT_EQ(narrow->width(), float(TextLayoutManager::kMaxContainerExtent));
}

TEST_F(BalloonTest, VisibleLineRectsLeaveOutSpacesAtTheEnds)
{
    const QRectF plain
        = balloonWith(QStringLiteral("Hello"), 200, {}, TextAlignment::Left)->getVisibleEnclosingRect();
    const QRectF trailing
        = balloonWith(QStringLiteral("Hello    "), 200, {}, TextAlignment::Left)->getVisibleEnclosingRect();
    EXPECT_EQ(trailing, plain);
    const QRectF leading
        = balloonWith(QStringLiteral("    Hello"), 200, {}, TextAlignment::Left)->getVisibleEnclosingRect();
    EXPECT_GT(leading.left(), plain.left());
    EXPECT_NEAR(leading.width(), plain.width(), 0.01);

    const BalloonPtr twoLines = balloonWith(QStringLiteral("Hi \nthere"), 200, {}, TextAlignment::Left);
    EXPECT_EQ(twoLines->getVisibleLineRects().size(), 2);
    EXPECT_FALSE(twoLines->isGlyphAtIndexInvisible(0));
    EXPECT_TRUE(twoLines->isGlyphAtIndexInvisible(2)) << "a space";
    EXPECT_TRUE(twoLines->isGlyphAtIndexInvisible(3)) << "a line end is not shown";

    // Empty text still has a body, so every shape has an outline.
    const BalloonPtr empty = emptyBalloon(80);
    EXPECT_EQ(empty->getVisibleLineRects(), QList<QRectF>({ QRectF(0, 0, 80, 20) }));
    EXPECT_EQ(empty->textHeight(), 20.0f);
}

TEST_F(BalloonTest, HitTestsMovesAndTransforms)
{
    const BalloonPtr balloon = emptyBalloon(100, QPointF(50, 60));
    // Body (50, 60, 100, 20); the tail hangs 72 below the anchor at (100, 75).
    const struct {
        QPointF point;
        bool hit;
    } probes[] = {
        { { 100, 70 }, true }, // the middle of the text
        { { 45, 70 }, true }, // within the left bulge
        { { 100, 140 }, true }, // inside the wedge
        { { 100, 150 }, false }, // below its tip
        { { 140, 140 }, false }, // beside the tail
        { { 300, 70 }, false },
    };
    for (const auto& probe : probes)
        EXPECT_EQ(balloon->containsPt(probe.point, 1.0f), probe.hit)
            << describePoint(probe.point).toStdString();

    EXPECT_EQ(balloon->getCenter(), QPointF(100, 60));
    const QRectF bounds = balloon->getBounds();
    balloon->offsetBy(QPointF(5, -3), false);
    EXPECT_EQ(balloon->origin(), QPointF(55, 57));
    EXPECT_EQ(balloon->getBounds(), offsetRect(bounds, 5, -3));

    // Scaling and rotating move the top centre and keep the size.
    balloon->transformBy(QTransform::fromScale(2, 3));
    EXPECT_EQ(balloon->getCenter(), QPointF(210, 171));
    EXPECT_EQ(balloon->width(), 100.0f);
    EXPECT_EQ(balloon->getBounds().size(), bounds.size());
    balloon->transformBy(QTransform().rotate(90));
    EXPECT_NEAR(balloon->getCenter().x(), -171, 1e-9);
    EXPECT_NEAR(balloon->getCenter().y(), 210, 1e-9);

    const std::array<QPointF, 4> shifted { QPointF(10, 20), QPointF(1010, 20), QPointF(10, 1020),
        QPointF(1010, 1020) };
    balloon->setOrigin(QPointF(100, 100));
    balloon->perspectiveTransformFrom(QRectF(0, 0, 1000, 1000), shifted);
    EXPECT_NEAR(balloon->origin().x(), 110, 1e-4);
    EXPECT_NEAR(balloon->origin().y(), 120, 1e-4);
}

TEST_F(BalloonTest, BoundsFollowVisibilityAndStyle)
{
    const BalloonPtr balloon = emptyBalloon(100, QPointF(10, 10));
    balloon->setLineWeight(2);
    const QRectF bounds = balloon->getBounds();
    const CurvePtr outline = balloon->getBalloonPath();
    const QRectF body = offsetRect(outline->getBounds(), 10, 10);
    const QRectF tail = balloon->pointers().first()->getBounds();
    EXPECT_EQ(bounds, unionRect(body, tail));
    EXPECT_EQ(balloon->getBoundsOfPaths(),
        (QList<QRectF> { insetRect(body, -0.5, -0.5), insetRect(tail, -0.5, -0.5) }));

    // Spiky and scalloped outlines may reach ten line weights beyond their bounds; style 1 one, and
    // half a unit where its curves are smoothed.
    for (const auto& [style, growth] : { std::pair { 0, 20.0 }, { 1, 2.5 }, { 3, 20.0 } }) {
        balloon->setStyle(style);
        EXPECT_EQ(balloon->getVisualBounds(), insetRect(balloon->getBounds(), -growth, -growth)) << style;
        EXPECT_EQ(balloon->getFilteredBounds(), balloon->getVisualBounds());
    }
    const QRectF invalidation = balloon->getInvalidationBounds();
    EXPECT_EQ(unionRect(invalidation, balloon->getVisualBounds()), invalidation);
    EXPECT_EQ(unionRect(invalidation, QRectF(6, 6, 108, 9)), invalidation) << "the top edge, for the caret";

    balloon->setVisible(false);
    EXPECT_EQ(balloon->getBounds(), QRectF());
    EXPECT_EQ(balloon->getVisualBounds(), QRectF());
    EXPECT_FALSE(balloon->getGeometryBounds().isEmpty());
    EXPECT_FALSE(balloon->getBoundsIgnoringVisibility().isEmpty());
}

TEST_F(BalloonTest, FillColoursTurnGradientsIntoColourFills)
{
    const auto red = ZDLColor::colorFromHexNamed(QStringLiteral("FF0000"), QStringLiteral("Red"));
    Balloon balloon;
    balloon.setFill(std::make_shared<GradientFill>());
    EXPECT_EQ(balloon.fillType(), 1);
    EXPECT_EQ(balloon.fillColor(), nullptr);
    EXPECT_EQ(balloon.fillColorAdjust(), 0.0f);
    balloon.setFillColor(red);
    EXPECT_EQ(balloon.fillType(), 0);
    EXPECT_EQ(balloon.fillColor(), red);

    balloon.setFill(std::make_shared<GradientFill>());
    balloon.setFillColorAdjust(0.25f);
    EXPECT_EQ(balloon.fillColor(), ZDLColor::whiteColor());
    EXPECT_EQ(balloon.fillColorAdjust(), 0.25f);

    // The fill given is copied; the colour is the palette's own.
    const auto fill = std::make_shared<ColorFill>();
    fill->setFillColor(red);
    balloon.setFill(fill);
    EXPECT_NE(balloon.fill(), fill);
    EXPECT_EQ(balloon.fillColor(), red);
}

TEST_F(BalloonTest, ColourSetsAreFoundThroughTheParents)
{
    auto comic = std::make_shared<ComicModel>();
    const CharacterModelPtr colors = comic->comicColorsModel();
    auto panel = test::makePanel(QRectF(0, 0, 200, 200));
    auto page = std::make_shared<ComicPage>();
    comic->setContents({ page });
    page->setContents({ panel });

    const auto inLayer = std::make_shared<Balloon>();
    const auto grouped = std::make_shared<Balloon>();
    auto group = std::make_shared<Group>();
    group->setChildren({ grouped });
    panel->frontLayer()->setChildren({ inLayer, group });
    const auto floating = std::make_shared<Balloon>();
    page->setChildren({ floating });
    auto character = std::make_shared<CharacterModel>();
    const auto inCharacter = std::make_shared<Balloon>();
    character->setChildren({ inCharacter });
    const auto loose = std::make_shared<Balloon>();

    EXPECT_EQ(inLayer->model(), colors.get());
    EXPECT_EQ(grouped->model(), colors.get());
    EXPECT_EQ(floating->model(), colors.get());
    EXPECT_EQ(inCharacter->model(), character.get());
    EXPECT_EQ(loose->model(), nullptr);
    // A stored colour set (a pasted balloon's) comes first, and answers the property.
    inCharacter->setModel(colors);
    EXPECT_EQ(inCharacter->model(), colors.get());
    EXPECT_EQ(inCharacter->valueForKey(Balloon::kModelKey).toObject(), colors);
    page->setContents({});
    EXPECT_EQ(inLayer->model(), nullptr) << "inside a layer only the comic answers";
    page->setContents({ panel });

    // Validation merges the colours into the colour set's palette, and keeps balloons without one.
    const auto ink = ZDLColor::colorFromHexNamed(QStringLiteral("112233"), QStringLiteral("Ink"));
    const auto paper = ZDLColor::colorFromHexNamed(QStringLiteral("FFEEDD"), QStringLiteral("Paper"));
    inLayer->setLineColor(ink);
    inLayer->setFillColor(paper);
    EXPECT_TRUE(inLayer->validateData());
    EXPECT_EQ(colors->getColorNamed(QStringLiteral("Ink")), ink);
    EXPECT_EQ(colors->getColorNamed(QStringLiteral("Paper")), paper);
    const auto otherInk = ZDLColor::colorFromHexNamed(QStringLiteral("445566"), QStringLiteral("Ink"));
    floating->setLineColor(otherInk);
    floating->validateData();
    EXPECT_EQ(floating->lineColor(), ink) << "a colour of a name the palette holds becomes its entry";

    Log::Capture log;
    EXPECT_TRUE(loose->validateData());
    EXPECT_EQ(log.lines(), QStringList { QStringLiteral("Balloon can't find owner model") });
    EXPECT_EQ(loose->lineColor(), ZDLColor::blackColor());
    panel->frontLayer()->retire();
    character->retire();
}

// Walks the balloon's declared fields: each one that can be set is set through the document,
// shows in the file when archived and in the look when drawn, and undoes and redoes to the bytes.
// A field declared without a value to try here fails, so that a new field is tested as it is added.
TEST_F(BalloonTest, EveryDeclaredFieldIsArchivedDrawnAndUndoneAsDeclared)
{
    ZDLDocument document;
    UndoManager& undo = *document.undoManager();
    undo.setGroupsByEvent(false);
    const BalloonPtr balloon = balloonWith(QStringLiteral("Undo me"), 120, QPointF(5, 5));
    const BalloonPointerPtr pointer = balloon->pointers().first();
    auto added = std::make_shared<BalloonPointer>();
    added->setPointValues({ QPointF(0, 0), QPointF(-40, 30), QPointF(-80, 20) });
    const auto ink = ZDLColor::colorFromHexNamed(QStringLiteral("204060"), QStringLiteral("Ink"));
    auto inkFill = std::make_shared<ColorFill>();
    inkFill->setFillColor(ink);

    const QHash<QString, Value> samples {
        { Balloon::kOriginKey, Value(QPointF(40, 50)) },
        { Balloon::kWidthKey, Value(160.0f) },
        { Balloon::kFormattedTextKey, Value(lettering(QStringLiteral("Edited"), 18)) },
        { Balloon::kShapeKey, Value(qint64(4)) },
        { Balloon::kStyleKey, Value(qint64(3)) },
        { Balloon::kPointersKey, Value(ValueList { Value(pointer), Value(added) }) },
        { stylekeys::kLineColor, Value(ink) },
        { stylekeys::kLineColorAdjust, Value(-0.5f) },
        { stylekeys::kLineWeight, Value(2.5f) },
        { stylekeys::kFill, Value(ObjectPtr(inkFill)) },
        { stylekeys::kLineDash, Value(qint64(2)) },
        { Balloon::kModelKey, Value(ObjectPtr(std::make_shared<CharacterModel>())) },
        { Balloon::kEditingKey, Value(true) },
        { stylekeys::kFillColor, Value(ZDLColor::blackColor()) },
        { stylekeys::kFillColorAdjust, Value(0.4f) },
    };
    QList<QByteArray> history { test::archived(balloon) };
    QList<std::optional<BalloonLook>> looks { balloon->look() };
    const auto step = [&](const ObjectPtr& target, const QString& key, const Value& value) {
        undo.beginUndoGrouping();
        document.undoableSetPropertyFor(target, key, value, Value());
        undo.endUndoGrouping();
        history.append(test::archived(balloon));
        looks.append(balloon->look());
    };
    for (const ElementField<Balloon>& field : Balloon::fields()) {
        const QString& name = field.property.name;
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(balloon->propertyTable().find(name)->name, name) << "the property table holds the field";
        if (!field.property.setter)
            continue;
        ASSERT_TRUE(samples.contains(name)) << "a declared field has a value to try here";
        step(balloon, name, samples.value(name));
        if (field.encode)
            EXPECT_NE(history.last(), history[history.size() - 2]) << "the edit shows in the file";
        if (field.drawn)
            EXPECT_NE(looks.last(), looks[looks.size() - 2]) << "the edit shows in the look";
        if (field.sheetChoices)
            EXPECT_FALSE(field.sheetLabel().isEmpty());
    }
    // The pointers' own properties undo with the balloon's file too.
    step(pointer, BalloonPointer::kPointsKey,
        Value(ValueList { Value(BalloonPoint::balloonPointWithPoint(QPointF(0, 0))),
            Value(BalloonPoint::balloonPointWithPoint(QPointF(30, 90))) }));
    step(pointer, BalloonPointer::kXPosKey, Value(0.2f));
    step(pointer, BalloonPointer::kYPosKey, Value(0.9f));
    for (qsizetype i = history.size() - 1; i > 0; --i) {
        undo.undo();
        EXPECT_EQ(test::archived(balloon), history[i - 1]) << "undone to step " << i - 1;
        EXPECT_EQ(balloon->look().has_value(), looks[i - 1].has_value()) << "undone to step " << i - 1;
    }
    for (qsizetype i = 1; i < history.size(); ++i) {
        undo.redo();
        EXPECT_EQ(test::archived(balloon), history[i]) << "redone to step " << i;
    }
    QCoreApplication::processEvents();
}

} // namespace
} // namespace zandrel
