// Vector and matrix math, unprojection.
#include "kez_math.h"
#include "kez_math_internal.h"

#include <GL/gl.h>

#include <cmath>

float math_sqrt(float f) { return sqrtf(f); }

float math_max(float a, float b) { return b < a ? a : b; }

float math_abs(float f) { return f < 0 ? -f : f; }

void gl_color_premul(float r, float g, float b, float a) { glColor4f(r * a, g * a, b * a, a); }

Vec3 vec3_normalize(float x, float y, float z) {
  float length = sqrtf(x * x + y * y + z * z);
  return {x / length, y / length, z / length};
}

static float _vec3_dot(Vec3 a, Vec3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

float vec3_ray_plane(Vec3 origin, Vec3 direction, Vec3 point, Vec3 normal) {
  float denominator = _vec3_dot(normal, direction);
  if (denominator == 0.0f) return -1.0f;
  Vec3 to_plane = {point.x - origin.x, point.y - origin.y, point.z - origin.z};
  return _vec3_dot(normal, to_plane) / denominator;
}

void unproject_mat_vec(const float m[16], const float v[4], float out[4]) {
  for (int row = 0; row < 4; row++)
    out[row] = m[row] * v[0] + m[4 + row] * v[1] + m[8 + row] * v[2] + m[12 + row] * v[3];
}

void unproject_mat_mul(const float a[16], const float b[16], float out[16]) {
  for (int i = 0; i < 4; i++)
    for (int j = 0; j < 4; j++)
      out[4 * i + j] = a[4 * i] * b[j] + a[4 * i + 1] * b[4 + j] + a[4 * i + 2] * b[8 + j] + a[4 * i + 3] * b[12 + j];
}

// The determinant of m and, scaled by its inverse, the adjugate into `out` (skipped when it is 0).
// Written on flat indices, it serves both layouts: the inverse of a transpose is the transposed inverse.
static float _math_invert4(const float m[16], float out[16]) {
  float s0 = m[0] * m[5] - m[4] * m[1], s1 = m[0] * m[6] - m[4] * m[2], s2 = m[0] * m[7] - m[4] * m[3];
  float s3 = m[1] * m[6] - m[5] * m[2], s4 = m[1] * m[7] - m[5] * m[3], s5 = m[2] * m[7] - m[6] * m[3];
  float c5 = m[10] * m[15] - m[14] * m[11], c4 = m[9] * m[15] - m[13] * m[11];
  float c3 = m[9] * m[14] - m[13] * m[10], c2 = m[8] * m[15] - m[12] * m[11];
  float c1 = m[8] * m[14] - m[12] * m[10], c0 = m[8] * m[13] - m[12] * m[9];
  float det = s0 * c5 - s1 * c4 + s2 * c3 + s3 * c2 - s4 * c1 + s5 * c0;
  if (det == 0.0f) return det;
  float k = 1.0f / det;
  const float r[16] = {
      m[5] * c5 - m[6] * c4 + m[7] * c3,     -m[1] * c5 + m[2] * c4 - m[3] * c3,
      m[13] * s5 - m[14] * s4 + m[15] * s3,  -m[9] * s5 + m[10] * s4 - m[11] * s3,
      -m[4] * c5 + m[6] * c2 - m[7] * c1,    m[0] * c5 - m[2] * c2 + m[3] * c1,
      -m[12] * s5 + m[14] * s2 - m[15] * s1, m[8] * s5 - m[10] * s2 + m[11] * s1,
      m[4] * c4 - m[5] * c2 + m[7] * c0,     -m[0] * c4 + m[1] * c2 - m[3] * c0,
      m[12] * s4 - m[13] * s2 + m[15] * s0,  -m[8] * s4 + m[9] * s2 - m[11] * s0,
      -m[4] * c3 + m[5] * c1 - m[6] * c0,    m[0] * c3 - m[1] * c1 + m[2] * c0,
      -m[12] * s3 + m[13] * s1 - m[14] * s0, m[8] * s3 - m[9] * s1 + m[10] * s0,
  };
  for (int i = 0; i < 16; i++) out[i] = r[i] * k;
  return det;
}

bool unproject_mat_invert(const float m[16], float out[16]) { return _math_invert4(m, out) != 0.0f; }

bool unproject_point(float x, float y, float z, const float modelview[16], const float projection[16],
                     const int viewport[4], Vec3 *out) {
  *out = {0, 0, 0};
  if (viewport[2] == 0 || viewport[3] == 0) return false;  // nothing to map the window point into
  float combined[16], inverse[16];
  unproject_mat_mul(modelview, projection, combined);
  if (!unproject_mat_invert(combined, inverse)) return false;
  float window[4] = {(x - viewport[0]) / viewport[2], (y - viewport[1]) / viewport[3], z, 1.0f};
  for (int i = 0; i < 3; i++) window[i] = 2 * window[i] - 1;  // to normalised device range
  float object[4];
  unproject_mat_vec(inverse, window, object);
  if (object[3] == 0.0f) return false;
  *out = {object[0] / object[3], object[1] / object[3], object[2] / object[3]};
  return true;
}

// The window point under screen point (x, y) unprojected onto the plane z = 0 along the view ray.
static Vec3 _unproject_screen_with(float x, float y, const float modelview[16], const float projection[16],
                                   const int viewport[4]) {
  float wx = viewport[0] + x, wy = viewport[1] + viewport[3] - y;  // window y counts from the bottom
  Vec3 near, far;
  if (!unproject_point(wx, wy, 0.0f, modelview, projection, viewport, &near) ||
      !unproject_point(wx, wy, 1.0f, modelview, projection, viewport, &far))
    return {0, 0, 0};
  Vec3 d = vec3_normalize(far.x - near.x, far.y - near.y, far.z - near.z);
  float t = vec3_ray_plane(near, d, {0, 0, 0}, {0, 0, 1});
  return {near.x + t * d.x, near.y + t * d.y, near.z + t * d.z};
}

Vec3 unproject_screen(float x, float y) {
  float modelview[16], projection[16];
  int viewport[4];
  glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
  glGetFloatv(GL_PROJECTION_MATRIX, projection);
  glGetIntegerv(GL_VIEWPORT, viewport);
  return _unproject_screen_with(x, y, modelview, projection, viewport);
}

// Open to the tests: a and b from the corner points p (screen top left) and q (screen bottom right)
// for a screen rotation.
void _unproject_corners_order(float rotation, Vec3 p, Vec3 q, Vec3 *a, Vec3 *b) {
  if (rotation == 0.0f) {
    *a = p;
    *b = q;
  } else if (rotation == 180.0f) {
    *a = q;
    *b = p;
  } else if (rotation == 270.0f) {
    *a = {q.x, p.y, p.z};
    *b = {p.x, q.y, q.z};
  } else if (rotation == 90.0f) {
    *a = {p.x, q.y, p.z};
    *b = {q.x, p.y, q.z};
  }
}

void unproject_screen_corners(float rotation, Vec3 *a, Vec3 *b) {
  int viewport[4];
  glGetIntegerv(GL_VIEWPORT, viewport);
  Vec3 p = unproject_screen(0, 0);
  Vec3 q = unproject_screen(float(viewport[2]), float(viewport[3]));
  _unproject_corners_order(rotation, p, q, a, b);
}

static void _mat3_identity(float m[9]) {
  for (int i = 0; i < 9; i++) m[i] = i % 4 == 0 ? 1.0f : 0.0f;
}

void mat3_inverse(float m[9]) {
  float c0 = m[4] * m[8] - m[5] * m[7], c1 = m[5] * m[6] - m[3] * m[8], c2 = m[3] * m[7] - m[4] * m[6];
  float det = m[0] * c0 + m[1] * c1 + m[2] * c2;
  if (fabsf(det) <= 1e-5f) {  // too close to singular: no transform
    _mat3_identity(m);
    return;
  }
  float k = 1.0f / det;
  const float r[9] = {
      c0 * k, (m[2] * m[7] - m[1] * m[8]) * k, (m[1] * m[5] - m[2] * m[4]) * k,
      c1 * k, (m[0] * m[8] - m[2] * m[6]) * k, (m[2] * m[3] - m[0] * m[5]) * k,
      c2 * k, (m[1] * m[6] - m[0] * m[7]) * k, (m[0] * m[4] - m[1] * m[3]) * k,
  };
  for (int i = 0; i < 9; i++) m[i] = r[i];
}

void mat4_inverse(float m[16]) {
  float inverse[16];
  if (fabsf(_math_invert4(m, inverse)) <= 1e-5f) {  // too close to singular: no transform
    for (int i = 0; i < 16; i++) m[i] = i % 5 == 0 ? 1.0f : 0.0f;
    return;
  }
  for (int i = 0; i < 16; i++) m[i] = inverse[i];
}

void mat4_inverse_affine(float m[16]) {
  float r[9] = {m[0], m[1], m[2], m[4], m[5], m[6], m[8], m[9], m[10]};
  mat3_inverse(r);
  float t[3] = {m[3], m[7], m[11]};
  for (int row = 0; row < 3; row++) {
    const float *inv = r + 3 * row;
    for (int col = 0; col < 3; col++) m[4 * row + col] = inv[col];
    m[4 * row + 3] = -(inv[0] * t[0] + inv[1] * t[1] + inv[2] * t[2]);
  }
}

void mat4_translate(float m[16], float x, float y, float z) {
  const float offset[3] = {x, y, z};
  for (int row = 0; row < 3; row++)
    for (int col = 0; col < 4; col++) m[4 * row + col] += offset[row] * m[12 + col];
}

void mat4_scale(float m[16], float x, float y, float z) {
  const float factor[3] = {x, y, z};
  for (int row = 0; row < 3; row++)
    for (int col = 0; col < 4; col++) m[4 * row + col] *= factor[row];
}

void mat4_rotate_z(float m[16], float degrees) {
  float radians = degrees * 0.0174532942f;  // pi / 180 as a float
  float c = cosf(radians), s = sinf(radians);
  for (int col = 0; col < 4; col++) {
    float r0 = m[col], r1 = m[4 + col];
    m[col] = c * r0 - s * r1;
    m[4 + col] = s * r0 + c * r1;
  }
}
