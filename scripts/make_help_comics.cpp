// Writes the help comics shipped in resources/help: small comics drawn with the model's own
// panels, balloons and parts, one help page a comic page. Run after changing their text:
//   cmake --build build --target make_help_comics && build/src/make_help_comics resources/help
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/BalloonPointer.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ColorFill.h"
#include "graphics/Curve.h"
#include "graphics/ZDLColor.h"
#include "platform/AttributedText.h"
#include "platform/FontRegistry.h"
#include "platform/TextAttributes.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <cmath>
#include <cstdio>

using namespace zandrel;

namespace {

const QSizeF kPageSize(380, 230);

struct Palette {
    ZDLColorPtr skin = ZDLColor::colorFromHexNamed(QStringLiteral("#F2C9A0"), QStringLiteral("Skin"));
    ZDLColorPtr shirt = ZDLColor::colorFromHexNamed(QStringLiteral("#3A7BD5"), QStringLiteral("Shirt"));
    ZDLColorPtr hair = ZDLColor::colorFromHexNamed(QStringLiteral("#5B3A1E"), QStringLiteral("Hair"));
    ZDLColorPtr sky = ZDLColor::colorFromHexNamed(QStringLiteral("#DDEEFF"), QStringLiteral("Sky"));
    ZDLColorPtr sand = ZDLColor::colorFromHexNamed(QStringLiteral("#FFF2D6"), QStringLiteral("Sand"));
};

CurvePtr polygon(const QList<QPointF>& points, bool onCurve)
{
    auto curve = std::make_shared<Curve>();
    for (const QPointF& p : points)
        curve->addPoint(p, onCurve);
    curve->setClosed(true);
    return curve;
}

// An ellipse as a quadratic spline: eight off-curve points, the on-curve points implied between.
CurvePtr ellipse(const QRectF& r)
{
    QList<QPointF> points;
    const double k = 1.0 / std::cos(M_PI / 8);
    for (int i = 0; i < 8; ++i) {
        const double a = M_PI / 4 * i;
        points.append(r.center() + QPointF(std::cos(a) * r.width() / 2 * k, std::sin(a) * r.height() / 2 * k));
    }
    return polygon(points, false);
}

PartPathPtr path(const CurvePtr& curve, const ZDLColorPtr& line, const ZDLColorPtr& fill, float weight = 1.5f)
{
    auto shape = std::make_shared<PartPath>();
    shape->setSegments({ curve });
    shape->setLineColor(line);
    shape->setLineWeight(weight);
    auto colorFill = std::make_shared<ColorFill>();
    colorFill->setFillColor(fill);
    shape->setFill(colorFill);
    return shape;
}

// A little figure, the help comics' guide, as a character of the cast with one part.
std::shared_ptr<CharacterModel> guideCharacter(const Palette& colors)
{
    auto character = std::make_shared<CharacterModel>();
    character->setCharacterName(QStringLiteral("Guide"));
    for (const auto& color : { colors.skin, colors.shirt, colors.hair })
        character->addColor(color);
    auto part = std::make_shared<Part>();
    const auto black = character->blackColor();
    part->setChildren({
        path(polygon({ { 8, 96 }, { 14, 50 }, { 46, 50 }, { 52, 96 } }, true), black, colors.shirt),
        path(ellipse(QRectF(10, 6, 40, 44)), black, colors.skin),
        path(polygon({ { 8, 24 }, { 12, 4 }, { 30, -2 }, { 48, 4 }, { 52, 24 }, { 30, 12 } }, true), black,
            colors.hair),
        path(ellipse(QRectF(20, 24, 5, 6)), black, black, 0.5f),
        path(ellipse(QRectF(35, 24, 5, 6)), black, black, 0.5f),
    });
    part->setPartType(1);
    part->setModel(character);
    character->setChildren({ part });
    return character;
}

AttributedText lettering(const QString& text)
{
    TextAttributes attributes;
    attributes.font = TextFont(FontRegistry::kLetteringFontName, 12.0);
    attributes.foregroundColor = RgbColor(0, 0, 0, 1);
    TextParagraphStyle paragraph;
    paragraph.alignment = TextAlignment::Center;
    attributes.paragraphStyle = paragraph;
    return AttributedText(text, attributes);
}

BalloonPtr balloon(const QString& text, const QPointF& at, float width, const QPointF& tail = QPointF())
{
    BalloonPtr made = Balloon::initAt(at, width);
    made->setFormattedText(lettering(text));
    if (!made->pointers().isEmpty()) {
        if (tail.isNull())
            made->setPointers({});
        else
            made->pointers().first()->setPointValues({ QPointF(0, 0), tail });
    }
    return made;
}

struct Page {
    // Each panel's balloons; the figure stands in the panels listed.
    QList<QList<BalloonPtr>> panels;
    QList<int> figureIn;
    // A command balloon ("help:..." or "link:Title|URL"), put first in the first panel.
    QString command;
};

ComicModelPtr helpComic(const QList<Page>& pages)
{
    const Palette colors;
    auto comic = std::make_shared<ComicModel>();
    comic->setupWithSize(kPageSize, 1, 2);
    comic->setName(QStringLiteral("Help"));
    const auto guide = guideCharacter(colors);
    CharacterList cast = comic->characters();
    cast.push_back(guide);
    comic->setCharacters(cast);
    comic->comicColorsModel()->addColor(colors.sky);
    comic->comicColorsModel()->addColor(colors.sand);

    ComicStructureList contents;
    for (int index = 0; index < pages.size(); ++index) {
        std::shared_ptr<ComicPage> page = index == 0 ? comic->currentPage() : std::make_shared<ComicPage>();
        if (index > 0)
            page->initWithRect(QRectF(QPointF(0, 0), kPageSize), comic.get(), 1, 2);
        ComicStructureList panels;
        page->getPanelsInArray(panels);
        for (int p = 0; p < int(panels.size()); ++p) {
            auto panel = std::dynamic_pointer_cast<ComicPanel>(panels[std::size_t(p)]);
            auto fill = std::make_shared<ColorFill>();
            fill->setFillColor(p % 2 == 0 ? colors.sky : colors.sand);
            panel->setFill(fill);
            ElementList elements;
            if (pages[index].figureIn.contains(p)) {
                auto figure = copyElement(*std::dynamic_pointer_cast<Part>(guide->children().front()));
                figure->setModel(guide);
                const QRectF frame = panel->getBounds();
                figure->offsetBy(QPointF(frame.center().x() - 30, frame.bottom() - 108), true);
                elements.append(figure);
            }
            if (p == 0 && !pages[index].command.isEmpty())
                elements.append(balloon(pages[index].command, panel->getBounds().topLeft() + QPointF(10, 10), 80));
            for (const BalloonPtr& made : pages[index].panels.value(p))
                elements.append(made);
            panel->frontLayer()->setChildren(elements);
        }
        contents.push_back(page);
    }
    comic->setContents(contents);
    comic->setCurrentPageIndex(0);
    return comic;
}

bool write(const QString& folder, const QString& id, const QList<Page>& pages)
{
    QFile file(QDir(folder).filePath(id + QStringLiteral(".comic")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    return file.write(archivedComicFile(*helpComic(pages))) > 0;
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    FontRegistry::shared().registerShippedFonts();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/help");
    const QPointF left(24, 16);
    const QPointF right(206, 16);
    bool written = true;
    written &= write(folder, QStringLiteral("comic_view"),
        {
            { { { balloon(QStringLiteral("This is your comic page. Click a panel to work in it."), left, 130,
                    { 20, 40 }) },
                  { balloon(QStringLiteral("Drag characters from the library below into a panel."), right, 130) } },
                { 0 }, QStringLiteral("help:comic_view") },
            { { { balloon(QStringLiteral("Double-click a balloon to type in it."), left, 130, { 24, 40 }) },
                  { balloon(QStringLiteral("Drag the end of a tail to point at who speaks."), right, 130,
                      { -10, 60 }) } },
                { 0, 1 }, QString() },
            { { { balloon(QStringLiteral("Turn pages with the buttons under the comic."), left, 130) },
                  { balloon(QStringLiteral("Comic > Export... writes images and PDFs."), right, 130, { 10, 40 }) } },
                { 1 }, QStringLiteral("link:Zandrel website|https://zandrel.org/") },
        });
    written &= write(folder, QStringLiteral("parts_view"),
        {
            { { { balloon(QStringLiteral("These are the parts of your character."), left, 130, { 20, 40 }) },
                  { balloon(QStringLiteral("Double-click a part to draw in it."), right, 130) } },
                { 0 }, QStringLiteral("help:parts_view") },
            { { { balloon(QStringLiteral("Give each part a type in the Character menu."), left, 130) },
                  { balloon(QStringLiteral("The toolbar's popup shows the parts of one type."), right, 130,
                      { -10, 50 }) } },
                { 1 }, QString() },
        });
    written &= write(folder, QStringLiteral("part_elements_view"),
        {
            { { { balloon(QStringLiteral("Draw with the pen, the pencil, lines, rectangles and ellipses."), left,
                    140) },
                  { balloon(QStringLiteral("Paths take the line and fill of the inspector."), right, 130,
                      { -10, 50 }) } },
                { 1 }, QStringLiteral("help:part_elements_view") },
            { { { balloon(QStringLiteral("The reshaping tool moves the points of a path."), left, 130, { 20, 40 }) },
                  { balloon(QStringLiteral("Leave the editor with the level bar above."), right, 130) } },
                { 0 }, QString() },
        });
    written &= write(folder, QStringLiteral("library_view"),
        {
            { { { balloon(QStringLiteral("The library holds the characters of this comic."), left, 130,
                    { 20, 40 }) },
                  { balloon(QStringLiteral("Drag a pose from it into a panel."), right, 130) } },
                { 0 }, QStringLiteral("help:library_view") },
        });
    std::printf(written ? "help comics written to %s\n" : "could not write to %s\n", qPrintable(folder));
    return written ? 0 : 1;
}
