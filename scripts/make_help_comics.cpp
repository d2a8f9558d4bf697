// Writes the help comics shipped in resources/help: small comics drawn with the model's own
// panels, balloons and parts, one help page a comic page. Run after changing their text:
//   cmake --build build --target make_help_comics && build/src/make_help_comics resources/help
// With a second folder, each page is also drawn there as a PNG, as the overlay shows it (without the
// hidden command balloons), to look at before shipping.
#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartPath.h"
#include "comicmodel/Balloon.h"
#include "comicmodel/BalloonPointer.h"
#include "comicmodel/ComicFile.h"
#include "comicmodel/ComicModel.h"
#include "comicmodel/ComicPage.h"
#include "comicmodel/ComicPanel.h"
#include "comicmodel/Group.h"
#include "comicmodel/PanelLayer.h"
#include "graphics/ColorFill.h"
#include "graphics/Curve.h"
#include "graphics/ZDLColor.h"
#include "graphics/ZDLContext.h"
#include "platform/AttributedText.h"
#include "platform/CurrentCanvas.h"
#include "platform/FontRegistry.h"
#include "platform/PainterCanvas.h"
#include "platform/TextAttributes.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
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
    // The props: a framed picture and two toys.
    ZDLColorPtr photoSky
        = ZDLColor::colorFromHexNamed(QStringLiteral("#9CCBF0"), QStringLiteral("Photo Sky"));
    ZDLColorPtr hill = ZDLColor::colorFromHexNamed(QStringLiteral("#6DBB5A"), QStringLiteral("Hill"));
    ZDLColorPtr sun = ZDLColor::colorFromHexNamed(QStringLiteral("#F7D046"), QStringLiteral("Sun"));
    ZDLColorPtr mask = ZDLColor::colorFromHexNamed(QStringLiteral("#3DB53D"), QStringLiteral("Mask"));
    ZDLColorPtr ball = ZDLColor::colorFromHexNamed(QStringLiteral("#E0533D"), QStringLiteral("Ball"));
    ZDLColorPtr box = ZDLColor::colorFromHexNamed(QStringLiteral("#C08A4A"), QStringLiteral("Box"));
    ZDLColorPtr frame = ZDLColor::colorFromHexNamed(QStringLiteral("#7A7A7A"), QStringLiteral("Frame"));
    // The fill of an outline.
    ZDLColorPtr clear
        = ZDLColor::colorFromHexWithAlphaNamed(QStringLiteral("#FFFFFF"), 0.0f, QStringLiteral("Clear"));
};

CurvePtr polygon(const QList<QPointF>& points, bool onCurve)
{
    auto curve = std::make_shared<Curve>();
    for (const QPointF& p : points)
        curve->addPoint(p, onCurve);
    curve->setClosed(true);
    return curve;
}

CurvePtr rectangle(const QRectF& r)
{
    return polygon({ r.topLeft(), r.topRight(), r.bottomRight(), r.bottomLeft() }, true);
}

