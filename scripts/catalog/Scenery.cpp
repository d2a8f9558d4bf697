#include "Scenery.h"

#include "CatalogArt.h"

#include <cmath>

namespace zandrel::catalogart {

namespace {

// Every thing below is drawn standing on its local (0, 0), growing upwards (negative y).

Paint ink(const ZDLColorPtr& color, float weight = 1.5f)
{
    return Paint { color, color, -0.55f, weight };
}

Paint tone(const ZDLColorPtr& color, float adjust, float weight = 1.2f)
{
    return Paint { color, color, -0.55f, weight, adjust };
}

// A billowy outline round an ellipse: bulges between small dips, like a tree's crown or a cloud.
CurvePtr billow(const QPointF& centre, double rx, double ry, int bumps, double depth, double turn = 0)
{
    QList<QPointF> points;
    QList<bool> on;
    for (int i = 0; i < bumps * 2; ++i) {
        const double a = turn + M_PI * 2 * i / (bumps * 2);
        const bool dip = i % 2 == 0;
        const double r = dip ? 1.0 - depth : 1.0 + depth * 1.2;
        points.append(centre + QPointF(std::cos(a) * rx * r, std::sin(a) * ry * r));
        on.append(dip);
    }
    return curve(points, on);
}

PartPathPtr shading(
    const ZDLColorPtr& shadow, const QPointF& centre, double rx, double ry, const QPointF& shift)
{
    return softShadow(shadow, centre, rx, ry, shift, 3.0f);
}

struct Outdoors {
    ZDLColorPtr leaves, bark, pine, wall, roof, door, glass, metal, light, cloud, grass, sun, wood, shadow,
        white;
};

ElementList tree(const Outdoors& c)
{
    const QPointF crown(0, -112);
    return {
        withContents(path({ curve({ QPointF(-11, 0), QPointF(-6, -4), QPointF(-6, -40), QPointF(-9, -70),
                                      QPointF(9, -70), QPointF(6, -40), QPointF(6, -4), QPointF(12, 0) },
                              { true, false, true, false, false, true, false, true }) },
                         ink(c.bark)),
            { shading(c.shadow, QPointF(0, -35), 8, 40, QPointF(-4, 0)),
                path({ taperedStroke({ QPointF(-2, -12), QPointF(-3, -22), QPointF(-1, -30) }, 1.4) },
                    flat(c.bark, -0.45f)),
                path({ taperedStroke({ QPointF(2, -42), QPointF(3, -50), QPointF(1, -58) }, 1.4) },
                    flat(c.bark, -0.45f)) }),
        path({ taperedStroke({ QPointF(-3, -62), QPointF(-10, -78), QPointF(-22, -86) }, 5) },
            ink(c.bark, 1.2f)),
        withContents(path({ billow(crown, 52, 44, 9, 0.09, 0.2) }, ink(c.leaves, 1.6f)),
            { path({ billow(crown + QPointF(-14, -12), 22, 17, 6, 0.12) }, flat(c.leaves, 0.18f)),
                path({ billow(crown + QPointF(20, -20), 15, 12, 5, 0.12) }, flat(c.leaves, 0.18f)),
                path({ billow(crown + QPointF(6, 18), 18, 12, 5, 0.12) }, flat(c.leaves, 0.1f)),
                shading(c.shadow, crown, 52, 44, QPointF(-12, -12)) }),
    };
}

ElementList pine(const Outdoors& c)
{
    ElementList made { path({ curves(rect(-6, -24, 12, 24)) }, ink(c.bark)) };
    // Three tiers, the lowest drawn first so that each higher one overlaps the one below.
    const double tiers[][3] = { { 46, -20, -72 }, { 37, -58, -108 }, { 26, -92, -140 } };
    for (const auto& t : tiers) {
        const double half = t[0];
        const double bottom = t[1];
        const double top = t[2];
        made.append(
            withContents(path({ curve({ QPointF(0, top), QPointF(half * 0.45, (top + bottom) / 2),
                                          QPointF(half, bottom), QPointF(half * 0.5, bottom + 4),
                                          QPointF(0, bottom - 2), QPointF(-half * 0.5, bottom + 4),
                                          QPointF(-half, bottom), QPointF(-half * 0.45, (top + bottom) / 2) },
                                  { true, false, true, false, true, false, true, false }) },
                             ink(c.pine, 1.5f)),
                { shading(c.shadow, QPointF(0, (top + bottom) / 2), half, (bottom - top) * 0.7,
                    QPointF(-half * 0.35, 0)) }));
    }
    return made;
}

ElementList bush(const Outdoors& c)
{
    const QPointF centre(0, -26);
    ElementList made { withContents(path({ billow(centre, 44, 28, 8, 0.1, 0.3) }, ink(c.leaves, 1.5f)),
        { path({ billow(centre + QPointF(-12, -8), 16, 10, 5, 0.12) }, flat(c.leaves, 0.18f)),
            shading(c.shadow, centre, 44, 28, QPointF(-10, -10)) }) };
    for (const QPointF& at : { QPointF(-22, -30), QPointF(6, -40), QPointF(24, -22), QPointF(-4, -16) })
        made.append(path({ ellipse(at, 3, 3) }, ink(c.roof, 0.8f)));
    return made;
}

ElementList house(const Outdoors& c)
{
    ElementList made;
    made.append(path(rect(34, -150, 16, 40), ink(c.roof)));
    made.append(path(rect(31, -156, 22, 8), tone(c.roof, -0.15f)));
    made.append(withContents(path(rect(-70, -96, 140, 96), ink(c.wall)),
        { shading(c.shadow, QPointF(0, -48), 70, 48, QPointF(-16, -10)),
            path(rect(-80, -100, 160, 8), flat(c.shadow)) }));
    // The roof: tiles as lines clipped to it.
    ElementList tiles;
    for (int i = 1; i < 6; ++i) {
        const double y = -150 + i * 11;
        tiles.append(path({ taperedStroke({ QPointF(-90, y), QPointF(90, y) }, 1.3) }, flat(c.roof, -0.35f)));
    }
    tiles.append(shading(c.shadow, QPointF(0, -122), 80, 28, QPointF(-14, -8)));
    made.append(withContents(
        path({ curve({ QPointF(-84, -94), QPointF(0, -160), QPointF(84, -94) }, { true, true, true }) },
            ink(c.roof, 1.6f)),
        tiles));
    // The door and its step.
    made.append(path(rect(-20, -4, 40, 5), tone(c.wall, -0.25f)));
    made.append(withContents(path({ curve({ QPointF(-14, -4), QPointF(-14, -48), QPointF(0, -62),
                                              QPointF(14, -48), QPointF(14, -4) },
                                      { true, true, false, true, true }) },
                                 ink(c.door)),
        { path(rect(-9, -42, 7, 16), tone(c.door, -0.12f, 1.0f)),
            path(rect(2, -42, 7, 16), tone(c.door, -0.12f, 1.0f)),
            path(rect(-9, -22, 7, 13), tone(c.door, -0.12f, 1.0f)),
            path(rect(2, -22, 7, 13), tone(c.door, -0.12f, 1.0f)) }));
    made.append(path({ ellipse(QPointF(9, -30), 1.8, 1.8) }, ink(c.light, 0.8f)));
    // Two windows with frames, bars and a gleam on the glass.
    for (double x : { -56.0, 28.0 }) {
        made.append(path(rect(x - 3, -31, 34, 5), tone(c.wall, -0.2f)));
        made.append(withContents(path(rect(x, -74, 28, 42), ink(c.glass)),
            { path({ curve({ QPointF(x + 4, -40), QPointF(x + 20, -74), QPointF(x + 28, -74),
                               QPointF(x + 12, -40) },
                       { true, true, true, true }) },
                  flat(c.white, 0, 0)),
                path(rect(x + 12.5, -74, 3, 42), tone(c.wall, -0.1f, 0.8f)),
                path(rect(x, -55, 28, 3), tone(c.wall, -0.1f, 0.8f)) }));
        made.append(path({ curves(rect(x, -74, 28, 42)) }, Paint { nullptr, c.wall, -0.5f, 3.0f }));
    }
    return made;
}

ElementList streetLamp(const Outdoors& c)
{
    return {
        path({ ellipse(QPointF(0, -150), 24, 24) }, flat(c.light, 0, 6.0f)),
        path({ curve({ QPointF(-12, 0), QPointF(-9, -12), QPointF(9, -12), QPointF(12, 0) },
                 { true, true, true, true }) },
            ink(c.metal)),
        path({ tube({ QPointF(0, -10), QPointF(0, -132) }, 6, 4.5) }, ink(c.metal, 1.3f)),
        path(rect(-6, -60, 12, 4), tone(c.metal, 0.15f, 1.0f)),
        path({ curve({ QPointF(-7, -134), QPointF(7, -134), QPointF(10, -140), QPointF(-10, -140) },
                 { true, true, true, true }) },
            ink(c.metal, 1.2f)),
        withContents(
            path({ curve({ QPointF(-9, -140), QPointF(9, -140), QPointF(13, -162), QPointF(-13, -162) },
                     { true, true, true, true }) },
                Paint { c.light, c.metal, -0.3f, 1.2f }),
            { path({ ellipse(QPointF(0, -150), 5, 7) }, flat(c.white, 0, 2.0f)) }),
        path({ curve({ QPointF(-16, -162), QPointF(16, -162), QPointF(0, -176) }, { true, true, true }) },
            ink(c.metal, 1.3f)),
        path({ ellipse(QPointF(0, -178), 3, 3) }, ink(c.metal, 1.0f)),
    };
}

ElementList cloud(const Outdoors& c, double scale)
{
    const QPointF centre(0, -30 * scale);
    QList<QPointF> points;
    QList<bool> on;
    // Round bulges over a flat underside.
    const double w = 60 * scale;
    const double h = 28 * scale;
    points << centre + QPointF(-w, h * 0.6) << centre + QPointF(-w * 1.15, -h * 0.1)
           << centre + QPointF(-w * 0.7, -h * 0.35) << centre + QPointF(-w * 0.65, -h * 1.2)
           << centre + QPointF(-w * 0.15, -h * 0.9) << centre + QPointF(0, -h * 1.6)
           << centre + QPointF(w * 0.45, -h * 0.75) << centre + QPointF(w * 0.8, -h * 1.0)
           << centre + QPointF(w * 0.8, -h * 0.2) << centre + QPointF(w * 1.2, 0)
           << centre + QPointF(w, h * 0.6);
    on << true << false << true << false << true << false << true << false << true << false << true;
    return { withContents(path({ curve(points, on) }, Paint { c.cloud, c.cloud, -0.35f, 1.4f }),
        { shading(c.shadow, centre + QPointF(0, -h * 0.3), w * 1.1, h * 1.2, QPointF(0, -h * 0.5)) }) };
}

ElementList sun(const Outdoors& c)
{
    const QPointF centre(0, -40);
    ElementList made;
    for (int i = 0; i < 12; ++i) {
        const double a = M_PI * 2 * i / 12;
        const QPointF d(std::cos(a), std::sin(a));
        made.append(
            path({ taperedStroke({ centre + d * 27, centre + d * 33, centre + d * (i % 2 ? 38 : 42) }, 4.0) },
                flat(c.sun, -0.1f)));
    }
    made.append(withContents(path({ ellipse(centre, 22, 22) }, ink(c.sun, 1.5f)),
        { path({ ellipse(centre + QPointF(-7, -7), 8, 6) }, flat(c.white, 0, 3.0f)) }));
    return made;
}

ElementList ground(const Outdoors& c)
{
    QList<QPointF> points { QPointF(-160, 24), QPointF(-160, -4) };
    QList<bool> on { true, true };
    for (int i = 0; i < 8; ++i) {
        points << QPointF(-140 + i * 40, -12 + (i % 2) * 6) << QPointF(-120 + i * 40, -4);
        on << false << true;
    }
    points << QPointF(160, -4) << QPointF(160, 24);
    on << true << true;
    ElementList made { withContents(path({ curve(points, on) }, ink(c.grass, 1.4f)),
        { path({ taperedStroke({ QPointF(-170, 14), QPointF(0, 10), QPointF(170, 14) }, 10) },
            flat(c.grass, -0.12f, 3.0f)) }) };
    for (int i = 0; i < 9; ++i) {
        const double x = -140 + i * 35 + (i % 3) * 4;
        made.append(path({ taperedStroke({ QPointF(x, 2), QPointF(x - 2, -4), QPointF(x - 5, -9) }, 1.6) },
            flat(c.grass, -0.4f)));
        made.append(
            path({ taperedStroke({ QPointF(x + 2, 2), QPointF(x + 3, -5), QPointF(x + 6, -8) }, 1.6) },
                flat(c.grass, -0.4f)));
    }
    return made;
}

ElementList fence(const Outdoors& c)
{
    ElementList made;
    made.append(path(rect(-70, -40, 140, 7), ink(c.wood, 1.2f)));
    made.append(path(rect(-70, -18, 140, 7), ink(c.wood, 1.2f)));
    for (int i = 0; i < 7; ++i) {
        const double x = -66 + i * 21;
        made.append(withContents(path({ curve({ QPointF(x, 0), QPointF(x, -46), QPointF(x + 6, -54),
                                                  QPointF(x + 12, -46), QPointF(x + 12, 0) },
                                          { true, true, true, true, true }) },
                                     ink(c.wood, 1.3f)),
            { path(rect(x + 8, -56, 6, 60), flat(c.shadow)) }));
    }
    return made;
}

CharacterModelPtr outdoors()
{
    CharacterModelPtr model = newModel(QStringLiteral("Outdoors"), 1);
    Sheet s(model);
    const Outdoors c {
        s.color(QStringLiteral("Leaves"), QStringLiteral("#5FAE4A")),
        s.color(QStringLiteral("Bark"), QStringLiteral("#8A5A33")),
        s.color(QStringLiteral("Pine"), QStringLiteral("#2F7A52")),
        s.color(QStringLiteral("Wall"), QStringLiteral("#F0DDB4")),
        s.color(QStringLiteral("Roof"), QStringLiteral("#C4553B")),
        s.color(QStringLiteral("Door"), QStringLiteral("#7A4C2C")),
        s.color(QStringLiteral("Glass"), QStringLiteral("#A8D4EE")),
        s.color(QStringLiteral("Metal"), QStringLiteral("#4B5664")),
        s.color(QStringLiteral("Light"), QStringLiteral("#FFE27A")),
        s.color(QStringLiteral("Cloud"), QStringLiteral("#F6FAFF")),
        s.color(QStringLiteral("Grass"), QStringLiteral("#7BC25A")),
        s.color(QStringLiteral("Sun"), QStringLiteral("#FFCF3A")),
        s.color(QStringLiteral("Wood"), QStringLiteral("#D3A86E")),
        model->getColorNamed(QStringLiteral("Shadow")),
        model->whiteColor(),
    };
    // A little scene for the thumbnail: ground, a house between trees, a lamp, a cloud and the sun.
    s.add(PartTypeSky, sun(c), QPointF(252, 92));
    s.add(PartTypeSky, cloud(c, 0.8), QPointF(110, 84));
    s.add(PartTypeGround, ground(c), QPointF(180, 230));
    s.add(PartTypeStructure, house(c), QPointF(180, 226));
    s.add(PartTypeFoliage, tree(c), QPointF(60, 228));
    s.add(PartTypeFoliage, bush(c), QPointF(278, 228));
    s.add(PartTypeStructure, streetLamp(c), QPointF(318, 230));
    s.frameThumbnail(QRectF(16, 6, 332, 248));
    // The rest beside it.
    s.startRow(QPointF(400, 30));
    s.flow(s.add(PartTypeFoliage, pine(c), QPointF()));
    s.flow(s.add(PartTypeSky, cloud(c, 1.2), QPointF()));
    s.flow(s.add(PartTypeStructure, fence(c), QPointF()));
    return model;
}

struct Room {
    ZDLColorPtr fabric, cushion, wood, metal, shade, light, glass, curtain, pot, leaves, frame, paper, rug,
        book1, book2, book3, shadow, white;
};

ElementList sofa(const Room& c)
{
    ElementList made;
    for (double x : { -62.0, 56.0 })
        made.append(path(rect(x, -8, 6, 10), ink(c.wood, 1.0f)));
    made.append(withContents(path({ curve({ QPointF(-58, -44), QPointF(-56, -86), QPointF(0, -90),
                                              QPointF(56, -86), QPointF(58, -44) },
                                      { true, false, false, false, true }) },
                                 ink(c.fabric, 1.6f)),
        { shading(c.shadow, QPointF(0, -60), 60, 30, QPointF(-10, -8)),
            path({ taperedStroke({ QPointF(0, -86), QPointF(0, -66), QPointF(0, -44) }, 1.6) },
                flat(c.fabric, -0.45f)) }));
    made.append(withContents(
        path(QStringLiteral("@-56,-8 @56,-8 58,-18 @56,-42 @-56,-42 -58,-18"), ink(c.fabric, 1.6f)),
        { shading(c.shadow, QPointF(0, -25), 60, 18, QPointF(-8, -8)) }));
    made.append(path({ curve({ QPointF(-54, -42), QPointF(-2, -42), QPointF(0, -50), QPointF(-52, -52) },
                         { true, true, false, false }) },
        tone(c.cushion, 0)));
    made.append(path({ curve({ QPointF(2, -42), QPointF(54, -42), QPointF(52, -52), QPointF(0, -50) },
                         { true, true, false, false }) },
        tone(c.cushion, 0)));
    for (double side : { -1.0, 1.0 })
        made.append(withContents(
            path({ tube({ QPointF(side * 62, -6), QPointF(side * 62, -56) }, 16, 18) }, ink(c.fabric, 1.6f)),
            { shading(c.shadow, QPointF(side * 62, -30), 9, 30, QPointF(-4, -6)) }));
    return made;
}

ElementList armchair(const Room& c)
{
    ElementList made;
    for (double x : { -34.0, 28.0 })
        made.append(path(rect(x, -8, 6, 10), ink(c.wood, 1.0f)));
    made.append(withContents(
        path({ curve({ QPointF(-30, -44), QPointF(-30, -92), QPointF(30, -92), QPointF(30, -44) },
                 { true, false, false, true }) },
            ink(c.cushion, 1.6f)),
        { shading(c.shadow, QPointF(0, -64), 32, 30, QPointF(-8, -8)) }));
    made.append(withContents(path(rect(-30, -42, 60, 34), ink(c.cushion, 1.6f)),
        { shading(c.shadow, QPointF(0, -25), 32, 18, QPointF(-8, -8)) }));
    for (double side : { -1.0, 1.0 })
        made.append(withContents(
            path({ tube({ QPointF(side * 34, -6), QPointF(side * 34, -52) }, 14, 16) }, ink(c.cushion, 1.6f)),
            { shading(c.shadow, QPointF(side * 34, -30), 8, 28, QPointF(-4, -6)) }));
    return made;
}

ElementList table(const Room& c)
{
    return {
        path(rect(-40, -44, 7, 44), ink(c.wood, 1.2f)),
        path(rect(33, -44, 7, 44), ink(c.wood, 1.2f)),
        path(rect(-40, -44, 80, 10), tone(c.wood, -0.15f)),
        withContents(
            path({ curve({ QPointF(-52, -44), QPointF(52, -44), QPointF(44, -58), QPointF(-44, -58) },
                     { true, true, true, true }) },
                ink(c.wood, 1.5f)),
            { path({ taperedStroke({ QPointF(-30, -50), QPointF(0, -53), QPointF(30, -50) }, 1.4) },
                flat(c.wood, -0.3f)) }),
        path(rect(-52, -45, 104, 4), tone(c.wood, -0.2f)),
    };
}

ElementList chair(const Room& c)
{
    return {
        path(rect(-18, -84, 5, 84), ink(c.wood, 1.2f)),
        path(rect(13, -84, 5, 84), ink(c.wood, 1.2f)),
        path(rect(-16, -80, 32, 7), ink(c.wood, 1.2f)),
        path(rect(-16, -66, 32, 5), ink(c.wood, 1.2f)),
        path(rect(-12, -40, 4, 40), tone(c.wood, -0.2f)),
        path(rect(8, -40, 4, 40), tone(c.wood, -0.2f)),
        path({ curve({ QPointF(-22, -40), QPointF(22, -40), QPointF(18, -48), QPointF(-18, -48) },
                 { true, true, true, true }) },
            ink(c.wood, 1.4f)),
        path(rect(-22, -41, 44, 5), tone(c.wood, -0.15f)),
    };
}

ElementList floorLamp(const Room& c)
{
    return {
        path({ ellipse(QPointF(0, -140), 34, 26) }, flat(c.light, 0, 7.0f)),
        path({ ellipse(QPointF(0, -3), 16, 4) }, ink(c.metal, 1.2f)),
        path({ tube({ QPointF(0, -4), QPointF(0, -128) }, 3.5, 3.5) }, ink(c.metal, 1.0f)),
        withContents(
            path({ curve({ QPointF(-24, -126), QPointF(24, -126), QPointF(14, -160), QPointF(-14, -160) },
                     { true, true, true, true }) },
                ink(c.shade, 1.4f)),
            { shading(c.shadow, QPointF(0, -143), 20, 18, QPointF(-6, 0)),
                path({ taperedStroke({ QPointF(-4, -158), QPointF(-6, -142), QPointF(-9, -127) }, 1.2) },
                    flat(c.shade, -0.3f)),
                path({ taperedStroke({ QPointF(5, -158), QPointF(7, -142), QPointF(10, -127) }, 1.2) },
                    flat(c.shade, -0.3f)) }),
    };
}

ElementList window(const Room& c)
{
    ElementList made;
    made.append(path(rect(-52, -4, 104, 8), tone(c.frame, 0)));
    made.append(withContents(path(rect(-44, -110, 88, 106), ink(c.glass)),
        { path({ billow(QPointF(-14, -84), 18, 8, 4, 0.12) }, flat(c.white)),
            path({ curve({ QPointF(-44, -4), QPointF(-44, -30), QPointF(0, -46), QPointF(44, -22),
                             QPointF(44, -4) },
                     { true, true, false, true, true }) },
                flat(c.leaves, 0.2f)),
            path({ curve({ QPointF(-30, -110), QPointF(-10, -110), QPointF(20, -4), QPointF(0, -4) },
                     { true, true, true, true }) },
                flat(c.white, 0, 2.0f)) }));
    made.append(
        path({ curves(rect(-44, -110, 88, 106)) + curves(rect(-40, -106, 80, 98)) }, ink(c.frame, 1.2f)));
    made.append(path(rect(-2, -108, 4, 102), tone(c.frame, 0, 1.0f)));
    made.append(path(rect(-42, -59, 84, 4), tone(c.frame, 0, 1.0f)));
    // Curtains gathered at the sides, folds as darker strokes.
    for (double side : { -1.0, 1.0 }) {
        const double outer = side * 60;
        const double inner = side * 30;
        ElementList folds;
        for (int i = 1; i < 4; ++i) {
            const double x = outer + (inner - outer) * i / 4.0;
            folds.append(
                path({ taperedStroke(
                         { QPointF(x, -118), QPointF(x + side * 4, -60), QPointF(x - side * 2, -2) }, 2.0) },
                    flat(c.curtain, -0.35f)));
        }
        made.append(withContents(
            path({ curve({ QPointF(outer, -120), QPointF(inner, -120), QPointF(inner + side * 14, -60),
                             QPointF(inner, 2), QPointF(outer, 2) },
                     { true, true, false, true, true }) },
                ink(c.curtain, 1.4f)),
            folds));
    }
    made.append(path({ tube({ QPointF(-66, -122), QPointF(66, -122) }, 4, 4) }, ink(c.metal, 1.0f)));
    return made;
}

ElementList picture(const Room& c)
{
    return {
        path(rect(-34, -56, 68, 56), ink(c.frame, 1.4f)),
        withContents(path(rect(-26, -48, 52, 40), ink(c.paper, 1.0f)),
            { path({ ellipse(QPointF(12, -38), 6, 6) }, flat(c.shade, 0)),
                path({ curve({ QPointF(-26, -8), QPointF(-26, -22), QPointF(-8, -36), QPointF(6, -22),
                                 QPointF(26, -30), QPointF(26, -8) },
                         { true, true, false, true, false, true }) },
                    tone(c.leaves, 0, 0.8f)) }),
    };
}

ElementList pottedPlant(const Room& c)
{
    ElementList made;
    const QList<QPointF> tips { QPointF(-38, -70), QPointF(-20, -96), QPointF(4, -104), QPointF(26, -90),
        QPointF(40, -64), QPointF(-30, -46), QPointF(32, -44) };
    for (const QPointF& tip : tips) {
        const QPointF root(0, -34);
        const QPointF bend
            = (root + tip) / 2 + QPointF((tip.y() - root.y()) * 0.15, -(tip.x() - root.x()) * 0.15);
        made.append(path({ taperedStroke({ root, bend, tip }, 13) }, ink(c.leaves, 1.2f)));
        made.append(path({ taperedStroke({ root, bend, tip }, 1.2) }, flat(c.leaves, -0.4f)));
    }
    made.append(withContents(path(QStringLiteral("@-24,-40 @24,-40 @17,0 @-17,0"), ink(c.pot, 1.5f)),
        { shading(c.shadow, QPointF(0, -20), 20, 22, QPointF(-6, -4)) }));
    made.append(path(rect(-27, -44, 54, 9), tone(c.pot, -0.1f)));
    return made;
}

ElementList bookshelf(const Room& c)
{
    ElementList made;
    made.append(withContents(path(rect(-40, -140, 80, 140), ink(c.wood, 1.6f)),
        { path(rect(-34, -134, 68, 130), flat(c.wood, -0.35f)) }));
    const ZDLColorPtr books[] = { c.book1, c.book2, c.book3 };
    for (int shelf = 0; shelf < 3; ++shelf) {
        const double base = -6 - shelf * 44;
        made.append(path(rect(-36, base, 72, 5), tone(c.wood, 0.1f, 1.0f)));
        double x = -32;
        int n = 0;
        while (x < 22) {
            const double w = 7 + ((n * 5 + shelf * 3) % 4);
            const double h = 28 + ((n * 7 + shelf) % 3) * 4;
            made.append(withContents(path(rect(x, base - h, w, h), tone(books[(n + shelf) % 3], 0, 1.0f)),
                { path(rect(x, base - h + 5, w, 3), flat(books[(n + shelf) % 3], 0.4f)) }));
            x += w + 1;
            ++n;
        }
        if (shelf == 1) {
            made.append(path({ curve({ QPointF(x + 2, base), QPointF(x + 2, base - 30),
                                         QPointF(x + 12, base - 24), QPointF(x + 8, base) },
                                 { true, true, true, true }) },
                tone(books[2], -0.1f, 1.0f)));
        }
    }
    return made;
}

ElementList rug(const Room& c)
{
    return { withContents(path({ ellipse(QPointF(0, -14), 90, 16) }, ink(c.rug, 1.4f)),
        { path({ ellipse(QPointF(0, -14), 76, 11) }, Paint { nullptr, c.rug, 0.35f, 2.5f }),
            path({ ellipse(QPointF(0, -14), 50, 6) }, flat(c.rug, -0.15f)) }) };
}

CharacterModelPtr livingRoom()
{
    CharacterModelPtr model = newModel(QStringLiteral("Living Room"), 1);
    Sheet s(model);
    const Room c {
        s.color(QStringLiteral("Fabric"), QStringLiteral("#B9523D")),
        s.color(QStringLiteral("Cushion"), QStringLiteral("#E3A34B")),
        s.color(QStringLiteral("Wood"), QStringLiteral("#B07A47")),
        s.color(QStringLiteral("Metal"), QStringLiteral("#505A66")),
        s.color(QStringLiteral("Lampshade"), QStringLiteral("#F3DDAE")),
        s.color(QStringLiteral("Light"), QStringLiteral("#FFE9A0"), 0.8f),
        s.color(QStringLiteral("Glass"), QStringLiteral("#A8D4EE")),
        s.color(QStringLiteral("Curtain"), QStringLiteral("#5E86B8")),
        s.color(QStringLiteral("Pot"), QStringLiteral("#C8714A")),
        s.color(QStringLiteral("Leaves"), QStringLiteral("#4E9E4A")),
        s.color(QStringLiteral("Frame"), QStringLiteral("#F4EEE2")),
        s.color(QStringLiteral("Paper"), QStringLiteral("#FBF4DF")),
        s.color(QStringLiteral("Rug"), QStringLiteral("#7D5BA6")),
        s.color(QStringLiteral("Book 1"), QStringLiteral("#3C6E9F")),
        s.color(QStringLiteral("Book 2"), QStringLiteral("#C24A4A")),
        s.color(QStringLiteral("Book 3"), QStringLiteral("#E0B13C")),
        model->getColorNamed(QStringLiteral("Shadow")),
        model->whiteColor(),
    };
    // A corner of the room for the thumbnail.
    s.add(PartTypeInterior, window(c), QPointF(110, 150));
    s.add(PartTypeInterior, picture(c), QPointF(250, 90));
    s.add(PartTypeInterior, rug(c), QPointF(180, 262));
    s.add(PartTypeFurniture, floorLamp(c), QPointF(44, 240));
    s.add(PartTypeFurniture, sofa(c), QPointF(160, 240));
    s.add(PartTypeFoliage, pottedPlant(c), QPointF(275, 250));
    s.frameThumbnail(QRectF(14, 24, 300, 240));
    s.startRow(QPointF(380, 30));
    s.flow(s.add(PartTypeFurniture, armchair(c), QPointF()));
    s.flow(s.add(PartTypeFurniture, table(c), QPointF()));
    s.flow(s.add(PartTypeFurniture, chair(c), QPointF()));
    s.flow(s.add(PartTypeFurniture, bookshelf(c), QPointF()));
    return model;
}

struct Things {
    ZDLColorPtr body, tyre, glass, chrome, fur, canopy, handle, mug, ball, stripe, cover, pages, shadow,
        white, black;
};

ElementList car(const Things& c)
{
    ElementList made;
    // The body: a low box with a rounded cabin, its windows clipped into it.
    made.append(withContents(
        path({ curve({ QPointF(-78, -14), QPointF(-80, -40), QPointF(-50, -44), QPointF(-34, -46),
                         QPointF(-20, -72), QPointF(30, -72), QPointF(44, -46), QPointF(74, -42),
                         QPointF(80, -28), QPointF(78, -14) },
                 { true, false, true, true, false, false, true, true, false, true }) },
            ink(c.body, 1.6f)),
        { path({ curve({ QPointF(-28, -48), QPointF(-16, -68), QPointF(2, -68), QPointF(2, -48) },
                   { true, true, true, true }) },
              tone(c.glass, 0, 1.0f)),
            path({ curve({ QPointF(8, -48), QPointF(8, -68), QPointF(27, -68), QPointF(38, -48) },
                     { true, true, true, true }) },
                tone(c.glass, 0, 1.0f)),
            path({ taperedStroke({ QPointF(-70, -30), QPointF(0, -31), QPointF(72, -30) }, 1.6) },
                flat(c.body, -0.4f)),
            softShadow(c.shadow, QPointF(0, -40), 82, 30, QPointF(-10, -14), 3.0f) }));
    made.append(path(rect(-4, -40, 10, 3), tone(c.chrome, 0, 0.8f)));
    made.append(path({ ellipse(QPointF(76, -36), 4, 3) }, ink(c.white, 0.8f)));
    made.append(path(rect(-82, -20, 12, 6), tone(c.chrome, 0, 1.0f)));
    made.append(path(rect(70, -20, 12, 6), tone(c.chrome, 0, 1.0f)));
    for (double x : { -48.0, 48.0 }) {
        made.append(path({ ellipse(QPointF(x, -14), 15, 15) }, ink(c.tyre, 1.4f)));
        made.append(path({ ellipse(QPointF(x, -14), 7, 7) }, tone(c.chrome, 0, 1.0f)));
        made.append(path({ ellipse(QPointF(x, -14), 2, 2) }, ink(c.tyre, 0.6f)));
    }
    return made;
}

ElementList cat(const Things& c)
{
    ElementList made;
    made.append(
        path({ taperedStroke({ QPointF(22, -8), QPointF(44, -14), QPointF(40, -40), QPointF(32, -52) }, 8) },
            ink(c.fur, 1.3f)));
    made.append(withContents(path({ smooth({ QPointF(-20, -2), QPointF(-24, -30), QPointF(-4, -44),
                                      QPointF(20, -40), QPointF(30, -16), QPointF(26, 0), QPointF(0, 2) }) },
                                 ink(c.fur, 1.5f)),
        { softShadow(c.shadow, QPointF(4, -20), 26, 22, QPointF(-6, -6), 3.0f) }));
    // The head with its ears, eyes, nose and whiskers.
    const QPointF h(-14, -50);
    for (double side : { -1.0, 1.0 }) {
        made.append(path(
            { curve({ h + QPointF(side * 6, -10), h + QPointF(side * 15, -24), h + QPointF(side * 16, -6) },
                { true, true, true }) },
            ink(c.fur, 1.3f)));
    }
    made.append(withContents(path({ ellipse(h, 17, 14) }, ink(c.fur, 1.5f)),
        { softShadow(c.shadow, h, 17, 14, QPointF(-4, -4), 3.0f) }));
    for (double side : { -1.0, 1.0 }) {
        made.append(withContents(
            path({ ellipse(h + QPointF(side * 6.5, -2), 3.6, 4.2) }, Paint { c.canopy, c.black, 0, 0.8f }),
            { path({ ellipse(h + QPointF(side * 6.5, -2), 1.1, 3.4) }, flat(c.black)) }));
        for (double dy : { -1.0, 2.0 })
            made.append(
                path({ taperedStroke({ h + QPointF(side * 5, 5 + dy * 0.5), h + QPointF(side * 14, 4 + dy),
                                         h + QPointF(side * 22, 3 + dy * 2) },
                         0.9) },
                    flat(c.black)));
    }
    made.append(path(
        { curve({ h + QPointF(-2.5, 3), h + QPointF(2.5, 3), h + QPointF(0, 6) }, { true, true, true }) },
        Paint { c.mug, c.mug, -0.5f, 0.6f }));
    made.append(path({ taperedStroke({ h + QPointF(-4, 8), h + QPointF(-2, 10), h + QPointF(0, 7.5) }, 1.0) },
        flat(c.black)));
    made.append(path({ taperedStroke({ h + QPointF(0, 7.5), h + QPointF(2, 10), h + QPointF(4, 8) }, 1.0) },
        flat(c.black)));
    for (double x : { -12.0, 8.0 })
        made.append(path({ ellipse(QPointF(x, -2), 7, 4) }, ink(c.fur, 1.2f)));
    return made;
}

ElementList umbrella(const Things& c)
{
    ElementList made;
    made.append(path(
        { taperedStroke({ QPointF(0, -86), QPointF(0, -40), QPointF(0, -4) }, 3) }, ink(c.handle, 0.8f)));
    made.append(path({ tube({ QPointF(0, -8), QPointF(0, 2), QPointF(-8, 2), QPointF(-9, -4) }, 3.5, 3.5) },
        ink(c.handle, 1.0f)));
    QList<QPointF> points { QPointF(-54, -70) };
    QList<bool> on { true };
    for (int i = 0; i < 4; ++i) {
        points << QPointF(-54 + i * 27 + 13.5, -76) << QPointF(-54 + (i + 1) * 27, -70);
        on << false << true;
    }
    points << QPointF(30, -128) << QPointF(-30, -128);
    on << false << false;
    ElementList folds;
    for (double x : { -27.0, 0.0, 27.0 })
        folds.append(
            path({ taperedStroke({ QPointF(0, -116), QPointF(x * 0.6, -100), QPointF(x, -72) }, 1.5) },
                flat(c.canopy, -0.35f)));
    folds.append(softShadow(c.shadow, QPointF(0, -90), 56, 30, QPointF(-10, -10), 3.0f));
    made.append(withContents(path({ curve(points, on) }, ink(c.canopy, 1.5f)), folds));
    made.append(path({ tube({ QPointF(0, -116), QPointF(0, -124) }, 3, 2) }, ink(c.handle, 0.8f)));
    return made;
}

ElementList mug(const Things& c)
{
    return { path({ tube({ QPointF(18, -28), QPointF(30, -26), QPointF(29, -12), QPointF(17, -10) }, 5, 5) },
                 ink(c.mug, 1.3f)),
        withContents(path({ curve({ QPointF(-18, -36), QPointF(20, -36), QPointF(18, -4), QPointF(14, 0),
                                      QPointF(-14, 0), QPointF(-18, -4) },
                              { true, true, true, false, true, false }) },
                         ink(c.mug, 1.5f)),
            { path(rect(-20, -26, 40, 6), flat(c.white)),
                softShadow(c.shadow, QPointF(0, -18), 20, 20, QPointF(-6, -4), 3.0f) }),
        path({ ellipse(QPointF(1, -36), 19, 3.5) }, tone(c.mug, -0.25f, 1.2f)),
        path(
            { taperedStroke({ QPointF(-4, -42), QPointF(-8, -50), QPointF(-3, -58) }, 2.4) }, flat(c.shadow)),
        path({ taperedStroke({ QPointF(5, -42), QPointF(1, -52), QPointF(6, -62) }, 2.4) }, flat(c.shadow)) };
}

ElementList ball(const Things& c)
{
    const QPointF centre(0, -20);
    return { path({ ellipse(QPointF(2, -1), 18, 3) }, flat(c.shadow, 0, 2.0f)),
        withContents(path({ ellipse(centre, 20, 20) }, ink(c.ball, 1.5f)),
            { path({ taperedStroke({ QPointF(-24, -30), QPointF(0, -14), QPointF(24, -30) }, 9) },
                  flat(c.stripe)),
                path({ taperedStroke({ QPointF(-20, -2), QPointF(-4, -22), QPointF(0, -44) }, 7) },
                    flat(c.stripe)),
                softShadow(c.shadow, centre, 20, 20, QPointF(-6, -6), 3.0f),
                path({ ellipse(centre + QPointF(-8, -9), 5, 3.5) }, flat(c.white, 0, 2.0f)) }) };
}

ElementList book(const Things& c)
{
    return { path({ curve({ QPointF(-30, -6), QPointF(30, -6), QPointF(36, -2), QPointF(36, 6),
                              QPointF(-24, 6), QPointF(-30, 2) },
                      { true, true, true, true, true, true }) },
                 tone(c.pages, 0)),
        path({ curve({ QPointF(-30, -6), QPointF(30, -6), QPointF(36, -2), QPointF(-24, -2) },
                 { true, true, true, true }) },
            ink(c.cover, 1.3f)),
        path({ curve({ QPointF(-24, -2), QPointF(36, -2), QPointF(36, 6), QPointF(-24, 6) },
                 { true, true, true, true }) },
            Paint { c.pages, c.cover, -0.5f, 1.0f }),
        path({ curve({ QPointF(-30, 2), QPointF(-24, -2), QPointF(-24, 6), QPointF(-30, 10), QPointF(30, 10),
                         QPointF(36, 6) },
                 { true, true, true, true, true, true }) },
            ink(c.cover, 1.3f)),
        path({ taperedStroke({ QPointF(-18, 1), QPointF(10, 1), QPointF(30, 1) }, 0.8) },
            flat(c.cover, -0.3f)),
        path({ taperedStroke({ QPointF(-18, 3.5), QPointF(10, 3.5), QPointF(30, 3.5) }, 0.8) },
            flat(c.cover, -0.3f)) };
}

CharacterModelPtr things()
{
    CharacterModelPtr model = newModel(QStringLiteral("Things"), 1);
    Sheet s(model);
    const Things c {
        s.color(QStringLiteral("Car"), QStringLiteral("#D8443A")),
        s.color(QStringLiteral("Tyre"), QStringLiteral("#34383E")),
        s.color(QStringLiteral("Glass"), QStringLiteral("#A8D4EE")),
        s.color(QStringLiteral("Chrome"), QStringLiteral("#C9CED4")),
        s.color(QStringLiteral("Fur"), QStringLiteral("#E39B4A")),
        s.color(QStringLiteral("Umbrella"), QStringLiteral("#5B7FD1")),
        s.color(QStringLiteral("Handle"), QStringLiteral("#6B4A32")),
        s.color(QStringLiteral("Mug"), QStringLiteral("#E47FA4")),
        s.color(QStringLiteral("Ball"), QStringLiteral("#F4D03F")),
        s.color(QStringLiteral("Stripe"), QStringLiteral("#3C8DDB")),
        s.color(QStringLiteral("Cover"), QStringLiteral("#2F8F6F")),
        s.color(QStringLiteral("Pages"), QStringLiteral("#FBF6E6")),
        model->getColorNamed(QStringLiteral("Shadow")),
        model->whiteColor(),
        model->blackColor(),
    };
    s.add(PartTypeVehicle, car(c), QPointF(110, 150));
    s.add(PartTypeAnimal, cat(c), QPointF(240, 150));
    s.add(PartTypeProp, umbrella(c), QPointF(60, 290));
    s.add(PartTypeProp, ball(c), QPointF(140, 290));
    s.add(PartTypeProp, mug(c), QPointF(215, 290));
    s.add(PartTypeProp, book(c), QPointF(280, 286));
    s.frameThumbnail(model->getBounds().adjusted(-6, -6, 6, 6));
    return model;
}

} // namespace

QList<CharacterModelPtr> makeScenery()
{
    return { outdoors(), livingRoom(), things() };
}

} // namespace zandrel::catalogart
