// Basic geometry routines: angular betweenness, moving segments sideways, the convex
// point-in-polygon test, the junction of two lines, half-space clipping and Bezier sampling.
#pragma once
#include <vector>

#include "geometry/types.h"

// Direction of (dx, dy) as the single-precision arc tangent, widened to double; the inset's
// angles and the betweenness test compare these values exactly.
double direction_angle(double dx, double dy);

// Whether b's direction lies strictly between a's and c's, turning counter-clockwise from a;
// true for any b when a and c point the same way. Angles are single-precision.
bool Is_CCW_Between(const Vector2& a, const Vector2& b, const Vector2& c);

// out = in moved sideways by dist to its left; a zero-length segment comes back unchanged.
void MoveSegLeft(const Segment2& in, double dist, Segment2& out);
// out = in moved by dist along up x direction (the left, for up = +z).
void MoveSegLeft(const Segment3& in, double dist, Segment3& out, const Vector3& up);

// Whether p lies inside (or on) every edge of a convex polygon, tested against the prism its
// edges sweep along the polygon's normal. False for fewer than three points or when every
// vertex lies on one line.
bool PointInPolygon3(const Polygon3& poly, const Point3& p);

// Where the common perpendicular of a and b meets the plane through junction across it;
// false for parallel or degenerate lines.
bool IntersectLinesAroundJunction(const Line3& a, const Line3& b, const Point3& junction, Point3& out);

// out = the part of in with n.p <= d (points on the plane are kept).
void ClipToHalfPlane3(const Polygon3& in, const Plane3& plane, Polygon3& out);

// Samples a cubic Bezier curve from start to end into out (start and end always included);
// interior samples closer than start_gap / end_gap to the ends are skipped when the gap is > 0.
void BezierCurve(const Point3& start, const Point3& end, bool has_start_control, bool has_end_control,
                 const Point3& start_control, const Point3& end_control, int steps, double start_gap,
                 double end_gap, std::vector<Point3>& out);