// An ellipse as a quadratic spline: eight off-curve points, the on-curve points implied between.
CurvePtr ellipse(const QRectF& r)
{
    QList<QPointF> points;
    const double k = 1.0 / std::cos(M_PI / 8);
    for (int i = 0; i < 8; ++i) {
        const double a = M_PI / 4 * i;
        points.append(
            r.center() + QPointF(std::cos(a) * r.width() / 2 * k, std::sin(a) * r.height() / 2 * k));
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
    for (const auto& color : { colors.skin, colors.shirt, colors.hair, colors.photoSky, colors.hill,
             colors.sun, colors.mask, colors.ball, colors.box, colors.frame, colors.clear })
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

// Two green hills along the foot of the picture, inside it.
CurvePtr hills(const QRectF& photo)
{
    auto curve = std::make_shared<Curve>();
    const double w = photo.width();
    const double h = photo.height();
    curve->addPoint(photo.topLeft() + QPointF(0, h), true);
    curve->addPoint(photo.topLeft() + QPointF(0, h * 0.62), true);
    curve->addPoint(photo.topLeft() + QPointF(w * 0.25, h * 0.35), false);
    curve->addPoint(photo.topLeft() + QPointF(w * 0.55, h * 0.7), true);
    curve->addPoint(photo.topLeft() + QPointF(w * 0.8, h * 0.45), false);
    curve->addPoint(photo.topLeft() + QPointF(w, h * 0.6), true);
    curve->addPoint(photo.topLeft() + QPointF(w, h), true);
    curve->setClosed(true);
    return curve;
}

// The props the pages show beside the guide, each drawn around (0, 0) as a part of the guide's
// character.
enum class Prop { None, Picture, MaskedPicture, ReshapedMask, CroppedPicture, Group };

PartPtr propPart(Prop prop, const std::shared_ptr<CharacterModel>& character, const Palette& colors)
{
    const auto black = character->blackColor();
    const QRectF photo(0, 0, 120, 84);
    ElementList children;
    if (prop == Prop::Group) {
        children = {
            path(rectangle(QRectF(-8, -8, 136, 80)), colors.frame, colors.clear, 1.0f),
            path(rectangle(QRectF(0, 16, 56, 48)), black, colors.box),
            path(polygon({ { 0, 16 }, { 14, 2 }, { 70, 2 }, { 56, 16 } }, true), black, colors.box),
            path(polygon({ { 56, 16 }, { 70, 2 }, { 70, 50 }, { 56, 64 } }, true), black, colors.box),
            path(ellipse(QRectF(78, 20, 42, 42)), black, colors.ball),
        };
    } else {
        children = {
            path(rectangle(photo), black, colors.photoSky),
            path(hills(photo), colors.hill, colors.hill, 0.5f),
            path(ellipse(QRectF(84, 10, 22, 22)), colors.sun, colors.sun, 0.5f),
            path(rectangle(photo), black, colors.clear, 1.5f),
        };
        const QRectF oval(14, 8, 80, 68);
        if (prop == Prop::MaskedPicture || prop == Prop::ReshapedMask)
            children.append(path(ellipse(oval), colors.mask, colors.clear, 2.5f));
        if (prop == Prop::ReshapedMask) {
            // The mask's points, as the reshaping tool shows them.
            for (int i = 0; i < 8; ++i) {
                const double a = M_PI / 4 * i + M_PI / 8;
                const QPointF at = oval.center()
                    + QPointF(std::cos(a) * oval.width() / 2, std::sin(a) * oval.height() / 2);
                children.append(
                    path(rectangle(QRectF(at - QPointF(3, 3), QSizeF(6, 6))), black, colors.sand, 1.0f));
            }
        }
        if (prop == Prop::CroppedPicture)
            children.append(path(rectangle(QRectF(16, 12, 72, 58)), black, colors.clear, 2.0f));
    }
    auto part = std::make_shared<Part>();
    part->setChildren(children);
    part->setPartType(1);
    part->setModel(character);
    return part;
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
    // A prop at the foot of the panels without the figure.
    Prop prop = Prop::None;
    // Balloons over the page itself, outside the panels.
    QList<BalloonPtr> free {};
    // Balloons merged into one shape, in the second panel.
    QList<BalloonPtr> merged {};
};

ComicModelPtr helpComic(const QList<Page>& pages, bool withCommands = true)
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
            if (pages[index].prop != Prop::None && !pages[index].figureIn.contains(p)) {
                PartPtr made = propPart(pages[index].prop, guide, colors);
                made->setModel(guide);
                const QRectF frame = panel->getBounds();
                made->offsetBy(QPointF(frame.center().x() - 60, frame.bottom() - 100), true);
                elements.append(made);
            }
            if (p == 0 && withCommands && !pages[index].command.isEmpty())
                elements.append(
                    balloon(pages[index].command, panel->getBounds().topLeft() + QPointF(10, 10), 80));
            for (const BalloonPtr& made : pages[index].panels.value(p))
                elements.append(made);
            if (p == 1 && !pages[index].merged.isEmpty()) {
                auto group = std::make_shared<BalloonGroup>();
                ElementList members;
                for (const BalloonPtr& made : pages[index].merged)
                    members.append(made);
                group->setChildren(members);
                elements.append(group);
            }
            panel->frontLayer()->setChildren(elements);
        }
        ElementList free;
        for (const BalloonPtr& made : pages[index].free)
            free.append(made);
        page->setChildren(free);
        contents.push_back(page);
    }
    comic->setContents(contents);
    comic->setCurrentPageIndex(0);
    return comic;
}

QString previewFolder;

bool preview(const QString& id, const QList<Page>& pages)
{
    const ComicModelPtr comic = helpComic(pages, false);
    const QRectF bounds = comic->bounds();
    for (int index = 0; index < pages.size(); ++index) {
        comic->setCurrentPageIndex(index);
        QImage image((bounds.size() * 2).toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(2, 2);
            PainterCanvas canvas(&painter, CanvasTarget::Screen);
            CanvasScope current(&canvas);
            ZDLContext context(2.0f);
            comic->currentPage()->drawIn(context, bounds);
            canvas.finish();
        }
        if (!image.save(QDir(previewFolder).filePath(QStringLiteral("%1-%2.png").arg(id).arg(index + 1))))
            return false;
    }
    return true;
}

