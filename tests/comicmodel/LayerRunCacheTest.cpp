// A panel layer's runs of parts drawn on screen from one bitmap: the pixels are those of drawing
// the parts directly, scrolling by whole pixels reuses the bitmap, and every edit of a part after the
// bitmap was made shows in the next redraw.
#include "comicmodel/LayerRunCache.h"

#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/TestCharacters.h"
#include "comicmodel/Balloon.h"
#include "graphics/ImageCache.h"
#include "graphics/ZDLContext.h"
#include "graphics/ZDLViewInterface.h"
#include "platform/CurrentCanvas.h"
#include "platform/PainterCanvas.h"
#include "support/ImageDifference.h"

#include <QPainter>
#include <functional>
#include <gtest/gtest.h>

namespace zandrel {
namespace {

using test::square;

class FakeView : public ZDLViewInterface {
public:
    float viewScale() const override { return scale; }
    bool scalingViewInteractively() const override { return interactive; }
    bool needsToDrawRect(const QRectF&) const override { return true; }
    bool isInMainWindow() const override { return true; }
    float scale = 1.0f;
    bool interactive = false;
};

// A part that takes a set time to draw on the scene's fake clock.
class TimedPart : public Part {
public:
    explicit TimedPart(double* clock)
        : m_clock(clock)
    {
    }
    void drawIn(ZDLContext& context) override
    {
        *m_clock += 0.01;
        Part::drawIn(context);
    }

private:
    double* m_clock;
};

class TimedBalloon : public Balloon {
public:
    explicit TimedBalloon(double* clock)
        : m_clock(clock)
    {
    }
    void drawIn(ZDLContext& context) override
    {
        *m_clock += 0.01;
        Balloon::drawIn(context);
    }

private:
    double* m_clock;
};

struct Scene {
    Scene()
    {
        model = std::make_shared<CharacterModel>();
        red = ZDLColor::colorFromHexNamed(QStringLiteral("#CC2200"), QStringLiteral("Red"));
        teal = ZDLColor::colorFromHexNamed(QStringLiteral("#208080"), QStringLiteral("Teal"));
        model->addColor(red);
        model->addColor(teal);
        for (int p = 0; p < 3; ++p) {
            auto part = std::make_shared<TimedPart>(&now);
            ElementList paths;
            for (int i = 0; i < 3; ++i)
                paths.append(square(
                    QRectF(10 + 17 * p + 5 * i, 8 + 9 * i, 21, 13), p % 2 ? red : teal, i % 2 ? teal : red));
            part->setChildren(paths);
            part->setModel(model);
            // The parts' own bitmaps, which lie at fractions of a pixel, are given up at once.
            part->imageCache().setClock([] { return 0.0; });
            parts.push_back(part);
            elements.append(part);
        }
        balloon = std::make_shared<TimedBalloon>(&now);
        balloon->setOrigin(QPointF(38, 28));
        balloon->setFormattedText(AttributedText(QStringLiteral("Hi"), {}));
        balloon->setWidth(40);
        balloon->setLineColor(red);
        balloon->pointers().first()->setPointValues({ QPointF(0, 0), QPointF(-12, 20) });
        elements.append(balloon);
    }
    PartPathPtr path(int part, int index) const
    {
        return std::dynamic_pointer_cast<PartPath>(parts[std::size_t(part)]->children()[index]);
    }

