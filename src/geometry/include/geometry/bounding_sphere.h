// Bounding spheres of 3-D points: a quick approximate sphere around a point set, and growing a
// sphere so that it also holds a point or another sphere.
#pragma once
#include <vector>

#include "geometry/types.h"

// Grows s to reach p when p lies outside it.
void ExtendBoundingSphereToPt(const Point3& p, Sphere3& s);
// Grows s to reach p, for a p known to lie outside: the smallest sphere holding s and p.
void ExtendBoundingSphereToPt1(const Point3& p, Sphere3& s);
// Grows s to enclose add; a squared radius of 0 marks an empty sphere on either side.
void ExtendBoundingSphereToSphere(const Sphere3& add, Sphere3& s);
// s = a sphere enclosing every point (not necessarily the smallest): the exact squared distance
// from each to s.c, not only its rounded squared_distance, is at most s.radius_squared. Unchanged
// for no points. Points with an infinite or NaN coordinate cannot be enclosed and are passed over.
void FastBoundingSphere(const std::vector<Point3>& points, Sphere3& s);