bool write(const QString& folder, const QString& id, const QList<Page>& pages)
{
    QFile file(QDir(folder).filePath(id + QStringLiteral(".comic")));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (file.write(archivedComicFile(*helpComic(pages))) <= 0)
        return false;
    return previewFolder.isEmpty() || preview(id, pages);
}

} // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    FontRegistry::shared().registerShippedFonts();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("resources/help");
    if (argc > 2)
        previewFolder = QString::fromLocal8Bit(argv[2]);
    const QPointF left(24, 16);
    const QPointF right(206, 16);
    bool written = true;
    written &= write(folder, QStringLiteral("comic_view"),
        {
            { { { balloon(QStringLiteral("This is your comic page. Click a panel to work in it."), left, 130,
                    { 20, 40 }) },
                  { balloon(
                      QStringLiteral("Drag characters from the library below into a panel."), right, 130) } },
                { 0 }, QStringLiteral("help:comic_view") },
            { { { balloon(QStringLiteral("Double-click a balloon to type in it."), left, 130, { 24, 40 }) },
                  { balloon(QStringLiteral("Drag the end of a tail to point at who speaks."), right, 130,
                      { -10, 60 }) } },
                { 0, 1 }, QString() },
            { { { balloon(QStringLiteral("Turn pages with the buttons under the comic."), left, 130) },
                  { balloon(QStringLiteral("Comic > Export... writes images and PDFs."), right, 130,
                      { 10, 40 }) } },
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
            { { { balloon(QStringLiteral("Draw with the pen, the pencil, lines, rectangles and ellipses."),
                    left, 140) },
                  { balloon(QStringLiteral("Paths take the line and fill of the inspector."), right, 130,
                      { -10, 50 }) } },
                { 1 }, QStringLiteral("help:part_elements_view") },
            { { { balloon(QStringLiteral("The reshaping tool moves the points of a path."), left, 130,
                    { 20, 40 }) },
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
    written &= write(folder, QStringLiteral("image_view"),
        {
            { { { balloon(QStringLiteral(
                              "This is the image editor. Masks cut out the part of the picture you keep."),
                    left, 140, { 20, 40 }) },
                  { balloon(QStringLiteral("Draw a mask with the pen, pencil, rectangle or ellipse."), right,
                      130) } },
                { 0 }, QStringLiteral("help:image_view"), Prop::MaskedPicture },
            { { { balloon(QStringLiteral("Only what lies inside a mask shows. The rest is washed out here."),
                    left, 140, { 20, 40 }) },
                  { balloon(QStringLiteral("The reshaping tool moves the points of a mask."), right, 130) } },
                { 0 }, QString(), Prop::ReshapedMask },
            { { { balloon(QStringLiteral("Right-click the picture to set its pivot point."), left, 130,
                    { 20, 40 }) },
                  { balloon(QStringLiteral("The crop tool and Resample… change the picture itself."), right,
                      130) } },
                { 0 }, QString(), Prop::CroppedPicture },
        });
    written &= write(folder, QStringLiteral("group_view"),
        {
            { { { balloon(QStringLiteral("You are inside a group. Everything else is dimmed."), left, 130,
                    { 20, 40 }) },
                  { balloon(QStringLiteral("Move, resize and edit its members one by one."), right, 130) } },
                { 0 }, QStringLiteral("help:group_view"), Prop::Group },
            { { { balloon(QStringLiteral("What you paste or add here joins the group."), left, 130) },
                  { balloon(QStringLiteral("Click a level in the bar above to leave the group."), right, 130,
                      { -10, 50 }) } },
                { 1 }, QString(), Prop::Group },
        });
    written &= write(folder, QStringLiteral("floating_view"),
        {
            { { { balloon(QStringLiteral("These objects float over the page, outside every panel."), left,
                    130, { 20, 40 }) },
                  { balloon(QStringLiteral("No panel edge cuts them off, so they can cross the gutters."),
                      right, 130) } },
                { 0 }, QStringLiteral("help:floating_view"), Prop::None,
                { balloon(QStringLiteral("Like this one!"), QPointF(140, 130), 100) } },
            { { { balloon(QStringLiteral("Comic > Free from Panel lifts selected objects out to here."), left,
                    140) },
                  { balloon(QStringLiteral("Click a level in the bar above to go back to the panels."), right,
                      130, { -10, 50 }) } },
                { 1 }, QString() },
        });
    written &= write(folder, QStringLiteral("balloon_group_view"),
        {
            { { { balloon(
                    QStringLiteral("Edit > Merge joins balloons into one shape."), left, 130, { 20, 40 }) },
                  { balloon(
                      QStringLiteral("Here you edit each balloon of the merged shape."), right, 130) } },
                { 0 }, QStringLiteral("help:balloon_group_view"), Prop::None, {},
                { balloon(QStringLiteral("Two balloons…"), QPointF(214, 110), 90),
                    balloon(QStringLiteral("…one shape!"), QPointF(252, 124), 90) } },
            { { { balloon(QStringLiteral("Drag a balloon to move it. Double-click it to type."), left, 130) },
                  { balloon(QStringLiteral("Click a level in the bar above to leave."), right, 130,
                      { -10, 50 }) } },
                { 1 }, QString() },
        });
    std::printf(written ? "help comics written to %s\n" : "could not write to %s\n", qPrintable(folder));
    return written ? 0 : 1;
}
