// Polygon inset (every edge moved sideways by its own weighted distance, the moved edges joined
// again), the largest inset before an edge collapses, and vertex reduction of 2-D outlines.
#pragma once
#include "geometry/types.h"

// Edge i runs from point i to point (i + 1) mod n; an open polyline has edges 0 .. n - 2.
// weights: one per edge, or null for 1.0 everywhere; an edge moves by dist x its weight, to its
// left (inwards for a counter-clockwise polygon and a positive dist).

// The largest inset distance before some edge shrinks to nothing; 0.0 when no edge shrinks.
double CalcMaxInset(const Polygon2& poly, const double* weights, bool closed);

// out = the inset outline: one point per vertex, none where neighbouring edges are parallel,
// two where the outline runs straight back on itself (a spike); cb, when given, hears of each
// spike pair with its index in out (counted as if no parallel junction were skipped).
void InsetPolygon(const Polygon2& in, const double* weights, double dist, bool closed, Polygon2& out,
                  void (*cb)(int, void*), void* ref);
// The same around an up vector in 3-D.
void InsetPolygon(const Polygon3& in, const double* weights, double dist, bool closed, const Vector3& up,
                  Polygon3& out);

// Removes, in passes until none is removed, vertices next to an edge shorter than short_side and,
// between two edges longer than long_side, vertices whose squared distance from the line through
// their neighbours is below dev2_limit while the edge directions' dot product is above cos_limit.
// Never goes below three vertices by its own doing.
void ReducePolygon(Polygon2& poly, double dev2_limit, double cos_limit, double long_side, double short_side);
