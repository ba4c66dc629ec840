// Vector and matrix math for the drawing code: scalars, 3-vectors, screen-to-world unprojection through
// the fixed-function pipeline, and in-place camera matrices. All values are 32-bit floats; angles are in
// degrees.
//
// Two matrix layouts meet here. The unproject_* routines take the graphics library's column-major
// matrices (element 4 * column + row) as read back from it. The mat3_* and mat4_* camera routines take
// row-major matrices (element 3 * row + column or 4 * row + column; a 4x4 keeps its translation in
// elements 3, 7 and 11) and change them in place by multiplying from the left.
#pragma once

struct Vec3 {
  float x, y, z;
};

// The square root of f.
float math_sqrt(float f);
// a when b < a, else b: b wins ties and any comparison with NaN.
float math_max(float a, float b);
// -f when f < 0, else f.
float math_abs(float f);
// Sets the current drawing colour to (r * a, g * a, b * a, a): drawing blends premultiplied colours.
void gl_color_premul(float r, float g, float b, float a);

// (x, y, z) divided by its length; NaN components for the zero vector.
Vec3 vec3_normalize(float x, float y, float z);
// The t for which origin + t * direction lies on the plane through `point` with `normal`: -1.0 when the
// direction is parallel to the plane (n . d exactly 0).
float vec3_ray_plane(Vec3 origin, Vec3 direction, Vec3 point, Vec3 normal);

// out = m * v for a column-major 4x4 m and a column 4-vector v.
void unproject_mat_vec(const float m[16], const float v[4], float out[4]);
// out[4i + j] = sum over k of a[4i + k] * b[4k + j]; `out` may not alias a or b.
void unproject_mat_mul(const float a[16], const float b[16], float out[16]);
// The inverse of m into `out`; false, leaving `out` untouched, when the determinant is exactly 0.
bool unproject_mat_invert(const float m[16], float out[16]);
// The object-space point under window point (x, y, depth z) for the given column-major matrices and
// viewport (x, y, width, height). false, with `out` (0, 0, 0), when the combined matrix is singular,
// the viewport is empty or the point lies at infinity.
bool unproject_point(float x, float y, float z, const float modelview[16], const float projection[16],
                     const int viewport[4], Vec3 *out);
// The world point on the plane z = 0 under screen point (x, y), y counted from the top, through the
// current GL matrices and viewport; (0, 0, 0) when the GL state cannot be unprojected.
Vec3 unproject_screen(float x, float y);
// The world points under the two opposite corners of the viewport, ordered by the screen rotation in
// degrees (0, 90, 180 or 270; any other value leaves a and b unchanged). The caller passes the drawing
// state's rotation.
void unproject_screen_corners(float rotation, Vec3 *a, Vec3 *b);

// Inverts a row-major 3x3 in place; the identity when |determinant| <= 1e-5.
void mat3_inverse(float m[9]);
// Inverts a row-major 4x4 in place; the identity when |determinant| <= 1e-5.
void mat4_inverse(float m[16]);
// Inverts an affine row-major 4x4 in place: its 3x3 part through mat3_inverse, its translation mapped
// back by that inverse and negated; row 3 is kept.
void mat4_inverse_affine(float m[16]);
// Left-multiplies by a translation: rows 0, 1, 2 gain x, y, z times row 3.
void mat4_translate(float m[16], float x, float y, float z);
// Left-multiplies by a scale: rows 0, 1, 2 are multiplied by x, y, z.
void mat4_scale(float m[16], float x, float y, float z);
// Left-multiplies by a rotation about z: row 0 becomes c * row0 - s * row1, row 1 s * row0 + c * row1.
void mat4_rotate_z(float m[16], float degrees);
