// Quad strips: ribbons of given widths along 3-D point chains, stored as point pairs (points 2k
// and 2k + 1 are cross-section k; even points are side A, odd points side B), and cutting lengths
// off either end of such a strip.
#pragma once
#include <vector>

#include "geometry/types.h"

// Builds the ribbon: per chain point an up vector (any length) and a full width. Side A lies on
// direction x up (the right of travel for up pointing up). A chain that turns straight back gives
// two cross-sections at its turning point. With fewer than two chain points, or fewer ups or
// widths than chain points, strip is left as it is.
void ChainToQuadStrip(const std::vector<Point3>& chain, const std::vector<Vector3>& ups,
                      const std::vector<double>& widths, std::vector<Point3>& strip);

// Reverses the order of all points (which also swaps the sides of every cross-section).
void ReverseQuadStrip(std::vector<Point3>& strip);

// How far side A of the first quad reaches beyond side B at its start (negative: falls short),
// measured along the other side; 0 for fewer than four points or a first quad with a side of
// zero length.
double LongerSideOfQuad(const std::vector<Point3>& strip);

// Cuts dist, measured along each side, off the front (or back) of the strip; removed receives the
// cut-off part as a strip ending in the cut cross-section. With even_up the longer side gets the
// difference of LongerSideOfQuad added, so the cut ends square. Nothing changes (and removed stays
// empty) when dist is not positive or either side is too short.
void RemoveFromQuadStripFront(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed, bool even_up);
// The back cut: removed runs from the strip's old end inwards, its sides exchanged.
void RemoveFromQuadStripBack(std::vector<Point3>& strip, double dist, std::vector<Point3>& removed, bool even_up);
