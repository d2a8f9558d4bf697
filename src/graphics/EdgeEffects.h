#pragma once

// Hand-drawn and stylised edges: each function walks a clean outline and returns a new curve with
// a spiky, scalloped, wavy, zigzag or wobbly edge; the source is never changed. The random ones
// reseed the process-wide generator at the start of every call, so an outline comes out the same on
// every redraw whatever was drawn in between.
//
// Bad input gives a sane curve rather than an endless walk: an outline that is empty or not finite
// gives an empty result, a step that is not positive gives no steps, non-finite amplitudes and
// offsets count as 0, and the number of steps taken on very long outlines is capped (the steps
// grow instead).

#include "graphics/Curve.h"

namespace zandrel {

// Steps per outline at most for the "around" and marked effects.
inline constexpr int kEdgeEffectMaxSteps = 10000;
// Beyond this length the hand-drawn effect stretches its steps so that the point count stays bounded.
inline constexpr float kHandDrawnMaxPlainLength = 40000.0f;

// The four "around" effects always return a closed curve, whatever the source's flag. Their step
// is adjusted to divide the outline's length evenly; an outline shorter than half a step gives an
// empty curve. Inward turns the spikes toward the centre of the outline's bounds.

// A polygon alternating base points about 1 unit from the outline and tips amp/2 to amp beyond it.
CurvePtr spikePathAroundCurve(const Curve& curve, bool inward, float step, float amp, float offset);
// Sharp outward points joined by arcs bowed inward.
CurvePtr scallopPathAroundCurve(const Curve& curve, float step, float amp);
// Spikes with rounded tips.
CurvePtr roughSpikePathAroundCurve(const Curve& curve, bool inward, float step, float amp, float offset);
// Uneven bumps, all off-curve points.
CurvePtr roughScallopPathAroundCurve(const Curve& curve, float step, float amp);

// Without randomness; the result keeps the source's closed flag and passes through every explicit
// on-curve point of it. The first is a smooth wave, the second a zigzag of straight segments.
CurvePtr markedPathAlongCurve(const Curve& curve, float step, float amp);
CurvePtr markedPathAlongCurveOpen(const Curve& curve, float step, float amp);

// A wobbly copy through the source's vertices, seeded by the outline's length; keeps the closed flag.
CurvePtr handDrawnPathFromCurve(const Curve& curve);

} // namespace zandrel
