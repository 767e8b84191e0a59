// Small helpers for 3-D drawing: lines and quads with face normals, a textured box, a
// wheel-shaped solid, specular lighting and polygon offset. Apart from the box and the wheel,
// which open their own glBegin blocks, they emit into the caller's glBegin block.
#pragma once

// Two vertices; the caller brackets them with glBegin(GL_LINES).
void OGL_3dline(float x1, float y1, float z1, float x2, float y2, float z2);
// The face normal of a quad: (p3 - p2) x (p2 - p1), normalised; (0, 1, 0) when it has no length.
void OGL_quad_normal(const float* p1, const float* p2, const float* p3, float* n);
// The normal, then p1..p4 at texture (1,1), (1,0), (0,0), (0,1); inside glBegin(GL_QUADS).
void OGL_3dquad(float* p1, float* p2, float* p3, float* p4);
// The same with p1 at (s1,t1), p2 at (s1,t2), p3 at (s2,t2), p4 at (s2,t1).
void OGL_3dquad_st(float* p1, float* p2, float* p3, float* p4, float s1, float t1, float s2, float t2);
// A textured box w x h x d standing on its base at (x, y, z), turned by -angle degrees about z.
void OGL_cube(float x, float y, float z, float w, float h, float d, float s1, float s2, float t1,
              float t2, float angle);
// A closed wheel of radius r around the x axis, centred on (x, y, z), its hub 0.38 r.
void OGL_disc(float x, float y, float z, float r);
// Specular colour (s, s, s, 1) of light 0 and of both material faces, shininess 128.
void OGL_setspec(float s);
// n != 0: polygon offset fill with factor -10 n and units -1; 0 turns it off.
void OGL_poly_offset(int n);
void OGL_printer();