    // Advanced only by the parts' drawing: blits take no time.
    double now = 0;
    LayerRunCache::Clock clock()
    {
        return [this] { return now; };
    }
    CharacterModelPtr model;
    ZDLColorPtr red;
    ZDLColorPtr teal;
    std::vector<PartPtr> parts;
    BalloonPtr balloon;
    ElementList elements;
};

// Draws the elements at the view's scale and offset into a white screen image, through the cache,
// or without one as an export does: no bitmap anywhere, the pixels every bitmap must reproduce.
QImage draw(const ElementList& elements, LayerRunCache* cache, float scale, const QPointF& offset,
    bool exporting = true)
{
    QImage image(QSize(160, 130), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    {
        PainterCanvas canvas(&image, CanvasTarget::Screen);
        canvas.translate(offset.x(), offset.y());
        canvas.scale(scale, scale);
        CanvasScope current(&canvas);
        FakeView view;
        view.scale = scale;
        ZDLContext context(view);
        context.setExporting(!cache && exporting);
        if (cache) {
            cache->drawElements(elements, context);
        } else {
            for (const ObjectPtr& element : elements)
                asProtocol<GraphicElement>(element)->drawIn(context);
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

using test::largestDifference;

TEST(LayerRunCacheTest, BitmapHoldsTheDirectPixelsAndScrollsByWholePixels)
{
    for (const float scale : { 1.0f, 2.0f }) {
        for (const QPointF& origin : { QPointF(0, 0), QPointF(3.25, 1.5) }) {
            Scene scene;
            LayerRunCache cache(scene.clock());
            const quint64 before = LayerRunCache::renderingsMade();
            const QImage cached = draw(scene.elements, &cache, scale, origin);
            EXPECT_EQ(cache.bitmapCount(), 2) << "the parts' and the balloon's";
            EXPECT_LE(largestDifference(cached, draw(scene.elements, nullptr, scale, origin)), 1)
                << scale << " " << origin.x();
            // Scrolled by whole pixels: the same bitmap, moved.
            const QPointF scrolled = origin + QPointF(-7, 4);
            const QImage moved = draw(scene.elements, &cache, scale, scrolled);
            EXPECT_EQ(LayerRunCache::renderingsMade(), before + 2);
            EXPECT_LE(largestDifference(moved, draw(scene.elements, nullptr, scale, scrolled)), 1);
            // Half a pixel further: a new rendering on the new grid.
            draw(scene.elements, &cache, scale, scrolled + QPointF(0.5, 0));
            EXPECT_EQ(LayerRunCache::renderingsMade(), before + 4);
        }
    }
}

TEST(LayerRunCacheTest, EveryEditOfACachedPartShowsInTheRedraw)
{
    const std::vector<std::pair<const char*, std::function<void(Scene&)>>> edits {
        { "fill colour of a path", [](Scene& s) { s.path(1, 0)->setFillColor(s.teal); } },
        { "line weight", [](Scene& s) { s.path(0, 2)->setLineWeight(5.0f); } },
        { "path moved inside its part", [](Scene& s) { s.path(2, 1)->offsetBy(QPointF(9, 6), true); } },
        { "whole part moved", [](Scene& s) { s.parts[1]->offsetBy(QPointF(-5, 12), true); } },
        { "part hidden", [](Scene& s) { s.parts[0]->setVisible(false); } },
        { "colour of the palette changed",
            [](Scene& s) {
                s.red->setColor(RgbColor(0.1, 0.2, 0.9, 1));
                // What the comic model sends every part of its panels.
                for (const PartPtr& part : s.parts)
                    part->flushCachesUsingColor();
            } },
        { "parts reordered",
            [](Scene& s) {
                ElementList reordered = s.elements;
                std::swap(reordered[0], reordered[2]);
                s.elements = reordered;
            } },
        { "part removed", [](Scene& s) { s.elements.removeAt(1); } },
        { "balloon text",
            [](Scene& s) { s.balloon->setFormattedText(AttributedText(QStringLiteral("Hm"), {})); } },
        { "balloon width", [](Scene& s) { s.balloon->setWidth(10); } },
        { "balloon made a text block", [](Scene& s) { s.balloon->setShape(int(BalloonShape::TextBlock)); } },
        { "balloon shape", [](Scene& s) { s.balloon->setShape(2); } },
        { "balloon style", [](Scene& s) { s.balloon->setStyle(1); } },
        { "balloon line colour", [](Scene& s) { s.balloon->setLineColor(s.teal); } },
        { "balloon line colour's value",
            [](Scene& s) {
                // The balloon reads the value as it draws; the parts hear of it from the comic.
                s.red->setColor(RgbColor(0.1, 0.2, 0.9, 1));
                for (const PartPtr& part : s.parts)
                    part->flushCachesUsingColor();
            } },
        { "balloon line weight", [](Scene& s) { s.balloon->setLineWeight(3); } },
        { "balloon fill", [](Scene& s) { s.balloon->setFillColor(s.teal); } },
        { "balloon tail",
            [](Scene& s) {
                s.balloon->pointers().first()->setPointValues({ QPointF(0, 0), QPointF(-30, 2) });
            } },
        { "balloon being edited", [](Scene& s) { s.balloon->setEditing(true); } },
        { "balloon hidden", [](Scene& s) { s.balloon->setVisible(false); } },
        { "balloon moved by a fraction", [](Scene& s) { s.balloon->offsetBy(QPointF(3.3, -2.6), true); } },
        { "balloon moved by whole pixels", [](Scene& s) { s.balloon->offsetBy(QPointF(-4, 5), true); } },
    };
    for (const auto& [name, edit] : edits) {
        Scene scene;
        LayerRunCache cache(scene.clock());
        const QImage before = draw(scene.elements, &cache, 2.0f, QPointF(1, 2));
        ASSERT_EQ(cache.bitmapCount(), 2) << name;
        edit(scene);
        const QImage after = draw(scene.elements, &cache, 2.0f, QPointF(1, 2));
        const QImage direct = draw(scene.elements, nullptr, 2.0f, QPointF(1, 2));
        EXPECT_GT(largestDifference(before, direct), 40) << name << ": the edit shows";
        EXPECT_LE(largestDifference(after, direct), 1) << name;
    }
}

TEST(LayerRunCacheTest, DrawsDirectlyWhereTheBitmapIsNoCheaperOrNotAllowed)
{
    Scene scene;
    // Every reading a second later: blitting measures as dear as rendering, and the run is drawn
    // directly until it changes.
    double now = 0;
    LayerRunCache cache([&now] { return now += 1.0; });
    const QImage direct = draw(scene.elements, nullptr, 1.0f, QPointF());
    // The parts try their own bitmaps once, and give up.
    draw(scene.elements, nullptr, 1.0f, QPointF(), false);
    // Three dear readings in a row are a verdict.
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(cache.bitmapCount(), i == 0 ? 0 : 2);
        EXPECT_LE(largestDifference(draw(scene.elements, &cache, 1.0f, QPointF()), direct), 1);
    }
    EXPECT_EQ(cache.bitmapCount(), 0);
    const quint64 renders = LayerRunCache::renderingsMade();
    EXPECT_LE(largestDifference(draw(scene.elements, &cache, 1.0f, QPointF()), direct), 1);
    EXPECT_EQ(LayerRunCache::renderingsMade(), renders);

    // While the user zooms continuously, nothing is rendered.
    FakeView zooming;
    zooming.interactive = true;
    LayerRunCache third(scene.clock());
    {
        QImage shown(QSize(160, 130), QImage::Format_ARGB32_Premultiplied);
        PainterCanvas screen(&shown, CanvasTarget::Screen);
        CanvasScope current(&screen);
        ZDLContext context(zooming);
        third.drawElements(scene.elements, context);
    }
    EXPECT_EQ(third.bitmapCount(), 0);

    // Exports and bitmaps draw the parts themselves and leave the cache alone.
    LayerRunCache other(scene.clock());
    QImage image(QSize(160, 130), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    PainterCanvas canvas(&image, CanvasTarget::Bitmap);
    CanvasScope current(&canvas);
    FakeView view;
    ZDLContext context(view);
    other.drawElements(scene.elements, context);
    ZDLContext exporting(view);
    exporting.setExporting(true);
    other.drawElements(scene.elements, exporting);
    EXPECT_EQ(other.bitmapCount(), 0);
}

} // namespace
} // namespace zandrel
