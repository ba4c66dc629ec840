// Tests of the math routines: scalar edge cases, ray and plane, the pipeline matrix helpers and
// unprojection (also through a real GL context when a display is there), and the camera matrices.
#include "kez_math.h"

#include <SDL.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gl_test_support.h"
#include "kez_math_internal.h"

namespace {

// A well-conditioned matrix with no special structure.
const float SAMPLE[16] = {2, 1, 0, 3, -1, 4, 2, 0, 0.5f, 0, 3, -2, 1, 2, -1, 5};

void expect_identity(const float *m, int n, float tolerance) {
  for (int r = 0; r < n; r++)
    for (int c = 0; c < n; c++) EXPECT_NEAR(m[n * r + c], r == c ? 1.0f : 0.0f, tolerance) << r << "," << c;
}

// Row-major product a * b of two 4x4s.
void multiply4(const float a[16], const float b[16], float out[16]) {
  for (int r = 0; r < 4; r++)
    for (int c = 0; c < 4; c++) {
      out[4 * r + c] = 0;
      for (int k = 0; k < 4; k++) out[4 * r + c] += a[4 * r + k] * b[4 * k + c];
    }
}

TEST(Math, max_and_abs_follow_their_comparisons) {
  EXPECT_TRUE(std::isnan(math_max(1, NAN)));
  EXPECT_EQ(math_max(NAN, 1), 1.0f);
  EXPECT_EQ(math_max(2, 1), 2.0f);
  EXPECT_EQ(math_abs(-2.5f), 2.5f);
  EXPECT_EQ(math_sqrt(2.25f), 1.5f);
}

TEST(Math, ray_plane_gives_the_hit_distance_or_minus_one_when_parallel) {
  EXPECT_FLOAT_EQ(vec3_ray_plane({0, 0, 5}, {0, 0, -1}, {0, 0, 0}, {0, 0, 1}), 5.0f);
  EXPECT_FLOAT_EQ(vec3_ray_plane({0, 0, 5}, {0, 0, 2}, {0, 0, 1}, {0, 0, 1}), -2.0f);
  EXPECT_EQ(vec3_ray_plane({0, 0, 5}, {1, 0, 0}, {0, 0, 0}, {0, 0, 1}), -1.0f);
  Vec3 n = vec3_normalize(3, 0, 4);
  EXPECT_FLOAT_EQ(n.x, 0.6f);
  EXPECT_FLOAT_EQ(n.z, 0.8f);
}

TEST(Math, pipeline_inverse_times_matrix_is_identity_and_singular_is_refused) {
  float inverse[16], product[16];
  ASSERT_TRUE(unproject_mat_invert(SAMPLE, inverse));
  unproject_mat_mul(SAMPLE, inverse, product);
  expect_identity(product, 4, 1e-5f);

  float singular[16] = {1, 2, 3, 4, 2, 4, 6, 8, 0, 1, 0, 1, 1, 0, 1, 0};  // row 1 = 2 x row 0
  float untouched[16] = {7};
  EXPECT_FALSE(unproject_mat_invert(singular, untouched));
  EXPECT_EQ(untouched[0], 7.0f);
}

TEST(Math, pipeline_matrix_times_vector_reads_columns) {
  float translate[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 5, 6, 7, 1};  // column-major translation
  float point[4] = {1, 2, 3, 1}, out[4];
  unproject_mat_vec(translate, point, out);
  EXPECT_EQ(out[0], 6.0f);
  EXPECT_EQ(out[1], 8.0f);
  EXPECT_EQ(out[2], 10.0f);
  EXPECT_EQ(out[3], 1.0f);
}

TEST(Math, unproject_point_maps_the_viewport_onto_device_range) {
  float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  int viewport[4] = {10, 20, 100, 200};
  Vec3 p;
  ASSERT_TRUE(unproject_point(60, 120, 0.5f, identity, identity, viewport, &p));
  EXPECT_FLOAT_EQ(p.x, 0);
  EXPECT_FLOAT_EQ(p.y, 0);
  EXPECT_FLOAT_EQ(p.z, 0);
  ASSERT_TRUE(unproject_point(110, 20, 1, identity, identity, viewport, &p));
  EXPECT_FLOAT_EQ(p.x, 1);
  EXPECT_FLOAT_EQ(p.y, -1);
  EXPECT_FLOAT_EQ(p.z, 1);
}

TEST(Math, unproject_point_failure_leaves_zeroed_results) {
  float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  float flat[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};     // squashes z: singular
  float swap_xw[16] = {0, 0, 0, 1, 0, 1, 0, 0, 0, 0, 1, 0, 1, 0, 0, 0};  // the centre goes to w = 0
  int viewport[4] = {0, 0, 100, 100}, empty[4] = {0, 0, 0, 100};
  Vec3 p = {9, 9, 9};
  EXPECT_FALSE(unproject_point(50, 50, 0.5f, flat, identity, viewport, &p));
  EXPECT_TRUE(p.x == 0 && p.y == 0 && p.z == 0);
  p = {9, 9, 9};
  EXPECT_FALSE(unproject_point(50, 50, 0.5f, identity, identity, empty, &p));
  EXPECT_TRUE(p.x == 0 && p.y == 0 && p.z == 0);
  p = {9, 9, 9};
  EXPECT_FALSE(unproject_point(50, 50, 0.5f, identity, swap_xw, viewport, &p));
  EXPECT_TRUE(p.x == 0 && p.y == 0 && p.z == 0);
}

TEST(Math, screen_corners_follow_the_rotation) {
  Vec3 p = {1, 2, 3}, q = {4, 5, 6}, a, b;
  _unproject_corners_order(0, p, q, &a, &b);
  EXPECT_TRUE(a.x == 1 && a.y == 2 && b.x == 4 && b.y == 5);
  _unproject_corners_order(180, p, q, &a, &b);
  EXPECT_TRUE(a.x == 4 && a.y == 5 && b.x == 1 && b.y == 2);
  _unproject_corners_order(270, p, q, &a, &b);
  EXPECT_TRUE(a.x == 4 && a.y == 2 && a.z == 3 && b.x == 1 && b.y == 5 && b.z == 6);
  _unproject_corners_order(90, p, q, &a, &b);
  EXPECT_TRUE(a.x == 1 && a.y == 5 && a.z == 3 && b.x == 4 && b.y == 2 && b.z == 6);
  a = b = {7, 7, 7};
  _unproject_corners_order(45, p, q, &a, &b);
  EXPECT_TRUE(a.x == 7 && b.x == 7);
}

TEST(Math, mat3_inverse_is_exact_above_the_threshold_and_identity_below) {
  float m[9] = {2, 0, 0, 0, 1, 0, 0, 0, 1};  // determinant 2
  mat3_inverse(m);
  EXPECT_FLOAT_EQ(m[0], 0.5f);
  EXPECT_FLOAT_EQ(m[4], 1.0f);
  float general[9] = {2, 1, 0, 1, 3, 1, 0, 1, 4}, inverse[9];
  std::copy(general, general + 9, inverse);
  mat3_inverse(inverse);
  float product[9] = {};
  for (int r = 0; r < 3; r++)
    for (int c = 0; c < 3; c++)
      for (int k = 0; k < 3; k++) product[3 * r + c] += general[3 * r + k] * inverse[3 * k + c];
  expect_identity(product, 3, 1e-6f);

  float tiny[9] = {1e-2f, 0, 0, 0, 1e-2f, 0, 0, 0, 1e-2f};  // determinant 1e-6
  mat3_inverse(tiny);
  expect_identity(tiny, 3, 0);
}

TEST(Math, mat4_inverse_undoes_the_matrix_or_gives_identity_when_near_singular) {
  float inverse[16], product[16];
  std::copy(SAMPLE, SAMPLE + 16, inverse);
  mat4_inverse(inverse);
  multiply4(SAMPLE, inverse, product);
  expect_identity(product, 4, 1e-5f);

  float tiny[16] = {0.05f, 0, 0, 0, 0, 0.05f, 0, 0, 0, 0, 0.05f, 0, 0, 0, 0, 0.05f};  // determinant 6.25e-6
  mat4_inverse(tiny);
  expect_identity(tiny, 4, 0);
}

TEST(Math, affine_inverse_undoes_scale_rotation_and_translation) {
  float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  mat4_scale(m, 2, 3, 1);
  mat4_rotate_z(m, 30);
  mat4_translate(m, 5, -7, 2);
  float inverse[16], product[16];
  std::copy(m, m + 16, inverse);
  mat4_inverse_affine(inverse);
  multiply4(inverse, m, product);
  expect_identity(product, 4, 1e-5f);
}

TEST(Math, camera_operations_multiply_from_the_left) {
  float m[16];
  std::copy(SAMPLE, SAMPLE + 16, m);
  mat4_translate(m, 1, 2, 3);
  EXPECT_FLOAT_EQ(m[3], 3 + 1 * 5);  // row 0 gains 1 x row 3
  EXPECT_FLOAT_EQ(m[9], 0 + 3 * 2);  // row 2 gains 3 x row 3
  mat4_scale(m, 2, 1, 1);
  EXPECT_FLOAT_EQ(m[0], 2 * (2 + 1));

  std::copy(SAMPLE, SAMPLE + 16, m);
  mat4_rotate_z(m, 90);
  for (int c = 0; c < 4; c++) {
    EXPECT_NEAR(m[c], -SAMPLE[4 + c], 1e-6f);
    EXPECT_NEAR(m[4 + c], SAMPLE[c], 1e-6f);
    EXPECT_EQ(m[8 + c], SAMPLE[8 + c]);
  }
}

// A hidden window with a GL context, for the routines that read the GL state; skips without a display.
class MathGl : public ::testing::Test {
 protected:
  void SetUp() override {
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << SDL_GetError();
    window_ = SDL_CreateWindow("math", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (window_) context_ = SDL_GL_CreateContext(window_);
    if (!context_) GTEST_SKIP() << SDL_GetError();
    dl_iterate_phdr(pin_gl_driver, nullptr);
  }
  void TearDown() override {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(window_);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
  }
  // A y-down orthographic view over a 200 x 100 viewport at (30, 40), as the 2D drawing sets up.
  static void set_screen() {
    glViewport(30, 40, 200, 100);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0, 200, 100, 0, -1, 1);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
  }
  SDL_Window *window_ = nullptr;
  SDL_GLContext context_ = nullptr;
};

TEST_F(MathGl, screen_points_land_on_the_plane_under_them) {
  set_screen();
  glTranslatef(10, 0, 0);  // the world is drawn 10 units to the right
  Vec3 p = unproject_screen(50, 25);
  EXPECT_NEAR(p.x, 40, 1e-3f);
  EXPECT_NEAR(p.y, 25, 1e-3f);
  EXPECT_NEAR(p.z, 0, 1e-5f);
  Vec3 a, b;
  unproject_screen_corners(0, &a, &b);
  EXPECT_NEAR(a.x, -10, 1e-3f);
  EXPECT_NEAR(a.y, 0, 1e-3f);
  EXPECT_NEAR(b.x, 190, 1e-3f);
  EXPECT_NEAR(b.y, 100, 1e-3f);
}

TEST_F(MathGl, a_singular_view_unprojects_to_the_origin) {
  set_screen();
  glScalef(1, 1, 0);  // flattens the modelview: nothing can be unprojected
  Vec3 p = unproject_screen(50, 25);
  EXPECT_TRUE(p.x == 0 && p.y == 0 && p.z == 0);
}

TEST_F(MathGl, colour_is_set_premultiplied) {
  gl_color_premul(1.0f, 0.5f, 0.25f, 0.5f);
  float colour[4];
  glGetFloatv(GL_CURRENT_COLOR, colour);
  EXPECT_FLOAT_EQ(colour[0], 0.5f);
  EXPECT_FLOAT_EQ(colour[1], 0.25f);
  EXPECT_FLOAT_EQ(colour[2], 0.125f);
  EXPECT_FLOAT_EQ(colour[3], 0.5f);
}

}  // namespace
