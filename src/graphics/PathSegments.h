#pragma once

#include "graphics/Curve.h"
#include "graphics/DrawCommand.h"
#include "graphics/Path.h"

#include <QList>
#include <QRectF>
#include <array>
#include <functional>

namespace zandrel {

class GeometryReader;
class GeometryRecord;

// The curves (segments) of a path-like element, a part path or a mask, and the Path protocol over
// them, kept in one place. The curves are the element's own and never shared: curves handed in
// and out are copies, and only getSegmentAtIndex answers the curve itself, for editing in place.
class PathSegments : public virtual Path {
public:
    QList<CurvePtr> segments() const override;
    // Keeps copies of the curves given; null ones are left out.
    void setSegments(const QList<CurvePtr>& segments) override;
    std::size_t numSegments() const override { return std::size_t(m_curves.size()); }
    // The curve itself; null past the end.
    CurvePtr getSegmentAtIndex(std::size_t index) const override;
    // Nothing when either index is out of range.
    void deleteCurvePoint(std::size_t pointIndex, std::size_t segmentIndex) override;
    // The draw commands of all curves, curve after curve.
    DrawCommandList getDrawCommands() const override;

protected:
    PathSegments() = default;
    // Copies of every curve.
    PathSegments(const PathSegments& other);
    PathSegments& operator=(const PathSegments&) = delete;
    ~PathSegments() override = default;

    // Every change of the curves runs through here: an element that observers watch or that caches
    // its drawing wraps the change.
    virtual void changeSegments(const std::function<void()>& change) { change(); }

    const QList<CurvePtr>& curves() const { return m_curves; }
    // Keeps the curves themselves (decoded ones nobody else holds), without telling anyone.
    void takeCurves(QList<CurvePtr> curves) { m_curves = std::move(curves); }
    // The curves among decoded values, each the element's own: a curve the file names in another
    // place too (another path, or twice in this one) is copied, at the decoding budget's cost.
    static QList<CurvePtr> decodedCurves(KeyedUnarchiver& coder, const ValueList& values);
    // Removes the curves that are not usable (fewer than two points), last to first, logging
    // each; true when one was removed.
    bool removeInvalidCurves(const QString& logLine);
    // The union of one kind of the curves' bounds; the zero rectangle without curves.
    QRectF unionOfCurves(QRectF (Curve::*bounds)() const) const;
    // The curves as an archived array, and its key in the archives of paths and masks.
    Value archivedCurves() const;
    static inline const QString kSegmentsArchiveKey = QStringLiteral("segments");

    void offsetCurves(const QPointF& delta);
    void transformCurves(const QTransform& transform);
    void perspectiveTransformCurves(const QRectF& source, const std::array<QPointF, 4>& quad);
    void recordCurves(GeometryRecord& record) const;
    void restoreCurves(GeometryReader& reader);

private:
    QList<CurvePtr> m_curves;
};

} // namespace zandrel
