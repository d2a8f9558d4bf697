#include "Characters.h"

#include "CatalogArt.h"

#include <QTransform>
#include <cmath>
#include <functional>

namespace zandrel::catalogart {

namespace {

// A character's palette. The names are the ones the new-character sheet gives a character, so
// that its styles and recolouring work the same on these.
struct Colors {
    ZDLColorPtr skin, hair, top, bottom, shoes, eyes, mouth, cheeks, accent;
    ZDLColorPtr shadow, black, white;
};

// Proportions of a figure, in model units; head sizes are half the width and height.
struct Build {
    double headW, headH;
    double shoulder, torsoLen, waist, hipLen;
    double upperArm, lowerArm, armWidth;
    double upperLeg, lowerLeg, legGap, legWidth;
    bool longSleeves;
    bool lashes;
};

// Outlines are the fill's own colour, darkened: recolouring an entry recolours its outline too.
Paint ink(const ZDLColorPtr& color, float weight = 1.4f)
{
    return Paint { color, color, -0.6f, weight };
}

PartPathPtr shading(
    const ZDLColorPtr& shadow, const QPointF& centre, double rx, double ry, const QPointF& shift)
{
    return softShadow(shadow, centre, rx, ry, shift, 2.5f);
}

QPointF along(double angle, double length)
{
    // Angles from straight down, growing towards +x.
    return QPointF(std::sin(angle), std::cos(angle)) * length;
}

CurvePtr transformed(CurvePtr made, const QTransform& transform)
{
    made->transformBy(transform);
    return made;
}

// --- Heads ---

CurvePtr headOutline(const Build& b)
{
    QList<QPointF> points;
    const double k = 1.0 / std::cos(M_PI / 12);
    for (int i = 0; i < 12; ++i) {
        const double a = M_PI / 6 * i + M_PI / 12;
        double x = std::cos(a) * b.headW * k;
        double y = std::sin(a) * b.headH * k;
        if (std::sin(a) > 0.5) {
            // A rounder jaw, narrowing to the chin.
            x *= 0.86;
            y *= 1.03;
        }
        points.append(QPointF(x, y));
    }
    return smooth(points);
}

enum class EyeKind { Open, Happy, Closed };

struct Eyes {
    EyeKind kind = EyeKind::Open;
    QPointF gaze;
    double size = 1.0;
    // Upper lid: how far it comes down (0 none, 1 shut) and its tilt towards the nose (> 0 angry).
    double lid = 0;
    double lidTilt = 0;
    // Brows: lift of the inner and outer ends (up is negative).
    double browInner = 0;
    double browOuter = 0;
};

ElementList eye(const Colors& c, const QPointF& at, const Eyes& e, bool left, bool lashes)
{
    const double s = e.size;
    const double side = left ? -1 : 1;
    ElementList made;
    if (e.kind == EyeKind::Open) {
        ElementList inside {
            path({ ellipse(at + e.gaze, 3.9 * s, 4.5 * s) }, Paint { c.eyes, c.eyes, -0.5f, 0.6f }),
            path({ ellipse(at + e.gaze * 1.15, 2.1 * s, 2.5 * s) }, flat(c.black)),
            path({ ellipse(at + e.gaze + QPointF(-1.3, -1.7) * s, 1.1 * s, 1.1 * s) }, flat(c.white)),
        };
        if (e.lid > 0) {
            // The lid's edge falls towards the nose when tilted (inner end lower for tilt > 0).
            const double edge = at.y() - 7.5 * s + e.lid * 15 * s;
            const double innerX = at.x() - side * 7 * s;
            const double outerX = at.x() + side * 7 * s;
            const QPointF inner(innerX, edge + e.lidTilt * 4 * s);
            const QPointF outer(outerX, edge - e.lidTilt * 4 * s);
            inside.append(path({ curve({ QPointF(innerX, at.y() - 10 * s), QPointF(outerX, at.y() - 10 * s),
                                           outer, (inner + outer) / 2 + QPointF(0, 1.2 * s), inner },
                                   { true, true, true, false, true }) },
                Paint { c.skin, c.skin, -0.6f, 1.3f }));
        }
        made.append(withContents(
            path({ ellipse(at, 5.2 * s, 6.8 * s) }, Paint { c.white, c.black, 0, 1.1f }), inside));
        if (lashes) {
            // Two lashes at the outer corner, over the lid line.
            const double lidY = e.lid > 0 ? 7.5 * s - e.lid * 15 * s + e.lidTilt * 4 * s : 0;
            for (int i = 0; i < 2; ++i) {
                const QPointF root = at
                    + QPointF(side * (3.6 + i * 1.3) * s, (-4.9 + i * 2.2) * s + std::max(0.0, -lidY) * 0);
                made.append(path(
                    { taperedStroke(
                        { root, root + QPointF(side * 2.2, -1.6), root + QPointF(side * 4.2, -1.8) }, 1.3) },
                    flat(c.black)));
            }
        }
    } else if (e.kind == EyeKind::Happy) {
        made.append(
            path({ taperedStroke(
                     { at + QPointF(-5, 2) * s, at + QPointF(0, -6) * s, at + QPointF(5, 2) * s }, 2.4 * s) },
                flat(c.black)));
    } else {
        made.append(path(
            { taperedStroke(
                { at + QPointF(-5, -1) * s, at + QPointF(0, 4) * s, at + QPointF(5, -1) * s }, 2.2 * s) },
            flat(c.black)));
    }
    // The brow: its inner end is the one towards the nose.
    const QPointF browBase = at + QPointF(0, -11.5 * s);
    const QPointF innerEnd = browBase + QPointF(-side * 6 * s, e.browInner);
    const QPointF outerEnd = browBase + QPointF(side * 6.5 * s, 1.5 + e.browOuter);
    const QPointF middle = browBase + QPointF(side * 0.5, -2.2 + (e.browInner + e.browOuter) / 2);
    made.append(path({ taperedStroke({ innerEnd, middle, outerEnd }, 3.0) }, flat(c.hair, -0.35f)));
    return made;
}

enum class MouthKind { Smile, Grin, Oh, Frown, Flat, Talk };

ElementList mouth(const Colors& c, const QPointF& m, MouthKind kind)
{
    const Paint lips { c.mouth, c.mouth, -0.5f, 1.2f };
    auto tongue = [&](const QPointF& at, double rx, double ry) {
        return path({ ellipse(at, rx, ry) }, flat(c.mouth, 0.4f));
    };
    switch (kind) {
    case MouthKind::Smile:
        return { path({ taperedStroke({ m + QPointF(-9, -2), m + QPointF(0, 7), m + QPointF(9, -2) }, 2.6) },
                     flat(c.mouth, -0.45f)),
            path({ taperedStroke(
                     { m + QPointF(-10.5, -0.5), m + QPointF(-9.5, -2.5), m + QPointF(-8, -3.5) }, 1.2) },
                flat(c.mouth, -0.45f)),
            path({ taperedStroke(
                     { m + QPointF(8, -3.5), m + QPointF(9.5, -2.5), m + QPointF(10.5, -0.5) }, 1.2) },
                flat(c.mouth, -0.45f)) };
    case MouthKind::Grin:
        return { withContents(
            path({ curve({ m + QPointF(-12, -3), m + QPointF(0, 0), m + QPointF(12, -3), m + QPointF(0, 18) },
                     { true, false, true, false }) },
                lips),
            { path({ curve({ m + QPointF(-13, -7), m + QPointF(13, -7), m + QPointF(13, 1.5),
                               m + QPointF(0, 4), m + QPointF(-13, 1.5) },
                       { true, true, true, false, true }) },
                  flat(c.white)),
                tongue(m + QPointF(0, 11), 7, 4.5) }) };
    case MouthKind::Oh:
        return { withContents(
            path({ ellipse(m + QPointF(0, 3), 4.8, 6.2) }, lips), { tongue(m + QPointF(0, 8), 4, 3) }) };
    case MouthKind::Frown:
        return { path({ taperedStroke({ m + QPointF(-8, 5), m + QPointF(0, -3), m + QPointF(8, 5) }, 2.5) },
            flat(c.mouth, -0.45f)) };
    case MouthKind::Flat:
        return { path(
            { taperedStroke({ m + QPointF(-7, 1), m + QPointF(0, 2.5), m + QPointF(7, -0.5) }, 2.3) },
            flat(c.mouth, -0.45f)) };
    case MouthKind::Talk:
        return { withContents(
            path({ curve({ m + QPointF(-8, -1), m + QPointF(0, 1), m + QPointF(8, -1), m + QPointF(0, 12) },
                     { true, false, true, false }) },
                lips),
            { tongue(m + QPointF(0, 8), 5, 3.2) }) };
    }
    return {};
}

struct Expression {
    QString name;
    Eyes eyes;
    MouthKind mouth;
    // The eyes may differ: a wink closes the right one.
    bool wink = false;
};

// The head without eyes or mouth: ears, the face with its shading and cheeks, and the nose.
ElementList blankHead(const Colors& c, const Build& b)
{
    const double w = b.headW;
    const double h = b.headH;
    ElementList made;
    for (double side : { -1.0, 1.0 }) {
        const QPointF at(side * (w - 1), h * 0.12);
        made.append(path({ ellipse(at, w * 0.2, h * 0.25) }, ink(c.skin)));
        made.append(path({ taperedStroke({ at + QPointF(side * -1, -h * 0.12), at + QPointF(side * 3, 0),
                                             at + QPointF(side * -1, h * 0.12) },
                             1.6) },
            flat(c.skin, -0.45f)));
    }
    const QPointF cheekL(-w * 0.55, h * 0.34);
    const QPointF cheekR(w * 0.55, h * 0.34);
    made.append(withContents(path({ headOutline(b) }, ink(c.skin, 1.6f)),
        { shading(c.shadow, QPointF(0, 0), w, h, QPointF(-w * 0.22, -h * 0.2)),
            path({ ellipse(cheekL, w * 0.17, h * 0.1) }, flat(c.cheeks, 0, 2.5f)),
            path({ ellipse(cheekR, w * 0.17, h * 0.1) }, flat(c.cheeks, 0, 2.5f)) }));
    made.append(
        path({ taperedStroke({ QPointF(1, h * 0.14), QPointF(5, h * 0.3), QPointF(-1, h * 0.34) }, 2.0) },
            flat(c.skin, -0.5f)));
    return made;
}

// Both eyes and their brows, where they sit on the head.
ElementList eyePair(const Colors& c, const Build& b, const Expression& x)
{
    ElementList made = eye(c, QPointF(-b.headW * 0.38, -b.headH * 0.02), x.eyes, true, b.lashes);
    Eyes right = x.eyes;
    if (x.wink)
        right.kind = EyeKind::Happy;
    made.append(eye(c, QPointF(b.headW * 0.38, -b.headH * 0.02), right, false, b.lashes));
    return made;
}

ElementList mouthOn(const Colors& c, const Build& b, MouthKind kind)
{
    return mouth(c, QPointF(0, b.headH * 0.55), kind);
}

ElementList head(const Colors& c, const Build& b, const Expression& x)
{
    ElementList made = blankHead(c, b);
    made.append(eyePair(c, b, x));
    made.append(mouthOn(c, b, x.mouth));
    return made;
}

// --- Bodies ---

ElementList torso(const Colors& c, const Build& b, const ElementList& decoration, bool collar)
{
    const double s = b.shoulder;
    const double L = b.torsoLen;
    const double wa = b.waist;
    ElementList made {
        path({ tube({ QPointF(0, -9), QPointF(0, 4) }, b.headW * 0.5, b.headW * 0.55) }, ink(c.skin)),
    };
    ElementList inside = decoration;
    inside.append(shading(c.shadow, QPointF(0, L * 0.45), s * 1.05, L * 0.62, QPointF(-s * 0.3, -L * 0.1)));
    made.append(withContents(
        path({ curve({ QPointF(-7, 0), QPointF(0, 10), QPointF(7, 0), QPointF(s * 0.75, 1), QPointF(s + 2, 5),
                         QPointF(s + 1, L * 0.5), QPointF(wa + 1, L), QPointF(-wa - 1, L),
                         QPointF(-s - 1, L * 0.5), QPointF(-s - 2, 5), QPointF(-s * 0.75, 1) },
                 { true, false, true, false, false, false, true, true, false, false, false }) },
            ink(c.top, 1.5f)),
        inside));
    if (collar) {
        for (double side : { -1.0, 1.0 })
            made.append(
                path({ curve({ QPointF(side * 7.5, -0.5), QPointF(side * 2, 8), QPointF(side * 0.5, 12),
                                 QPointF(side * 6, 10), QPointF(side * 12, 3) },
                         { true, false, true, false, true }) },
                    ink(c.white, 1.2f)));
        for (int i = 0; i < 3; ++i)
            made.append(path({ ellipse(QPointF(0, 17 + i * L * 0.22), 1.4, 1.4) }, ink(c.accent, 0.8f)));
    } else {
        made.append(path({ taperedStroke({ QPointF(-7.5, 0.5), QPointF(0, 12), QPointF(7.5, 0.5) }, 2.2) },
            flat(c.top, -0.55f)));
    }
    return made;
}

ElementList stripes(const Colors& c, const Build& b)
{
    ElementList made;
    for (int i = 0; i < 3; ++i) {
        const double y = b.torsoLen * (0.38 + i * 0.2);
        made.append(
            path(QStringLiteral("@-40,%1 @40,%2 @40,%3 @-40,%4").arg(y).arg(y - 1).arg(y + 4).arg(y + 5),
                flat(c.accent)));
    }
    return made;
}

ElementList star(const Colors& c, const Build& b)
{
    QList<QPointF> points;
    QList<bool> on;
    const QPointF centre(0, b.torsoLen * 0.5);
    for (int i = 0; i < 10; ++i) {
        const double a = -M_PI / 2 + M_PI / 5 * i;
        const double r = i % 2 == 0 ? 8.5 : 3.8;
        points.append(centre + QPointF(std::cos(a), std::sin(a)) * r);
        on.append(true);
    }
    return { path({ curve(points, on) }, Paint { c.accent, c.accent, -0.4f, 1.0f }) };
}

ElementList jacketFront(const Colors& c, const Build& b)
{
    // An open jacket: two panels over the shirt and a zip line each side.
    const double L = b.torsoLen;
    ElementList made;
    for (double side : { -1.0, 1.0 })
        made.append(path({ curve({ QPointF(side * 7, 0), QPointF(side * (b.shoulder + 6), 0),
                                     QPointF(side * (b.waist + 6), L + 4), QPointF(side * 5, L + 4),
                                     QPointF(side * 4, L * 0.5) },
                             { true, true, true, true, false }) },
            Paint { c.accent, c.accent, -0.55f, 1.4f }));
    return made;
}

ElementList hipsPiece(const Colors& c, const Build& b, bool skirt)
{
    const double wa = b.waist;
    const double h = b.hipLen;
    ElementList made;
    if (skirt) {
        made.append(withContents(path({ curve({ QPointF(-wa - 1, -3), QPointF(wa + 1, -3), QPointF(wa + 8, h),
                                                  QPointF(wa + 15, h * 2.2), QPointF(0, h * 2.2 + 6),
                                                  QPointF(-wa - 15, h * 2.2), QPointF(-wa - 8, h) },
                                          { true, true, false, true, false, true, false }) },
                                     ink(c.bottom, 1.5f)),
            { shading(c.shadow, QPointF(0, h), wa + 14, h * 1.8, QPointF(-8, -4)),
                path({ taperedStroke(
                         { QPointF(-5, h * 0.6), QPointF(-7, h * 1.5), QPointF(-9, h * 2.3) }, 1.6) },
                    flat(c.bottom, -0.5f)),
                path({ taperedStroke(
                         { QPointF(6, h * 0.6), QPointF(8, h * 1.5), QPointF(11, h * 2.3) }, 1.6) },
                    flat(c.bottom, -0.5f)) }));
    } else {
        made.append(withContents(
            path({ curve({ QPointF(-wa - 1, -3), QPointF(wa + 1, -3), QPointF(wa + 4, h * 0.6),
                             QPointF(wa + 5, h * 1.5), QPointF(1.5, h * 1.5), QPointF(0, h * 0.8),
                             QPointF(-1.5, h * 1.5), QPointF(-wa - 5, h * 1.5), QPointF(-wa - 4, h * 0.6) },
                     { true, true, false, true, true, false, true, true, false }) },
                ink(c.bottom, 1.5f)),
            { shading(c.shadow, QPointF(0, h * 0.6), wa + 4, h * 1.3, QPointF(-6, -3)) }));
    }
    made.append(path(QStringLiteral("@%1,-3.5 @%2,-3.5 @%2,1.5 @%1,1.5").arg(-wa - 1.5).arg(wa + 1.5),
        Paint { c.bottom, c.bottom, -0.6f, 1.2f, -0.25f }));
    return made;
}

// A hand at the wrist, pointing along the angle; right-handed (thumb towards -x when hanging).
enum class HandKind { Open, Fist, Point };

ElementList hand(const Colors& c, const QPointF& wrist, double angle, HandKind kind, const Build& b)
{
    const double r = b.armWidth * 0.7;
    QTransform t;
    t.translate(wrist.x(), wrist.y());
    t.rotateRadians(-angle);
    ElementList made;
    if (kind == HandKind::Point) {
        made.append(path(
            { transformed(tube({ QPointF(0, r * 0.6), QPointF(-r * 0.1, r * 2.6) }, r * 0.7, r * 0.6), t) },
            ink(c.skin, 1.2f)));
    }
    if (kind == HandKind::Open) {
        made.append(path(
            { transformed(smooth({ QPointF(-r, 0), QPointF(-r * 1.1, r * 1.3), QPointF(-r * 0.5, r * 2.4),
                              QPointF(r * 0.6, r * 2.3), QPointF(r * 1.15, r * 1.2), QPointF(r, -r * 0.2) }),
                t) },
            ink(c.skin, 1.3f)));
        for (double x : { -0.35, 0.2 })
            made.append(path(
                { transformed(taperedStroke({ QPointF(r * x, r * 1.5), QPointF(r * x, r * 2.1) }, 1.0), t) },
                flat(c.skin, -0.5f)));
    } else {
        made.append(path({ transformed(smooth({ QPointF(-r * 1.05, -r * 0.1), QPointF(-r * 1.2, r * 1.5),
                                           QPointF(r * 1.2, r * 1.5), QPointF(r * 1.05, -r * 0.1) }),
                             t) },
            ink(c.skin, 1.3f)));
        for (double x : { -0.4, 0.15 })
            made.append(path(
                { transformed(
                    taperedStroke({ QPointF(r * x, r * 0.9), QPointF(r * (x + 0.05), r * 1.3) }, 1.0), t) },
                flat(c.skin, -0.5f)));
    }
    // The thumb, towards the body side.
    made.append(
        path({ transformed(
                 tube({ QPointF(-r * 0.7, r * 0.5), QPointF(-r * 1.35, r * 1.25) }, r * 0.62, r * 0.55), t) },
            ink(c.skin, 1.2f)));
    return made;
}

// An arm on the viewer's right, shoulder at (0, 0); the angles are from straight down.
ElementList arm(const Colors& c, const Build& b, double upperAngle, double lowerAngle, HandKind kind)
{
    const QPointF elbow = along(upperAngle, b.upperArm);
    const QPointF wrist = elbow + along(lowerAngle, b.lowerArm);
    const double w = b.armWidth;
    ElementList made;
    made.append(hand(c, wrist, lowerAngle, kind, b));
    // The elbow as the middle control point bends the arm smoothly.
    const QPointF bend = elbow + (elbow - (QPointF(0, 0) + wrist) / 2) * 0.25;
    if (b.longSleeves) {
        made.append(withContents(
            path({ tube({ QPointF(0, 0), bend, wrist - along(lowerAngle, 2) }, w * 1.45, w * 1.2) },
                ink(c.top, 1.4f)),
            { shading(c.shadow, elbow, w * 2, b.upperArm, QPointF(-w * 0.5, 0)) }));
        made.append(
            path({ tube({ wrist - along(lowerAngle, 4), wrist - along(lowerAngle, 1) }, w * 1.3, w * 1.3) },
                Paint { c.top, c.top, -0.6f, 1.2f, -0.15f }));
    } else {
        made.append(path({ tube({ QPointF(0, 0), bend, wrist }, w, w * 0.85) }, ink(c.skin)));
        const QPointF cuff = along(upperAngle, b.upperArm * 0.45);
        made.append(withContents(path({ tube({ QPointF(0, 1), cuff }, w * 1.55, w * 1.5) }, ink(c.top, 1.4f)),
            { shading(c.shadow, cuff, w * 1.5, b.upperArm * 0.5, QPointF(-w * 0.5, 0)) }));
    }
    return made;
}

// A leg from the hip joint at (0, 0) to the ankle.
ElementList leg(const Colors& c, const Build& b, double upperAngle, double lowerAngle, bool trousers)
{
    const QPointF knee = along(upperAngle, b.upperLeg);
    const QPointF ankle = knee + along(lowerAngle, b.lowerLeg);
    const QPointF bend = knee + (knee - ankle / 2) * 0.2;
    const double w = b.legWidth;
    if (trousers)
        return { withContents(
            path({ tube({ QPointF(0, -4), bend, ankle }, w * 1.5, w * 1.15) }, ink(c.bottom, 1.5f)),
            { shading(c.shadow, knee, w * 2, b.upperLeg * 1.3, QPointF(-w * 0.6, 0)),
                path({ taperedStroke(
                         { knee + QPointF(-w * 0.4, -3), knee + QPointF(0, 0), knee + QPointF(w * 0.3, 4) },
                         1.3) },
                    flat(c.bottom, -0.5f)) }) };
    return { path({ tube({ QPointF(0, -4), bend, ankle }, w, w * 0.8) }, ink(c.skin)),
        path({ tube({ ankle - along(lowerAngle, 4), ankle }, w * 0.9, w * 0.9) }, ink(c.white, 1.2f)) };
}

// A shoe whose toe points to +x, ankle at (0, 0).
ElementList shoe(const Colors& c)
{
    return { withContents(path({ curve({ QPointF(-5, -3), QPointF(5, -3), QPointF(9, 0), QPointF(19, 1),
                                           QPointF(19, 9), QPointF(10, 10), QPointF(-6, 10), QPointF(-9, 9),
                                           QPointF(-8, 2) },
                                   { true, true, false, false, false, true, true, false, false }) },
                              ink(c.shoes, 1.5f)),
                 { path(QStringLiteral("@-12,6.5 @22,6.5 @22,14 @-12,14"), flat(c.white, 0, 0)),
                     path(QStringLiteral("@-12,6 @22,6 @22,7 @-12,7"), flat(c.shoes, -0.5f)) }),
        path({ taperedStroke({ QPointF(3, -1), QPointF(6, 1), QPointF(8, 3) }, 1.4) }, flat(c.white)),
        path({ taperedStroke({ QPointF(1, 1), QPointF(4, 3), QPointF(6, 5) }, 1.4) }, flat(c.white)) };
}

// --- Hair ---

// Short tufts over the top of the head, ear to ear, with a ragged fringe.
ElementList tuftedHair(const Colors& c, const Build& b)
{
    const double w = b.headW;
    const double h = b.headH;
    QList<QPointF> points;
    QList<bool> on;
    const int tufts = 9;
    for (int i = 0; i <= tufts * 2; ++i) {
        const double a = M_PI * (1.0 - 0.04) + (M_PI * 1.08) * i / (tufts * 2);
        const bool tip = i % 2 == 1;
        const double r = tip ? 1.2 : 1.03;
        points.append(QPointF(std::cos(a) * w * r * 1.04, std::sin(a) * h * r));
        on.append(tip);
    }
    // The fringe, right to left, in small points down over the forehead.
    const int bangs = 5;
    for (int i = 0; i <= bangs * 2; ++i) {
        const double x = w * 0.95 - (w * 1.9) * i / (bangs * 2);
        const bool tip = i % 2 == 1;
        points.append(QPointF(x, tip ? -h * 0.3 : -h * 0.5 + std::abs(x) / w * h * 0.2));
        on.append(tip);
    }
    return { withContents(path({ curve(points, on) }, ink(c.hair, 1.5f)),
                 { shading(c.shadow, QPointF(0, -h * 0.5), w * 1.1, h * 0.8, QPointF(-w * 0.2, -h * 0.25)) }),
        path({ taperedStroke(
                 { QPointF(-w * 0.6, -h * 0.75), QPointF(-w * 0.2, -h * 1.0), QPointF(w * 0.3, -h * 0.95) },
                 3.0) },
            flat(c.hair, 0.45f)) };
}

// Hair combed to one side, the fringe swept across the forehead.
ElementList sweptHair(const Colors& c, const Build& b)
{
    const double w = b.headW;
    const double h = b.headH;
    return {
        withContents(
            path({ curve({ QPointF(-w * 1.04, h * 0.05), QPointF(-w * 1.2, -h * 0.95), QPointF(0, -h * 1.38),
                             QPointF(w * 1.2, -h * 0.95), QPointF(w * 1.04, h * 0.05),
                             QPointF(w * 0.9, -h * 0.35), QPointF(w * 0.55, -h * 0.5),
                             QPointF(-w * 0.1, -h * 0.42), QPointF(-w * 0.7, -h * 0.05),
                             QPointF(-w * 0.85, -h * 0.25), QPointF(-w * 0.9, -h * 0.3) },
                     { true, false, false, false, true, false, true, false, true, false, false }) },
                ink(c.hair, 1.5f)),
            { shading(c.shadow, QPointF(0, -h * 0.5), w * 1.1, h * 0.8, QPointF(-w * 0.2, -h * 0.25)) }),
        path({ taperedStroke(
                 { QPointF(w * 0.6, -h * 0.75), QPointF(w * 0.1, -h * 0.7), QPointF(-w * 0.45, -h * 0.3) },
                 1.6) },
            flat(c.hair, -0.5f)),
        path({ taperedStroke(
                 { QPointF(-w * 0.5, -h * 0.95), QPointF(0, -h * 1.15), QPointF(w * 0.55, -h * 1.0) }, 3.0) },
            flat(c.hair, 0.45f))
    };
}

// A rounded bob down to the jaw, the face left open, with a straight fringe.
ElementList bobHair(const Colors& c, const Build& b)
{
    const double w = b.headW;
    const double h = b.headH;
    return {
        withContents(
            path({ curve({ QPointF(-w * 1.05, h * 0.62), QPointF(-w * 1.45, h * 0.75),
                             QPointF(-w * 1.35, -h * 0.2), QPointF(-w * 1.25, -h * 1.05),
                             QPointF(0, -h * 1.5), QPointF(w * 1.25, -h * 1.05), QPointF(w * 1.35, -h * 0.2),
                             QPointF(w * 1.45, h * 0.75), QPointF(w * 1.05, h * 0.62),
                             QPointF(w * 0.95, h * 0.1), QPointF(w * 0.85, -h * 0.38), QPointF(0, -h * 0.5),
                             QPointF(-w * 0.85, -h * 0.38), QPointF(-w * 0.95, h * 0.1) },
                     { true, false, false, false, false, false, false, false, true, false, true, false, true,
                         false }) },
                ink(c.hair, 1.5f)),
            { shading(c.shadow, QPointF(0, -h * 0.2), w * 1.3, h * 1.1, QPointF(-w * 0.25, -h * 0.25)) }),
        path({ taperedStroke(
                 { QPointF(-w * 0.7, -h * 0.85), QPointF(-w * 0.2, -h * 1.12), QPointF(w * 0.4, -h * 1.02) },
                 3.2) },
            flat(c.hair, 0.45f)),
        path({ taperedStroke(
                 { QPointF(-w * 0.3, -h * 0.5), QPointF(-w * 0.1, -h * 0.7), QPointF(w * 0.15, -h * 0.95) },
                 1.5) },
            flat(c.hair, -0.5f))
    };
}

// Hair drawn back tight over the head, with a ponytail or a bun.
ElementList tiedHair(const Colors& c, const Build& b, bool bun)
{
    const double w = b.headW;
    const double h = b.headH;
    ElementList made;
    if (bun) {
        made.append(withContents(
            path({ ellipse(QPointF(0, -h * 1.2), w * 0.45, h * 0.38) }, ink(c.hair, 1.5f)),
            { shading(c.shadow, QPointF(0, -h * 1.2), w * 0.45, h * 0.38, QPointF(-w * 0.12, -h * 0.1)) }));
    } else {
        made.append(withContents(path({ curve({ QPointF(w * 0.55, -h * 0.8), QPointF(w * 1.4, -h * 1.2),
                                                  QPointF(w * 1.7, -h * 0.4), QPointF(w * 1.6, h * 0.5),
                                                  QPointF(w * 1.5, h * 0.05), QPointF(w * 1.2, -h * 0.55),
                                                  QPointF(w * 0.8, -h * 0.5) },
                                          { true, false, false, true, false, false, true }) },
                                     ink(c.hair, 1.5f)),
            { shading(
                c.shadow, QPointF(w * 1.3, -h * 0.3), w * 0.5, h * 0.8, QPointF(-w * 0.15, -h * 0.1)) }));
        made.append(path({ ellipse(QPointF(w * 0.78, -h * 0.72), w * 0.14, h * 0.12) }, ink(c.accent, 1.0f)));
    }
    made.append(withContents(
        path({ curve({ QPointF(-w * 1.0, h * 0.05), QPointF(-w * 1.15, -h * 1.1), QPointF(w * 1.15, -h * 1.1),
                         QPointF(w * 1.0, h * 0.05), QPointF(w * 0.9, -h * 0.4), QPointF(0, -h * 0.62),
                         QPointF(-w * 0.9, -h * 0.4) },
                 { true, false, false, true, false, false, false }) },
            ink(c.hair, 1.5f)),
        { shading(c.shadow, QPointF(0, -h * 0.5), w * 1.1, h * 0.8, QPointF(-w * 0.2, -h * 0.25)) }));
    for (double x : { -0.5, 0.0, 0.5 })
        made.append(path({ taperedStroke({ QPointF(w * x * 1.3, -h * 0.5), QPointF(w * x * 1.1, -h * 0.85),
                                             QPointF(w * x * 0.4, -h * 1.05) },
                             1.3) },
            flat(c.hair, -0.45f)));
    return made;
}

// Hair left only round the sides, a few strands combed over the top, and a moustache; with a beard
// round the jaw below the mouth when asked.
ElementList thinningHair(const Colors& c, const Build& b, bool beard)
{
    const double w = b.headW;
    const double h = b.headH;
    ElementList made;
    for (double side : { -1.0, 1.0 }) {
        made.append(
            withContents(path({ smooth({ QPointF(side * w * 0.8, -h * 0.62),
                                  QPointF(side * w * 1.2, -h * 0.5), QPointF(side * w * 1.22, -h * 0.02),
                                  QPointF(side * w * 0.98, h * 0.02), QPointF(side * w * 0.92, -h * 0.3) }) },
                             ink(c.hair, 1.3f)),
                { shading(c.shadow, QPointF(side * w, -h * 0.25), w * 0.3, h * 0.35,
                    QPointF(-w * 0.08, -h * 0.08)) }));
    }
    for (double x : { -0.35, 0.0, 0.3 })
        made.append(path({ taperedStroke({ QPointF(w * (x - 0.45), -h * 0.72), QPointF(w * x, -h * 1.08),
                                             QPointF(w * (x + 0.5), -h * 0.8) },
                             2.0) },
            flat(c.hair, -0.2f)));
    if (beard) {
        made.append(withContents(
            path({ curve({ QPointF(-w * 0.97, h * 0.1), QPointF(-w * 1.0, h * 1.05), QPointF(0, h * 1.42),
                             QPointF(w * 1.0, h * 1.05), QPointF(w * 0.97, h * 0.1),
                             QPointF(w * 0.8, h * 0.35), QPointF(0, h * 1.2), QPointF(-w * 0.8, h * 0.35) },
                     { true, false, false, false, true, false, false, false }) },
                ink(c.hair, 1.4f)),
            { shading(c.shadow, QPointF(0, h * 0.8), w, h * 0.6, QPointF(-w * 0.2, -h * 0.15)) }));
    }
    for (double side : { -1.0, 1.0 })
        made.append(path({ taperedStroke({ QPointF(side * 0.5, h * 0.44), QPointF(side * w * 0.22, h * 0.4),
                                             QPointF(side * w * 0.42, h * 0.56) },
                             5.0) },
            Paint { c.hair, c.hair, -0.5f, 0.8f }));
    return made;
}

// Round glasses over the eyes, their arms going back to the ears.
ElementList glasses(const Colors& c, const Build& b)
{
    const double w = b.headW;
    const double h = b.headH;
    ElementList made;
    for (double side : { -1.0, 1.0 }) {
        const QPointF eye(side * w * 0.38, -h * 0.02);
        made.append(
            path({ tube({ eye + QPointF(side * 8.5, -1), QPointF(side * (w - 2), -h * 0.06) }, 2, 1.6) },
                ink(c.accent, 0.6f)));
        made.append(path(
            { ellipse(eye, 8.5, 7.8), ellipse(eye, 7.0, 6.3) }, Paint { c.accent, c.accent, -0.5f, 0.5f }));
        made.append(
            path({ taperedStroke(
                     { eye + QPointF(-4.5, -1), eye + QPointF(-3, -3.8), eye + QPointF(0, -4.8) }, 1.4) },
                flat(c.white)));
    }
    made.append(path({ taperedStroke({ QPointF(-w * 0.38 + 7, -h * 0.06), QPointF(0, -h * 0.16),
                                         QPointF(w * 0.38 - 7, -h * 0.06) },
                         2.0) },
        ink(c.accent, 0.5f)));
    return made;
}

// A cap with its peak to the front.
ElementList cap(const Colors& c, const Build& b)
{
    const double w = b.headW;
    const double h = b.headH;
    // Drawn a little high, then lowered onto the head as a whole.
    auto made = group(
        { withContents(path({ curve({ QPointF(-w * 1.08, -h * 0.3), QPointF(-w * 1.1, -h * 1.3),
                                        QPointF(w * 1.1, -h * 1.3), QPointF(w * 1.08, -h * 0.3),
                                        QPointF(0, -h * 0.42) },
                                { true, false, false, true, false }) },
                           ink(c.accent, 1.5f)),
              { shading(c.shadow, QPointF(0, -h * 0.7), w * 1.1, h * 0.6, QPointF(-w * 0.2, -h * 0.2)),
                  path({ taperedStroke(
                           { QPointF(0, -h * 1.05), QPointF(-w * 0.05, -h * 0.7), QPointF(0, -h * 0.38) },
                           1.4) },
                      flat(c.accent, -0.5f)) }),
            path({ curve({ QPointF(-w * 1.15, -h * 0.3), QPointF(0, -h * 0.5), QPointF(w * 1.15, -h * 0.3),
                             QPointF(w * 0.6, -h * 0.05), QPointF(-w * 0.6, -h * 0.05) },
                     { true, false, true, false, false }) },
                Paint { c.accent, c.accent, -0.6f, 1.5f, -0.2f }),
            path({ ellipse(QPointF(0, -h * 1.07), w * 0.1, h * 0.06) }, ink(c.accent, 1.0f)) });
    made->offsetBy(QPointF(0, -h * 0.1), true);
    return { made };
}

// --- The sheet ---

struct Figure {
    Build build;
    Colors colors;
    QList<Expression> expressions;
    QList<QPair<PartType, ElementList>> hair;
    QList<ElementList> torsos;
    // Hips pieces, and whether the legs under each wear trousers.
    QList<ElementList> hips;
    bool trousers;
    // More legs beside the ones of every figure (bare legs under a skirt).
    QList<ElementList> extraLegs;
    // What the figure wears over its hair (glasses).
    QList<QPair<PartType, ElementList>> worn;
};

// The model already holds the figure's palette.
CharacterModelPtr sheet(const Figure& f, const CharacterModelPtr& model)
{
    Sheet sheet(model);
    const Build& b = f.build;
    const Colors& c = f.colors;

    // Where the figure stands: its feet on the ground line, the neck above.
    const double ground = 20 + b.headH * 2 + 6 + b.torsoLen + b.hipLen * 0.5 + b.upperLeg + b.lowerLeg + 10;
    const double x0 = 20 + b.shoulder + b.upperArm;
    const QPointF neck(x0, ground - 10 - b.upperLeg - b.lowerLeg - b.hipLen * 0.5 - b.torsoLen);
    const QPointF waist = neck + QPointF(0, b.torsoLen);
    const QPointF shoulderL = neck + QPointF(-b.shoulder + 4, 6);
    const QPointF shoulderR = neck + QPointF(b.shoulder - 4, 6);
    const QPointF hipL = waist + QPointF(-b.legGap, b.hipLen * 0.5);
    const QPointF hipR = waist + QPointF(b.legGap, b.hipLen * 0.5);
    const QPointF headAt = neck + QPointF(0, -b.headH + 2);

    // The figure put together, back to front.
    const double legLength = b.upperLeg + b.lowerLeg;
    const QPointF ankleL = hipL + QPointF(0, legLength);
    const QPointF ankleR = hipR + QPointF(0, legLength);
    sheet.addMirrored(PartTypeFoot, shoe(c), ankleL);
    sheet.add(PartTypeFoot, shoe(c), ankleR);
    sheet.add(PartTypeLeg, leg(c, b, 0, 0, f.trousers), hipL);
    sheet.add(PartTypeLeg, leg(c, b, 0, 0, f.trousers), hipR);
    sheet.add(PartTypeHips, f.hips.first(), waist);
    sheet.addMirrored(PartTypeArm, arm(c, b, 0.15, 0.05, HandKind::Open), shoulderL);
    sheet.add(PartTypeArm, arm(c, b, 0.15, 0.05, HandKind::Open), shoulderR);
    sheet.add(PartTypeTorso, f.torsos.first(), neck);
    sheet.add(PartTypeHead, head(c, b, f.expressions.first()), headAt, QPointF(0, b.headH));
    sheet.add(f.hair.first().first, f.hair.first().second, headAt);
    for (const auto& [type, drawing] : f.worn)
        sheet.add(type, drawing, headAt);

    const QRectF figure = model->getBounds();
    const QPointF faces(figure.right() + 34 + b.headW, figure.top() + b.headH * 1.35);
    // Two more faces beside it, wearing the other hair, inside the thumbnail's frame.
    for (int i = 1; i <= 2; ++i) {
        const QPointF at = faces + QPointF(0, (b.headH * 2 + 34) * (i - 1) + (i - 1) * 6);
        sheet.add(PartTypeHead, head(c, b, f.expressions[i]), at, QPointF(0, b.headH));
        if (i < f.hair.size())
            sheet.add(f.hair[i].first, f.hair[i].second, at);
    }
    const QRectF framed = model->getBounds().adjusted(-8, -8, 8, 8);
    sheet.frameThumbnail(framed);

    // The other parts in rows to the right: heads, bodies, arms and legs.
    sheet.startRow(QPointF(model->thumbnailRect().right() + 40, figure.top()));
    for (int i = 3; i < f.expressions.size(); ++i)
        sheet.flow(sheet.add(PartTypeHead, head(c, b, f.expressions[i]), QPointF(), QPointF(0, b.headH)));
    for (int i = 3; i < f.hair.size(); ++i)
        sheet.flow(sheet.add(f.hair[i].first, f.hair[i].second, QPointF()), 30);
    sheet.nextRow();
    // A face to make expressions on: the blank head, then eyes and mouths to put on it.
    sheet.flow(sheet.add(PartTypeHead, blankHead(c, b), QPointF(), QPointF(0, b.headH)));
    for (int i : { 0, 1, 2, 3, 5 }) {
        sheet.flow(sheet.add(PartTypeHead, eyePair(c, b, f.expressions[i]), QPointF(), std::nullopt),
            i == 0 ? 30 : 14);
    }
    for (MouthKind kind :
        { MouthKind::Smile, MouthKind::Grin, MouthKind::Oh, MouthKind::Frown, MouthKind::Talk })
        sheet.flow(sheet.add(PartTypeHead, mouthOn(c, b, kind), QPointF(), std::nullopt), 14);
    sheet.nextRow();
    for (int i = 1; i < f.torsos.size(); ++i)
        sheet.flow(sheet.add(PartTypeTorso, f.torsos[i], QPointF()), 30);
    for (int i = 1; i < f.hips.size(); ++i)
        sheet.flow(sheet.add(PartTypeHips, f.hips[i], QPointF()), 30);
    sheet.nextRow();
    // Arms in poses, their pivots at the shoulder: waving, a hand on the hip, pointing, a fist up.
    const struct {
        double upper, lower;
        HandKind hand;
    } poses[] = { { 2.5, 2.9, HandKind::Open }, { 0.75, -0.9, HandKind::Fist }, { 1.5, 1.6, HandKind::Point },
        { 2.8, 3.05, HandKind::Fist } };
    for (const auto& pose : poses)
        sheet.flow(sheet.add(PartTypeArm, arm(c, b, pose.upper, pose.lower, pose.hand), QPointF()));
    sheet.nextRow();
    // Legs: a step forward, a step back, a knee raised; the pivots at the hip.
    sheet.flow(sheet.add(PartTypeLeg, leg(c, b, 0.4, 0.1, f.trousers), QPointF()));
    sheet.flow(sheet.add(PartTypeLeg, leg(c, b, -0.35, -0.05, f.trousers), QPointF()));
    sheet.flow(sheet.add(PartTypeLeg, leg(c, b, 1.1, -0.1, f.trousers), QPointF()));
    for (const auto& extra : f.extraLegs)
        sheet.flow(sheet.add(PartTypeLeg, extra, QPointF()));
    model->createDefaultStyles();
    return model;
}

Colors colorsOf(Sheet& s, const QString& skin, const QString& hair, const QString& top, const QString& bottom,
    const QString& shoes, const QString& eyes, const QString& accent)
{
    const CharacterModelPtr& m = s.model();
    return Colors {
        s.color(QStringLiteral("Skin"), skin),
        s.color(QStringLiteral("Hair"), hair),
        s.color(QStringLiteral("Top"), top),
        s.color(QStringLiteral("Bottom"), bottom),
        s.color(QStringLiteral("Shoes"), shoes),
        s.color(QStringLiteral("Eyes"), eyes),
        s.color(QStringLiteral("Mouth"), QStringLiteral("#B3434B")),
        s.color(QStringLiteral("Cheeks"), QStringLiteral("#F07C7C"), 0.45f),
        s.color(QStringLiteral("Accent"), accent),
        m->getColorNamed(QStringLiteral("Shadow")),
        m->blackColor(),
        m->whiteColor(),
    };
}

QList<Expression> expressions()
{
    Eyes open;
    open.gaze = QPointF(0, 0.6);
    Eyes laugh;
    laugh.kind = EyeKind::Happy;
    laugh.browInner = -2;
    laugh.browOuter = -2;
    Eyes wide;
    wide.size = 1.12;
    wide.browInner = -4;
    wide.browOuter = -3;
    Eyes angry;
    angry.gaze = QPointF(0, 0.5);
    angry.lid = 0.3;
    angry.lidTilt = 0.8;
    angry.browInner = 4;
    angry.browOuter = -1.5;
    Eyes sad;
    sad.gaze = QPointF(0, 1.6);
    sad.lid = 0.28;
    sad.lidTilt = -0.7;
    sad.browInner = -3.5;
    sad.browOuter = 2.5;
    Eyes aside;
    aside.gaze = QPointF(-1.8, 0.4);
    aside.browInner = -1;
    Eyes sleepy;
    sleepy.kind = EyeKind::Closed;
    sleepy.browOuter = 1;
    return { { QStringLiteral("Smile"), open, MouthKind::Smile },
        { QStringLiteral("Laugh"), laugh, MouthKind::Grin },
        { QStringLiteral("Surprised"), wide, MouthKind::Oh },
        { QStringLiteral("Angry"), angry, MouthKind::Frown },
        { QStringLiteral("Sad"), sad, MouthKind::Frown },
        { QStringLiteral("Talking"), aside, MouthKind::Talk },
        { QStringLiteral("Wink"), open, MouthKind::Grin, true },
        { QStringLiteral("Asleep"), sleepy, MouthKind::Flat } };
}

// The colours of a character's named palette entries, as "#RRGGBB".
struct Look {
    QString skin, hair, top, bottom, shoes, eyes, accent;
};

// A character's sheet: its palette from the look, the shared expressions, and the hair and
// clothes that the dressing adds to the figure.
CharacterModelPtr character(
    const QString& name, const Build& build, const Look& look, const std::function<void(Figure&)>& dress)
{
    CharacterModelPtr model = newModel(name, 0);
    Sheet s(model);
    Figure f;
    f.build = build;
    f.colors = colorsOf(s, look.skin, look.hair, look.top, look.bottom, look.shoes, look.eyes, look.accent);
    f.expressions = expressions();
    dress(f);
    return sheet(f, model);
}

CharacterModelPtr kid()
{
    return character(QStringLiteral("Pip"),
        Build { 30, 32, 22, 40, 18, 16, 24, 22, 9, 26, 24, 9, 11, false, false },
        Look { "#F6CDA6", "#8A4B23", "#3F8FD9", "#415A7A", "#D9473B", "#4E8A3E", "#F2C230" }, [](Figure& f) {
            const Colors& c = f.colors;
            const Build& b = f.build;
            f.hair = { { PartTypeHair, tuftedHair(c, b) }, { PartTypeHair, sweptHair(c, b) },
                { PartTypeHat, cap(c, b) } };
            f.torsos = { torso(c, b, stripes(c, b), false), torso(c, b, star(c, b), false),
                torso(c, b, jacketFront(c, b), false) };
            f.hips = { hipsPiece(c, b, false) };
            f.trousers = false;
        });
}

CharacterModelPtr grownUp()
{
    return character(QStringLiteral("Marta"),
        Build { 26, 31, 21, 50, 15, 16, 30, 27, 8, 38, 35, 8, 10, true, true },
        Look { "#C98D66", "#2E1F1B", "#2A9D8F", "#3D405B", "#7A4A2E", "#6B4226", "#E9B949" }, [](Figure& f) {
            const Colors& c = f.colors;
            const Build& b = f.build;
            f.hair = { { PartTypeHair, bobHair(c, b) }, { PartTypeHair, tiedHair(c, b, false) },
                { PartTypeHair, tiedHair(c, b, true) } };
            f.torsos = { torso(c, b, {}, true), torso(c, b, stripes(c, b), false) };
            f.hips = { hipsPiece(c, b, false), hipsPiece(c, b, true) };
            f.trousers = true;
            // Bare legs for the skirt.
            f.extraLegs = { leg(c, b, 0, 0, false), leg(c, b, 0.3, 0.05, false) };
        });
}

CharacterModelPtr elder()
{
    return character(QStringLiteral("Bruno"),
        Build { 28, 30, 24, 52, 22, 16, 28, 26, 9, 34, 31, 13, 13, true, false },
        Look { "#E9B793", "#A7A39E", "#8E4A3C", "#5E5448", "#3A302B", "#4C6E8E", "#34373B" }, [](Figure& f) {
            const Colors& c = f.colors;
            const Build& b = f.build;
            f.hair = { { PartTypeHair, thinningHair(c, b, false) },
                { PartTypeHair, thinningHair(c, b, true) }, { PartTypeHat, cap(c, b) } };
            f.worn = { { PartTypeCostume, glasses(c, b) } };
            f.torsos = { torso(c, b, {}, false), torso(c, b, {}, true) };
            f.hips = { hipsPiece(c, b, false) };
            f.trousers = true;
        });
}

} // namespace

QList<CharacterModelPtr> makeCharacters()
{
    return { kid(), grownUp(), elder() };
}

} // namespace zandrel::catalogart
