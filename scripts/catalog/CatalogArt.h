// The drawing vocabulary of the built-in catalog: smooth shapes written as lists of quadratic
// control points, brush strokes that taper at both ends, and parts put together from them with the
// colours of the character's own palette, so that recolouring a palette entry recolours the art.
#pragma once

#include "charmodel/CharacterModel.h"
#include "charmodel/Part.h"
#include "charmodel/PartGroup.h"
#include "charmodel/PartPath.h"
#include "charmodel/PartTypes.h"
#include "graphics/Curve.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <optional>

namespace zandrel::catalogart {

// A shape: points "x,y" separated by spaces. A point is off the curve (a control point of a
// quadratic segment; two in a row imply an on-curve point midway) unless it starts with "@", which
// puts it on the curve as a corner. Curves of one shape are separated by "|". Closed unless the
// shape is opened with open().
QList<CurvePtr> curves(const QString& shape, bool closed = true);

// A smooth closed ellipse of eight control points.
CurvePtr ellipse(const QPointF& centre, double rx, double ry);

// A brush stroke along a smooth centre line through the given control points (the ends on the
// line), widest in the middle and coming to points at both ends.
CurvePtr taperedStroke(const QList<QPointF>& line, double width);

// A smooth closed curve through no corner: every point is a control point.
CurvePtr smooth(const QList<QPointF>& controls);
// A closed curve whose points are on the curve where the flag list says so; a very sharp corner is
// cut off short, so that its outline does not end in a spike.
CurvePtr curve(const QList<QPointF>& points, const QList<bool>& onCurve);

// A limb or any tube along a centre line of control points (ends on the line), its width going
// from the first to the second value; the ends are rounded.
CurvePtr tube(const QList<QPointF>& line, double startWidth, double endWidth);

// How a shape is painted. Colours are palette entries; adjustments darken (< 0) or lighten (> 0).
struct Paint {
    ZDLColorPtr fill;
    ZDLColorPtr line;
    float lineAdjust = 0;
    float weight = 1.5f;
    float fillAdjust = 0;
    float blur = 0;
};

// A fill of the colour without outline, adjusted and blurred as given.
Paint flat(const ZDLColorPtr& color, float adjust = 0, float blur = 0);
// A rectangle's corners as a shape.
QString rect(double x, double y, double width, double height);

PartPathPtr path(const QList<CurvePtr>& segments, const Paint& paint);
PartPathPtr path(const QString& shape, const Paint& paint);
// The path with contents drawn clipped to its outline (shading, a face inside a head).
// A soft shadow along the lower right of a shape: a large rectangle less an ellipse nudged up and
// to the left by the shift, filled even-odd and blurred, to be clipped by the shape that holds it.
PartPathPtr softShadow(
    const ZDLColorPtr& shadow, const QPointF& centre, double rx, double ry, const QPointF& shift, float blur);
PartPathPtr withContents(PartPathPtr outline, const ElementList& contents);
std::shared_ptr<PartGroup> group(const ElementList& children);

// A new model of the catalog: a character (parts kind 0) or scenery (1), by the program's maker.
CharacterModelPtr newModel(const QString& name, int partsKind);

// Builds the parts of one model: each part gets its type, a pivot and a place on the sheet.
class Sheet {
public:
    explicit Sheet(CharacterModelPtr model)
        : m_model(std::move(model))
    {
    }

    const CharacterModelPtr& model() const { return m_model; }
    // A palette entry, added on first use.
    ZDLColorPtr color(const QString& name, const QString& hex);
    ZDLColorPtr color(const QString& name, const QString& hex, float alpha);

    // A part of the given type drawn around (0, 0), with its pivot at the given local point (none:
    // the centre of its bounds, wherever it goes), moved so that its local (0, 0) lies at the place.
    // Returns the part, which the model now holds.
    PartPtr add(PartType type, const ElementList& drawing, const QPointF& place,
        std::optional<QPointF> pivot = QPointF());
    // The same part mirrored left to right about its local x = 0 before it is placed.
    PartPtr addMirrored(PartType type, const ElementList& drawing, const QPointF& place,
        std::optional<QPointF> pivot = QPointF());

    // Lays parts out in rows: a row starts at the point; each part flowed into it is moved so that
    // its bounds start at the row's next free place, the gap after the one before.
    void startRow(const QPointF& at);
    void flow(const PartPtr& part, double gap = 18);
    void nextRow(double gap = 26);

    // Frames the catalog thumbnail on the model rect, keeping its 7 : 5 shape centred on it.
    void frameThumbnail(const QRectF& rect);

private:
    PartPtr place(PartType type, const ElementList& drawing, const QPointF& place,
        std::optional<QPointF> pivot, bool mirror);

    CharacterModelPtr m_model;
    double m_rowLeft = 0;
    double m_rowTop = 0;
    double m_rowHeight = 0;
    double m_next = 0;
};

} // namespace zandrel::catalogart
